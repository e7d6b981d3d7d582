// The console's report of a find over a snapshot: one hit a line ("entry\toffset", nested
// entries as "parent/child", offsets in decimal), or JSON {"hits": [{"entry", "offset",
// "encoding"}]}.
#pragma once

#include "viewers/SnapshotFind.h"

#include <string>
#include <vector>

std::string BuildFindTextReport(const std::vector<SnapshotFindHit>& hits);
std::string BuildFindJsonReport(const std::vector<SnapshotFindHit>& hits);
