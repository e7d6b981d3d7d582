// Guessing the code page of bytes that came with no code page: byte-order marks, zero
// bytes, and whether the start of the data is valid UTF-8 and valid double-byte text.
// No <windows.h>: built natively too; the caller hands in the ANSI code page's tables.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Code page values shared by the text page and its list: Windows code pages, and these.
constexpr int kCodePageAnsi = 0;
constexpr int kCodePageOem = 1;
constexpr int kCodePageUtf8 = 65001;
constexpr int kCodePageUtf16LE = -1;
constexpr int kCodePageUtf16BE = -2;
constexpr int kCodePageNone = -10;  // no code page given: detect

// Detection looks at no more than this many bytes, whatever the size of the data.
constexpr size_t kDetectionWindow = 0x4000;

// Which bytes lead a double-byte character and which may follow one.
struct DoubleByteTable {
    std::array<bool, 256> lead{};
    std::array<bool, 256> trail{};
};

struct TextFaults {
    size_t utf8 = 0;
    size_t doubleByte = 0;
};

// The answer of a byte-order mark or of the zero-byte scan; nothing when neither decides.
std::optional<int> CodePageFromMarkOrZeros(const uint8_t* data, size_t n);
// Faults of the first `m` bytes read as UTF-8 and as double-byte text; both scans stop
// at the first zero byte.
TextFaults CountTextFaults(const uint8_t* data, size_t m, const DoubleByteTable& table);
// The double-byte characters of the first `m` bytes (lead and following byte), up to
// the first zero byte; other bytes are left out, as is a lead byte at the end.
std::vector<uint8_t> DoubleByteCharacters(const uint8_t* data, size_t m, const DoubleByteTable& table);
// The decision on the fault counts; `brokenShiftJis` matters only when both are zero.
int DecideCodePage(const TextFaults& faults, bool brokenShiftJis);

// The whole guess. `isBrokenShiftJis(data, m)` tells whether the double-byte characters
// of the first m bytes fail to convert as code page 932; it is asked only when the
// bytes are valid both ways. Empty data is CP_ACP.
template <typename BrokenCheck>
int DetectCodePage(const uint8_t* data, size_t n, const DoubleByteTable& table, BrokenCheck&& isBrokenShiftJis)
{
    if (!data || n == 0) return kCodePageAnsi;
    if (const std::optional<int> decided = CodePageFromMarkOrZeros(data, n)) return *decided;
    const size_t m = std::min(n, kDetectionWindow);
    const TextFaults faults = CountTextFaults(data, m, table);
    const bool broken = faults.utf8 == 0 && faults.doubleByte == 0 && isBrokenShiftJis(data, m);
    return DecideCodePage(faults, broken);
}
