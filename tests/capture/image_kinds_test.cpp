// Pictures of the GDI kinds (bitmap, enhanced metafile, metafile picture) built from
// delivered handles, and of image files held by generic entries, decoded with WIC.
#include "capture/CBDataCreateContext.h"
#include "capture/CBData_FileDescriptor.h"
#include "capture/CBData_HBITMAP.h"
#include "capture/CBData_HENHMF.h"
#include "capture/CBData_HMETAFILEPICT.h"
#include "capture/TempStore.h"
#include "tests/capture/ImageTestSupport.h"

#include <cstdio>
#include <cstring>

using Gdiplus::ARGB;
using image_test::EntryOver;
using image_test::ExpectNoPicture;
using image_test::Near;
using image_test::PixelAt;
using testing_support::FileExists;
using testing_support::ScratchDir;

namespace {

// The process's temporary store, set up in a scratch folder for the life of the scope.
class TempStoreScope {
public:
    TempStoreScope() { m_ready = TheTempStore().InitTempFolder(m_dir.Path()); }
    TempStoreScope(const TempStoreScope&) = delete;
    TempStoreScope& operator=(const TempStoreScope&) = delete;
    ~TempStoreScope() { TheTempStore().CleanUpTempFolder(); }
    bool IsReady() const { return m_ready; }

private:
    ScratchDir m_dir;
    bool m_ready = false;
};

// Whether OLE duplicates a CF_METAFILEPICT block with the metafile it names.
bool OleDuplicatesMetaFilePictBlocks(HGLOBAL block)
{
    fw::UniqueGlobal copy(static_cast<HGLOBAL>(::OleDuplicateData(block, CF_METAFILEPICT, 0)));
    if (!copy) return false;
    fw::GlobalLockView view(copy.Get());
    if (view && view.Size() >= sizeof(METAFILEPICT)) ::DeleteMetaFile(view.As<METAFILEPICT>()->hMF);
    return true;
}

// What OLE's duplicate of a metafile picture is: a new block naming a copy of the metafile.
HGLOBAL CopyMetaFilePict(HGLOBAL block)
{
    fw::GlobalLockView source(block);
    if (!source) return nullptr;
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, source.Size());
    fw::GlobalLockView target(copy);
    if (!target) return copy;
    std::memcpy(target.Data(), source.Data(), source.Size());
    target.As<METAFILEPICT>()->hMF = ::CopyMetaFileW(source.As<METAFILEPICT>()->hMF, nullptr);
    return copy;
}

std::vector<PALETTEENTRY> EntriesOf(HPALETTE palette)
{
    std::vector<PALETTEENTRY> entries(::GetPaletteEntries(palette, 0, 0, nullptr));
    if (!entries.empty()) ::GetPaletteEntries(palette, 0, static_cast<UINT>(entries.size()), entries.data());
    return entries;
}

}  // namespace

TEST(CCBData_HBITMAP, ImportDuplicatesBitmapAndPaletteAndMeasuresTheDeliveredHandle)
{
    const uint32_t pixels[] = {0x00FF0000, 0x000000FF, 0x0000FF00, 0x00FFFFFF, 0, 0x00808080};
    HBITMAP delivered = ::CreateBitmap(3, 2, 1, 32, pixels);
    const struct {
        LOGPALETTE header;
        PALETTEENTRY more[2];
    } pal = {{0x300, 3, {{10, 20, 30, 0}}}, {{40, 50, 60, 0}, {70, 80, 90, 0}}};
    HPALETTE palette = ::CreatePalette(&pal.header);
    ASSERT_TRUE(delivered && palette);
    CCBDataCreateContext context;
    context.m_palette = palette;

    std::shared_ptr<CCBData> imported = CCBData_HBITMAP::Import(delivered, &context);
    auto* entry = dynamic_cast<CCBData_HBITMAP*>(imported.get());
    ASSERT_TRUE(entry);
    // The medium is still the caller's to release.
    EXPECT_EQ(::GetObjectType(delivered), static_cast<DWORD>(OBJ_BITMAP));
    ASSERT_TRUE(entry->m_hBitmap);
    EXPECT_NE(entry->m_hBitmap.Get(), delivered);
    ASSERT_TRUE(entry->m_hPalette);
    EXPECT_NE(entry->m_hPalette.Get(), palette);
    const std::vector<PALETTEENTRY> original = EntriesOf(palette), copy = EntriesOf(entry->m_hPalette.Get());
    ASSERT_EQ(copy.size(), 3u);
    EXPECT_EQ(std::memcmp(copy.data(), original.data(), 3 * sizeof(PALETTEENTRY)), 0);
    EXPECT_EQ(entry->m_width, 3);
    EXPECT_EQ(entry->m_height, 2);
    EXPECT_EQ(entry->m_bitsPerPixel, 32);
    EXPECT_EQ(entry->m_dataSize, 0u);
    EXPECT_TRUE(entry->m_tempFile.empty());

    // The duplicates outlive what the source delivered.
    ::DeleteObject(delivered);
    context.m_palette = nullptr;
    ::DeleteObject(palette);
    int width, height, bits;
    std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(PixelAt(image.get(), 0, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(image.get(), 1, 0), 0xFF0000FFu);
    EXPECT_EQ(PixelAt(image.get(), 0, 1), 0xFFFFFFFFu);
    EXPECT_EQ(PixelAt(image.get(), 2, 1), 0xFF808080u);
}

TEST(CCBData_HBITMAP, BitmapOverThePixelBudgetGivesNoPicture)
{
    // 16 MiB of 1-bit pixels, one row over 2^27 pixels: GDI+ would make 512 MiB of them.
    HBITMAP delivered = ::CreateBitmap(32768, 4097, 1, 1, nullptr);
    ASSERT_TRUE(delivered);
    std::shared_ptr<CCBData> imported = CCBData_HBITMAP::Import(delivered, nullptr);
    ::DeleteObject(delivered);
    auto* entry = dynamic_cast<CCBData_HBITMAP*>(imported.get());
    ASSERT_TRUE(entry && entry->m_hBitmap);
    int width, height, bits;
    EXPECT_FALSE(entry->CreateImage(width, height, bits));
}

TEST(CCBData_HBITMAP, ReportsTheDepthMeasuredAtImportNotGdiplus)
{
    // GDI+ would give a monochrome bitmap no depth at all through CreateImage; the
    // measurement says 1 plane × 1 bit.
    const uint8_t rows[] = {0xA0, 0, 0x40, 0};  // rows padded to 16 bits
    HBITMAP delivered = ::CreateBitmap(3, 2, 1, 1, rows);
    ASSERT_TRUE(delivered);
    std::shared_ptr<CCBData> entry = CCBData_HBITMAP::Import(delivered, nullptr);
    ::DeleteObject(delivered);
    EXPECT_FALSE(static_cast<CCBData_HBITMAP*>(entry.get())->m_hPalette);
    int width, height, bits;
    std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(bits, 1);
    EXPECT_EQ(PixelAt(image.get(), 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(PixelAt(image.get(), 1, 0), 0xFF000000u);
    EXPECT_EQ(PixelAt(image.get(), 1, 1), 0xFFFFFFFFu);
}

TEST(CCBData_HENHMF, ImportDuplicatesAndGdiplusMeasures)
{
    const RECT frame = {0, 0, 4000, 2000};  // 40 mm × 20 mm
    HDC dc = ::CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
    ASSERT_TRUE(dc);
    ::Rectangle(dc, 0, 0, 100, 50);
    HENHMETAFILE delivered = ::CloseEnhMetaFile(dc);
    ASSERT_TRUE(delivered);

    std::shared_ptr<CCBData> imported = CCBData_HENHMF::Import(delivered);
    auto* entry = dynamic_cast<CCBData_HENHMF*>(imported.get());
    ASSERT_TRUE(entry);
    ASSERT_TRUE(entry->m_hEnhMetaFile);
    EXPECT_NE(entry->m_hEnhMetaFile.Get(), delivered);
    EXPECT_EQ(::GetEnhMetaFileBits(entry->m_hEnhMetaFile.Get(), 0, nullptr),
              ::GetEnhMetaFileBits(delivered, 0, nullptr));
    EXPECT_EQ(entry->m_dataSize, 0u);
    EXPECT_TRUE(entry->m_tempFile.empty());
    ::DeleteEnhMetaFile(delivered);

    int width = -1, height = -1, bits = -1;
    std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->GetType(), Gdiplus::ImageTypeMetafile);
    EXPECT_GT(height, 0);
    EXPECT_NEAR(width, 2 * height, 2);
    EXPECT_EQ(width, static_cast<int>(image->GetWidth()));
    EXPECT_EQ(bits, 0);
    // The image borrows the entry's handle; the handle survives the image.
    image.reset();
    EXPECT_GT(::GetEnhMetaFileBits(entry->m_hEnhMetaFile.Get(), 0, nullptr), 0u);
}

namespace {

// A metafile picture block as a source delivers it: a rectangle, 2000 × 1000 in
// MM_ANISOTROPIC. The caller frees both.
HGLOBAL DeliveredMetaFilePict(HMETAFILE& metaFile)
{
    HDC dc = ::CreateMetaFileW(nullptr);
    if (!dc) return nullptr;
    ::Rectangle(dc, 0, 0, 200, 100);
    metaFile = ::CloseMetaFile(dc);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
    if (!metaFile || !block) return block;
    fw::GlobalLockView view(block);
    *view.As<METAFILEPICT>() = {MM_ANISOTROPIC, 2000, 1000, metaFile};
    return block;
}

}  // namespace

TEST(CCBData_HMETAFILEPICT, ImportKeepsACopyOfBlockAndMetafileAndStoresTheBlock)
{
    TempStoreScope store;
    ASSERT_TRUE(store.IsReady());
    HMETAFILE metaFile = nullptr;
    fw::UniqueGlobal delivered(DeliveredMetaFilePict(metaFile));
    ASSERT_TRUE(metaFile && delivered);

    std::shared_ptr<CCBData> imported = CCBData_HMETAFILEPICT::Import(delivered.Get());
    auto* entry = dynamic_cast<CCBData_HMETAFILEPICT*>(imported.get());
    ASSERT_TRUE(entry);
    if (!OleDuplicatesMetaFilePictBlocks(delivered.Get())) {
        // Nothing to copy from: the entry keeps nothing rather than the caller's handles.
        EXPECT_FALSE(entry->m_hMetaFilePict);
        EXPECT_FALSE(entry->m_hMetaFile);
        EXPECT_TRUE(entry->m_tempFile.empty());
        ::DeleteMetaFile(metaFile);
        GTEST_SKIP() << "this OLE does not duplicate a CF_METAFILEPICT block, so the import's copy cannot be "
                        "shown here (keeping a duplicate is tested on its own)";
    }
    ASSERT_TRUE(entry->m_hMetaFilePict);
    EXPECT_NE(entry->m_hMetaFilePict.Get(), delivered.Get());
    ASSERT_TRUE(entry->m_hMetaFile);
    EXPECT_NE(entry->m_hMetaFile.Get(), metaFile);
    EXPECT_EQ(::GetMetaFileBitsEx(entry->m_hMetaFile.Get(), 0, nullptr), ::GetMetaFileBitsEx(metaFile, 0, nullptr));
    EXPECT_GE(entry->m_dataSize, sizeof(METAFILEPICT));
    EXPECT_TRUE(FileExists(entry->m_tempFile));

    // The caller releases the medium: the block and its metafile. The copy still draws.
    ::DeleteMetaFile(metaFile);
    delivered.Reset();
    int width = -1, height = -1, bits = -1;
    EXPECT_TRUE(entry->CreateImage(width, height, bits));
}

// A duplicate of the block handed to the entry: the entry owns block and metafile, stores
// the block, draws the metafile, and removes its file when it goes.
TEST(CCBData_HMETAFILEPICT, KeptDuplicateIsStoredAndDrawnAndItsFileGoesWithTheEntry)
{
    TempStoreScope store;
    ASSERT_TRUE(store.IsReady());
    HMETAFILE metaFile = nullptr;
    fw::UniqueGlobal delivered(DeliveredMetaFilePict(metaFile));
    ASSERT_TRUE(metaFile && delivered);
    HGLOBAL duplicate = CopyMetaFilePict(delivered.Get());
    ASSERT_TRUE(duplicate);
    HMETAFILE duplicateMetaFile = nullptr;
    {
        fw::GlobalLockView view(duplicate);
        duplicateMetaFile = view.As<METAFILEPICT>()->hMF;
    }
    ASSERT_TRUE(duplicateMetaFile);
    auto entry = std::make_shared<CCBData_HMETAFILEPICT>();
    entry->KeepMetaFilePict(duplicate);
    EXPECT_EQ(entry->m_hMetaFilePict.Get(), duplicate);
    EXPECT_EQ(entry->m_hMetaFile.Get(), duplicateMetaFile);

    // The stored file is the block itself: mapping mode, extents, then the kept handle.
    EXPECT_EQ(entry->m_dataSize, ::GlobalSize(duplicate));
    ASSERT_TRUE(FileExists(entry->m_tempFile));
    std::vector<BYTE> stored;
    ASSERT_TRUE(entry->ReadData(stored));
    ASSERT_GE(stored.size(), sizeof(METAFILEPICT));
    METAFILEPICT block;
    std::memcpy(&block, stored.data(), sizeof block);
    EXPECT_EQ(block.mm, MM_ANISOTROPIC);
    EXPECT_EQ(block.xExt, 2000);
    EXPECT_EQ(block.yExt, 1000);
    EXPECT_EQ(block.hMF, duplicateMetaFile);

    // The source's own block and metafile go: the entry's picture does not depend on them.
    ::DeleteMetaFile(metaFile);
    delivered.Reset();
    int width = -1, height = -1, bits = -1;
    std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->GetType(), Gdiplus::ImageTypeMetafile);
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    EXPECT_EQ(bits, 0);

    const std::wstring file = entry->m_tempFile;
    image.reset();
    entry.reset();
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(::GetMetaFileBitsEx(duplicateMetaFile, 0, nullptr), 0u) << "the entry frees the metafile it kept";
}

TEST(CCBData_HMETAFILEPICT, BlockWithoutMetafileKeepsNoFile)
{
    TempStoreScope store;
    auto entry = std::make_shared<CCBData_HMETAFILEPICT>();
    entry->KeepMetaFilePict(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(METAFILEPICT)));
    EXPECT_TRUE(entry->m_hMetaFilePict);
    EXPECT_FALSE(entry->m_hMetaFile);
    EXPECT_TRUE(entry->m_tempFile.empty());
    EXPECT_EQ(entry->m_dataSize, 0u);
    ExpectNoPicture(*entry);
}

TEST(CCBData_GDI, NullHandlesDeliveredKeepNothingAndGiveNoPicture)
{
    TempStoreScope store;
    const std::shared_ptr<CCBData> entries[] = {
        CCBData_HBITMAP::Import(nullptr, nullptr),
        CCBData_HENHMF::Import(nullptr),
        CCBData_HMETAFILEPICT::Import(nullptr),
    };
    EXPECT_FALSE(static_cast<CCBData_HBITMAP*>(entries[0].get())->m_hBitmap);
    EXPECT_FALSE(static_cast<CCBData_HENHMF*>(entries[1].get())->m_hEnhMetaFile);
    EXPECT_FALSE(static_cast<CCBData_HMETAFILEPICT*>(entries[2].get())->m_hMetaFilePict);
    for (const auto& entry : entries) {
        SCOPED_TRACE(entry->GetRuntimeClass()->m_lpszClassName);
        EXPECT_TRUE(entry->m_tempFile.empty());
        EXPECT_EQ(entry->m_treeIcon, 2);
        ExpectNoPicture(*entry);
    }
}

namespace {

std::vector<uint8_t> EncodePng(IWICImagingFactory* factory, UINT width, UINT height, const std::vector<uint8_t>& bgra)
{
    return image_test::EncodeWithWic(factory, GUID_ContainerFormatPng, width, height, GUID_WICPixelFormat32bppBGRA,
                                     width * 4, bgra);
}

// Whether this system's WIC reads the EXIF orientation of a stored file with `query`.
bool PlatformReadsOrientation(IWICImagingFactory* factory, const std::wstring& path, const wchar_t* query)
{
    fw::ComPtr<IWICBitmapDecoder> decoder;
    fw::ComPtr<IWICBitmapFrameDecode> frame;
    fw::ComPtr<IWICMetadataQueryReader> reader;
    if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                  &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetMetadataQueryReader(&reader)))
        return false;
    PROPVARIANT value;
    ::PropVariantInit(&value);
    const bool found = SUCCEEDED(reader->GetMetadataByName(query, &value)) && value.vt == VT_UI2;
    ::PropVariantClear(&value);
    return found;
}

// An EXIF block (APP1, 34 bytes): "Exif", a little-endian TIFF header, and one IFD
// whose only entry is tag 274 (orientation), one SHORT.
std::vector<uint8_t> ExifOrientation(uint8_t orientation)
{
    return {0xFF, 0xE1, 0,    0x22, 'E', 'x', 'i', 'f', 0, 0, 'I',         'I', 0x2A, 0, 8, 0, 0, 0,
            1,    0,    0x12, 1,    3,   0,   1,   0,   0, 0, orientation, 0,   0,    0, 0, 0, 0, 0};
}

bool IsReddish(ARGB c)
{
    return ((c >> 16) & 0xFF) > 200 && (c & 0xFF) < 60;
}
bool IsBluish(ARGB c)
{
    return (c & 0xFF) > 200 && ((c >> 16) & 0xFF) < 60;
}

}  // namespace

TEST(CCBDataImage, PngAndBmpFilesAreDecodedWithTheirStoredDepth)
{
    image_test::WicFactoryScope wic;
    ASSERT_TRUE(wic.Get());
    ScratchDir dir;
    // Blue, green, red, alpha: red, half-transparent green, blue / white, clear, black.
    const std::vector<uint8_t> bgra = {0,   0,   255, 255, 0, 255, 0, 128, 255, 0, 0, 255,
                                       255, 255, 255, 255, 0, 0,   0, 0,   0,   0, 0, 255};
    const std::vector<uint8_t> png = EncodePng(wic.Get(), 3, 2, bgra);
    ASSERT_FALSE(png.empty());
    // A file-group descriptor entry keeps the generic picture of its stored bytes.
    for (std::shared_ptr<CCBData> entry :
         {EntryOver<CCBData>(dir, png), std::shared_ptr<CCBData>(EntryOver<CCBData_FileDescriptor>(dir, png))}) {
        int width, height, bits;
        std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
        ASSERT_TRUE(image);
        EXPECT_EQ(width, 3);
        EXPECT_EQ(height, 2);
        EXPECT_EQ(bits, 32);
        EXPECT_EQ(PixelAt(image.get(), 0, 0), 0xFFFF0000u);
        EXPECT_EQ(PixelAt(image.get(), 1, 0), 0x8000FF00u);
        EXPECT_EQ(PixelAt(image.get(), 2, 0), 0xFF0000FFu);
        EXPECT_EQ(PixelAt(image.get(), 0, 1), 0xFFFFFFFFu);
        EXPECT_EQ(PixelAt(image.get(), 1, 1) >> 24, 0u);
    }

    // A 24-bit BMP file of 2 × 1: red, blue (rows bottom-up, padded to 8 bytes).
    std::vector<uint8_t> bmp(62, 0);
    const std::pair<size_t, uint8_t> fields[] = {{0, 'B'}, {1, 'M'}, {2, 62},  {10, 54},  {14, 40}, {18, 2},
                                                 {22, 1},  {26, 1},  {28, 24}, {56, 255}, {57, 255}};
    for (const auto& [at, value] : fields) bmp[at] = value;
    auto entry = EntryOver<CCBData>(dir, bmp);
    int width, height, bits;
    std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 1);
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(PixelAt(image.get(), 0, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(image.get(), 1, 0), 0xFF0000FFu);
}

TEST(CCBDataImage, JpegIsTurnedByItsExifOrientation)
{
    image_test::WicFactoryScope wic;
    ASSERT_TRUE(wic.Get());
    // 40 × 20: the left half red, the right half blue.
    std::vector<uint8_t> bgr(40 * 20 * 3);
    for (size_t i = 0; i < 40 * 20; ++i) {
        const bool left = i % 40 < 20;
        bgr[3 * i] = left ? 0 : 255;
        bgr[3 * i + 2] = left ? 255 : 0;
    }
    std::vector<uint8_t> jpeg =
        image_test::EncodeWithWic(wic.Get(), GUID_ContainerFormatJpeg, 40, 20, GUID_WICPixelFormat24bppBGR, 120, bgr);
    ASSERT_GT(jpeg.size(), 4u);
    ASSERT_EQ(jpeg[0], 0xFF);
    ASSERT_EQ(jpeg[1], 0xD8);
    // The EXIF block goes after the start of image and a JFIF block, if there is one.
    size_t at = 2;
    if (jpeg[2] == 0xFF && jpeg[3] == 0xE0) at = 4 + (jpeg[4] << 8 | jpeg[5]);
    const std::vector<uint8_t> exif = ExifOrientation(6);
    jpeg.insert(jpeg.begin() + at, exif.begin(), exif.end());

    ScratchDir dir;
    auto entry = EntryOver<CCBData>(dir, jpeg);
    int width, height, bits;
    std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(static_cast<UINT>(width), image->GetWidth());
    EXPECT_EQ(static_cast<UINT>(height), image->GetHeight());
    if (!PlatformReadsOrientation(wic.Get(), entry->m_tempFile, L"/app1/ifd/{ushort=274}")) {
        std::printf("[   NOTE   ] this WIC does not read a JPEG's EXIF orientation; the quarter turn is not shown\n");
        EXPECT_EQ(width, 40);
        EXPECT_EQ(height, 20);
        EXPECT_TRUE(IsReddish(PixelAt(image.get(), 5, 10)));
        EXPECT_TRUE(IsBluish(PixelAt(image.get(), 34, 10)));
        return;
    }
    // A quarter turn clockwise: the left half is now on top.
    EXPECT_EQ(width, 20);
    EXPECT_EQ(height, 40);
    EXPECT_TRUE(IsReddish(PixelAt(image.get(), 10, 5))) << std::hex << PixelAt(image.get(), 10, 5);
    EXPECT_TRUE(IsBluish(PixelAt(image.get(), 10, 34))) << std::hex << PixelAt(image.get(), 10, 34);
}

TEST(CCBDataImage, TiffOrientationIsReadFromItsOwnDirectory)
{
    image_test::WicFactoryScope wic;
    ASSERT_TRUE(wic.Get());
    // An uncompressed RGB TIFF of 2 × 1 (red, blue) with orientation 8: a quarter turn
    // counter-clockwise shows it.
    auto entry16 = [](uint16_t tag, uint16_t type, uint32_t value) {
        std::vector<uint8_t> e = {
            static_cast<uint8_t>(tag), static_cast<uint8_t>(tag >> 8), static_cast<uint8_t>(type), 0, 1, 0, 0, 0};
        for (int i = 0; i < 4; ++i) e.push_back(static_cast<uint8_t>(value >> (8 * i)));
        return e;
    };
    std::vector<uint8_t> tiff = {'I', 'I', 0x2A, 0, 8, 0, 0, 0, 11, 0};
    const uint32_t bitsPerSample = 8 + 2 + 11 * 12 + 4, pixels = bitsPerSample + 6;
    const std::vector<uint8_t> entries[] = {
        entry16(256, 3, 2), entry16(257, 3, 1), entry16(258, 3, bitsPerSample),
        entry16(259, 3, 1), entry16(262, 3, 2), entry16(273, 4, pixels),
        entry16(274, 3, 8), entry16(277, 3, 3), entry16(278, 3, 1),
        entry16(279, 4, 6), entry16(284, 3, 1),
    };
    for (const auto& e : entries) tiff.insert(tiff.end(), e.begin(), e.end());
    tiff[8 + 2 + 2 * 12 + 4] = 3;  // BitsPerSample has three values, stored apart
    tiff.insert(tiff.end(), {0, 0, 0, 0, 8, 0, 8, 0, 8, 0, 255, 0, 0, 0, 0, 255});

    ScratchDir dir;
    auto entry = EntryOver<CCBData>(dir, tiff);
    int width, height, bits;
    std::shared_ptr<Gdiplus::Image> image = entry->CreateImage(width, height, bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(bits, 24);
    if (!PlatformReadsOrientation(wic.Get(), entry->m_tempFile, L"/ifd/{ushort=274}")) {
        std::printf("[   NOTE   ] this WIC does not read a TIFF's orientation; the turn is not shown\n");
        EXPECT_EQ(width, 2);
        EXPECT_EQ(PixelAt(image.get(), 0, 0), 0xFFFF0000u);
        return;
    }
    EXPECT_EQ(width, 1);
    EXPECT_EQ(height, 2);
    // Turned counter-clockwise, the right end comes on top.
    EXPECT_EQ(PixelAt(image.get(), 0, 0), 0xFF0000FFu);
    EXPECT_EQ(PixelAt(image.get(), 0, 1), 0xFFFF0000u);
}

TEST(CCBDataImage, NoPictureWithoutDecodableData)
{
    ScratchDir dir;
    image_test::WicFactoryScope wic;
    ASSERT_TRUE(wic.Get());
    std::vector<uint8_t> large(64 * 64 * 4);
    uint32_t noise = 2463534242u;  // xorshift: pixels that do not compress
    for (uint8_t& byte : large) {
        noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
        byte = static_cast<uint8_t>(noise);
    }
    std::vector<uint8_t> png = EncodePng(wic.Get(), 64, 64, large);
    ASSERT_GT(png.size(), 1000u);
    const std::vector<uint8_t> truncated(png.begin(), png.begin() + png.size() / 2);
    const std::string text = "これは画像ではありません";

    const std::pair<const char*, std::shared_ptr<CCBData>> cases[] = {
        {"not an image", EntryOver<CCBData>(dir, std::vector<uint8_t>(text.begin(), text.end()))},
        {"truncated PNG", EntryOver<CCBData>(dir, truncated)},
        {"no data", std::make_shared<CCBData>()},
    };
    for (const auto& [name, entry] : cases) {
        SCOPED_TRACE(name);
        ExpectNoPicture(*entry);
    }
    // A size of 0 means no data, whatever the file holds.
    auto zero = EntryOver<CCBData>(dir, png);
    zero->m_dataSize = 0;
    ExpectNoPicture(*zero);

    // Without the process's imaging factory nothing is decoded.
    auto good = EntryOver<CCBData>(dir, png);
    int width, height, bits;
    ASSERT_TRUE(good->CreateImage(width, height, bits));
    CaptureSettings().m_wicFactory = nullptr;
    ExpectNoPicture(*good);
}
