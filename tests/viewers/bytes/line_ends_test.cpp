#include "viewers/bytes/LineEnds.h"

#include <gtest/gtest.h>

namespace {

LineEndCounts Count(const std::u16string& text)
{
    return CountLineEnds(text.data(), text.size());
}

}  // namespace

TEST(LineEnds, CountsAndStatusWords)
{
    struct Case {
        std::u16string text;
        const char16_t* word;
    } cases[] = {
        {u"a\r\nb\r\n", u"CR+LF"},  {u"a\nb\n", u"*LFのみ*"}, {u"a\rb", u"*CRのみ*"},
        {u"abc", u"なし"},          {u"", u"なし"},           {u"a\nb\r\nc", u"*謎*"},
        {u"a\rb\n", u"*謎*"},       {u"\r\r\n", u"*謎*"},     {u"\n\r", u"*謎*"},
        {u"a\r\n\0\n\r", u"CR+LF"},  // line ends after a NUL are not looked at
    };
    for (const Case& c : cases) EXPECT_EQ(LineEndWord(Count(c.text)), c.word) << c.text.size();
    const LineEndCounts mixed = Count(u"\r\n\n\r\r\n\r");
    EXPECT_EQ(mixed.crlf, 2u);
    EXPECT_EQ(mixed.loneLf, 1u);
    EXPECT_EQ(mixed.loneCr, 2u);

    EXPECT_EQ(TextStatus(false, {}), u"終端NUL: なし  改行コード: なし");
    EXPECT_EQ(TextStatus(true, Count(u"a\r\n")), u"終端NUL: あり  改行コード: CR+LF");
}

TEST(LineEnds, RewritingMakesEveryLineEndCrLfAndKeepsTheRest)
{
    auto rewrite = [](const std::u16string& text) { return RewriteLineEnds(text, Count(text)); };
    EXPECT_EQ(rewrite(u"a\nb\r\nc"), u"a\r\nb\r\nc");
    EXPECT_EQ(rewrite(u"a\rb"), u"a\r\nb");
    EXPECT_EQ(rewrite(u"\r\r\n\n\r"), u"\r\n\r\n\r\n\r\n");
    EXPECT_EQ(rewrite(u"x\r"), u"x\r\n");
    EXPECT_EQ(rewrite(u"\n"), u"\r\n");
    EXPECT_EQ(rewrite(u"あ\tい"), u"あ\tい");
    EXPECT_FALSE(Count(u"a\r\nb").NeedsRewrite());
    EXPECT_TRUE(Count(u"a\rb").NeedsRewrite());
}
