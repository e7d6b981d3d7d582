#include "viewers/bytes/TextSteps.h"

#include <algorithm>
#include <iterator>

namespace {

// The length a UTF-8 lead byte announces; 0 for a continuation byte.
size_t Utf8SequenceLength(uint8_t b)
{
    if (b < 0x80) return 1;
    if (b < 0xC0) return 0;
    if (b < 0xE0) return 2;
    if (b < 0xF0) return 3;
    if (b < 0xF8) return 4;
    return 1;  // never a lead byte: a character of its own for the converter
}

std::u16string Decimal(uint64_t value)
{
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

}  // namespace

size_t WholeCharacterLength(const uint8_t* data, size_t n, int codePage, const DoubleByteTable* table)
{
    if (!data) return 0;
    if (codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE) return n & ~static_cast<size_t>(1);
    if (codePage == kCodePageUtf8) {
        // The last lead byte within a sequence's reach decides.
        for (size_t back = 1; back <= 4 && back <= n; ++back) {
            const size_t at = n - back;
            const size_t length = Utf8SequenceLength(data[at]);
            if (length == 0) continue;
            return length > back ? at : n;
        }
        return n;
    }
    if (table) {
        size_t at = 0;
        while (at < n) {
            if (!table->lead[data[at]]) {
                ++at;
            } else if (at + 1 < n) {
                at += 2;
            } else {
                break;
            }
        }
        return at;
    }
    return n;
}

std::u16string SizeText(uint64_t bytes)
{
    if (bytes < 1024) return Decimal(bytes) + u" バイト";
    static const char16_t* const units[] = {u" KiB", u" MiB", u" GiB", u" TiB"};
    uint64_t unit = 1024;
    size_t index = 0;
    // Tenths of the unit, rounded to the nearest; the next unit once they reach 1024.0.
    const auto tenths = [&] { return bytes / unit * 10 + ((bytes % unit) * 10 + unit / 2) / unit; };
    while (index + 1 < std::size(units) && tenths() >= 10240) {
        unit *= 1024;
        ++index;
    }
    const uint64_t t = tenths();
    return Decimal(t / 10) + u"." + Decimal(t % 10) + units[index];
}

std::u16string ShownPartNote(uint64_t shownBytes, uint64_t totalBytes)
{
    return u"  先頭 " + SizeText(shownBytes) + u" / " + SizeText(totalBytes) + u" を表示";
}

std::u16string PendingStatus(uint64_t doneBytes, uint64_t totalBytes)
{
    uint64_t percent = 100;
    if (totalBytes >= 100)
        percent = doneBytes / (totalBytes / 100);
    else if (totalBytes != 0)
        percent = doneBytes * 100 / totalBytes;
    return u"終端NUL・改行コード: 確認中 " + Decimal(std::min<uint64_t>(percent, 100)) + u"%";
}
