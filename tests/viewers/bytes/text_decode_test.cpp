#include "viewers/bytes/TextDecode.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Decoded {
    std::u16string text;
    bool nul;
};
Decoded Utf16(const std::vector<uint8_t>& data, int codePage)
{
    Decoded d;
    d.nul = DecodeUtf16(data.data(), data.size(), codePage, d.text);
    return d;
}

}  // namespace

TEST(TextDecode, Utf16UnitsEndAtTheFirstZeroUnitAndSkipOnlyTheirOwnMark)
{
    Decoded d = Utf16({0x41, 0x00, 0x42, 0x00}, -1);
    EXPECT_EQ(d.text, u"AB");
    EXPECT_FALSE(d.nul);
    d = Utf16({0xFE, 0xFF, 0x00, 0x41, 0x00, 0x0D, 0x00, 0x0A}, -2);
    EXPECT_EQ(d.text, u"A\r\n");
    // The same bytes read little-endian keep the mark as a character.
    d = Utf16({0xFE, 0xFF, 0x00, 0x41}, -1);
    EXPECT_EQ(d.text, std::u16string({0xFFFE, 0x4100}));
    d = Utf16({0xFF, 0xFE, 0x42, 0x30, 0x00, 0x00, 0x43, 0x00}, -1);
    EXPECT_EQ(d.text, u"あ");
    EXPECT_TRUE(d.nul);
    // A zero byte that is half of a unit is no terminator.
    d = Utf16({0x00, 0x30, 0x41, 0x00}, -1);
    EXPECT_EQ(d.text, u"\u3000A");
    EXPECT_FALSE(d.nul);
}

TEST(TextDecode, OddByteCountsAndTinyDataStayInside)
{
    Decoded d = Utf16({0x41, 0x00, 0x42}, -1);
    EXPECT_EQ(d.text, u"A");
    EXPECT_FALSE(d.nul);
    EXPECT_EQ(Utf16({0x41}, -1).text, u"");
    EXPECT_EQ(Utf16({0xFF, 0xFE}, -1).text, u"");        // a mark alone
    EXPECT_EQ(Utf16({0xFE, 0xFF, 0x00}, -2).text, u"");  // a mark and half a unit
    EXPECT_EQ(Utf16({}, -2).text, u"");
    const Utf16Layout none = LayOutUtf16(nullptr, 8, -1);
    EXPECT_EQ(none.endUnit, 0u);
}

TEST(TextDecode, MultiByteInputStopsAtNulAndDropsTheUtf8MarkOnlyForUtf8)
{
    auto input = [](const std::vector<uint8_t>& data, int codePage) {
        const MultiByteInput in = PrepareMultiByteInput(data.data(), data.size(), codePage);
        return std::make_tuple(in.offset, in.length, in.nul);
    };
    EXPECT_EQ(input({'a', 'b', 'c', 0, 'd', 'e', 'f'}, 0), std::make_tuple(size_t{0}, size_t{3}, true));
    EXPECT_EQ(input({0xEF, 0xBB, 0xBF, 'a'}, 65001), std::make_tuple(size_t{3}, size_t{1}, false));
    EXPECT_EQ(input({0xEF, 0xBB, 0xBF, 'a'}, 0), std::make_tuple(size_t{0}, size_t{4}, false));
    EXPECT_EQ(input({0xEF, 0xBB, 0xBF}, 65001), std::make_tuple(size_t{3}, size_t{0}, false));
    EXPECT_EQ(input({0xEF, 0xBB, 0}, 65001), std::make_tuple(size_t{0}, size_t{2}, true));
    EXPECT_EQ(input({0}, 932), std::make_tuple(size_t{0}, size_t{0}, true));
}
