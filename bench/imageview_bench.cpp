// Image page: opening the page on an entry that holds a 4000 × 3000 PNG file and painting
// it once, against decoding the same file with WIC and drawing it with GDI+ directly into
// a window of the same size, in the same run (medians of alternating rounds); then one
// repaint of the open page after a resize, on its own.
#include "capture/CBData.h"
#include "capture/CaptureSettings.h"
#include "capture/GdiplusInclude.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "res/imageview_resource.h"
#include "viewers/ImageViewDialog.h"

#include "bench/BenchSupport.h"

#include <windows.h>
#include <psapi.h>
#include <wincodec.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace bench_support;

constexpr UINT kWidth = 4000, kHeight = 3000;
constexpr int kAreaWidth = 800, kAreaHeight = 600;

// A photograph-like picture: smooth gradients with a little noise, so that the file
// neither is incompressible nor collapses to nothing.
bool WritePng(IWICImagingFactory* factory, const std::wstring& path)
{
    std::vector<BYTE> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    uint32_t noise = 2463534242u;
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < kWidth; ++x) {
            noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
            BYTE* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
            p[0] = static_cast<BYTE>(x * 255 / kWidth + (noise & 7));
            p[1] = static_cast<BYTE>(y * 255 / kHeight + ((noise >> 3) & 7));
            p[2] = static_cast<BYTE>((x + y) * 255 / (kWidth + kHeight) + ((noise >> 6) & 7));
            p[3] = 0xFF;
        }
    }
    fw::ComPtr<IWICStream> stream;
    fw::ComPtr<IWICBitmapEncoder> encoder;
    fw::ComPtr<IWICBitmapFrameEncode> frame;
    fw::ComPtr<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    return SUCCEEDED(factory->CreateStream(&stream)) &&
           SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
           SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
           SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
           SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) && SUCCEEDED(frame->Initialize(options.Get())) &&
           SUCCEEDED(frame->SetSize(kWidth, kHeight)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
           SUCCEEDED(frame->WritePixels(kHeight, kWidth * 4, static_cast<UINT>(pixels.size()), pixels.data())) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// The plain way: decode to 32-bit BGRA with WIC, wrap the pixels in a GDI+ bitmap and
// draw it shrunk to fit into the window.
double PlainOnce(IWICImagingFactory* factory, const std::wstring& path, HWND window)
{
    const auto start = std::chrono::steady_clock::now();
    fw::ComPtr<IWICBitmapDecoder> decoder;
    fw::ComPtr<IWICBitmapFrameDecode> frame;
    fw::ComPtr<IWICFormatConverter> converter;
    UINT w = 0, h = 0;
    if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                  &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&w, &h))) {
        std::printf("plain decoding failed\n");
        return 0;
    }
    std::vector<BYTE> pixels(static_cast<size_t>(w) * h * 4);
    converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data());
    Gdiplus::Bitmap bitmap(static_cast<INT>(w), static_cast<INT>(h), static_cast<INT>(w * 4), PixelFormat32bppARGB,
                           pixels.data());
    HDC dc = ::GetDC(window);
    {
        Gdiplus::Graphics graphics(dc);
        graphics.Clear(Gdiplus::Color(0xFFEEF2FA));
        const float scale = std::min({1.0f, (kAreaWidth - 10.0f) / w, (kAreaHeight - 10.0f) / h});
        graphics.DrawImage(&bitmap, Gdiplus::RectF(4.5f, 4.5f, w * scale, h * scale), -0.5f, -0.5f,
                           static_cast<Gdiplus::REAL>(w), static_cast<Gdiplus::REAL>(h), Gdiplus::UnitPixel, nullptr);
    }
    ::ReleaseDC(window, dc);
    ::GdiFlush();
    return Seconds(start);
}

// Resizes the page so that its image window's client area is width × height, and paints it.
void SizePage(CImageViewDialog& page, int width, int height)
{
    HWND window = page.GetImageWindow().GetSafeHwnd();
    RECT rect;
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, page.GetSafeHwnd(), reinterpret_cast<POINT*>(&rect), 2);
    ::SetWindowPos(page.GetSafeHwnd(), nullptr, 0, 0, rect.left + width, rect.top + height,
                   SWP_NOZORDER | SWP_NOMOVE | SWP_SHOWWINDOW);
    ::UpdateWindow(window);
    ::GdiFlush();
}

double PageOnce(CCBData& entry, HWND frame)
{
    const auto start = std::chrono::steady_clock::now();
    CImageViewDialog page(&entry);
    if (!page.CreatePage(frame) || !page.GetImage()) std::printf("the page shows no picture\n");
    SizePage(page, kAreaWidth, kAreaHeight);
    const double t = Seconds(start);
    return t;
}

}  // namespace

int wmain()
{
    fw::MessageBoxRecorder boxes;
    fw::OleInit ole;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 1;
    fw::ComPtr<IWICImagingFactory2> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
        return 1;
    CaptureSettings().m_wicFactory = factory.Get();

    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"orvetta-imageview-bench.png";
    if (!WritePng(factory.Get(), path)) return 1;
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes);
    std::printf("%u x %u PNG, %.1f MiB\n", kWidth, kHeight, attributes.nFileSizeLow / 1048576.0);

    {
        // The entry as a capture leaves it: its bytes in a file of its own.
        CCBData entry;
        entry.m_tempFile = path;
        entry.m_dataSize = attributes.nFileSizeLow;

        HWND frame = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                       1000, 800, nullptr, nullptr, nullptr, nullptr);
        HWND plainWindow = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, kAreaWidth, kAreaHeight,
                                             frame, nullptr, nullptr, nullptr);
        const int rounds = 7;
        std::vector<double> plain, paged;
        for (int i = 0; i < rounds; ++i) {
            if (i % 2 == 0) {
                plain.push_back(PlainOnce(factory.Get(), path, plainWindow));
                paged.push_back(PageOnce(entry, frame));
            } else {
                paged.push_back(PageOnce(entry, frame));
                plain.push_back(PlainOnce(factory.Get(), path, plainWindow));
            }
        }
        ::DestroyWindow(plainWindow);
        const double p = Median(plain), m = Median(paged);
        std::printf("open and paint: WIC + GDI+ %7.3f s  page %7.3f s  ratio %.3f  (median of %d)\n", p, m, m / p,
                    rounds);

        // Repaints of the open page: the held picture is only scaled again.
        CImageViewDialog page(&entry);
        page.CreatePage(frame);
        SizePage(page, kAreaWidth, kAreaHeight);
        std::vector<double> repaints;
        for (int i = 0; i < 15; ++i) {
            const auto start = std::chrono::steady_clock::now();
            SizePage(page, i % 2 ? kAreaWidth : kAreaWidth - 100, i % 2 ? kAreaHeight : kAreaHeight - 100);
            repaints.push_back(Seconds(start));
        }
        // The caption ends with the zoom ("19.75 %"); the rest is Japanese, which the console may not show.
        const std::wstring caption = page.GetDlgItemText(IDC_IMAGE_CAPTION);
        std::printf("repaint after a resize: %7.4f s  (median of %zu)  zoom %ls\n", Median(repaints), repaints.size(),
                    caption.substr(caption.size() >= 7 ? caption.size() - 7 : 0).c_str());
        page.DestroyWindow();
        ::DestroyWindow(frame);
    }
    std::printf("peak working set: %.1f MiB\n", PeakWorkingSetMiB());
    ::DeleteFileW(path.c_str());
    CaptureSettings().m_wicFactory = nullptr;
    factory.Reset();
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
