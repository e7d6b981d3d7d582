#include "capture/bytes/Cida.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    if (bytes.size() < at + 4) bytes.resize(at + 4);
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// An ID list of items with the given payload sizes, ended by the zero terminator.
std::vector<uint8_t> IdList(std::vector<uint16_t> payloads)
{
    std::vector<uint8_t> bytes;
    for (uint16_t payload : payloads) {
        const uint16_t cb = static_cast<uint16_t>(payload + 2);
        bytes.push_back(static_cast<uint8_t>(cb));
        bytes.push_back(static_cast<uint8_t>(cb >> 8));
        bytes.insert(bytes.end(), payload, 0x41);
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

// A CIDA of a parent and items laid out one after the other.
std::vector<uint8_t> Cida(const std::vector<uint8_t>& parent, const std::vector<std::vector<uint8_t>>& items)
{
    std::vector<uint8_t> bytes;
    Put32(bytes, 0, static_cast<uint32_t>(items.size()));
    size_t at = 4 + 4 * (items.size() + 1);
    bytes.resize(at);
    Put32(bytes, 4, static_cast<uint32_t>(at));
    bytes.insert(bytes.end(), parent.begin(), parent.end());
    for (size_t i = 0; i < items.size(); ++i) {
        Put32(bytes, 8 + 4 * i, static_cast<uint32_t>(bytes.size()));
        bytes.insert(bytes.end(), items[i].begin(), items[i].end());
    }
    return bytes;
}

}  // namespace

TEST(Cida, ParentAndItemsWithTheirTerminators)
{
    const auto bytes = Cida(IdList({10, 4}), {IdList({6}), IdList({})});
    const CidaLayout layout = ReadCida(bytes.data(), bytes.size());
    EXPECT_FALSE(layout.damaged);
    EXPECT_EQ(layout.claimedItems, 2u);
    ASSERT_TRUE(layout.parent);
    EXPECT_EQ(*layout.parent, (ByteRange{16, 12 + 6 + 2}));
    ASSERT_EQ(layout.items.size(), 2u);
    EXPECT_EQ(layout.items[0].idList, (ByteRange{36, 10}));
    EXPECT_EQ(layout.items[1].index, 1u);
    EXPECT_EQ(layout.items[1].idList.length, 2u);  // an empty list is its terminator alone
}

TEST(Cida, ItemsOutsideAreLeftOutAndMarked)
{
    auto bytes = Cida(IdList({}), {IdList({4}), IdList({4}), IdList({4})});
    Put32(bytes, 12, 0x7FFFFFFF);                  // item 1 far outside
    Put32(bytes, 16, uint32_t(bytes.size() - 3));  // item 2 starts inside, ends outside
    CidaLayout layout = ReadCida(bytes.data(), bytes.size());
    EXPECT_TRUE(layout.damaged);
    ASSERT_EQ(layout.items.size(), 1u);
    EXPECT_EQ(layout.items[0].index, 0u);

    // An item whose size field claims more than is left, or less than itself.
    auto overlong = Cida(IdList({}), {IdList({4})});
    overlong[overlong.size() - 8] = 0xF0;
    EXPECT_TRUE(ReadCida(overlong.data(), overlong.size()).items.empty());
    auto tiny = Cida(IdList({}), {IdList({4})});
    tiny[tiny.size() - 8] = 1;
    tiny[tiny.size() - 7] = 0;
    EXPECT_TRUE(ReadCida(tiny.data(), tiny.size()).items.empty());
}

TEST(Cida, CountLargerThanTheOffsetsItHasRoomFor)
{
    auto bytes = Cida(IdList({2}), {IdList({2}), IdList({2})});
    Put32(bytes, 0, 1000);
    // Only two item offsets follow the parent's before the ID lists begin; whatever
    // the ID lists' bytes read as offsets points nowhere useful, but is checked.
    CidaLayout layout = ReadCida(bytes.data(), bytes.size());
    EXPECT_TRUE(layout.damaged);
    EXPECT_EQ(layout.claimedItems, 1000u);
    for (const auto& item : layout.items) EXPECT_TRUE(IsInside(item.idList, bytes.size()));
    ASSERT_GE(layout.items.size(), 2u);
    EXPECT_EQ(layout.items[1].index, 1u);

    std::vector<uint8_t> countOnly;
    Put32(countOnly, 0, 3);
    layout = ReadCida(countOnly.data(), countOnly.size());
    EXPECT_TRUE(layout.damaged);
    EXPECT_FALSE(layout.parent);
    EXPECT_TRUE(layout.items.empty());
}

TEST(Cida, ListsDeeperThanAnyPathAreNone)
{
    const auto deepest = IdList(std::vector<uint16_t>(kMaxIdListLevels, 0));
    const auto deeper = IdList(std::vector<uint16_t>(kMaxIdListLevels + 1, 0));
    EXPECT_TRUE(ReadIdList(deepest.data(), deepest.size(), 0));
    EXPECT_FALSE(ReadIdList(deeper.data(), deeper.size(), 0));
    const auto array = Cida(deeper, {deepest});
    const CidaLayout layout = ReadCida(array.data(), array.size());
    EXPECT_TRUE(layout.damaged);
    EXPECT_FALSE(layout.parent);
    EXPECT_EQ(layout.items.size(), 1u);
}

TEST(Cida, ParentOutsideTheData)
{
    auto bytes = Cida(IdList({}), {IdList({4})});
    Put32(bytes, 4, uint32_t(bytes.size()));
    const CidaLayout layout = ReadCida(bytes.data(), bytes.size());
    EXPECT_TRUE(layout.damaged);
    EXPECT_FALSE(layout.parent);
}

TEST(Cida, OverlappingListsAreWalkedWithinABudget)
{
    // 1000 items all at the start of one list of 500 items: walking each from its start
    // would cover 1000 times the data.
    std::vector<uint8_t> bytes;
    Put32(bytes, 0, 1000);
    const size_t list = 4 + 4 * 1001;
    for (size_t i = 0; i <= 1000; ++i) Put32(bytes, 4 + 4 * i, static_cast<uint32_t>(list));
    const auto shared = IdList(std::vector<uint16_t>(500, 58));
    bytes.insert(bytes.end(), shared.begin(), shared.end());
    const CidaLayout layout = ReadCida(bytes.data(), bytes.size());
    EXPECT_TRUE(layout.damaged);
    size_t walked = layout.parent ? layout.parent->length : 0;
    for (const auto& item : layout.items) walked += item.idList.length;
    EXPECT_LE(walked, kCidaWalkFactor * bytes.size());
    EXPECT_GE(layout.items.size(), 1u);

    // Real arrays share nothing, and many items fit within the budget.
    auto many = Cida(IdList({}), std::vector<std::vector<uint8_t>>(1000, IdList({30})));
    const CidaLayout whole = ReadCida(many.data(), many.size());
    EXPECT_FALSE(whole.damaged);
    EXPECT_EQ(whole.items.size(), 1000u);
}
