// How many snapshots the document keeps. A history of one replaces the snapshot at each
// capture; longer histories drop their oldest snapshots first when a limit is reached.
// Pure: sizes in, counts out.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr int kMaxKeptSnapshots = 100;
inline constexpr int kWatchKeptSnapshots = 20;
inline constexpr uint64_t kDefaultHistoryBudget = 1ull << 30;

// The number of snapshots to keep: the setting within 1 to 100, and while watching at least 20.
int KeptSnapshots(int setting, bool watching);

// How many of the oldest snapshots go so that at most `keep` stay and their bytes fit
// `budget`. The newest always stays, however large it is.
size_t SnapshotsOverLimits(const std::vector<uint64_t>& bytesNewestFirst, int keep, uint64_t budget);
