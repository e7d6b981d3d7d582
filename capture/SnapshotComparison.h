// Two snapshots compared: their trees as the comparison sees them, and a reader of the
// entries' temporary files that pumps the progress window's messages between 1 MiB steps.
#pragma once

#include "capture/CBDataArray.h"
#include "capture/CaptureProgress.h"
#include "capture/bytes/SnapshotCompare.h"

#include <string>
#include <vector>

// One node per entry, in tree order; each node's source is its CCBData, kept alive by the
// snapshot for as long as the nodes are used.
std::vector<CompareNode> BuildCompareTree(const CCBDataArray& snapshot);

// Compares the two snapshots under `progress` (opened and closed here).
CompareResult CompareSnapshotTrees(const std::vector<CompareNode>& a, const std::vector<CompareNode>& b,
                                   ICaptureProgress& progress);
