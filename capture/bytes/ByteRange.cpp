#include "capture/bytes/ByteRange.h"

std::u16string Utf16Text(const uint8_t* data, size_t size, const ByteRange& range)
{
    std::u16string text;
    if (!data || !IsInside(range, size)) return text;
    text.reserve(range.length / 2);
    for (size_t i = 0; i + 1 < range.length; i += 2)
        text.push_back(static_cast<char16_t>(ReadU16(data, range.offset + i)));
    return text;
}
