#include "capture/bytes/DragImageLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> DragImage(int32_t cx, int32_t cy, size_t size)
{
    std::vector<uint8_t> b(size);
    for (int i = 0; i < 4 && i < static_cast<int>(size); ++i)
        b[i] = static_cast<uint8_t>(static_cast<uint32_t>(cx) >> (8 * i));
    for (int i = 0; i < 4 && 4 + i < static_cast<int>(size); ++i)
        b[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(cy) >> (8 * i));
    return b;
}

DragImageLayout Read(const std::vector<uint8_t>& b)
{
    return ReadDragImageLayout(b.data(), b.size());
}

}  // namespace

TEST(DragImageLayout, HeaderLengthIsToldFromTheSize)
{
    const DragImageLayout wide = Read(DragImage(10, 10, 432));
    ASSERT_TRUE(wide.valid);
    EXPECT_EQ(wide.headerSize, 32u);
    EXPECT_EQ(wide.pixelSize, 400u);
    EXPECT_EQ(wide.topRowOffset, 32u + 400 - 40);
    EXPECT_EQ(wide.stride, -40);
    EXPECT_EQ(wide.width, 10);
    EXPECT_EQ(wide.height, 10);

    const DragImageLayout narrow = Read(DragImage(10, 10, 424));
    ASSERT_TRUE(narrow.valid);
    EXPECT_EQ(narrow.headerSize, 24u);
    EXPECT_EQ(narrow.topRowOffset, 24u + 400 - 40);

    // Between the two, the 24-byte reading holds; more than enough is read as 64-bit.
    EXPECT_EQ(Read(DragImage(10, 10, 431)).headerSize, 24u);
    EXPECT_EQ(Read(DragImage(10, 10, 500)).headerSize, 32u);
    EXPECT_FALSE(Read(DragImage(10, 10, 423)).valid);
}

TEST(DragImageLayout, MalformedSizesGiveNoLayout)
{
    EXPECT_FALSE(Read(DragImage(-10, 10, 432)).valid);
    EXPECT_FALSE(Read(DragImage(10, -10, 432)).valid);
    // Two negative sides would make a positive product.
    EXPECT_FALSE(Read(DragImage(-10, -10, 432)).valid);
    EXPECT_FALSE(Read(DragImage(0, 10, 432)).valid);
    EXPECT_FALSE(Read(DragImage(10, 0, 432)).valid);
    EXPECT_FALSE(Read(DragImage(1, 1, 7)).valid);
    EXPECT_FALSE(ReadDragImageLayout(nullptr, 0).valid);
    // 0x8000 × 0x8000 × 4 is 2^32: zero in 32 bits, four gigabytes in 64.
    EXPECT_FALSE(Read(DragImage(0x8000, 0x8000, 432)).valid);
    EXPECT_FALSE(Read(DragImage(INT32_MAX, INT32_MAX, 432)).valid);
    // The stride must fit GDI+'s INT even when the pixels would.
    EXPECT_FALSE(Read(DragImage(INT32_MAX / 4 + 1, 1, 64)).valid);
}
