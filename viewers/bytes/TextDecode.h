// What part of an entry's bytes the text page decodes: the byte-order mark it skips,
// where a terminating NUL ends the text, and the UTF-16 units themselves. No
// <windows.h>: built natively too; the conversion of other code pages is the caller's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct ByteOrderMark {
    int codePage;  // 65001, -1 (UTF-16 LE) or -2 (UTF-16 BE)
    size_t length;
};
std::optional<ByteOrderMark> FindByteOrderMark(const uint8_t* data, size_t n);

// The units of data read as UTF-16: [firstUnit, endUnit) of the n / 2 whole units (an odd
// last byte is left out). The text ends before the first zero unit, which sets `nul`;
// a mark of the chosen byte order is skipped.
struct Utf16Layout {
    size_t firstUnit = 0;
    size_t endUnit = 0;
    bool nul = false;
};
Utf16Layout LayOutUtf16(const uint8_t* data, size_t n, int codePage);

// The text of LayOutUtf16 in 16-bit characters, big-endian units for code page -2.
// Returns the NUL flag.
template <typename Char>
bool DecodeUtf16(const uint8_t* data, size_t n, int codePage, std::basic_string<Char>& text)
{
    static_assert(sizeof(Char) >= 2);
    const Utf16Layout layout = LayOutUtf16(data, n, codePage);
    const bool bigEndian = codePage == -2;
    text.resize(layout.endUnit - layout.firstUnit);
    for (size_t unit = layout.firstUnit; unit < layout.endUnit; ++unit) {
        const uint8_t first = data[2 * unit], second = data[2 * unit + 1];
        text[unit - layout.firstUnit] = static_cast<Char>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    return layout.nul;
}

// The bytes handed to a multi-byte conversion: up to the first zero byte (which sets
// `nul`), without the UTF-8 mark when the code page is 65001.
struct MultiByteInput {
    size_t offset = 0;
    size_t length = 0;
    bool nul = false;
};
MultiByteInput PrepareMultiByteInput(const uint8_t* data, size_t n, int codePage);
