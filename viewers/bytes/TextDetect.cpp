#include "viewers/bytes/TextDetect.h"

namespace {

size_t CountUtf8Faults(const uint8_t* data, size_t m)
{
    size_t faults = 0;
    int pending = 0;  // continuation bytes still expected
    for (size_t i = 0; i < m; ++i) {
        const uint8_t c = data[i];
        if (pending > 0) {
            // Only a byte below 0x80 breaks a sequence; the count goes on regardless.
            if (c == 0) return faults + 1;
            if (c < 0x80) ++faults;
            --pending;
            continue;
        }
        if (c == 0) break;
        if (c < 0x80) continue;
        if ((c & 0xE0) == 0xC0)
            pending = 1;
        else if ((c & 0xF0) == 0xE0)
            pending = 2;
        else if ((c & 0xF8) == 0xF0)
            pending = 3;
        else
            ++faults;
    }
    return faults;
}

size_t CountDoubleByteFaults(const uint8_t* data, size_t m, const DoubleByteTable& table)
{
    size_t faults = 0;
    for (size_t i = 0; i < m; ++i) {
        const uint8_t c = data[i];
        if (c == 0) break;
        if (!table.lead[c]) continue;
        if (++i >= m) break;  // a lead byte cut off by the window is no fault
        const uint8_t next = data[i];
        if (next == 0) return faults + 1;
        if (!table.trail[next]) ++faults;
    }
    return faults;
}

}  // namespace

std::optional<int> CodePageFromMarkOrZeros(const uint8_t* data, size_t n)
{
    if (!data) return std::nullopt;
    if (n >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) return kCodePageUtf8;
    if (n >= 2 && data[0] == 0xFF && data[1] == 0xFE) return kCodePageUtf16LE;
    if (n >= 2 && data[0] == 0xFE && data[1] == 0xFF) return kCodePageUtf16BE;
    // A zero at an odd offset followed later by any non-zero byte looks like UTF-16 LE
    // text of Latin letters; zeros at even offsets decide nothing.
    const size_t m = std::min(n, kDetectionWindow);
    bool armed = false;
    for (size_t i = 0; i < m; ++i) {
        if (data[i] == 0) {
            if (i % 2 == 1) armed = true;
        } else if (armed) {
            return kCodePageUtf16LE;
        }
    }
    return std::nullopt;
}

TextFaults CountTextFaults(const uint8_t* data, size_t m, const DoubleByteTable& table)
{
    TextFaults faults;
    if (!data) return faults;
    faults.utf8 = CountUtf8Faults(data, m);
    faults.doubleByte = CountDoubleByteFaults(data, m, table);
    return faults;
}

std::vector<uint8_t> DoubleByteCharacters(const uint8_t* data, size_t m, const DoubleByteTable& table)
{
    std::vector<uint8_t> characters;
    if (!data) return characters;
    for (size_t i = 0; i < m; ++i) {
        const uint8_t c = data[i];
        if (c == 0) break;
        if (!table.lead[c]) continue;
        if (i + 1 >= m || data[i + 1] == 0) break;
        characters.push_back(c);
        characters.push_back(data[++i]);
    }
    return characters;
}

int DecideCodePage(const TextFaults& faults, bool brokenShiftJis)
{
    if (faults.utf8 == 0 && faults.doubleByte == 0) return brokenShiftJis ? kCodePageUtf8 : kCodePageAnsi;
    if (faults.utf8 == 0) return kCodePageUtf8;
    if (faults.doubleByte == 0) return kCodePageAnsi;
    return kCodePageUtf16LE;
}
