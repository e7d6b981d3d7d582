#include "viewers/bytes/CodePageText.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using Items = std::vector<CodePageItem>;
using Pieces = std::vector<std::u16string>;

Items Tail(const Items& items, size_t from)
{
    return Items(items.begin() + static_cast<long>(from), items.end());
}

}  // namespace

TEST(CodePageText, SplittingKeepsInnerEmptyPiecesButNoEmptyTail)
{
    EXPECT_EQ(SplitString(u"a;b;", u";"), (Pieces{u"a", u"b"}));
    EXPECT_EQ(SplitString(u"a;;b", u";"), (Pieces{u"a", u"", u"b"}));
    EXPECT_EQ(SplitString(u";a", u";"), (Pieces{u"", u"a"}));
    EXPECT_EQ(SplitString(u"a;;", u";"), (Pieces{u"a", u""}));
    EXPECT_EQ(SplitString(u"932", u";"), Pieces{u"932"});
    EXPECT_EQ(SplitString(u"", u";"), Pieces{});
    EXPECT_EQ(SplitString(u"a\r\n\r\nb\r\n", u"\r\n"), (Pieces{u"a", u"", u"b"}));
    EXPECT_EQ(SplitString(u"a\rb\n", u"\r\n"), Pieces{u"a\rb\n"});  // lone CR or LF is no separator
}

TEST(CodePageText, NumbersReadAsWcstolWithA32BitLong)
{
    EXPECT_EQ(ParseCodePageNumber(u"28591"), 28591);
    EXPECT_EQ(ParseCodePageNumber(u"+932"), 932);
    EXPECT_EQ(ParseCodePageNumber(u"-2"), -2);
    EXPECT_EQ(ParseCodePageNumber(u"  51932abc"), 51932);
    EXPECT_EQ(ParseCodePageNumber(u"abc"), 0);
    EXPECT_EQ(ParseCodePageNumber(u"-"), 0);
    EXPECT_EQ(ParseCodePageNumber(u"+-1"), 0);
    EXPECT_EQ(ParseCodePageNumber(u"2147483647"), INT32_MAX);
    EXPECT_EQ(ParseCodePageNumber(u"2147483648"), INT32_MAX);
    EXPECT_EQ(ParseCodePageNumber(u"99999999999999999999999"), INT32_MAX);
    EXPECT_EQ(ParseCodePageNumber(u"-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseCodePageNumber(u"-2147483649"), INT32_MIN);
    EXPECT_EQ(TrimSpace(u" \t\u3000 Latin 1 \r\n"), u"Latin 1");
    EXPECT_EQ(TrimSpace(u"   "), u"");
}

TEST(CodePageText, StoredListsBecomeItemsAfterTheRemainingBuiltIns)
{
    const Items builtIn = {{u"CP_ACP", 0}, {u"CP_OEMCP", 1}, {u"CP_UTF8", 65001}, {u"UTF-16LE", -1}, {u"UTF-16BE", -2}};
    const Items defaults = CodePageItemsFromStored(kDefaultCodePages);
    ASSERT_EQ(defaults.size(), 8u);
    EXPECT_EQ(Items(defaults.begin(), defaults.begin() + 5), builtIn);
    EXPECT_EQ(Tail(defaults, 5), (Items{{u"ISO-2022-JP", 50220}, {u"EUC-JP", 51932}, {u"Windows-1252", 1252}}));

    EXPECT_EQ(CodePageItemsFromStored(u""), builtIn);
    const Items utf8 = CodePageItemsFromStored(u"SJIS=932;UTF8=65001;");
    EXPECT_EQ(
        utf8,
        (Items{
            {u"CP_ACP", 0}, {u"CP_OEMCP", 1}, {u"UTF-16LE", -1}, {u"UTF-16BE", -2}, {u"SJIS", 932}, {u"UTF8", 65001}}));
    EXPECT_EQ(Tail(CodePageItemsFromStored(u" Latin 1 = 28591 ;;"), 5), (Items{{u"Latin 1", 28591}}));
    EXPECT_EQ(Tail(CodePageItemsFromStored(u"932"), 5), (Items{{u"932", 932}}));
    // Without a name or a number the piece goes; a value that is no number is 0 and
    // takes CP_ACP's place; two pieces of one code page both stay.
    EXPECT_EQ(CodePageItemsFromStored(u"=5;Empty=; = ;"), builtIn);
    const Items odd = CodePageItemsFromStored(u"Bad=x;A=1252;B=1252;C=a=b");
    EXPECT_EQ(odd.front().name, u"CP_OEMCP");
    EXPECT_EQ(Tail(odd, 4), (Items{{u"Bad", 0}, {u"A", 1252}, {u"B", 1252}, {u"C", 0}}));
}

TEST(CodePageText, DialogLinesAndTheStoredString)
{
    EXPECT_EQ(LinesForEditing(kDefaultCodePages), u"ISO-2022-JP=50220\r\nEUC-JP=51932\r\nWindows-1252=1252\r\n");
    EXPECT_EQ(LinesForEditing(u"a;;b"), u"a\r\n\r\nb\r\n");
    EXPECT_EQ(LinesForEditing(u""), u"");
    EXPECT_EQ(StoredFromLines(u"EUC=51932\r\n\r\n  KOI8-R=20866  "), u"EUC=51932;KOI8-R=20866;");
    EXPECT_EQ(StoredFromLines(u"\r\n \r\n"), u"");
    EXPECT_EQ(StoredFromLines(u"no number\r\n"), u"no number;");  // stored as typed
    // The round trip of what the dialog shows gives the stored string back.
    EXPECT_EQ(StoredFromLines(LinesForEditing(kDefaultCodePages)), kDefaultCodePages);
}
