#include "capture/bytes/DibLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct Header {
    uint32_t size = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = kDibRgb;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;
};

// A header followed by `extra` zero bytes.
std::vector<uint8_t> Dib(const Header& h, size_t extra)
{
    std::vector<uint8_t> b(40 + extra);
    Put32(b, 0, h.size);
    Put32(b, 4, static_cast<uint32_t>(h.width));
    Put32(b, 8, static_cast<uint32_t>(h.height));
    Put16(b, 12, h.planes);
    Put16(b, 14, h.bitCount);
    Put32(b, 16, h.compression);
    Put32(b, 20, h.sizeImage);
    Put32(b, 32, h.clrUsed);
    return b;
}

DibLayout Read(const std::vector<uint8_t>& b)
{
    return ReadDibLayout(b.data(), b.size());
}

}  // namespace

TEST(DibLayout, BitsFollowTheHeaderAndTheColourTable)
{
    struct Case {
        uint16_t bitCount;
        uint32_t compression;
        uint32_t clrUsed;
        uint64_t entries;
    };
    const Case cases[] = {
        {1, kDibRgb, 0, 2},        {1, kDibRgb, 1, 2},        {4, kDibRgb, 0, 16}, {4, kDibRgb, 3, 3},
        {8, kDibRgb, 0, 256},      {8, kDibRgb, 5, 5},        {16, kDibRgb, 0, 0}, {16, kDibRgb, 2, 2},
        {16, kDibBitFields, 0, 3}, {24, kDibRgb, 0, 0},       {24, kDibRgb, 4, 4}, {32, kDibRgb, 0, 0},
        {32, kDibBitFields, 0, 3}, {32, kDibBitFields, 1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bitCount << " bits, compression " << c.compression << ", biClrUsed "
                                        << c.clrUsed);
        Header h;
        h.width = 3;
        h.height = 2;
        h.bitCount = c.bitCount;
        h.compression = c.compression;
        h.clrUsed = c.clrUsed;
        const uint64_t stride = (3 * c.bitCount + 31) / 32 * 4;
        const std::vector<uint8_t> exact = Dib(h, c.entries * 4 + stride * 2);
        const DibLayout layout = Read(exact);
        ASSERT_TRUE(layout.valid);
        EXPECT_EQ(layout.colorEntries, c.entries);
        EXPECT_EQ(layout.bitsOffset, 40 + c.entries * 4);
        EXPECT_EQ(layout.stride, stride);
        EXPECT_EQ(layout.bitsSize, stride * 2);
        EXPECT_EQ(layout.bitsPerPixel, c.bitCount);
        // One byte short of the last row.
        std::vector<uint8_t> shorter = exact;
        shorter.pop_back();
        EXPECT_FALSE(Read(shorter).valid);
    }
}

TEST(DibLayout, RowsAreAlignedToFourBytes)
{
    Header h;
    h.width = 5;
    h.height = 1;
    h.bitCount = 24;  // 15 bytes of pixels, 16 stored
    EXPECT_EQ(Read(Dib(h, 16)).stride, 16u);
    EXPECT_FALSE(Read(Dib(h, 15)).valid);
    h.bitCount = 1;
    h.width = 33;  // 33 bits take two DWORDs
    EXPECT_EQ(Read(Dib(h, 8 + 8)).stride, 8u);
    h.bitCount = 4;
    h.width = 9;  // 36 bits
    EXPECT_EQ(Read(Dib(h, 64 + 8)).bitsSize, 8u);
}

TEST(DibLayout, TopDownRowsKeepTheirNegativeHeight)
{
    Header h;
    h.width = 2;
    h.height = -3;
    h.bitCount = 32;
    const DibLayout layout = Read(Dib(h, 24));
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.height, -3);
    EXPECT_EQ(layout.bitsSize, 24u);
    EXPECT_FALSE(Read(Dib(h, 23)).valid);
    // |INT32_MIN| rows cannot be held, and must not wrap to a small count.
    h.height = INT32_MIN;
    EXPECT_FALSE(Read(Dib(h, 4096)).valid);
}

TEST(DibLayout, LargerHeadersMoveTheBits)
{
    Header h;
    h.size = 124;  // BITMAPV5HEADER: its own masks, plus the three after it
    h.bitCount = 32;
    h.compression = kDibBitFields;
    h.width = 2;
    h.height = 2;
    const DibLayout layout = Read(Dib(h, 84 + 12 + 16));
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.headerSize, 124u);
    EXPECT_EQ(layout.bitsOffset, 136u);
    EXPECT_EQ(layout.colorEntries, 3u);

    // The masks only inside the header: the bits follow it at once.
    const DibLayout inside = Read(Dib(h, 84 + 16));
    ASSERT_TRUE(inside.valid);
    EXPECT_EQ(inside.bitsOffset, 124u);
    EXPECT_EQ(inside.colorEntries, 0u);
    EXPECT_EQ(inside.bitsSize, 16u);
    // A BITMAPV4HEADER (108 bytes) and a colour table after the masks do the same.
    h.size = 108;
    h.clrUsed = 2;
    const DibLayout v4 = Read(Dib(h, 68 + 8 + 16));
    ASSERT_TRUE(v4.valid);
    EXPECT_EQ(v4.bitsOffset, 116u);
    EXPECT_EQ(v4.colorEntries, 2u);
    h.clrUsed = 0;
    h.size = 124;
    // Any other shortfall is no layout, and a 40-byte header never holds masks.
    EXPECT_FALSE(Read(Dib(h, 84 + 12 + 15)).valid);
    EXPECT_FALSE(Read(Dib(h, 84 + 15)).valid);
    h.size = 40;
    EXPECT_FALSE(Read(Dib(h, 16)).valid);
}

TEST(DibLayout, CompressedBitsAreSizeImageLong)
{
    Header h;
    h.width = 100;
    h.height = 100;
    h.bitCount = 8;
    h.compression = kDibRle8;
    h.sizeImage = 10;
    const DibLayout rle = Read(Dib(h, 1024 + 10));
    ASSERT_TRUE(rle.valid);
    EXPECT_EQ(rle.bitsOffset, 40u + 1024);
    EXPECT_EQ(rle.bitsSize, 10u);
    EXPECT_EQ(rle.stride, 0u);
    EXPECT_FALSE(Read(Dib(h, 1024 + 9)).valid);
    h.sizeImage = 0;  // a compressed length must be told
    EXPECT_FALSE(Read(Dib(h, 1024 + 10)).valid);

    h.bitCount = 4;
    h.compression = kDibRle4;
    h.sizeImage = 6;
    EXPECT_EQ(Read(Dib(h, 64 + 6)).bitsSize, 6u);
    h.bitCount = 8;  // RLE4 with 8-bit pixels is no format
    EXPECT_FALSE(Read(Dib(h, 1024 + 6)).valid);

    h.bitCount = 0;
    h.compression = kDibPng;
    h.sizeImage = 20;
    const DibLayout png = Read(Dib(h, 20));
    ASSERT_TRUE(png.valid);
    EXPECT_EQ(png.bitsOffset, 40u);
    EXPECT_EQ(png.bitsPerPixel, 0);
    h.compression = kDibJpeg;
    EXPECT_TRUE(Read(Dib(h, 20)).valid);
    // Compressed rows cannot be top-down.
    h.height = -100;
    EXPECT_FALSE(Read(Dib(h, 20)).valid);
}

TEST(DibLayout, MalformedHeadersGiveNoLayout)
{
    const std::vector<uint8_t> good = Dib(Header{}, 4);
    ASSERT_TRUE(Read(good).valid);
    EXPECT_FALSE(ReadDibLayout(good.data(), 39).valid);
    EXPECT_FALSE(ReadDibLayout(nullptr, 0).valid);

    auto with = [](auto change, size_t extra) {
        Header h;
        change(h);
        return Read(Dib(h, extra));
    };
    EXPECT_FALSE(with([](Header& h) { h.size = 45; }, 4).valid);  // biSize past the data
    EXPECT_FALSE(with([](Header& h) { h.size = 12; }, 4).valid);  // a core header is not a DIB of this format
    EXPECT_FALSE(with([](Header& h) { h.size = 0x10028; }, 0x10000).valid);
    EXPECT_FALSE(with([](Header& h) { h.width = 0; }, 4).valid);
    EXPECT_FALSE(with([](Header& h) { h.width = -1; }, 4).valid);
    EXPECT_FALSE(with([](Header& h) { h.height = 0; }, 4).valid);
    EXPECT_FALSE(with([](Header& h) { h.planes = 2; }, 8).valid);
    EXPECT_FALSE(with([](Header& h) { h.bitCount = 7; }, 4).valid);
    EXPECT_FALSE(with([](Header& h) { h.bitCount = 0; }, 4).valid);
    EXPECT_FALSE(with(
                     [](Header& h) {
                         h.bitCount = 24;
                         h.compression = kDibBitFields;
                     },
                     16)
                     .valid);
    EXPECT_FALSE(with([](Header& h) { h.compression = 6; }, 4).valid);
    // A colour table that runs past the data, even with no pixels needed after it.
    EXPECT_FALSE(with([](Header& h) { h.bitCount = 8; }, 1023 + 4).valid);
    EXPECT_FALSE(with(
                     [](Header& h) {
                         h.bitCount = 24;
                         h.clrUsed = 0xFFFFFFFF;
                     },
                     4)
                     .valid);
}

TEST(DibLayout, HugeDimensionsDoNotOverflow)
{
    Header h;
    h.bitCount = 32;
    h.width = INT32_MAX;  // the row alone needs more bits than an INT stride can tell
    EXPECT_FALSE(Read(Dib(h, 64)).valid);
    h.width = 0x1FFFFFF;  // 128 MiB rows
    h.height = INT32_MAX;
    EXPECT_FALSE(Read(Dib(h, 64)).valid);
    h.width = 1;
    h.height = -INT32_MAX;
    EXPECT_FALSE(Read(Dib(h, 64)).valid);
}
