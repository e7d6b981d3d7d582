// The console report of two snapshots compared (kavilo-dump --diff): as text, one line
// per entry, or as JSON {"same", "onlyA", "onlyB", "changed": [{"text", "sizeA", "sizeB",
// "firstDifference", "differingBytes"}]}, entries named by their "parent/child" paths.
#pragma once

#include "capture/bytes/SnapshotCompare.h"

#include <string>

std::string BuildDiffText(const CompareResult& result);
std::string BuildDiffJson(const CompareResult& result);
