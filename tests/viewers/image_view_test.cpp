// The image page and its window, opened on real entries in a visible frame: the caption
// as the user reads it, and the pixels read back from the image window.
#include "viewers/ImageViewDialog.h"

#include "app/KaviloApp.h"
#include "app/MainFrame.h"
#include "capture/CBData_DIB.h"
#include "capture/CBData_HBITMAP.h"
#include "capture/CBData_HENHMF.h"
#include "capture/CBDataCreateContext.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "res/resource.h"
#include "res/imageview_resource.h"
#include "tests/TestDataObject.h"
#include "tests/capture/ImageTestSupport.h"

#include <commctrl.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using image_test::EntryOver;
using testing_support::ScratchDir;

namespace {

constexpr COLORREF kBackground = RGB(0xEE, 0xF2, 0xFA);
constexpr COLORREF kRed = RGB(0xFF, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 0xFF);

void PutLE(std::vector<uint8_t>& b, size_t at, uint32_t v, int bytes)
{
    if (b.size() < at + bytes) b.resize(at + bytes);
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A 32-bit bitmap entry as a TYMED_GDI import makes it; pixels 0x00RRGGBB, rows top first.
std::shared_ptr<CCBData> BitmapEntry(int width, int height, uint32_t (*colour)(int x, int y))
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = colour(x, y);
    fw::UniqueBitmap delivered(::CreateBitmap(width, height, 1, 32, pixels.data()));
    CCBDataCreateContext context;
    return CCBData_HBITMAP::Import(delivered.Get(), &context);
}

// A BITMAPINFOHEADER with 8-bit run-length bits that only say "end of picture": a few
// bytes that claim width × height pixels. With the "BM" file header it is a .bmp file.
std::vector<uint8_t> RunLengthBomb(int32_t width, int32_t height, bool fileHeader)
{
    std::vector<uint8_t> dib;
    PutLE(dib, 0, 40, 4);
    PutLE(dib, 4, static_cast<uint32_t>(width), 4);
    PutLE(dib, 8, static_cast<uint32_t>(height), 4);
    PutLE(dib, 12, 1, 2);
    PutLE(dib, 14, 8, 2);
    PutLE(dib, 16, BI_RLE8, 4);
    PutLE(dib, 20, 2, 4);
    PutLE(dib, 40 + 1024 + 1, 1, 1);  // 256 black colours, then the runs 00 01
    if (!fileHeader) return dib;
    std::vector<uint8_t> file = {'B', 'M'};
    PutLE(file, 2, static_cast<uint32_t>(14 + dib.size()), 4);
    PutLE(file, 10, 14 + 40 + 1024, 4);
    file.insert(file.end(), dib.begin(), dib.end());
    return file;
}

// The most the process's working set grows above its size at the start, sampled from
// another thread while the object lives. The process's own peak would say nothing once an
// earlier test had raised it.
class WorkingSetGrowth {
public:
    WorkingSetGrowth() : m_start(Current()), m_highest(m_start)
    {
        m_sampler = std::thread([this] {
            while (!m_done) {
                m_highest = std::max(m_highest.load(), Current());
                ::Sleep(1);
            }
        });
    }
    ~WorkingSetGrowth() { Stop(); }
    size_t Stop()
    {
        if (m_sampler.joinable()) {
            m_done = true;
            m_sampler.join();
        }
        return m_highest - m_start;
    }
    bool Measured() const { return m_start != 0; }

private:
    static size_t Current()
    {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
        return counters.WorkingSetSize;
    }

    size_t m_start;
    std::atomic<size_t> m_highest;
    std::atomic<bool> m_done{false};
    std::thread m_sampler;
};

class ImageView : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // One visible frame for the suite: showing a top-level window costs time under Wine.
        s_frame = ::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                    1000, 800, nullptr, nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() { ::DestroyWindow(s_frame); }

    // Opens the page as the viewer host does, sized so the image window's client area is width × height.
    static void Open(CImageViewDialog& page, int width, int height)
    {
        ASSERT_TRUE(page.CreatePage(s_frame));
        ASSERT_TRUE(page.GetImageWindow().GetSafeHwnd());
        Resize(page, width, height);
    }
    static void Resize(CImageViewDialog& page, int width, int height)
    {
        HWND window = page.GetImageWindow().GetSafeHwnd();
        RECT rect;
        ::GetWindowRect(window, &rect);
        ::MapWindowPoints(nullptr, page.GetSafeHwnd(), reinterpret_cast<POINT*>(&rect), 2);
        ::SetWindowPos(page.GetSafeHwnd(), nullptr, 0, 0, rect.left + width, rect.top + height,
                       SWP_NOZORDER | SWP_NOMOVE | SWP_SHOWWINDOW);
        ::UpdateWindow(window);
        testing_support::PumpPending();
    }
    static std::wstring Caption(const CImageViewDialog& page) { return page.GetDlgItemText(IDC_IMAGE_CAPTION); }
    static COLORREF Pixel(CImageViewDialog& page, int x, int y)
    {
        HWND window = page.GetImageWindow().GetSafeHwnd();
        HDC dc = ::GetDC(window);
        const COLORREF colour = ::GetPixel(dc, x, y);
        ::ReleaseDC(window, dc);
        return colour;
    }
    // What an entry without a usable picture shows.
    static void ExpectEmptyArea(CCBData* entry)
    {
        CImageViewDialog page(entry);
        Open(page, 300, 200);
        EXPECT_FALSE(page.GetImage());
        EXPECT_EQ(Caption(page), L" ");
        EXPECT_EQ(Pixel(page, 5, 5), kBackground);
        EXPECT_EQ(Pixel(page, 150, 100), kBackground);
    }

    static HWND s_frame;
};
HWND ImageView::s_frame = nullptr;

}  // namespace

TEST_F(ImageView, ShrinksToFitAndTheCaptionFollowsEveryResize)
{
    auto entry = BitmapEntry(640, 480, [](int, int) { return 0xFF0000u; });
    CImageViewDialog page(entry.get());
    EXPECT_EQ(page.GetCaption(), L"画像");
    Open(page, 400, 300);
    EXPECT_EQ(page.GetCaptionText(), L"640×480  32ビット/ピクセル");
    EXPECT_FALSE(::IsWindowVisible(page.GetDlgItem(IDC_IMAGE_FRAME)));
    // Available 390 × 290: scale 0.6041667, drawn 386.67 × 290 from (4.5, 4.5).
    EXPECT_EQ(Caption(page), L"640×480  32ビット/ピクセル 60.42 %");
    EXPECT_EQ(Pixel(page, 4, 4), kBackground);
    EXPECT_EQ(Pixel(page, 5, 5), kRed);
    EXPECT_EQ(Pixel(page, 390, 293), kRed);
    EXPECT_EQ(Pixel(page, 393, 150), kBackground);
    EXPECT_EQ(Pixel(page, 200, 296), kBackground);

    // Never enlarged; the picture is shared, not made again.
    const Gdiplus::Image* image = page.GetImage().get();
    Resize(page, 900, 700);
    EXPECT_EQ(Caption(page), L"640×480  32ビット/ピクセル 100.00 %");
    EXPECT_EQ(page.GetImage().get(), image);

    // Narrower than two margins and a pixel: nothing drawn, the caption ends with its space.
    Resize(page, 10, 300);
    EXPECT_EQ(Caption(page), L"640×480  32ビット/ピクセル ");
    EXPECT_EQ(Pixel(page, 5, 5), kBackground);
}

TEST_F(ImageView, SmallPictureIsDrawnPixelForPixelAtTheTopLeftCorner)
{
    // 16 × 16: the top-left quarter red, the rest blue.
    auto entry = BitmapEntry(16, 16, [](int x, int y) { return x < 8 && y < 8 ? 0xFF0000u : 0x0000FFu; });
    CImageViewDialog page(entry.get());
    Open(page, 400, 300);
    EXPECT_EQ(Caption(page), L"16×16  32ビット/ピクセル 100.00 %");
    EXPECT_EQ(Pixel(page, 4, 4), kBackground);
    EXPECT_EQ(Pixel(page, 5, 5), kRed);
    EXPECT_EQ(Pixel(page, 12, 12), kRed);
    EXPECT_EQ(Pixel(page, 13, 12), kBlue);
    EXPECT_EQ(Pixel(page, 20, 20), kBlue);
    EXPECT_EQ(Pixel(page, 21, 20), kBackground);
    EXPECT_EQ(Pixel(page, 200, 150), kBackground);
}

TEST_F(ImageView, CaptionShowsOnlyWhatTheEntryReports)
{
    ScratchDir dir;
    // A top-down 24-bit DIB of 2 × 2 (red row first): drawn upright, but its negative
    // height is no size to show.
    std::vector<uint8_t> dib(40);
    PutLE(dib, 0, 40, 4);
    PutLE(dib, 4, 2, 4);
    PutLE(dib, 8, static_cast<uint32_t>(-2), 4);
    PutLE(dib, 12, 1, 2);
    PutLE(dib, 14, 24, 2);
    const uint8_t rows[] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0};
    dib.insert(dib.end(), std::begin(rows), std::end(rows));
    auto topDown = EntryOver<CCBData_DIB>(dir, dib);
    {
        CImageViewDialog page(topDown.get());
        Open(page, 300, 200);
        EXPECT_EQ(page.GetCaptionText(), L"");
        EXPECT_EQ(Caption(page), L" 100.00 %");
        EXPECT_EQ(Pixel(page, 5, 5), kRed);
        EXPECT_EQ(Pixel(page, 6, 6), kBlue);
    }

    // An enhanced metafile reports 0 bits per pixel: the size only.
    HDC recorder = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    ::Rectangle(recorder, 0, 0, 60, 40);
    fw::UniqueEnhMetaFile metafile(::CloseEnhMetaFile(recorder));
    auto emf = CCBData_HENHMF::Import(metafile.Get());
    int width = 0, height = 0, bits = -1;
    ASSERT_TRUE(emf->CreateImage(width, height, bits));
    ASSERT_EQ(bits, 0);
    {
        CImageViewDialog page(emf.get());
        Open(page, 300, 200);
        EXPECT_EQ(page.GetCaptionText(), std::to_wstring(width) + L"×" + std::to_wstring(height));
    }
}

TEST_F(ImageView, EntriesWithoutAUsablePictureShowTheEmptyArea)
{
    ScratchDir dir;
    const std::string text = "これは画像ではありません";
    auto notAnImage = EntryOver<CCBData>(dir, std::vector<uint8_t>(text.begin(), text.end()));
    auto noData = std::make_shared<CCBData>();
    // A bitmap entry whose handle GDI+ cannot read: the measured size must not be shown
    // over a picture that is not there.
    auto unreadable = std::make_shared<CCBData_HBITMAP>();
    unreadable->m_hBitmap.Reset(reinterpret_cast<HBITMAP>(::CreateSolidBrush(kRed)));
    unreadable->m_width = unreadable->m_height = 8;
    unreadable->m_bitsPerPixel = 32;
    for (CCBData* entry : {static_cast<CCBData*>(notAnImage.get()), noData.get(),
                           static_cast<CCBData*>(unreadable.get()), static_cast<CCBData*>(nullptr)}) {
        SCOPED_TRACE(entry ? entry->GetRuntimeClass()->m_lpszClassName : "no entry");
        ExpectEmptyArea(entry);
    }
}

TEST_F(ImageView, PicturesClaimingHugeSizesInAFewBytesAreNotDecoded)
{
    ScratchDir dir;
    image_test::WicFactoryScope wic;
    ASSERT_TRUE(wic.Get());
    // A .bmp of 12000 × 12000 would decode to 576 MB, one of 30000 × 30000 to 3.6 GB;
    // a CF_DIB of 20000 × 20000 would expand to 1.6 GB.
    auto bomb = EntryOver<CCBData>(dir, RunLengthBomb(30000, 30000, true));
    auto justOver = EntryOver<CCBData>(dir, RunLengthBomb(12000, 12000, true));
    auto dibBomb = EntryOver<CCBData_DIB>(dir, RunLengthBomb(20000, 20000, false));
    ASSERT_LT(bomb->m_dataSize, 1200u);
    WorkingSetGrowth growth;
    ASSERT_TRUE(growth.Measured());
    for (CCBData* entry : {bomb.get(), justOver.get(), static_cast<CCBData*>(dibBomb.get())}) ExpectEmptyArea(entry);
    EXPECT_LT(growth.Stop(), size_t{64} << 20);

    // The same kind of file within the budget is shown.
    auto small = EntryOver<CCBData>(dir, RunLengthBomb(300, 200, true));
    CImageViewDialog page(small.get());
    Open(page, 400, 300);
    EXPECT_TRUE(page.GetImage());
    // The stored depth is the decoder's to tell: Wine's reports run-length bitmaps as 32-bit.
    const std::wstring caption = Caption(page);
    ASSERT_GE(caption.size(), 18u);
    EXPECT_EQ(caption.substr(0, 9), L"300×200  ");
    EXPECT_EQ(caption.substr(caption.size() - 9), L" 100.00 %");
}

TEST(ImageViewInTheProgram, PastedPictureOpensOnTheImageTab)
{
    image_test::WicFactoryScope wic;
    ASSERT_TRUE(wic.Get());
    std::vector<uint8_t> bgra(64 * 48 * 4);
    for (size_t i = 0; i < bgra.size(); i += 4) bgra[i + 2] = bgra[i + 3] = 0xFF;  // opaque red
    const std::vector<uint8_t> png = image_test::EncodeWithWic(wic.Get(), GUID_ContainerFormatPng, 64, 48,
                                                               GUID_WICPixelFormat32bppBGRA, 64 * 4, bgra);
    ASSERT_FALSE(png.empty());

    ScratchDir base;
    fw::DeleteAppRegistryKey();
    ASSERT_TRUE(fw::WriteProfileString(L"Settings", L"TemporaryFolder", base.Path()));
    fw::MessageBoxRecorder boxes;
    CKaviloApp app;
    ASSERT_TRUE(app.InitInstance());
    testing_support::TestDataObject* source = testing_support::TestDataObject::Create();
    source->Offer(testing_support::Fmt(::RegisterClipboardFormatW(L"PNG")), testing_support::GlobalMedium(png));
    ASSERT_EQ(testing_support::SetOleClipboard(source), S_OK);
    source->Release();
    CMainFrame* frame = app.GetMainFrame();
    ::SendMessageW(frame->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(ID_EDIT_PASTE, 0), 0);
    testing_support::PumpPending();
    HWND tree = frame->GetLeftView().GetSafeHwnd();
    TreeView_SelectItem(tree, TreeView_GetChild(tree, TreeView_GetRoot(tree)));
    testing_support::PumpPending();

    // "PNG" opens on its picture, the tab before its structure.
    const std::vector<std::wstring> tabs = frame->GetKaviloView().GetTabCaptions();
    ASSERT_GE(tabs.size(), 2u);
    EXPECT_EQ(tabs[tabs.size() - 2], L"画像");
    EXPECT_EQ(tabs.back(), L"構造");
    auto* page = dynamic_cast<CImageViewDialog*>(frame->GetKaviloView().GetActivePage());
    ASSERT_TRUE(page);
    ::UpdateWindow(page->GetImageWindow().GetSafeHwnd());
    testing_support::PumpPending();
    EXPECT_EQ(page->GetDlgItemText(IDC_IMAGE_CAPTION), L"64×48  32ビット/ピクセル 100.00 %");
    // The set-default command stores the page's keyword for the format.
    ::SendMessageW(frame->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(ID_SET_DEFAULT_VIEW, 0), 0);
    EXPECT_EQ(fw::GetProfileString(L"FormatsDefaultViewTab", L"\"PNG\"", L""), L"IMAGE");
    EXPECT_TRUE(boxes.Boxes().empty());

    ::OleSetClipboard(nullptr);
    app.ExitInstance();
    fw::DeleteAppRegistryKey();
}
