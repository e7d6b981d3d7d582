// The arithmetic of the hex dump: line text, line widths, offset digits, scroll scale,
// selection normalisation, the mapping of displayed columns to bytes, word steps and the
// length of the copied text. Sizes go up to 2^64 - 1 bytes, so lines are 64-bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

// A place in the displayed text: lines 0 ... line count (the last index is the empty
// line after the data), columns 0 ... the line's width.
struct HexPos {
    uint64_t line = 0;
    int column = 0;
    friend bool operator==(const HexPos&, const HexPos&) = default;
    friend bool operator<(const HexPos& a, const HexPos& b)
    {
        return a.line < b.line || (a.line == b.line && a.column < b.column);
    }
};

// Bytes [begin, end) of the data.
struct HexByteRange {
    uint64_t begin = 0;
    uint64_t end = 0;
    uint64_t Length() const { return end - begin; }
    bool Empty() const { return end <= begin; }
};

// Characters [from, to) of one line.
struct HexColumnSpan {
    int from = 0;
    int to = 0;
    bool Empty() const { return to <= from; }
};

// The largest bytes-per-line value the control accepts.
constexpr int kHexMaxBytesPerLine = 1024;

uint64_t HexLineCount(uint64_t dataSize, int bytesPerLine);
// 4 for sizes up to 0xFFFF, 8 up to 0xFFFFFFFF, else 16: the size decides, not the last offset.
int HexOffsetDigits(uint64_t dataSize);
// Bytes shown on `line`; 0 for an index outside the data's lines.
int HexBytesOnLine(uint64_t dataSize, int bytesPerLine, uint64_t line);
// The width in characters of `line`; 0 outside the data's lines.
int HexLineWidth(uint64_t dataSize, int bytesPerLine, uint64_t line);
// The widest line there can be: a full line.
int HexFullLineWidth(int digits, int bytesPerLine);
// Where the character column starts; the same on every line, also a short last one.
int HexCharColumn(int digits, int bytesPerLine);

// Writes the text of one line into `out`, which holds HexFullLineWidth(digits, bytesPerLine)
// characters, and returns its width. `count` (≤ bytesPerLine) bytes are shown; the hex
// pairs of missing bytes become spaces so that the character column stays aligned.
int FormatHexLine(uint64_t offset, int digits, int bytesPerLine, const uint8_t* bytes, int count, wchar_t* out);
std::wstring FormatHexLine(uint64_t offset, int digits, int bytesPerLine, const uint8_t* bytes, int count);

// The top line that shows the empty line after the data at the bottom; 0 when all fits.
uint64_t HexMaxTopLine(uint64_t lineCount, int visibleLines);
// The divisor that brings line positions, up to the line count, into the 32-bit scroll
// bar (≥ 1): lineCount / scale never exceeds 0x7FFFFFFF.
uint64_t HexScrollScale(uint64_t lineCount);

// (start, end) with start never after end.
std::pair<HexPos, HexPos> NormaliseHexSelection(HexPos anchor, HexPos caret);
// The characters of `line` inside the selection [start, end).
HexColumnSpan HexSelectedColumns(int lineWidth, uint64_t line, HexPos start, HexPos end);
// The bytes behind the selected characters: a selection starting inside the character
// column starts at the next line's first byte, one ending there takes the rest of its line.
HexByteRange HexSelectedByteRange(uint64_t dataSize, int bytesPerLine, HexPos start, HexPos end);

// Number of characters (without the terminating NUL) of the selection as copied: the
// selected characters of each line, with "\r\n" after every line but the last. UINT64_MAX
// when the count does not fit 64 bits.
uint64_t HexSelectionTextLength(uint64_t dataSize, int bytesPerLine, HexPos start, HexPos end);

// Word steps over one line's text; separators are " " and ".".
// The column a step to the left of `column` (> 0) lands on.
int HexWordLeftColumn(std::wstring_view lineText, int column);
// The column a step to the right of `column` (< width) lands on.
int HexWordRightColumn(std::wstring_view lineText, int column);

// What a double click on the character at `column` selects: the word under it (a hex
// pair, the offset, a run of characters) with the separators after it; on a separator, the
// word before it with its separators; at or beyond the line's end, its last word.
HexColumnSpan HexWordAtColumn(std::wstring_view lineText, int column);

// The line under a pixel row y: truncating toward zero, limited to 0 ... line count.
uint64_t HexLineAtY(uint64_t topLine, int y, int topMargin, int lineHeight, uint64_t lineCount);
// The column under a pixel x: snapped to the nearest character boundary, or the character
// under the pointer when `snap` is false; limited to 0 ... width.
int HexColumnAtX(int scrollColumn, int x, int leftMargin, int charWidth, bool snap, int width);
