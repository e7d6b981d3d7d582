#include "viewers/bytes/TextDecode.h"

#include <algorithm>
#include <cstring>

std::optional<ByteOrderMark> FindByteOrderMark(const uint8_t* data, size_t n)
{
    if (!data) return std::nullopt;
    if (n >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) return ByteOrderMark{65001, 3};
    if (n >= 2 && data[0] == 0xFF && data[1] == 0xFE) return ByteOrderMark{-1, 2};
    if (n >= 2 && data[0] == 0xFE && data[1] == 0xFF) return ByteOrderMark{-2, 2};
    return std::nullopt;
}

Utf16Layout LayOutUtf16(const uint8_t* data, size_t n, int codePage)
{
    Utf16Layout layout;
    if (!data) return layout;
    const size_t units = n / 2;
    size_t end = 0;
    while (end < units && (data[2 * end] != 0 || data[2 * end + 1] != 0)) ++end;
    layout.nul = end < units;
    layout.endUnit = end;
    const std::optional<ByteOrderMark> mark = FindByteOrderMark(data, n);
    if (mark && mark->codePage == codePage) layout.firstUnit = std::min(mark->length / 2, end);
    return layout;
}

MultiByteInput PrepareMultiByteInput(const uint8_t* data, size_t n, int codePage)
{
    MultiByteInput input;
    if (!data) return input;
    const void* zero = std::memchr(data, 0, n);
    input.length = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : n;
    input.nul = zero != nullptr;
    if (codePage == 65001 && input.length >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        input.offset = 3;
        input.length -= 3;
    }
    return input;
}
