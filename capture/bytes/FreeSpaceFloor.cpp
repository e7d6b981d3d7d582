#include "capture/bytes/FreeSpaceFloor.h"

#include <algorithm>

uint64_t FreeSpaceFloor(uint64_t volumeBytes)
{
    return std::max(kFreeSpaceFloorBytes, volumeBytes / kFreeSpaceFloorShare);
}

uint64_t RoomAboveFloor(uint64_t freeBytes, uint64_t volumeBytes)
{
    const uint64_t floor = FreeSpaceFloor(volumeBytes);
    return freeBytes > floor ? freeBytes - floor : 0;
}
