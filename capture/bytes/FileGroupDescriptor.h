// The file names of a file group descriptor (FILEGROUPDESCRIPTORW / FILEGROUPDESCRIPTORA):
// a 32-bit item count, then one fixed-size descriptor per item whose name field starts
// 72 bytes in. No <windows.h>: built natively too.
#pragma once

#include "capture/bytes/ByteRange.h"

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr size_t kFileDescriptorWSize = 592;
inline constexpr size_t kFileDescriptorASize = 332;
inline constexpr size_t kFileDescriptorNameOffset = 72;
inline constexpr size_t kFileDescriptorNameUnits = 260;  // MAX_PATH characters

struct FileGroupNames {
    // The item count the descriptor claims; 0 when the data is too short to hold it.
    uint32_t claimedItems = 0;
    // The name bytes of each whole descriptor inside the data, without the terminator:
    // a name ends at its first NUL, at its field's end at the latest.
    std::vector<ByteRange> names;
    // The data holds fewer whole descriptors than it claims, or not even the count.
    bool truncated = false;
};

FileGroupNames ReadFileGroupNames(const uint8_t* data, size_t size, bool wide);
