// Pictures of CF_DIB / CF_DIBV5 and "DragImageBits" entries, read back pixel by pixel
// from the GDI+ bitmaps the entries make.
#include "capture/CBData_DIB.h"
#include "capture/CBData_DragImageBits.h"
#include "tests/capture/ImageTestSupport.h"

#include <cstdlib>

using Gdiplus::ARGB;
using image_test::EntryOver;
using image_test::ExpectNoPicture;
using image_test::PixelAt;
using testing_support::ScratchDir;

namespace {

constexpr ARGB Opaque(uint32_t rgb)
{
    return 0xFF000000u | (rgb & 0xFFFFFF);
}

void Put(std::vector<uint8_t>& b, size_t at, uint32_t v, int bytes)
{
    if (b.size() < at + bytes) b.resize(at + bytes);
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct DibCase {
    int32_t width = 0;
    int32_t height = 0;  // negative: top-down rows
    uint16_t bitCount = 0;
    uint32_t compression = BI_RGB;
    uint32_t clrUsed = 0;
    uint32_t headerSize = 40;
    std::vector<uint32_t> entries;  // what follows the header: bit-field masks first, then colours (0xRRGGBB)
    std::vector<std::vector<uint32_t>> pixels;  // stored values, top row of the picture first
};

// The DIB's rows, bottom-up unless the height is negative, padded to DWORDs with a filler
// byte that no case uses as a pixel (zero in rows of packed pixels).
std::vector<uint8_t> PackRows(const DibCase& source)
{
    const size_t stride = (static_cast<size_t>(source.width) * source.bitCount + 31) / 32 * 4;
    std::vector<uint8_t> bits(stride * source.pixels.size(), 0xCD);
    for (size_t y = 0; y < source.pixels.size(); ++y) {
        const size_t stored = source.height < 0 ? y : source.pixels.size() - 1 - y;
        uint8_t* row = bits.data() + stored * stride;
        if (source.bitCount < 8) std::fill(row, row + stride, 0);
        for (size_t x = 0; x < source.pixels[y].size(); ++x) {
            const uint32_t v = source.pixels[y][x];
            if (source.bitCount < 8) {
                const size_t bit = x * source.bitCount;
                row[bit / 8] |= static_cast<uint8_t>(v << (8 - source.bitCount - bit % 8));
            } else {
                for (int i = 0; i < source.bitCount / 8; ++i)
                    row[x * source.bitCount / 8 + i] = static_cast<uint8_t>(v >> (8 * i));
            }
        }
    }
    return bits;
}

std::vector<uint8_t> MakeDib(const DibCase& source, const std::vector<uint8_t>& bits, uint32_t sizeImage = 0)
{
    std::vector<uint8_t> b(source.headerSize + 4 * source.entries.size());
    Put(b, 0, source.headerSize, 4);
    Put(b, 4, static_cast<uint32_t>(source.width), 4);
    Put(b, 8, static_cast<uint32_t>(source.height), 4);
    Put(b, 12, 1, 2);
    Put(b, 14, source.bitCount, 2);
    Put(b, 16, source.compression, 4);
    Put(b, 20, sizeImage, 4);
    Put(b, 32, source.clrUsed, 4);
    if (source.headerSize >= 124) {
        Put(b, 56, 0x73524742, 4);  // LCS_sRGB
        Put(b, 108, LCS_GM_IMAGES, 4);
    }
    for (size_t i = 0; i < source.entries.size(); ++i) Put(b, source.headerSize + 4 * i, source.entries[i], 4);
    b.insert(b.end(), bits.begin(), bits.end());
    return b;
}

// One channel under a bit-field mask, stretched or cut to 8 bits.
uint32_t Channel(uint32_t v, uint32_t mask)
{
    if (mask == 0) return 0;
    int shift = 0, width = 0;
    while (!((mask >> shift) & 1)) ++shift;
    while (shift + width < 32 && ((mask >> (shift + width)) & 1)) ++width;
    const uint32_t value = (v & mask) >> shift;
    if (width >= 8) return value >> (width - 8);
    const uint32_t max = (1u << width) - 1;
    return (value * 255 + max / 2) / max;
}

ARGB ExpectedColour(const DibCase& source, uint32_t v)
{
    if (source.bitCount <= 8) return Opaque(source.entries[v]);
    uint32_t red = 0xFF0000, green = 0xFF00, blue = 0xFF;
    if (source.compression == BI_BITFIELDS) {
        red = source.entries[0], green = source.entries[1], blue = source.entries[2];
    } else if (source.bitCount == 16) {
        red = 0x7C00, green = 0x3E0, blue = 0x1F;
    }
    return Opaque(Channel(v, red) << 16 | Channel(v, green) << 8 | Channel(v, blue));
}

std::vector<uint32_t> Palette(size_t count)
{
    std::vector<uint32_t> colours(count);
    for (size_t i = 0; i < count; ++i) colours[i] = static_cast<uint32_t>(0x0B1D2F * (i + 1)) & 0xFFFFFF;
    return colours;
}

void ExpectPixels(Gdiplus::Image* image, const DibCase& source)
{
    for (size_t y = 0; y < source.pixels.size(); ++y)
        for (size_t x = 0; x < source.pixels[y].size(); ++x)
            EXPECT_EQ(PixelAt(image, static_cast<int>(x), static_cast<int>(y)),
                      ExpectedColour(source, source.pixels[y][x]))
                << "at " << x << "," << y;
}

}  // namespace

TEST(CCBData_DIB, PixelsOfEveryDepthWithAndWithoutColourTablesAndMasks)
{
    const std::vector<uint32_t> masks565 = {0xF800, 0x07E0, 0x001F};
    const std::vector<uint32_t> masks888 = {0xFF0000, 0x00FF00, 0x0000FF};
    auto with = [](std::vector<uint32_t> a, const std::vector<uint32_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const DibCase cases[] = {
        {9, 2, 1, BI_RGB, 0, 40, {0xFF0000, 0x0000FF}, {{0, 1, 0, 1, 1, 0, 0, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1, 0}}},
        {3, 2, 4, BI_RGB, 0, 40, Palette(16), {{0, 5, 15}, {7, 1, 12}}},
        {3, 2, 4, BI_RGB, 3, 40, Palette(3), {{0, 1, 2}, {2, 1, 0}}},
        {3, 2, 8, BI_RGB, 0, 40, Palette(256), {{0, 200, 255}, {17, 128, 3}}},
        {3, 2, 8, BI_RGB, 4, 40, Palette(4), {{3, 2, 1}, {0, 3, 3}}},
        {3, 2, 16, BI_RGB, 0, 40, {}, {{0x7C00, 0x03E0, 0x001F}, {0x7FFF, 0, 0x7C1F}}},
        {3, 2, 16, BI_RGB, 2, 40, Palette(2), {{0x7C00, 0x03E0, 0x001F}, {0x7FFF, 0, 0x7C1F}}},
        {3, 2, 16, BI_BITFIELDS, 0, 40, masks565, {{0xF800, 0x07E0, 0x001F}, {0xFFFF, 0, 0xF81F}}},
        {3, 2, 24, BI_RGB, 0, 40, {}, {{0xFF0000, 0x00FF00, 0x0000FF}, {0x123456, 0xFFFFFF, 0}}},
        {3, 2, 24, BI_RGB, 2, 40, Palette(2), {{0xFF0000, 0x00FF00, 0x0000FF}, {0x123456, 0xFFFFFF, 0}}},
        {2, 2, 32, BI_RGB, 0, 40, {}, {{0xFF0000, 0x00FF00}, {0x0000FF, 0xABCDEF}}},
        {2, 2, 32, BI_BITFIELDS, 0, 40, masks888, {{0xFF0000, 0x00FF00}, {0x0000FF, 0xFFFFFF}}},
        {2, 2, 32, BI_BITFIELDS, 1, 40, with(masks888, Palette(1)), {{0xFF0000, 0x00FF00}, {0x0000FF, 0xFFFFFF}}},
        // Top-down rows: the first stored row is the top of the picture.
        {3, -2, 24, BI_RGB, 0, 40, {}, {{0xFF0000, 0x00FF00, 0x0000FF}, {0x123456, 0xFFFFFF, 0}}},
        {3, -2, 8, BI_RGB, 4, 40, Palette(4), {{3, 2, 1}, {0, 3, 3}}},
        // CF_DIBV5: the bits follow the larger header.
        {2, 2, 32, BI_RGB, 0, 124, {}, {{0xFF0000, 0x00FF00}, {0x0000FF, 0xABCDEF}}},
    };
    ScratchDir dir;
    for (const DibCase& source : cases) {
        SCOPED_TRACE(testing::Message() << source.bitCount << " bits, compression " << source.compression
                                        << ", biClrUsed " << source.clrUsed << ", height " << source.height
                                        << ", header " << source.headerSize);
        const std::vector<uint8_t> dib = MakeDib(source, PackRows(source));
        auto entry = EntryOver<CCBData_DIB>(dir, dib);
        int width = -1, height = -1, bits = -1;
        std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
        ASSERT_TRUE(image);
        EXPECT_EQ(width, source.width);
        EXPECT_EQ(height, source.height);
        EXPECT_EQ(bits, source.bitCount);
        EXPECT_EQ(image->GetWidth(), static_cast<UINT>(source.width));
        EXPECT_EQ(image->GetHeight(), static_cast<UINT>(std::abs(source.height)));
        ExpectPixels(image.get(), source);
    }
}

// CF_DIBV5 data with BI_BITFIELDS occurs both with the masks repeated after the header
// and with the bits right after it; both show the same picture.
TEST(CCBData_DIB, BitFieldMasksAfterTheV5HeaderOrOnlyInsideIt)
{
    const std::vector<uint32_t> masks565 = {0xF800, 0x07E0, 0x001F};
    const DibCase source = {3, 2, 16, BI_BITFIELDS, 0, 124, masks565, {{0xF800, 0x07E0, 0x001F}, {0xFFFF, 0, 0xF81F}}};
    std::vector<uint8_t> after = MakeDib(source, PackRows(source));
    DibCase bare = source;
    bare.entries.clear();
    std::vector<uint8_t> inside = MakeDib(bare, PackRows(source));
    for (std::vector<uint8_t>* dib : {&after, &inside})
        for (size_t i = 0; i < 3; ++i) Put(*dib, 40 + 4 * i, masks565[i], 4);
    ASSERT_EQ(after.size(), inside.size() + 12);
    ScratchDir dir;
    for (const std::vector<uint8_t>* dib : {&after, &inside}) {
        SCOPED_TRACE(dib == &after ? "masks after the header" : "masks inside the header");
        auto entry = EntryOver<CCBData_DIB>(dir, *dib);
        int width = -1, height = -1, bits = -1;
        std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
        ASSERT_TRUE(image);
        EXPECT_EQ(width, 3);
        ExpectPixels(image.get(), source);
    }
}

TEST(CCBData_DIB, StoredBytesAreReadOnceAndKept)
{
    ScratchDir dir;
    const DibCase source = {1, 1, 24, BI_RGB, 0, 40, {}, {{0x00FF00}}};
    auto entry = EntryOver<CCBData_DIB>(dir, MakeDib(source, PackRows(source)));
    int width, height, bits;
    ASSERT_TRUE(entry->CreateImage(width, height, bits));
    ASSERT_TRUE(::DeleteFileW(entry->m_tempFile.c_str()));
    std::shared_ptr<Gdiplus::Image> again = entry->CreateImage(width, height, bits);
    ASSERT_TRUE(again);
    EXPECT_EQ(PixelAt(again.get(), 0, 0), Opaque(0x00FF00));
    entry->m_tempFile.clear();
}

TEST(CCBData_DIB, RunLengthEncodedBitsAreExpandedWithTheirColourTable)
{
    ScratchDir dir;
    // Bottom row: two of 1, two of 2, end of line; top row: four of 0, end of bitmap.
    const std::vector<uint8_t> rle8 = {2, 1, 2, 2, 0, 0, 4, 0, 0, 1};
    DibCase source = {4, 2, 8, BI_RLE8, 3, 40, {0x00FF00, 0xFF0000, 0x0000FF}, {}};
    auto entry = EntryOver<CCBData_DIB>(dir, MakeDib(source, rle8, static_cast<uint32_t>(rle8.size())));
    int width, height, bits;
    std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(bits, 8);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(image.get(), x, 0), Opaque(0x00FF00)) << x;
    EXPECT_EQ(PixelAt(image.get(), 0, 1), Opaque(0xFF0000));
    EXPECT_EQ(PixelAt(image.get(), 1, 1), Opaque(0xFF0000));
    EXPECT_EQ(PixelAt(image.get(), 2, 1), Opaque(0x0000FF));
    EXPECT_EQ(PixelAt(image.get(), 3, 1), Opaque(0x0000FF));

    // Four pixels alternating 1 and 2, then end of bitmap.
    const std::vector<uint8_t> rle4 = {4, 0x12, 0, 1};
    source = {4, 1, 4, BI_RLE4, 3, 40, {0x00FF00, 0xFF0000, 0x0000FF}, {}};
    auto entry4 = EntryOver<CCBData_DIB>(dir, MakeDib(source, rle4, static_cast<uint32_t>(rle4.size())));
    image = entry4->CreateImage(width, height, bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(bits, 4);
    EXPECT_EQ(PixelAt(image.get(), 0, 0), Opaque(0xFF0000));
    EXPECT_EQ(PixelAt(image.get(), 1, 0), Opaque(0x0000FF));
    EXPECT_EQ(PixelAt(image.get(), 3, 0), Opaque(0x0000FF));

    // biSizeImage claiming one byte more than is stored.
    source = {4, 2, 8, BI_RLE8, 3, 40, {0x00FF00, 0xFF0000, 0x0000FF}, {}};
    ExpectNoPicture(*EntryOver<CCBData_DIB>(dir, MakeDib(source, rle8, static_cast<uint32_t>(rle8.size() + 1))));
}

TEST(CCBData_DIB, EmbeddedPngIsDecoded)
{
    image_test::WicFactoryScope wic;
    ASSERT_TRUE(wic.Get());
    // Blue, green, red, alpha in memory.
    const std::vector<uint8_t> pixels = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 255};
    const std::vector<uint8_t> png =
        image_test::EncodeWithWic(wic.Get(), GUID_ContainerFormatPng, 2, 2, GUID_WICPixelFormat32bppBGRA, 8, pixels);
    ASSERT_FALSE(png.empty());
    ScratchDir dir;
    const DibCase source = {2, 2, 0, BI_PNG, 0, 40, {}, {}};
    auto entry = EntryOver<CCBData_DIB>(dir, MakeDib(source, png, static_cast<uint32_t>(png.size())));
    int width, height, bits;
    std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(bits, 0);
    EXPECT_EQ(PixelAt(image.get(), 0, 0), Opaque(0xFF0000));
    EXPECT_EQ(PixelAt(image.get(), 1, 0), Opaque(0x00FF00));
    EXPECT_EQ(PixelAt(image.get(), 0, 1), Opaque(0x0000FF));
    EXPECT_EQ(PixelAt(image.get(), 1, 1), Opaque(0xFFFFFF));

    // Without the imaging factory the embedded file cannot be decoded, and nothing is reported.
    CaptureSettings().m_wicFactory = nullptr;
    ExpectNoPicture(*entry);
}

TEST(CCBData_DIB, MalformedDibsGiveNoPicture)
{
    const DibCase good = {3, 2, 24, BI_RGB, 0, 40, {}, {{1, 2, 3}, {4, 5, 6}}};
    const std::vector<uint8_t> valid = MakeDib(good, PackRows(good));
    auto changed = [&](size_t at, uint32_t value, int bytes) {
        std::vector<uint8_t> b = valid;
        Put(b, at, value, bytes);
        return b;
    };
    DibCase eightBit = {3, 2, 8, BI_RGB, 0, 40, Palette(256), {{1, 2, 3}, {4, 5, 6}}};
    std::vector<uint8_t> tableCut = MakeDib(eightBit, {});
    tableCut.resize(40 + 1000);

    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"39 bytes", std::vector<uint8_t>(valid.begin(), valid.begin() + 39)},
        {"biSize past the data", changed(0, static_cast<uint32_t>(valid.size() + 1), 4)},
        {"colour table past the data", tableCut},
        {"pixel array one byte short", std::vector<uint8_t>(valid.begin(), valid.end() - 1)},
        {"zero width", changed(4, 0, 4)},
        {"negative width", changed(4, static_cast<uint32_t>(-3), 4)},
        {"zero height", changed(8, 0, 4)},
        {"bit count 7", changed(14, 7, 2)},
        {"JPEG compression with 24 bits", changed(16, BI_JPEG, 4)},
    };
    ScratchDir dir;
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        auto entry = EntryOver<CCBData_DIB>(dir, bytes);
        ExpectNoPicture(*entry);
    }
    // No stored bytes at all.
    CCBData_DIB empty;
    ExpectNoPicture(empty);
}

namespace {

// A drag image whose stored row r, pixel x is B = 20x, G = 20r, R = 0x80, opaque. The
// header fields that are not read hold a filler byte.
std::vector<uint8_t> DragImage(int32_t cx, int32_t cy, size_t headerSize, size_t total)
{
    std::vector<uint8_t> b(total, 0x77);
    Put(b, 0, static_cast<uint32_t>(cx), 4);
    Put(b, 4, static_cast<uint32_t>(cy), 4);
    for (int32_t r = 0; r < cy && cx > 0; ++r) {
        for (int32_t x = 0; x < cx; ++x) {
            const size_t at = headerSize + (static_cast<size_t>(r) * cx + x) * 4;
            if (at + 4 > total) return b;
            Put(b, at, 0xFF800000u | (20u * r) << 8 | 20u * x, 4);
        }
    }
    return b;
}

}  // namespace

TEST(CCBData_DragImageBits, HeaderLengthFollowsTheSizeAndTheFirstStoredRowIsTheBottom)
{
    ScratchDir dir;
    for (size_t header : {size_t{32}, size_t{24}}) {
        SCOPED_TRACE(header);
        auto entry = EntryOver<CCBData_DragImageBits>(dir, DragImage(10, 10, header, header + 400));
        int width, height, bits;
        std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
        ASSERT_TRUE(image);
        EXPECT_EQ(width, 10);
        EXPECT_EQ(height, 10);
        EXPECT_EQ(bits, 32);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                EXPECT_EQ(PixelAt(image.get(), x, y), 0xFF800000u | (20u * (9 - y)) << 8 | 20u * x) << x << "," << y;
    }
}

TEST(CCBData_DragImageBits, PixelsArePremultiplied)
{
    ScratchDir dir;
    std::vector<uint8_t> bytes(32 + 4, 0);
    Put(bytes, 0, 1, 4);
    Put(bytes, 4, 1, 4);
    Put(bytes, 32, 0x80402000, 4);  // half transparent, premultiplied
    auto entry = EntryOver<CCBData_DragImageBits>(dir, bytes);
    int width, height, bits;
    std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
    ASSERT_TRUE(image);
    EXPECT_TRUE(image_test::Near(PixelAt(image.get(), 0, 0), 0x80804000, 2)) << std::hex << PixelAt(image.get(), 0, 0);
}

TEST(CCBData_DragImageBits, MalformedDataGivesNoPicture)
{
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"423 bytes for 10 x 10", DragImage(10, 10, 24, 423)},
        {"negative cx", DragImage(-10, 10, 32, 432)},
        {"negative cy", DragImage(10, -10, 32, 432)},
        {"cx x cy x 4 beyond 32 bits", DragImage(0x8000, 0x8000, 32, 432)},
        {"shorter than cx and cy", std::vector<uint8_t>(7, 1)},
    };
    ScratchDir dir;
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        auto entry = EntryOver<CCBData_DragImageBits>(dir, bytes);
        ExpectNoPicture(*entry);
    }
}

TEST(CCBData_DIB, UncompressedRowsOverThePixelBudgetGiveNoPicture)
{
    // 1-bit rows: 2^27 pixels are 16 MiB of bits, one row more is over the budget.
    ScratchDir dir;
    for (const int32_t rows : {4096, 4097}) {
        SCOPED_TRACE(rows);
        DibCase source = {32768, rows, 1, BI_RGB, 0, 40, {0, 0xFFFFFF}, {}};
        auto entry = EntryOver<CCBData_DIB>(dir, MakeDib(source, std::vector<uint8_t>(size_t{4096} * rows)));
        int width, height, bits;
        EXPECT_EQ(entry->CreateImage(width, height, bits) != nullptr, rows == 4096);
    }
}
