#include "viewers/bytes/HexByteSelection.h"

#include <gtest/gtest.h>

namespace {

// The positions made for a range select that very range again, across line ends, on
// the last short line, and with every width and offset width.
TEST(HexByteSelection, PositionsSelectExactlyTheirBytes)
{
    for (const uint64_t size : {1ull, 37ull, 0x10000ull, 0x100000001ull})
        for (const int perLine : {16, 32, 64})
            for (const auto& [begin, end] : std::initializer_list<std::pair<uint64_t, uint64_t>>{
                     {0, 1}, {0, size}, {size - 1, size}, {15, 17}, {16, 48}, {3, 35}}) {
                if (end > size || begin >= end) continue;
                const auto [start, stop] = HexPositionsOfBytes(size, perLine, begin, end);
                const HexByteRange range = HexSelectedByteRange(size, perLine, start, stop);
                EXPECT_EQ(range.begin, begin) << size << " " << perLine << " " << begin << "-" << end;
                EXPECT_EQ(range.end, end) << size << " " << perLine << " " << begin << "-" << end;
            }
}

TEST(HexByteSelection, EmptyAndOutsideRangesAreClipped)
{
    const auto [start, stop] = HexPositionsOfBytes(100, 16, 40, 40);
    EXPECT_TRUE(start == stop);
    EXPECT_EQ(start.line, 2u);
    const auto [a, b] = HexPositionsOfBytes(100, 16, 90, 5000);
    EXPECT_EQ(HexSelectedByteRange(100, 16, a, b).end, 100u);
    const auto [c, d] = HexPositionsOfBytes(100, 16, 500, 600);
    EXPECT_TRUE(c == d);
    EXPECT_EQ(HexSelectedByteRange(100, 16, c, d).Length(), 0u);
}

}  // namespace
