#include "viewers/bytes/TextFind.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::optional<size_t> Find(const std::u16string& text, const std::u16string& pattern, size_t from, bool forward,
                           const char16_t* fold = nullptr)
{
    return FindInText(text.data(), text.size(), pattern.data(), pattern.size(), from, forward, fold);
}

// The obvious search, for comparison.
std::optional<size_t> Naive(const std::u16string& text, const std::u16string& pattern, size_t from, bool forward)
{
    if (pattern.empty() || pattern.size() > text.size()) return std::nullopt;
    from = std::min(from, text.size());
    const size_t last = text.size() - pattern.size();
    if (forward) {
        for (size_t at = from; at <= last; ++at)
            if (text.compare(at, pattern.size(), pattern) == 0) return at;
    } else {
        for (size_t end = from; end >= pattern.size(); --end)
            if (text.compare(end - pattern.size(), pattern.size(), pattern) == 0) return end - pattern.size();
    }
    return std::nullopt;
}

}  // namespace

TEST(TextFind, ForwardBackwardAndBounds)
{
    const std::u16string text = u"abcabcテキスト";
    EXPECT_EQ(Find(text, u"abc", 0, true), 0u);
    EXPECT_EQ(Find(text, u"abc", 1, true), 3u);
    EXPECT_EQ(Find(text, u"abc", 4, true), std::nullopt);
    EXPECT_EQ(Find(text, u"スト", 0, true), 8u);  // at the very end
    EXPECT_EQ(Find(text, u"abc", 99, false), 3u);
    EXPECT_EQ(Find(text, u"abc", 5, false), 0u);  // the match at 3 ends past 5
    EXPECT_EQ(Find(text, u"abc", 6, false), 3u);
    EXPECT_EQ(Find(text, u"abc", 2, false), std::nullopt);
    EXPECT_EQ(Find(u"aaaa", u"aaa", 1, true), 1u);  // overlapping matches
    EXPECT_EQ(Find(u"aabaabaaa", u"aabaaa", 0, true), 3u);
    EXPECT_EQ(Find(u"aaabaabaa", u"aaabaa", 9, false), 0u);
    EXPECT_EQ(Find(text, u"", 0, true), std::nullopt);
    EXPECT_EQ(Find(u"ab", u"abc", 0, true), std::nullopt);
    EXPECT_EQ(FindInText<char16_t>(nullptr, 4, u"a", 1, 0, true, nullptr), std::nullopt);
}

TEST(TextFind, FoldingTableIgnoresCase)
{
    std::u16string fold(65536, u'\0');
    for (size_t c = 0; c < fold.size(); ++c) fold[c] = static_cast<char16_t>(c);
    for (char16_t c = u'A'; c <= u'Z'; ++c) fold[c] = static_cast<char16_t>(c + 32);
    for (char16_t c = u'Ａ'; c <= u'Ｚ'; ++c) fold[c] = static_cast<char16_t>(c + 32);
    EXPECT_EQ(Find(u"Hello WORLD", u"world", 0, true, fold.data()), 6u);
    EXPECT_EQ(Find(u"Hello WORLD", u"world", 0, true), std::nullopt);
    EXPECT_EQ(Find(u"ｘＹｚ", u"ＸＹＺ", 3, false, fold.data()), 0u);
}

TEST(TextFind, AgreesWithTheObviousSearch)
{
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::u16string text(random() % 24, u'a'), pattern(1 + random() % 4, u'a');
        for (char16_t& c : text) c = static_cast<char16_t>(u'a' + random() % 2);
        for (char16_t& c : pattern) c = static_cast<char16_t>(u'a' + random() % 2);
        const size_t from = random() % 26;
        for (bool forward : {true, false})
            ASSERT_EQ(Find(text, pattern, from, forward), Naive(text, pattern, from, forward))
                << "round " << round << (forward ? " forward" : " backward");
    }
}
