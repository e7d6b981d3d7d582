// A run of bytes inside data received from another program, and the reading of
// little-endian values and UTF-16 text out of it. No <windows.h>: built natively too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// `length` bytes from `offset`; the parsers return only ranges that lie wholly inside
// the data they were given.
struct ByteRange {
    size_t offset = 0;
    size_t length = 0;
    bool operator==(const ByteRange&) const = default;
};

// The values at `offset`; the caller has checked that they lie inside the data.
inline uint16_t ReadU16(const uint8_t* data, size_t offset)
{
    return static_cast<uint16_t>(data[offset] | data[offset + 1] << 8);
}
inline uint32_t ReadU32(const uint8_t* data, size_t offset)
{
    return static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8 |
           static_cast<uint32_t>(data[offset + 2]) << 16 | static_cast<uint32_t>(data[offset + 3]) << 24;
}

// Whether the range lies wholly inside data of `size` bytes.
inline bool IsInside(const ByteRange& range, size_t size)
{
    return range.offset <= size && range.length <= size - range.offset;
}

// The UTF-16 little-endian text of a range (an odd last byte is left out); empty when
// the range does not lie inside the data.
std::u16string Utf16Text(const uint8_t* data, size_t size, const ByteRange& range);
