#include "viewers/bytes/TextSteps.h"

#include "tests/viewers/bytes/ShiftJisTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

size_t Whole(const std::string& bytes, int codePage, const DoubleByteTable* table = nullptr)
{
    return WholeCharacterLength(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), codePage, table);
}

}  // namespace

TEST(TextSteps, StepsEndOnCharacterBoundaries)
{
    // "aあ" and a four-byte character, cut after every byte.
    const std::string utf8 = "a\xE3\x81\x82\xF0\x9F\x98\x80";
    const size_t utf8Whole[] = {0, 1, 1, 1, 4, 4, 4, 4, 8};
    for (size_t n = 0; n <= utf8.size(); ++n) EXPECT_EQ(Whole(utf8.substr(0, n), 65001), utf8Whole[n]) << n;
    EXPECT_EQ(Whole("\x80\x80\x80\x80\x80", 65001), 5u);  // no lead byte: nothing to wait for
    EXPECT_EQ(Whole("ab\xFF", 65001), 3u);

    const DoubleByteTable sjis = ShiftJisTable();
    EXPECT_EQ(Whole("a\x82\xA0", 932, &sjis), 3u);
    EXPECT_EQ(Whole("a\x82\xA0\x82", 932, &sjis), 3u);
    // A lead byte as a second byte belongs to the pair before it.
    EXPECT_EQ(Whole("\x82\x82\x82", 932, &sjis), 2u);
    EXPECT_EQ(Whole("\x82\x82\x82\x82", 932, &sjis), 4u);

    EXPECT_EQ(Whole("abcde", -1), 4u);
    EXPECT_EQ(Whole("abcde", -2), 4u);
    EXPECT_EQ(Whole("ab\x82", 1252), 3u);
    EXPECT_EQ(WholeCharacterLength(nullptr, 4, 65001, nullptr), 0u);
}

TEST(TextSteps, LineEndsCountedInPiecesAsInOne)
{
    const std::u16string texts[] = {u"a\r\nb\r\n", u"\r\n\n\r\r\n\r", u"\r\r\n\n", u"x\r", u"\r\n\0\n\r", u"a\r\0\n"};
    for (const std::u16string& text : texts) {
        const LineEndCounts whole = CountLineEnds(text.data(), text.size());
        for (size_t cut = 0; cut <= text.size(); ++cut) {
            LineEndCounter counter;
            counter.Add(text.data(), cut);
            counter.Add(text.data() + cut, text.size() - cut);
            const LineEndCounts pieces = counter.Counts();
            EXPECT_EQ(pieces.crlf, whole.crlf) << text.size() << " cut " << cut;
            EXPECT_EQ(pieces.loneCr, whole.loneCr) << text.size() << " cut " << cut;
            EXPECT_EQ(pieces.loneLf, whole.loneLf) << text.size() << " cut " << cut;
        }
    }
}

TEST(TextSteps, StatusWords)
{
    EXPECT_EQ(SizeText(0), u"0 バイト");
    EXPECT_EQ(SizeText(1023), u"1023 バイト");
    EXPECT_EQ(SizeText(1024), u"1.0 KiB");
    EXPECT_EQ(SizeText(1536), u"1.5 KiB");
    EXPECT_EQ(SizeText((1u << 20) - 2), u"1.0 MiB");  // 1023.998 KiB rounds up into the next unit
    EXPECT_EQ(SizeText(16u << 20), u"16.0 MiB");
    EXPECT_EQ(SizeText(1ull << 30), u"1.0 GiB");
    EXPECT_EQ(SizeText(~0ull), u"16777216.0 TiB");
    EXPECT_EQ(ShownPartNote(1u << 20, 1ull << 30), u"  先頭 1.0 MiB / 1.0 GiB を表示");
    EXPECT_EQ(PendingStatus(1, 3), u"終端NUL・改行コード: 確認中 33%");
    EXPECT_EQ(PendingStatus(0, 0), u"終端NUL・改行コード: 確認中 100%");
    EXPECT_EQ(PendingStatus(~0ull / 4, ~0ull), u"終端NUL・改行コード: 確認中 25%");
}
