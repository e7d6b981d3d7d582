// The free space that copies into the temporary folder leave on its volume. No
// <windows.h>: built natively too.
#pragma once

#include <cstdint>

// Whichever is larger of these is never written into: a copy that would go below it stops.
inline constexpr uint64_t kFreeSpaceFloorBytes = uint64_t{1} << 30;
inline constexpr uint64_t kFreeSpaceFloorShare = 20;  // 5 % of the volume

// The floor of a volume of `volumeBytes`: max(1 GiB, 5 % of the volume).
uint64_t FreeSpaceFloor(uint64_t volumeBytes);
// The bytes that can still be written before the free space reaches the floor; 0 when it
// is there already.
uint64_t RoomAboveFloor(uint64_t freeBytes, uint64_t volumeBytes);
