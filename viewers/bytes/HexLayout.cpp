#include "viewers/bytes/HexLayout.h"

#include <algorithm>

namespace {

const wchar_t kHexDigits[] = L"0123456789abcdef";

bool IsSeparator(wchar_t c)
{
    return c == L' ' || c == L'.';
}

// Offsets near 2^64 overflow line × bytes per line; they are limited by the size anyway.
uint64_t LineStart(uint64_t line, int bytesPerLine, uint64_t limit)
{
    uint64_t start = 0;
    if (__builtin_mul_overflow(line, static_cast<uint64_t>(bytesPerLine), &start)) return limit;
    return std::min(start, limit);
}

}  // namespace

uint64_t HexLineCount(uint64_t dataSize, int bytesPerLine)
{
    if (bytesPerLine <= 0) return 0;
    const auto per = static_cast<uint64_t>(bytesPerLine);
    return dataSize / per + (dataSize % per != 0 ? 1 : 0);
}

int HexOffsetDigits(uint64_t dataSize)
{
    if (dataSize <= 0xFFFF) return 4;
    if (dataSize <= 0xFFFFFFFFull) return 8;
    return 16;
}

int HexBytesOnLine(uint64_t dataSize, int bytesPerLine, uint64_t line)
{
    const uint64_t count = HexLineCount(dataSize, bytesPerLine);
    if (line >= count) return 0;
    const auto rest = static_cast<int>(dataSize % static_cast<uint64_t>(bytesPerLine));
    return line + 1 == count && rest != 0 ? rest : bytesPerLine;
}

int HexLineWidth(uint64_t dataSize, int bytesPerLine, uint64_t line)
{
    const int n = HexBytesOnLine(dataSize, bytesPerLine, line);
    return n == 0 ? 0 : HexCharColumn(HexOffsetDigits(dataSize), bytesPerLine) + n;
}

int HexFullLineWidth(int digits, int bytesPerLine)
{
    return digits + 3 + 4 * bytesPerLine;
}

int HexCharColumn(int digits, int bytesPerLine)
{
    return digits + 3 + 3 * bytesPerLine;
}

int FormatHexLine(uint64_t offset, int digits, int bytesPerLine, const uint8_t* bytes, int count, wchar_t* out)
{
    count = std::clamp(count, 0, bytesPerLine);
    wchar_t* p = out;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) *p++ = kHexDigits[(offset >> shift) & 0xF];
    *p++ = L' ';
    *p++ = L' ';
    for (int j = 0; j < count; ++j) {
        if (j) *p++ = L' ';
        *p++ = kHexDigits[bytes[j] >> 4];
        *p++ = kHexDigits[bytes[j] & 0xF];
    }
    for (int j = count; j < bytesPerLine; ++j) {
        *p++ = L' ';
        *p++ = L' ';
        *p++ = L' ';
    }
    // Without bytes there is no separator to stand in for the one after the last pair.
    if (count == 0 && bytesPerLine > 0) --p;
    *p++ = L' ';
    *p++ = L' ';
    for (int j = 0; j < count; ++j) *p++ = bytes[j] >= 0x20 && bytes[j] <= 0x7E ? static_cast<wchar_t>(bytes[j]) : L'.';
    return static_cast<int>(p - out);
}

std::wstring FormatHexLine(uint64_t offset, int digits, int bytesPerLine, const uint8_t* bytes, int count)
{
    std::wstring text(static_cast<size_t>(HexFullLineWidth(digits, bytesPerLine)), L' ');
    text.resize(static_cast<size_t>(FormatHexLine(offset, digits, bytesPerLine, bytes, count, text.data())));
    return text;
}

uint64_t HexMaxTopLine(uint64_t lineCount, int visibleLines)
{
    const auto visible = static_cast<uint64_t>(std::max(visibleLines, 1));
    return visible <= lineCount ? lineCount - visible + 1 : 0;
}

uint64_t HexScrollScale(uint64_t lineCount)
{
    // The bar's range ends at the line count itself (the empty line after the data), so
    // that is what must fit: lineCount / (lineCount / M + 1) < M.
    constexpr uint64_t kLargest = 0x7FFFFFFF;
    return lineCount > kLargest ? lineCount / kLargest + 1 : 1;
}

std::pair<HexPos, HexPos> NormaliseHexSelection(HexPos anchor, HexPos caret)
{
    if (caret < anchor) return {caret, anchor};
    return {anchor, caret};
}

HexColumnSpan HexSelectedColumns(int lineWidth, uint64_t line, HexPos start, HexPos end)
{
    if (line < start.line || line > end.line) return {};
    HexColumnSpan span{0, lineWidth};
    if (line == start.line) span.from = start.column;
    if (line == end.line) span.to = end.column;
    span.from = std::clamp(span.from, 0, lineWidth);
    span.to = std::clamp(span.to, 0, lineWidth);
    return span;
}

HexByteRange HexSelectedByteRange(uint64_t dataSize, int bytesPerLine, HexPos start, HexPos end)
{
    if (bytesPerLine <= 0) return {};
    const int hexStart = HexOffsetDigits(dataSize) + 2;
    auto offsetOf = [&](HexPos pos, bool isStart) {
        int k = 0;
        const int c = pos.column - hexStart;
        if (c < 0)
            k = 0;
        else if (c >= 3 * bytesPerLine)
            k = bytesPerLine;
        else
            k = c / 3 + ((isStart ? c % 3 == 2 : c % 3 != 0) ? 1 : 0);
        const uint64_t lineStart = LineStart(pos.line, bytesPerLine, dataSize);
        return std::min(dataSize, lineStart + std::min<uint64_t>(static_cast<uint64_t>(k), dataSize - lineStart));
    };
    HexByteRange range{offsetOf(start, true), offsetOf(end, false)};
    if (range.end < range.begin) range.end = range.begin;
    return range;
}

uint64_t HexSelectionTextLength(uint64_t dataSize, int bytesPerLine, HexPos start, HexPos end)
{
    if (end < start) std::swap(start, end);
    const int startWidth = HexLineWidth(dataSize, bytesPerLine, start.line);
    if (start.line == end.line) {
        const HexColumnSpan span = HexSelectedColumns(startWidth, start.line, start, end);
        return span.Empty() ? 0 : static_cast<uint64_t>(span.to - span.from);
    }
    const HexColumnSpan first = HexSelectedColumns(startWidth, start.line, start, end);
    const HexColumnSpan last = HexSelectedColumns(HexLineWidth(dataSize, bytesPerLine, end.line), end.line, start, end);
    uint64_t total = static_cast<uint64_t>(first.to - first.from) + static_cast<uint64_t>(last.to - last.from);

    // The lines in between are full, but for a short last line of the data; the empty line
    // after the data can only be the end line.
    const uint64_t lineCount = HexLineCount(dataSize, bytesPerLine);
    const uint64_t from = start.line + 1;
    const uint64_t to = std::min(end.line, lineCount);
    uint64_t between = 0;
    if (to > from) {
        const auto full = static_cast<uint64_t>(HexFullLineWidth(HexOffsetDigits(dataSize), bytesPerLine));
        if (__builtin_mul_overflow(to - from, full, &between)) return UINT64_MAX;
        if (to == lineCount) between -= full - static_cast<uint64_t>(HexLineWidth(dataSize, bytesPerLine, to - 1));
    }
    uint64_t breaks = 0;
    if (__builtin_mul_overflow(end.line - start.line, uint64_t{2}, &breaks)) return UINT64_MAX;
    if (__builtin_add_overflow(total, between, &total) || __builtin_add_overflow(total, breaks, &total))
        return UINT64_MAX;
    return total;
}

int HexWordLeftColumn(std::wstring_view lineText, int column)
{
    int i = std::min(column, static_cast<int>(lineText.size())) - 1;
    while (i >= 1 && IsSeparator(lineText[static_cast<size_t>(i)])) --i;
    while (i >= 1 && !IsSeparator(lineText[static_cast<size_t>(i)])) --i;
    return i >= 1 ? i + 1 : 0;
}

int HexWordRightColumn(std::wstring_view lineText, int column)
{
    const int width = static_cast<int>(lineText.size());
    int i = std::clamp(column, 0, width);
    while (i < width && !IsSeparator(lineText[static_cast<size_t>(i)])) ++i;
    while (i < width && IsSeparator(lineText[static_cast<size_t>(i)])) ++i;
    return i;
}

HexColumnSpan HexWordAtColumn(std::wstring_view lineText, int column)
{
    const int width = static_cast<int>(lineText.size());
    if (width == 0) return {};
    // Beyond the end of a short line: the last word.
    column = std::clamp(column, 0, width - 1);
    // A step left from just after the character stops at the start of its own word.
    const int from = HexWordLeftColumn(lineText, column + 1);
    return {from, HexWordRightColumn(lineText, from)};
}

uint64_t HexLineAtY(uint64_t topLine, int y, int topMargin, int lineHeight, uint64_t lineCount)
{
    if (lineHeight <= 0) return std::min(topLine, lineCount);
    // Integer division truncates toward zero, as a click just above the first row expects.
    const long long rows = (static_cast<long long>(y) - topMargin) / lineHeight;
    uint64_t line = 0;
    if (rows < 0)
        line = static_cast<uint64_t>(-rows) > topLine ? 0 : topLine - static_cast<uint64_t>(-rows);
    else if (__builtin_add_overflow(topLine, static_cast<uint64_t>(rows), &line))
        line = lineCount;
    return std::min(line, lineCount);
}

int HexColumnAtX(int scrollColumn, int x, int leftMargin, int charWidth, bool snap, int width)
{
    if (charWidth <= 0) return std::clamp(scrollColumn, 0, width);
    const long long offset = static_cast<long long>(x) - leftMargin + (snap ? charWidth / 2 : 0);
    const long long column = scrollColumn + offset / charWidth;
    return static_cast<int>(std::clamp<long long>(column, 0, width));
}
