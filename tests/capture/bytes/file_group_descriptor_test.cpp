#include "capture/bytes/FileGroupDescriptor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A descriptor block of `records` whole records claiming `claimed` items, with the given
// names written into the name fields of the first records.
std::vector<uint8_t> Block(bool wide, uint32_t claimed, size_t records, const std::vector<std::u16string>& names)
{
    const size_t record = wide ? kFileDescriptorWSize : kFileDescriptorASize;
    std::vector<uint8_t> bytes(4 + records * record, 0xCC);
    std::memcpy(bytes.data(), &claimed, 4);  // the tests run on little-endian machines only
    for (size_t i = 0; i < names.size() && i < records; ++i) {
        uint8_t* field = bytes.data() + 4 + i * record + kFileDescriptorNameOffset;
        const size_t room = kFileDescriptorNameUnits * (wide ? 2 : 1);
        std::memset(field, 0, room);
        for (size_t k = 0; k < names[i].size() && k < kFileDescriptorNameUnits; ++k) {
            if (wide) {
                field[2 * k] = static_cast<uint8_t>(names[i][k]);
                field[2 * k + 1] = static_cast<uint8_t>(names[i][k] >> 8);
            } else {
                field[k] = static_cast<uint8_t>(names[i][k]);
            }
        }
    }
    return bytes;
}

}  // namespace

TEST(FileGroupDescriptor, NamesOfEveryRecordAtTheirFixedPlaces)
{
    auto wide = Block(true, 2, 2, {u"a.txt", u"報告書.docx"});
    FileGroupNames names = ReadFileGroupNames(wide.data(), wide.size(), true);
    EXPECT_EQ(names.claimedItems, 2u);
    EXPECT_FALSE(names.truncated);
    ASSERT_EQ(names.names.size(), 2u);
    EXPECT_EQ(names.names[0].offset, 76u);
    EXPECT_EQ(names.names[1].offset, 76u + 592u);
    EXPECT_EQ(Utf16Text(wide.data(), wide.size(), names.names[1]), u"報告書.docx");

    auto ansi = Block(false, 3, 3, {u"x", u"", u"yz"});
    names = ReadFileGroupNames(ansi.data(), ansi.size(), false);
    ASSERT_EQ(names.names.size(), 3u);
    EXPECT_EQ(names.names[1], (ByteRange{76 + 332, 0}));
    EXPECT_EQ(names.names[2], (ByteRange{76 + 664, 2}));
}

TEST(FileGroupDescriptor, NameWithoutTerminatorEndsAtItsField)
{
    auto bytes = Block(true, 1, 1, {std::u16string(kFileDescriptorNameUnits, u'n')});
    FileGroupNames names = ReadFileGroupNames(bytes.data(), bytes.size(), true);
    ASSERT_EQ(names.names.size(), 1u);
    EXPECT_EQ(names.names[0].length, 520u);
    // The ANSI record's last field runs to the data's end.
    auto ansi = Block(false, 1, 1, {std::u16string(kFileDescriptorNameUnits, u'n')});
    names = ReadFileGroupNames(ansi.data(), ansi.size(), false);
    ASSERT_EQ(names.names.size(), 1u);
    EXPECT_EQ(names.names[0].offset + names.names[0].length, ansi.size());
}

TEST(FileGroupDescriptor, ClaimsBeyondTheDataReadOnlyWholeRecords)
{
    auto bytes = Block(true, 0xFFFFFFFFu, 2, {u"one", u"two"});
    bytes.resize(bytes.size() + 300, 0);  // part of a third record
    FileGroupNames names = ReadFileGroupNames(bytes.data(), bytes.size(), true);
    EXPECT_TRUE(names.truncated);
    EXPECT_EQ(names.claimedItems, 0xFFFFFFFFu);
    EXPECT_EQ(names.names.size(), 2u);

    const uint8_t tooShort[3] = {1, 0, 0};
    names = ReadFileGroupNames(tooShort, sizeof tooShort, false);
    EXPECT_TRUE(names.truncated);
    EXPECT_TRUE(names.names.empty());

    auto none = Block(false, 0, 0, {});
    names = ReadFileGroupNames(none.data(), none.size(), false);
    EXPECT_FALSE(names.truncated);
    EXPECT_TRUE(names.names.empty());
}
