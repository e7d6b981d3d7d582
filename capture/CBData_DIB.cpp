#include "capture/CBData_DIB.h"

#include "capture/CBDataImage.h"
#include "capture/GdiplusInclude.h"
#include "capture/bytes/DibLayout.h"

#include <climits>

const fw::CRuntimeClass CCBData_DIB::classCCBData_DIB = {"CCBData_DIB", &CCBData::classCCBData};

namespace {

// Run-length encoded bits, expanded by GDI (which stops at biSizeImage) into a 32-bit
// DIB section that GDI+ then copies; GDI+ itself is only handed uncompressed rows.
std::shared_ptr<Gdiplus::Image> ExpandRunLengths(const BITMAPINFO* info, const BYTE* bits, int width, int height)
{
    // A few bytes of runs can claim any size: the expansion stays within the decoding budget
    // (which also keeps it within what GDI+ addresses with INT strides and sizes).
    if (!IsWithinPixelBudget(width, height)) return nullptr;
    BITMAPINFO target = {};
    target.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    target.bmiHeader.biWidth = width;
    target.bmiHeader.biHeight = height;
    target.bmiHeader.biPlanes = 1;
    target.bmiHeader.biBitCount = 32;
    target.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    fw::UniqueBitmap section(::CreateDIBSection(nullptr, &target, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!section) return nullptr;
    fw::UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    if (!dc) return nullptr;
    if (::SetDIBits(dc.Get(), section.Get(), 0, static_cast<UINT>(height), bits, info, DIB_RGB_COLORS) == 0)
        return nullptr;
    return std::make_shared<Gdiplus::Bitmap>(section.Get(), static_cast<HPALETTE>(nullptr));
}

}  // namespace

CCBData_DIB::CCBData_DIB()
{
    m_defaultViewTab = 2;  // image
}

CCBData_DIB::~CCBData_DIB() {}

std::shared_ptr<Gdiplus::Image> CCBData_DIB::CreateImage(int& width, int& height, int& bitsPerPixel)
{
    width = height = bitsPerPixel = 0;
    if (m_bytes.empty()) ReadData(m_bytes);
    const DibLayout layout = ReadDibLayout(m_bytes.data(), m_bytes.size());
    if (!layout.valid) return nullptr;

    const auto* info = reinterpret_cast<const BITMAPINFO*>(m_bytes.data());
    BYTE* bits = m_bytes.data() + layout.bitsOffset;
    std::shared_ptr<Gdiplus::Image> image;
    switch (layout.compression) {
        case kDibRgb:
        case kDibBitFields:
            // A gigabyte of 1-bit rows is billions of pixels once GDI+ draws them.
            if (!IsWithinPixelBudget(layout.width, layout.height)) return nullptr;
            // GDI+ may keep pointing into the bits: m_bytes lives as long as the entry.
            image = std::make_shared<Gdiplus::Bitmap>(info, bits);
            break;
        case kDibRle8:
        case kDibRle4:
            image = ExpandRunLengths(info, bits, layout.width, layout.height);
            break;
        case kDibJpeg:
        case kDibPng: {
            // A whole JPEG or PNG file is embedded; its own size is what gets drawn.
            int decodedWidth, decodedHeight, decodedBits;
            image =
                DecodeImageBytes(bits, static_cast<size_t>(layout.bitsSize), decodedWidth, decodedHeight, decodedBits);
            break;
        }
        default:
            break;
    }
    // The header's own figures are reported, as for every DIB that gives a picture.
    if (image) {
        width = layout.width;
        height = layout.height;
        bitsPerPixel = layout.bitsPerPixel;
    }
    return image;
}
