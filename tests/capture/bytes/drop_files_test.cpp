#include "capture/bytes/DropFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Header(uint32_t namesOffset, bool wide)
{
    std::vector<uint8_t> bytes(kDropFilesHeaderSize, 0);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(namesOffset >> (8 * i));
    bytes[16] = wide ? 1 : 0;
    return bytes;
}

void AppendWide(std::vector<uint8_t>& bytes, const std::u16string& text)
{
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
}

std::vector<std::u16string> WideNames(const std::vector<uint8_t>& bytes, const NameList& list)
{
    std::vector<std::u16string> names;
    for (const ByteRange& r : list.names) names.push_back(Utf16Text(bytes.data(), bytes.size(), r));
    return names;
}

}  // namespace

TEST(DropFiles, WideNamesUpToTheEmptyName)
{
    auto bytes = Header(20, true);
    AppendWide(bytes, u"C:\\a.txt");
    AppendWide(bytes, std::u16string(1, u'\0'));
    AppendWide(bytes, u"C:\\フォルダ");
    AppendWide(bytes, std::u16string(2, u'\0'));
    AppendWide(bytes, u"ignored");  // after the list's end
    const NameList list = ReadDropFiles(bytes.data(), bytes.size());
    EXPECT_TRUE(list.wide);
    EXPECT_FALSE(list.damaged);
    EXPECT_EQ(WideNames(bytes, list), (std::vector<std::u16string>{u"C:\\a.txt", u"C:\\フォルダ"}));
}

TEST(DropFiles, AnsiNamesAtAnOffsetPastTheHeader)
{
    auto bytes = Header(24, false);
    bytes.insert(bytes.end(), {0xEE, 0xEE, 0xEE, 0xEE});
    for (const char* s : {"C:\\x", "D:\\\x83\x74"})
        bytes.insert(bytes.end(), s, s + std::char_traits<char>::length(s) + 1);
    bytes.push_back(0);
    const NameList list = ReadDropFiles(bytes.data(), bytes.size());
    EXPECT_FALSE(list.wide);
    EXPECT_FALSE(list.damaged);
    ASSERT_EQ(list.names.size(), 2u);
    EXPECT_EQ(list.names[0], (ByteRange{24, 4}));
    EXPECT_EQ(list.names[1], (ByteRange{29, 5}));
}

TEST(DropFiles, DamagedBlocksYieldOnlyTheNamesInside)
{
    // Shorter than the header, or names said to start past the end: nothing, damaged.
    std::vector<uint8_t> shortBlock(19, 0);
    EXPECT_TRUE(ReadDropFiles(shortBlock.data(), shortBlock.size()).damaged);
    auto outside = Header(0xFFFFFFF0u, true);
    outside.resize(40, 'a');
    NameList list = ReadDropFiles(outside.data(), outside.size());
    EXPECT_TRUE(list.damaged);
    EXPECT_TRUE(list.names.empty());

    // The last name runs off the end: the whole names before it are kept.
    auto unterminated = Header(20, true);
    AppendWide(unterminated, u"C:\\one");
    unterminated.insert(unterminated.end(), {0, 0});
    AppendWide(unterminated, u"C:\\tw");
    unterminated.push_back('o');  // half a character
    list = ReadDropFiles(unterminated.data(), unterminated.size());
    EXPECT_TRUE(list.damaged);
    EXPECT_EQ(WideNames(unterminated, list), std::vector<std::u16string>{u"C:\\one"});

    // Names that all end inside but without the closing empty name lose nothing.
    auto noClosingName = Header(20, false);
    noClosingName.insert(noClosingName.end(), {'a', 0, 'b', 0});
    list = ReadDropFiles(noClosingName.data(), noClosingName.size());
    EXPECT_FALSE(list.damaged);
    EXPECT_EQ(list.names.size(), 2u);

    // Names starting exactly at the end: an empty list, not damaged.
    auto atEnd = Header(20, false);
    list = ReadDropFiles(atEnd.data(), atEnd.size());
    EXPECT_FALSE(list.damaged);
    EXPECT_TRUE(list.names.empty());
}

TEST(DropFiles, WideCharactersAreReadFromAnOddOffset)
{
    auto bytes = Header(21, true);
    bytes.push_back(0x7F);
    AppendWide(bytes, u"z");
    AppendWide(bytes, std::u16string(2, u'\0'));
    const NameList list = ReadDropFiles(bytes.data(), bytes.size());
    EXPECT_EQ(WideNames(bytes, list), std::vector<std::u16string>{u"z"});
}

TEST(NameMaps, BareListsFromTheFirstByte)
{
    std::vector<uint8_t> wide;
    AppendWide(wide, u"Copy of a.txt");
    AppendWide(wide, std::u16string(2, u'\0'));
    NameList list = ReadNameList(wide.data(), wide.size(), 0, true);
    EXPECT_EQ(WideNames(wide, list), std::vector<std::u16string>{u"Copy of a.txt"});

    const std::vector<uint8_t> ansi = {'b', '.', 't', 'x', 't', 0, 'c', 0, 0};
    list = ReadNameList(ansi.data(), ansi.size(), 0, false);
    ASSERT_EQ(list.names.size(), 2u);
    EXPECT_EQ(list.names[1], (ByteRange{6, 1}));
}
