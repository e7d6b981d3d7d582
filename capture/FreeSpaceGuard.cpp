#include "capture/FreeSpaceGuard.h"

#include "capture/TempStore.h"
#include "capture/bytes/FreeSpaceFloor.h"

#include <windows.h>

namespace {

constexpr uint64_t kLookEvery = uint64_t{64} << 20;

bool TempVolumeFreeSpace(uint64_t& freeBytes, uint64_t& volumeBytes)
{
    const std::wstring& folder = TheTempStore().m_tempFolder;
    if (folder.empty()) return false;
    // The bytes this user may write, which quotas can make less than the volume's free bytes.
    ULARGE_INTEGER available = {}, total = {};
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, &total, nullptr)) return false;
    freeBytes = available.QuadPart;
    volumeBytes = total.QuadPart;
    return true;
}

FreeSpaceQuery g_query = TempVolumeFreeSpace;

}  // namespace

FreeSpaceQuery SetFreeSpaceQuery(FreeSpaceQuery query)
{
    const FreeSpaceQuery previous = g_query;
    g_query = query ? query : TempVolumeFreeSpace;
    return previous;
}

bool CFreeSpaceGuard::Allows(uint64_t bytes)
{
    if (!m_known || m_sinceLook >= kLookEvery || bytes > m_room) {
        uint64_t freeBytes = 0, volumeBytes = 0;
        if (!g_query(freeBytes, volumeBytes)) return true;
        m_known = true;
        m_room = RoomAboveFloor(freeBytes, volumeBytes);
        m_sinceLook = 0;
    }
    if (bytes > m_room) return false;
    m_room -= bytes;
    m_sinceLook += bytes;
    return true;
}
