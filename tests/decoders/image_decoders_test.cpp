#include "tests/decoders/DecoderTestSupport.h"

#include <gtest/gtest.h>

namespace {

Bytes InfoHeader(uint32_t size, int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                 uint32_t clrUsed = 0)
{
    Bytes b;
    PutU32(b, size);
    PutU32(b, static_cast<uint32_t>(width));
    PutU32(b, static_cast<uint32_t>(height));
    PutU16(b, 1);
    PutU16(b, bitCount);
    PutU32(b, compression);
    for (int i = 0; i < 3; ++i) PutU32(b, 0);
    PutU32(b, clrUsed);
    PutU32(b, 0);
    b.resize(size);
    return b;
}

TEST(DibDecoder, SoundBitmapAndShortPixels)
{
    Bytes dib = InfoHeader(40, 3, 2, 24, 0);
    dib.resize(40 + 12 * 2);  // rows of 9 bytes padded to 12
    DecodedTree tree = DecodeAs("CF_DIB", dib);
    EXPECT_EQ(AllWarnings(tree), "");
    EXPECT_EQ(Field(tree, "ピクセル").value, "24 バイト");
    dib.resize(50);
    DecodedTree cut = DecodeAs("CF_DIB", dib);
    EXPECT_EQ(Field(cut, "ピクセル").warnings.size(), 1u);
    EXPECT_EQ(Field(cut, "ピクセル").size, 10u);
}

TEST(DibDecoder, PaletteMasksAndProfile)
{
    Bytes dib = InfoHeader(40, 1, 1, 8, 0, 300);
    DecodedTree tooMany = DecodeAs("CF_DIB", dib);
    EXPECT_FALSE(Field(tooMany, "biClrUsed").warnings.empty());
    EXPECT_FALSE(Field(tooMany, "bmiColors").warnings.empty());

    Bytes v5 = InfoHeader(124, 1, -1, 32, 3);
    SetU32(v5, 40, 0xFF0000);
    SetU32(v5, 56, 0x4D424544);  // PROFILE_EMBEDDED
    SetU32(v5, 112, 128);
    SetU32(v5, 116, 64);
    v5.resize(124 + 4);
    DecodedTree tree = DecodeAs("CF_DIBV5", v5);
    EXPECT_EQ(Field(tree, "bV5RedMask").meaning, "0x00FF0000");
    EXPECT_EQ(Field(tree, "bV5CSType").meaning, "PROFILE_EMBEDDED");
    EXPECT_FALSE(Field(tree, "bV5ProfileData").warnings.empty());
    EXPECT_EQ(Field(tree, "biHeight").meaning, "高さ (負: 上の行から)");
}

Bytes Chunk(const std::string& type, const Bytes& data)
{
    Bytes body;
    PutText(body, type);
    body.insert(body.end(), data.begin(), data.end());
    Bytes b;
    PutU32BE(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), body.begin(), body.end());
    PutU32BE(b, Crc32ForTest(body));
    return b;
}

TEST(PngDecoder, ChunksCrcAndHeader)
{
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    PutU32BE(ihdr, 16);
    PutU32BE(ihdr, 9);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    for (const Bytes& c : {Chunk("IHDR", ihdr), Chunk("IDAT", Bytes(5, 1)), Chunk("IEND", {})})
        png.insert(png.end(), c.begin(), c.end());
    DecodedTree tree = DecodeAs("PNG", png);
    EXPECT_EQ(AllWarnings(tree), "");
    EXPECT_EQ(Field(tree, "IHDR").value, "16 x 9");
    EXPECT_EQ(Field(tree, "Colour type").meaning, "RGBA");

    png[8 + 8 + 13] ^= 1;  // IHDR's CRC
    png[8 + 8 + 8] = 3;    // colour type 6 → bit depth 3 is not allowed either
    DecodedTree broken = DecodeAs("image/png", png);
    EXPECT_FALSE(Field(broken, "CRC").warnings.empty());
    EXPECT_FALSE(Field(broken, "Bit depth").warnings.empty());
    png.resize(png.size() - 12);
    EXPECT_NE(AllWarnings(DecodeAs("", png, ".PNG")).find("IEND チャンクがありません"), std::string::npos);
}

TEST(JpegDecoder, SegmentsAndOrientation)
{
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE1};
    Bytes exif;
    PutText(exif, std::string("Exif\0\0II*\0", 10));
    PutU32(exif, 8);
    PutU16(exif, 1);
    PutU16(exif, 0x0112);
    PutU16(exif, 3);
    PutU32(exif, 1);
    PutU16(exif, 6);
    PutU16(exif, 0);
    PutU32(exif, 0);
    jpeg.push_back(static_cast<uint8_t>((exif.size() + 2) >> 8));
    jpeg.push_back(static_cast<uint8_t>(exif.size() + 2));
    jpeg.insert(jpeg.end(), exif.begin(), exif.end());
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});
    DecodedTree tree = DecodeAs("", jpeg, ".jpg");
    EXPECT_EQ(AllWarnings(tree), "");
    EXPECT_EQ(Field(tree, "Orientation").meaning, "90 度回転");
    jpeg[5] = 0xF0;  // a segment longer than the data
    EXPECT_NE(AllWarnings(DecodeAs("JFIF", jpeg)).find("長さがデータと合いません"), std::string::npos);
}

}  // namespace
