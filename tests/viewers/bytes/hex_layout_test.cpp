#include "viewers/bytes/HexLayout.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

std::vector<uint8_t> Iota(size_t n, uint8_t first = 0)
{
    std::vector<uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

}  // namespace

TEST(HexLine, OffsetDigitsFollowTheSizeNotTheLastOffset)
{
    EXPECT_EQ(HexOffsetDigits(0), 4);
    EXPECT_EQ(HexOffsetDigits(0xFFFF), 4);
    EXPECT_EQ(HexOffsetDigits(0x10000), 8);
    EXPECT_EQ(HexOffsetDigits(0xFFFFFFFF), 8);
    EXPECT_EQ(HexOffsetDigits(0x100000000), 16);
    EXPECT_EQ(FormatHexLine(0x10, 8, 16, nullptr, 0).substr(0, 10), L"00000010  ");
    EXPECT_EQ(FormatHexLine(0xFFFFFFFFFFFFFFF0ull, 16, 16, nullptr, 0).substr(0, 16), L"fffffffffffffff0");
}

TEST(HexLine, FullAndShortLinesKeepTheCharacterColumnAligned)
{
    const std::vector<uint8_t> bytes = {'A', 0x20, 0x7E, 0x7F, 0x80, 0xFF, 0x00, 'z', 1, 2, 3, 4, 5, 6, 7, 8};
    const std::wstring full = FormatHexLine(0x20, 4, 16, bytes.data(), 16);
    EXPECT_EQ(full, L"0020  41 20 7e 7f 80 ff 00 7a 01 02 03 04 05 06 07 08  A ~....z........");
    EXPECT_EQ(static_cast<int>(full.size()), HexLineWidth(0x30, 16, 2));
    EXPECT_EQ(full.size(), 71u);

    // 21 bytes: the last line holds 5.
    const std::wstring last = FormatHexLine(16, 4, 16, bytes.data(), 5);
    EXPECT_EQ(last.size(), 60u);
    EXPECT_EQ(HexLineWidth(21, 16, 1), 60);
    EXPECT_EQ(HexCharColumn(4, 16), 55);
    EXPECT_EQ(last.substr(55), L"A ~..");
    EXPECT_EQ(last.substr(0, 22), L"0010  41 20 7e 7f 80  ");
    EXPECT_EQ(HexLineWidth(21, 16, 2), 0);  // the empty line after the data
    EXPECT_EQ(HexLineCount(21, 16), 2u);
    EXPECT_EQ(HexLineCount(0, 16), 0u);
}

TEST(HexLayout, ScrollScaleKeepsPositionsInsideThe32BitBar)
{
    EXPECT_EQ(HexMaxTopLine(0, 10), 0u);
    EXPECT_EQ(HexMaxTopLine(9, 10), 0u);
    EXPECT_EQ(HexMaxTopLine(100, 10), 91u);  // the empty line after the data comes into view
    // Unscaled up to the bar's largest position, then the least whole divisor that keeps
    // the line count below it.
    EXPECT_EQ(HexScrollScale(0), 1u);
    EXPECT_EQ(HexScrollScale(0x7FFFFFFE), 1u);
    EXPECT_EQ(HexScrollScale(0x7FFFFFFF), 1u);
    EXPECT_EQ(HexScrollScale(0x80000000), 2u);
    EXPECT_EQ(HexScrollScale(0xFFFFFFFD), 2u);
    EXPECT_EQ(HexScrollScale(0xFFFFFFFE), 3u);
    EXPECT_EQ(HexScrollScale(uint64_t{0x7FFFFFFF} * 1000), 1001u);
    // Every position fits, and at least half the bar is used: a scale that squeezed the
    // lines into a few positions would leave the thumb nowhere to go.
    for (const uint64_t lines :
         {uint64_t{0x7FFFFFFF}, uint64_t{0x80000000}, uint64_t{0xFFFFFFFE}, uint64_t{1} << 33,
          (uint64_t{1} << 40) + 12345, HexLineCount(UINT64_MAX, 16), HexLineCount(UINT64_MAX, 1)}) {
        const uint64_t scale = HexScrollScale(lines);
        EXPECT_LE(lines / scale, 0x7FFFFFFFu) << lines;
        EXPECT_GT(lines / scale, 0x3FFFFFFFu) << lines;
    }
}

TEST(HexSelection, ByteRangeFollowsTheColumnsSelected)
{
    const HexPos origin{0, 0};
    // Offset column only: characters but no bytes.
    EXPECT_TRUE(HexSelectedByteRange(20, 16, origin, {0, 5}).Empty());
    EXPECT_EQ(HexSelectionTextLength(20, 16, origin, {0, 5}), 5u);
    // Select all of 20 bytes: to column 0 of the empty line after the data.
    const HexByteRange all = HexSelectedByteRange(20, 16, origin, {2, 0});
    EXPECT_EQ(all.begin, 0u);
    EXPECT_EQ(all.end, 20u);
    EXPECT_EQ(HexSelectionTextLength(20, 16, origin, {2, 0}), 71u + 2 + 59 + 2);
    // A start or end inside a pair takes the pair; a start on the space after it does not.
    EXPECT_EQ(HexSelectedByteRange(20, 16, {0, 7}, {0, 10}).begin, 0u);
    EXPECT_EQ(HexSelectedByteRange(20, 16, {0, 8}, {0, 10}).begin, 1u);
    EXPECT_EQ(HexSelectedByteRange(20, 16, {0, 6}, {0, 10}).end, 2u);
    EXPECT_EQ(HexSelectedByteRange(20, 16, {0, 6}, {0, 9}).end, 1u);
    // Starting in the character column means the next line; ending there takes the rest.
    const HexByteRange chars = HexSelectedByteRange(40, 16, {0, 60}, {1, 56});
    EXPECT_EQ(chars.begin, 16u);
    EXPECT_EQ(chars.end, 32u);
    // Beyond 2^64 the line start saturates at the size instead of wrapping.
    const uint64_t lines = HexLineCount(UINT64_MAX, 16);
    const HexByteRange tail = HexSelectedByteRange(UINT64_MAX, 16, {lines - 1, 0}, {lines, 0});
    EXPECT_EQ(tail.end, UINT64_MAX);
    EXPECT_EQ(tail.begin, (lines - 1) * 16);
}

TEST(HexSelection, TextLengthCountsLinesAndBreaks)
{
    // Columns 5 to 10 of one line, normalised from a backwards selection.
    const auto [start, end] = NormaliseHexSelection({0, 10}, {0, 5});
    EXPECT_EQ(start, (HexPos{0, 5}));
    EXPECT_EQ(HexSelectionTextLength(100, 16, start, end), 5u);
    // Lines 1 ... 5 of 100 bytes (6 full lines and one of 4): from column 3 to column 2.
    EXPECT_EQ(HexSelectionTextLength(100, 16, {1, 3}, {5, 2}), (71u - 3) + 3 * 71 + 2 + 4 * 2);
    // Through the short last line to the empty line.
    EXPECT_EQ(HexSelectionTextLength(100, 16, {5, 0}, {7, 0}), 71u + 2 + (4 + 3 + 48 + 4) + 2);
    // A whole 2^64 - 1 byte source does not fit any count.
    EXPECT_EQ(HexSelectionTextLength(UINT64_MAX, 16, {0, 0}, {HexLineCount(UINT64_MAX, 16), 0}), UINT64_MAX);
    const HexColumnSpan middle = HexSelectedColumns(71, 3, {1, 3}, {5, 2});
    EXPECT_EQ(middle.from, 0);
    EXPECT_EQ(middle.to, 71);
    EXPECT_TRUE(HexSelectedColumns(71, 6, {1, 3}, {5, 2}).Empty());
}

TEST(HexWords, StepsOverPairsOffsetsAndSeparators)
{
    const std::vector<uint8_t> bytes = Iota(16, 0x41);
    const std::wstring line = FormatHexLine(0, 4, 16, bytes.data(), 16);
    EXPECT_EQ(HexWordRightColumn(line, 0), 6);  // offset and its two spaces
    EXPECT_EQ(HexWordRightColumn(line, 7), 9);  // the rest of a pair and its space
    EXPECT_EQ(HexWordLeftColumn(line, 9), 6);   // back over the space to the pair's start
    EXPECT_EQ(HexWordLeftColumn(line, 6), 0);   // column 0 is never examined
    EXPECT_EQ(HexWordLeftColumn(line, 3), 0);
    EXPECT_EQ(HexWordRightColumn(line, 55), 71);  // the character run to the end
    EXPECT_EQ(HexWordRightColumn(line, 71), 71);
    const std::wstring dots = L"0000  2e 2e  ..";
    EXPECT_EQ(HexWordLeftColumn(dots, 15), 9);  // dots are separators too
}

TEST(HexWords, DoubleClickSelectsTheWordUnderEveryColumn)
{
    const std::vector<uint8_t> bytes = Iota(16, 0x41);
    const std::wstring line = FormatHexLine(0, 4, 16, bytes.data(), 16);
    for (int column = 0; column <= 72; ++column) {
        HexColumnSpan expected;
        if (column < 6)
            expected = {0, 6};  // the offset and its two spaces
        else if (column < 51)
            expected = {6 + (column - 6) / 3 * 3, 9 + (column - 6) / 3 * 3};  // a pair and its space
        else if (column < 55)
            expected = {51, 55};  // the last pair and the gap
        else
            expected = {55, 71};  // the character run, also past the end
        const HexColumnSpan word = HexWordAtColumn(line, column);
        EXPECT_EQ(word.from, expected.from) << column;
        EXPECT_EQ(word.to, expected.to) << column;
    }
    const std::wstring dots = L"0000  2e 41  .A";
    EXPECT_EQ(HexWordAtColumn(dots, 14).from, 14);
    EXPECT_EQ(HexWordAtColumn(dots, 13).from, 9);  // a dot belongs to the word before it
    EXPECT_TRUE(HexWordAtColumn(L"", 3).Empty());
}

TEST(HexMouse, PointsMapToLimitedPositions)
{
    // Rows of 12 pixels under a 2-pixel top margin.
    EXPECT_EQ(HexLineAtY(10, 2, 2, 12, 100), 10u);
    EXPECT_EQ(HexLineAtY(10, -3, 2, 12, 100), 10u);  // truncation toward zero
    EXPECT_EQ(HexLineAtY(10, -30, 2, 12, 100), 8u);
    EXPECT_EQ(HexLineAtY(1, -300, 2, 12, 100), 0u);
    EXPECT_EQ(HexLineAtY(95, 3000, 2, 12, 100), 100u);
    EXPECT_EQ(HexLineAtY(UINT64_MAX - 1, 3000, 2, 12, UINT64_MAX), UINT64_MAX);
    // Characters of 6 pixels after a 3-pixel margin: a click snaps to the nearer boundary.
    EXPECT_EQ(HexColumnAtX(0, 3 + 6 * 4 + 2, 3, 6, true, 71), 4);
    EXPECT_EQ(HexColumnAtX(0, 3 + 6 * 4 + 3, 3, 6, true, 71), 5);
    EXPECT_EQ(HexColumnAtX(0, 3 + 6 * 4 + 5, 3, 6, false, 71), 4);
    EXPECT_EQ(HexColumnAtX(10, 5000, 3, 6, true, 71), 71);
    EXPECT_EQ(HexColumnAtX(10, -5000, 3, 6, true, 71), 0);
}
