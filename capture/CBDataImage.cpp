#include "capture/CBData.h"
#include "capture/CBDataImage.h"

#include "capture/CaptureSettings.h"
#include "capture/GdiplusInclude.h"
#include "framework/Handles.h"

#include <propidl.h>
#include <wincodec.h>

#include <climits>

namespace {

// Owns a PROPVARIANT filled by a metadata query.
class PropVariant {
public:
    PropVariant() { ::PropVariantInit(&m_value); }
    PropVariant(const PropVariant&) = delete;
    PropVariant& operator=(const PropVariant&) = delete;
    ~PropVariant() { ::PropVariantClear(&m_value); }
    PROPVARIANT* operator&() { return &m_value; }
    const PROPVARIANT& Get() const { return m_value; }
    void Clear() { ::PropVariantClear(&m_value); }

private:
    PROPVARIANT m_value;
};

// Holds a GDI+ bitmap's pixels locked for the life of the guard.
class BitmapLock {
public:
    BitmapLock(Gdiplus::Bitmap& bitmap, const Gdiplus::Rect& rect, UINT mode, Gdiplus::PixelFormat format)
        : m_bitmap(bitmap), m_locked(bitmap.LockBits(&rect, mode, format, &m_data) == Gdiplus::Ok)
    {
    }
    BitmapLock(const BitmapLock&) = delete;
    BitmapLock& operator=(const BitmapLock&) = delete;
    ~BitmapLock()
    {
        if (m_locked) m_bitmap.UnlockBits(&m_data);
    }
    bool IsLocked() const { return m_locked; }
    const Gdiplus::BitmapData& Data() const { return m_data; }

private:
    Gdiplus::Bitmap& m_bitmap;
    Gdiplus::BitmapData m_data = {};
    bool m_locked;
};

// The EXIF orientation (1 to 8) of a frame: in a JPEG's APP1 block, else in a TIFF-style
// IFD; 0 when the frame has none.
int ReadOrientation(IWICBitmapFrameDecode* frame)
{
    fw::ComPtr<IWICMetadataQueryReader> reader;
    if (FAILED(frame->GetMetadataQueryReader(&reader)) || !reader) return 0;
    PropVariant value;
    if (FAILED(reader->GetMetadataByName(L"/app1/ifd/{ushort=274}", &value))) {
        value.Clear();
        if (FAILED(reader->GetMetadataByName(L"/ifd/{ushort=274}", &value))) return 0;
    }
    return value.Get().vt == VT_UI2 ? value.Get().uiVal : 0;
}

// The depth of the stored frame, before any conversion.
int ReadBitsPerPixel(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame)
{
    WICPixelFormatGUID format;
    if (FAILED(frame->GetPixelFormat(&format))) return 0;
    fw::ComPtr<IWICComponentInfo> info;
    if (FAILED(factory->CreateComponentInfo(format, &info))) return 0;
    fw::ComPtr<IWICPixelFormatInfo> pixelInfo;
    if (FAILED(info.As(&pixelInfo))) return 0;
    UINT bits = 0;
    if (FAILED(pixelInfo->GetBitsPerPixel(&bits)) || bits > INT_MAX) return 0;
    return static_cast<int>(bits);
}

Gdiplus::RotateFlipType OrientationTurn(int orientation)
{
    switch (orientation) {
        case 2:
            return Gdiplus::RotateNoneFlipX;
        case 3:
            return Gdiplus::Rotate180FlipNone;
        case 4:
            return Gdiplus::Rotate180FlipX;
        case 5:
            return Gdiplus::Rotate90FlipX;
        case 6:
            return Gdiplus::Rotate90FlipNone;
        case 7:
            return Gdiplus::Rotate270FlipX;
        case 8:
            return Gdiplus::Rotate270FlipNone;
        default:
            return Gdiplus::RotateNoneFlipNone;
    }
}

}  // namespace

std::shared_ptr<Gdiplus::Image> DecodeFirstFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, int& width,
                                                 int& height, int& bitsPerPixel)
{
    width = height = bitsPerPixel = 0;
    fw::ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, &frame))) return nullptr;
    // The size comes from the file's header: it is checked before anything is allocated
    // or decoded, since the decoders only produce the pixels when they are copied out.
    UINT frameWidth = 0, frameHeight = 0;
    if (FAILED(frame->GetSize(&frameWidth, &frameHeight)) ||
        uint64_t{frameWidth} * uint64_t{frameHeight} > kMaxDecodedPixels)
        return nullptr;
    const int orientation = ReadOrientation(frame.Get());
    const int storedBits = ReadBitsPerPixel(factory, frame.Get());

    fw::ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter))) return nullptr;
    if (FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return nullptr;
    UINT w = 0, h = 0;
    if (FAILED(converter->GetSize(&w, &h)) || uint64_t{w} * uint64_t{h} > kMaxDecodedPixels) return nullptr;

    // BGRA in memory is GDI+'s 32-bit ARGB.
    auto bitmap = std::make_shared<Gdiplus::Bitmap>(static_cast<INT>(w), static_cast<INT>(h), PixelFormat32bppARGB);
    {
        const Gdiplus::Rect all(0, 0, static_cast<INT>(w), static_cast<INT>(h));
        BitmapLock lock(*bitmap, all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB);
        if (!lock.IsLocked() || lock.Data().Stride < 0) return nullptr;
        const uint64_t bytes = static_cast<uint64_t>(lock.Data().Stride) * h;
        if (bytes > UINT_MAX) return nullptr;
        if (FAILED(converter->CopyPixels(nullptr, static_cast<UINT>(lock.Data().Stride), static_cast<UINT>(bytes),
                                         static_cast<BYTE*>(lock.Data().Scan0))))
            return nullptr;
    }
    if (orientation != 0 && bitmap->GetWidth() != 0 && bitmap->GetHeight() != 0)
        bitmap->RotateFlip(OrientationTurn(orientation));
    width = static_cast<int>(bitmap->GetWidth());
    height = static_cast<int>(bitmap->GetHeight());
    bitsPerPixel = storedBits;
    return bitmap;
}

std::shared_ptr<Gdiplus::Image> DecodeImageBytes(const BYTE* bytes, size_t size, int& width, int& height,
                                                 int& bitsPerPixel)
{
    width = height = bitsPerPixel = 0;
    IWICImagingFactory* factory = CaptureSettings().m_wicFactory;
    if (!factory || size > MAXDWORD) return nullptr;
    fw::ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(&stream))) return nullptr;
    // The stream reads the caller's bytes in place; it does not outlive this call.
    if (FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), static_cast<DWORD>(size)))) return nullptr;
    fw::ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad, &decoder)))
        return nullptr;
    return DecodeFirstFrame(factory, decoder.Get(), width, height, bitsPerPixel);
}

std::shared_ptr<Gdiplus::Image> CCBData::CreateImage(int& width, int& height, int& bitsPerPixel)
{
    width = height = bitsPerPixel = 0;
    if (m_dataSize == 0 || m_tempFile.empty()) return nullptr;
    IWICImagingFactory* factory = CaptureSettings().m_wicFactory;
    if (!factory) return nullptr;
    fw::ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromFilename(m_tempFile.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnLoad, &decoder)))
        return nullptr;
    return DecodeFirstFrame(factory, decoder.Get(), width, height, bitsPerPixel);
}
