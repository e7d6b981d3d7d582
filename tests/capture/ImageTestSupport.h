// Helpers of the picture tests: the imaging factory the entries use, entries over
// files the test writes, reading pixels back, and image files encoded with WIC.
#pragma once

#include "capture/CBData.h"
#include "capture/CaptureSettings.h"
#include "capture/GdiplusInclude.h"
#include "framework/Handles.h"
#include "tests/TestSupport.h"

#include <wincodec.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace image_test {

// Puts a freshly made imaging factory where the entries look for it, for the life of the scope.
class WicFactoryScope {
public:
    WicFactoryScope() : m_previous(CaptureSettings().m_wicFactory)
    {
        ::CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_factory));
        CaptureSettings().m_wicFactory = m_factory.Get();
    }
    WicFactoryScope(const WicFactoryScope&) = delete;
    WicFactoryScope& operator=(const WicFactoryScope&) = delete;
    ~WicFactoryScope() { CaptureSettings().m_wicFactory = m_previous; }
    IWICImagingFactory2* Get() const { return m_factory.Get(); }

private:
    IWICImagingFactory2* m_previous;
    fw::ComPtr<IWICImagingFactory2> m_factory;
};

// An entry of kind T whose temporary file holds `bytes` (the entry deletes it when it dies).
template <typename T>
std::shared_ptr<T> EntryOver(const testing_support::ScratchDir& dir, const std::vector<uint8_t>& bytes)
{
    static int serial = 0;
    auto entry = std::make_shared<T>();
    const std::wstring path = dir / (L"entry" + std::to_wstring(++serial) + L".cvtmp");
    if (!testing_support::WriteBytes(path, bytes)) return entry;
    entry->m_tempFile = path;
    entry->m_dataSize = bytes.size();
    return entry;
}

// The entry gives no picture and reports 0, 0, 0.
inline void ExpectNoPicture(CCBData& entry)
{
    int width = -1, height = -1, bits = -1;
    EXPECT_FALSE(entry.CreateImage(width, height, bits));
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(bits, 0);
}

inline Gdiplus::ARGB PixelAt(Gdiplus::Image* image, int x, int y)
{
    if (!image || image->GetType() != Gdiplus::ImageTypeBitmap) return 0;
    Gdiplus::Color color;
    if (static_cast<Gdiplus::Bitmap*>(image)->GetPixel(x, y, &color) != Gdiplus::Ok) return 0;
    return color.GetValue();
}

// Whether two colours differ by at most `tolerance` in each channel (for lossy files).
inline bool Near(Gdiplus::ARGB a, Gdiplus::ARGB b, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

// One frame of `width` × `height` pixels in `format`, encoded into the container; empty on failure.
inline std::vector<uint8_t> EncodeWithWic(IWICImagingFactory* factory, const GUID& container, UINT width, UINT height,
                                          WICPixelFormatGUID format, UINT stride, std::vector<uint8_t> pixels)
{
    fw::ComPtr<IStream> stream;
    fw::ComPtr<IWICBitmapEncoder> encoder;
    fw::ComPtr<IWICBitmapFrameEncode> frame;
    fw::ComPtr<IPropertyBag2> options;
    if (!factory || FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
        FAILED(factory->CreateEncoder(container, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, &options)) || FAILED(frame->Initialize(options.Get())) ||
        FAILED(frame->SetSize(width, height)) || FAILED(frame->SetPixelFormat(&format)) ||
        FAILED(frame->WritePixels(height, stride, static_cast<UINT>(pixels.size()), pixels.data())) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return {};
    HGLOBAL memory = nullptr;
    if (FAILED(::GetHGlobalFromStream(stream.Get(), &memory))) return {};
    STATSTG stat = {};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return {};
    fw::GlobalLockView view(memory);
    if (!view) return {};
    const auto* start = view.As<uint8_t>();
    return std::vector<uint8_t>(start, start + stat.cbSize.QuadPart);
}

}  // namespace image_test
