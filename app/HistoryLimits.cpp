#include "app/HistoryLimits.h"

#include <algorithm>

int KeptSnapshots(int setting, bool watching)
{
    const int kept = std::clamp(setting, 1, kMaxKeptSnapshots);
    return watching ? std::max(kept, kWatchKeptSnapshots) : kept;
}

size_t SnapshotsOverLimits(const std::vector<uint64_t>& bytesNewestFirst, int keep, uint64_t budget)
{
    size_t stay = 0;
    uint64_t total = 0;
    for (const uint64_t bytes : bytesNewestFirst) {
        if (stay >= static_cast<size_t>(std::max(keep, 1))) break;
        if (stay > 0 && (bytes > budget || total > budget - bytes)) break;
        total += bytes;
        ++stay;
    }
    return bytesNewestFirst.size() - stay;
}
