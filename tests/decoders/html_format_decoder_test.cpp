#include "tests/decoders/DecoderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// A CF_HTML block as a careful program writes it: offsets in UTF-8 bytes, a NUL at the end.
// `counted` replaces each offset by what a program that counted characters would write.
Bytes MakeHtml(const std::string& fragment, bool counted = false, const std::string& body = "<html><body>\r\n")
{
    const std::string header =
        "Version:0.9\r\nStartHTML:%010d\r\nEndHTML:%010d\r\nStartFragment:%010d\r\nEndFragment:%010d\r\n"
        "SourceURL:https://example.org/a\r\n";
    const std::string pre = body + "<!--StartFragment-->";
    const std::string post = "<!--EndFragment-->\r\n</body></html>";
    auto characters = [](const std::string& s) {
        int n = 0;
        for (unsigned char c : s)
            if ((c & 0xC0) != 0x80) ++n;
        return n;
    };
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, header.c_str(), 0, 0, 0, 0);
    const int headerLength = static_cast<int>(std::string(buffer).size());
    const int fragmentLength = counted ? characters(fragment) : static_cast<int>(fragment.size());
    const int startHtml = headerLength;
    const int startFragment = startHtml + (counted ? characters(pre) : static_cast<int>(pre.size()));
    const int endFragment = startFragment + fragmentLength;
    const int endHtml = endFragment + static_cast<int>(post.size());
    std::snprintf(buffer, sizeof buffer, header.c_str(), startHtml, endHtml, startFragment, endFragment);
    Bytes bytes;
    PutText(bytes, buffer + pre + fragment + post);
    bytes.push_back(0);
    return bytes;
}

TEST(HtmlFormatDecoder, SoundBlockHasItsOffsetsAndNoWarnings)
{
    Bytes bytes = MakeHtml("<b>漢字とテキスト</b>");
    DecodedTree tree = DecodeAs("HTML Format", bytes);
    EXPECT_EQ(AllWarnings(tree), "");
    EXPECT_EQ(Field(tree, "SourceURL").value, "https://example.org/a");
    EXPECT_EQ(Field(tree, "Fragment").value, "<b>漢字とテキスト</b>");
    EXPECT_EQ(Field(tree, "StartHTML").offset, 13u);
    EXPECT_EQ(Field(tree, "NUL").offset, bytes.size() - 1);
}

TEST(HtmlFormatDecoder, OffsetsCountedInCharactersAreCaught)
{
    Bytes bytes = MakeHtml("<b>漢字とテキスト</b>", true);
    DecodedTree tree = DecodeAs("HTML Format", bytes);
    ASSERT_EQ(Field(tree, "EndFragment").warnings.size(), 1u);
    EXPECT_NE(Field(tree, "EndFragment").warnings[0].find("<!--EndFragment--> はここではなく"), std::string::npos);
    EXPECT_FALSE(Field(tree, "EndHTML").warnings.empty());
    EXPECT_TRUE(Field(tree, "StartFragment").warnings.empty());
}

TEST(HtmlFormatDecoder, WholeDocumentCountedInCharactersIsNamedSo)
{
    Bytes bytes = MakeHtml("x", true, "<html><body>é");
    bytes.pop_back();
    DecodedTree tree = DecodeAs("HTML Format", bytes);
    ASSERT_FALSE(Field(tree, "StartFragment").warnings.empty());
    EXPECT_NE(Field(tree, "StartFragment").warnings[0].find("文字数で数えています"), std::string::npos)
        << Field(tree, "StartFragment").warnings[0];
    EXPECT_NE(AllWarnings(tree).find("終端の NUL がありません"), std::string::npos);
}

TEST(HtmlFormatDecoder, BrokenHeadersWarnOnTheKeyConcerned)
{
    Bytes bytes;
    PutText(bytes,
            "StartHTML:0000000099\r\nVersion:1.0\r\nEndHTML:0000009999\r\nStartFragment:abc\r\n"
            "<html><!--StartFragment-->\xff<!--EndFragment--></html>");
    bytes.push_back(0);
    DecodedTree tree = DecodeAs("html format", bytes);
    EXPECT_FALSE(Field(tree, "StartHTML").warnings.empty());      // Version is not first
    EXPECT_FALSE(Field(tree, "Version").warnings.empty());        // out of order
    EXPECT_FALSE(Field(tree, "EndHTML").warnings.empty());        // outside the data
    EXPECT_FALSE(Field(tree, "StartFragment").warnings.empty());  // not a number
    EXPECT_NE(AllWarnings(tree).find("EndFragment がありません"), std::string::npos);
    EXPECT_NE(AllWarnings(tree).find("UTF-8 として正しくない"), std::string::npos);
}

}  // namespace
