#include "tests/decoders/DecoderTestSupport.h"

#include <gtest/gtest.h>

namespace {

Bytes DropFiles(bool wideFlag, bool wideNames, const std::vector<std::u16string>& names, bool endList = true)
{
    Bytes bytes;
    PutU32(bytes, 20);
    PutU32(bytes, 10);
    PutU32(bytes, 20);
    PutU32(bytes, 0);
    PutU32(bytes, wideFlag ? 1 : 0);
    for (const std::u16string& name : names) {
        if (wideNames) {
            PutWide(bytes, name);
            PutU16(bytes, 0);
        } else {
            for (char16_t c : name) bytes.push_back(static_cast<uint8_t>(c));
            bytes.push_back(0);
        }
    }
    if (endList) {
        bytes.push_back(0);
        if (wideNames) bytes.push_back(0);
    }
    return bytes;
}

TEST(DropFilesDecoder, WideListShowsEachPathAndTheEnd)
{
    Bytes bytes = DropFiles(true, true, {u"C:\\a\\b.txt", u"\\\\server\\share\\c"});
    DecodedTree tree = DecodeAs("CF_HDROP", bytes);
    EXPECT_EQ(AllWarnings(tree), "");
    EXPECT_EQ(Field(tree, "[0]").value, "C:\\a\\b.txt");
    EXPECT_EQ(Field(tree, "[1]").offset, 20u + 22u);
    EXPECT_EQ(Field(tree, "NUL").offset, bytes.size() - 2);
}

TEST(DropFilesDecoder, WideFlagAgainstTheNamesAndAMissingEnd)
{
    DecodedTree zeroFlag = DecodeAs("CF_HDROP", DropFiles(false, true, {u"C:\\x.txt"}));
    EXPECT_FALSE(Field(zeroFlag, "fWide").warnings.empty());
    DecodedTree ansiNames = DecodeAs("CF_HDROP", DropFiles(true, false, {u"C:\\x.txt", u"C:\\y.txt"}));
    EXPECT_FALSE(Field(ansiNames, "fWide").warnings.empty());
    DecodedTree noEnd = DecodeAs("CF_HDROP", DropFiles(false, false, {u"C:\\x.txt", u"y"}, false));
    EXPECT_NE(AllWarnings(noEnd).find("二重の NUL"), std::string::npos);
    EXPECT_NE(AllWarnings(noEnd).find("[1]: 完全なパスではありません"), std::string::npos);
    Bytes outside = DropFiles(true, true, {u"C:\\x"});
    SetU32(outside, 0, 4000);
    DecodedTree lying = DecodeAs("CF_HDROP", outside);
    EXPECT_FALSE(Field(lying, "pFiles").warnings.empty());
    EXPECT_EQ(Field(lying, "[0]").name, "(missing)");
}

Bytes Descriptor(bool wide, uint32_t flags, const std::u16string& name, uint64_t writeTime = 0)
{
    Bytes d(wide ? 592 : 332, 0);
    SetU32(d, 0, flags);
    SetU32(d, 36, 0x20);
    SetU32(d, 56, static_cast<uint32_t>(writeTime));
    SetU32(d, 60, static_cast<uint32_t>(writeTime >> 32));
    SetU32(d, 68, 1234);
    for (size_t i = 0; i < name.size() && i < 260; ++i) {
        if (wide) {
            d[72 + 2 * i] = static_cast<uint8_t>(name[i]);
            d[73 + 2 * i] = static_cast<uint8_t>(name[i] >> 8);
        } else {
            d[72 + i] = static_cast<uint8_t>(name[i]);
        }
    }
    return d;
}

TEST(FileGroupDescriptorDecoder, MembersFollowTheirFlags)
{
    Bytes bytes;
    PutU32(bytes, 2);
    // 2020-01-02 03:04:05 UTC.
    const uint64_t time = 132224078450000000ull;
    Bytes first = Descriptor(true, 0x40 | 0x20 | 0x4, u"sub\\ファイル.txt", time);
    Bytes second = Descriptor(true, 0, std::u16string(260, u'a'));
    bytes.insert(bytes.end(), first.begin(), first.end());
    bytes.insert(bytes.end(), second.begin(), second.end());
    DecodedTree tree = DecodeAs("FileGroupDescriptorW", bytes);
    ASSERT_EQ(tree.fields.size(), 3u);
    EXPECT_EQ(tree.fields[1].value, "sub\\ファイル.txt");
    // The second name fills its field without a terminator: counted before it is opened.
    EXPECT_EQ(CountWarnings(tree), 1u);
    const auto& members = tree.fields[1].Children();
    ASSERT_EQ(members.size(), 13u);
    EXPECT_EQ(members[0].meaning, "FD_ATTRIBUTES | FD_WRITESTIME | FD_FILESIZE");
    EXPECT_EQ(members[1].meaning, "無効 (dwFlags に FD_CLSID がありません)");
    EXPECT_EQ(members[9].meaning, "2020-01-02 03:04:05 UTC");
    EXPECT_EQ(members[11].meaning, "1234 バイト");
    EXPECT_EQ(members[11].offset, 4u + 68u);
    EXPECT_EQ(members.back().meaning, "フォルダーを含むパス");
    EXPECT_EQ(tree.fields[2].Children().back().warnings.size(), 1u);
}

TEST(FileGroupDescriptorDecoder, ClaimsMoreThanItHoldsAndPathsThatEscape)
{
    Bytes bytes;
    PutU32(bytes, 3);
    Bytes item = Descriptor(false, 0, u"..\\..\\evil.txt");
    bytes.insert(bytes.end(), item.begin(), item.end());
    bytes.resize(bytes.size() + 100);  // a truncated second descriptor
    DecodedTree tree = DecodeAs("FileGroupDescriptor", bytes);
    EXPECT_FALSE(Field(tree, "cItems").warnings.empty());
    EXPECT_EQ(tree.fields.size(), 2u);
    EXPECT_NE(AllWarnings(tree).find("置き場所の外"), std::string::npos);
}

TEST(FileGroupDescriptorDecoder, DescriptorsAreMadeOnlyWhenOpened)
{
    const uint32_t count = 10000;
    Bytes bytes;
    PutU32(bytes, count);
    const Bytes item = Descriptor(true, 0x40, u"f.txt");
    bytes.reserve(4 + 592ull * count);
    for (uint32_t i = 0; i < count; ++i) bytes.insert(bytes.end(), item.begin(), item.end());
    DecodedTree tree = DecodeAs("FileGroupDescriptorW", bytes);
    ASSERT_EQ(tree.fields.size(), count + 1);
    EXPECT_TRUE(tree.fields.back().children.empty());
    EXPECT_TRUE(tree.fields.back().HasChildren());
    EXPECT_EQ(tree.fields.back().Children().size(), 13u);
}

TEST(CidaDecoder, ParentItemsAndOffsetsThatLie)
{
    Bytes bytes;
    PutU32(bytes, 2);
    PutU32(bytes, 16);  // parent: an empty list (the desktop)
    PutU32(bytes, 18);
    PutU32(bytes, 9999);
    PutU16(bytes, 0);
    PutU16(bytes, 5);
    PutText(bytes, "abc");
    PutU16(bytes, 0);
    DecodedTree tree = DecodeAs("Shell IDList Array", bytes);
    EXPECT_NE(Field(tree, "aoffset[0]").meaning.find("デスクトップ"), std::string::npos);
    EXPECT_EQ(Field(tree, "mkid[0]").meaning, "61 62 63");
    EXPECT_FALSE(Field(tree, "aoffset[2]").warnings.empty());
    EXPECT_EQ(CountWarnings(tree), 1u);

    Bytes shortList = bytes;
    shortList.resize(bytes.size() - 2);  // the item list loses its terminator
    DecodedTree cut = DecodeAs("Shell IDList Array", shortList);
    EXPECT_EQ(CountWarnings(cut), 2u);
    EXPECT_NE(AllWarnings(cut).find("終端の cb = 0 の前に"), std::string::npos);
}

}  // namespace
