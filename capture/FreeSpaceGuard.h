// Keeps copies into the temporary folder from filling its volume: a source's stream that
// never ends, or a sparse file of a terabyte named in a drop, stops at the floor of free
// space (capture/bytes/FreeSpaceFloor.h) with an error row instead.
#pragma once

#include <cstdint>

// The row, or the reason, of a copy stopped at the floor.
inline constexpr wchar_t kFreeSpaceFloorText[] =
    L"一時フォルダのドライブの空き容量が残り少ないため、コピーを中止しました。";

class CFreeSpaceGuard {
public:
    // Whether `bytes` more may be written into the temporary folder. The volume is asked
    // again after every 64 MiB allowed, so that other writers are seen too. When its free
    // space cannot be read at all, writing goes on and fails as the volume does.
    bool Allows(uint64_t bytes);

private:
    bool m_known = false;
    uint64_t m_room = 0;       // above the floor at the last look, less what was allowed since
    uint64_t m_sinceLook = 0;  // allowed since the last look
};

// How the free space of the temporary folder's volume is read; false when it cannot be.
using FreeSpaceQuery = bool (*)(uint64_t& freeBytes, uint64_t& volumeBytes);
// Test seam: replaces the query (null restores the real one) and returns the previous one.
FreeSpaceQuery SetFreeSpaceQuery(FreeSpaceQuery query);
