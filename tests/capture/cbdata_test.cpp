#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CBDataCreateContext.h"
#include "capture/CBData_DIB.h"
#include "capture/CBData_DragImageBits.h"
#include "capture/CBData_FileDescriptor.h"
#include "capture/CBData_HBITMAP.h"
#include "capture/CBData_HENHMF.h"
#include "capture/CBData_HMETAFILEPICT.h"
#include "capture/CaptureSettings.h"
#include "capture/FormatCatalogue.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "tests/TestProgress.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::FileExists;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

namespace {

std::shared_ptr<CCBData> EntryWithFile(const std::wstring& path, uint64_t size)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_tempFile = path;
    entry->m_dataSize = size;
    return entry;
}

}  // namespace

TEST(CCBData, InitialValues)
{
    CCBData entry;
    EXPECT_EQ(entry.m_fmt.cfFormat, 0);
    EXPECT_EQ(entry.m_fmt.ptd, nullptr);
    EXPECT_EQ(entry.m_fmt.dwAspect, 0u);
    EXPECT_EQ(entry.m_fmt.lindex, -1);
    EXPECT_EQ(entry.m_fmt.tymed, 0u);
    EXPECT_EQ(entry.m_treeIcon, 1);
    EXPECT_EQ(entry.m_defaultViewTab, 0);
    EXPECT_EQ(entry.m_defaultCodePage, -10);
    EXPECT_EQ(entry.m_dataSize, 0u);
    EXPECT_FALSE(entry.m_children);
    EXPECT_STREQ(entry.GetRuntimeClass()->m_lpszClassName, "CCBData");
}

TEST(CCBData, KindsHaveTheirOwnRuntimeClassAndDefaults)
{
    CCBData_HBITMAP bitmap;
    EXPECT_STREQ(bitmap.GetRuntimeClass()->m_lpszClassName, "CCBData_HBITMAP");
    EXPECT_TRUE(bitmap.IsKindOf(&CCBData_GDI::classCCBData_GDI));
    EXPECT_TRUE(bitmap.IsKindOf(&CCBData::classCCBData));
    EXPECT_EQ(bitmap.m_defaultViewTab, ViewTab_Image);
    EXPECT_EQ(bitmap.m_treeIcon, 2);
    CCBData_HENHMF emf;
    CCBData_HMETAFILEPICT mfp;
    EXPECT_EQ(emf.m_treeIcon, 2);
    EXPECT_EQ(mfp.m_treeIcon, 2);
    EXPECT_FALSE(mfp.IsKindOf(&CCBData_HBITMAP::classCCBData_HBITMAP));

    CCBData_DIB dib;
    CCBData_DragImageBits drag;
    EXPECT_EQ(dib.m_defaultViewTab, ViewTab_Image);
    EXPECT_EQ(drag.m_defaultViewTab, ViewTab_Image);
    // Only the GDI kinds show the picture icon.
    EXPECT_EQ(dib.m_treeIcon, 1);
    EXPECT_EQ(drag.m_treeIcon, 1);
    EXPECT_FALSE(dib.IsKindOf(&CCBData_GDI::classCCBData_GDI));

    CCBData_FileDescriptor descriptor;
    EXPECT_STREQ(descriptor.GetRuntimeClass()->m_pBaseClass->m_lpszClassName, "CCBData");
    EXPECT_EQ(descriptor.m_defaultViewTab, 0);
}

TEST(CCBData, GdiKindsDeleteTheirHandles)
{
    HBITMAP bitmap = ::CreateBitmap(2, 2, 1, 32, nullptr);
    LOGPALETTE pal = {0x300, 1, {{1, 2, 3, 0}}};
    HPALETTE palette = ::CreatePalette(&pal);
    HDC dc = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    HENHMETAFILE emf = ::CloseEnhMetaFile(dc);
    ASSERT_TRUE(bitmap && palette && emf);
    {
        auto entry = std::make_shared<CCBData_HBITMAP>();
        entry->m_hBitmap.Reset(bitmap);
        entry->m_hPalette.Reset(palette);
        auto meta = std::make_shared<CCBData_HENHMF>();
        meta->m_hEnhMetaFile.Reset(emf);
    }
    EXPECT_EQ(::GetObjectType(bitmap), 0u);
    EXPECT_EQ(::GetObjectType(palette), 0u);
    EXPECT_EQ(::GetEnhMetaFileHeader(emf, 0, nullptr), 0u);
}

TEST(CCBData, DestructionDeletesTheTemporaryFileAndTakeOverMovesIt)
{
    ScratchDir dir;
    const std::wstring path = dir / L"a.cvtmp";
    ASSERT_TRUE(WriteBytes(path, {1, 2, 3, 4}));

    auto generic = EntryWithFile(path, 4);
    generic->m_fmt.cfFormat = CF_DIB;
    generic->m_fmt.lindex = 3;
    generic->m_fmt.tymed = TYMED_HGLOBAL;
    generic->m_realTymed = TYMED_HGLOBAL;
    generic->m_type = L"IStream";
    generic->m_name = L"x.bmp";
    generic->m_displayName = L"表示";
    generic->m_treeIcon = 0;
    generic->m_properties = {L"エラー\tなにか"};
    generic->m_pendingWalk = 1;
    generic->m_children = std::make_shared<CCBDataArray>();
    auto children = generic->m_children;

    auto dib = std::make_shared<CCBData_DIB>();
    dib->m_properties = {L"old\trow"};
    dib->TakeOver(generic);
    EXPECT_EQ(dib->m_fmt.cfFormat, CF_DIB);
    EXPECT_EQ(dib->m_fmt.lindex, 3);
    EXPECT_EQ(dib->m_realTymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(dib->m_type, L"IStream");
    EXPECT_EQ(dib->m_name, L"x.bmp");
    EXPECT_EQ(dib->m_properties, std::vector<std::wstring>{L"エラー\tなにか"});
    EXPECT_EQ(dib->m_dataSize, 4u);
    EXPECT_EQ(dib->m_tempFile, path);
    EXPECT_EQ(dib->m_children, children);
    EXPECT_FALSE(generic->m_children);
    EXPECT_EQ(dib->m_pendingWalk, 1);
    // Not taken over: what the new kind's constructor set.
    EXPECT_EQ(dib->m_displayName, L"");
    EXPECT_EQ(dib->m_treeIcon, 1);
    EXPECT_EQ(dib->m_defaultViewTab, ViewTab_Image);
    EXPECT_TRUE(generic->m_tempFile.empty());

    generic.reset();
    EXPECT_TRUE(FileExists(path));
    dib.reset();
    EXPECT_FALSE(FileExists(path));
}

TEST(CCBData, TakeOverKeepsOwnChildrenWhenTheOtherHasNone)
{
    auto mine = std::make_shared<CCBDataArray>();
    auto target = std::make_shared<CCBData_FileDescriptor>();
    target->m_children = mine;
    target->TakeOver(std::make_shared<CCBData>());
    EXPECT_EQ(target->m_children, mine);
}

TEST(CCBData, ReadDataWithNoDataNeverTouchesTheFileSystem)
{
    fw::MessageBoxRecorder boxes;
    std::vector<BYTE> out;
    // A file that exists and opens (an empty one): the size alone decides.
    ScratchDir dir;
    const std::wstring path = dir / L"empty.cvtmp";
    ASSERT_TRUE(WriteBytes(path, {}));
    auto entry = EntryWithFile(path, 0);
    EXPECT_FALSE(entry->ReadData(out));
    // No name: no file is even tried, so the thread's last error stays as it was.
    auto unnamed = EntryWithFile(L"", 10);
    ::SetLastError(0x12345);
    EXPECT_FALSE(unnamed->ReadData(out));
    EXPECT_EQ(::GetLastError(), 0x12345u);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(CCBData, ReadDataOfADeletedFileFailsSilently)
{
    ScratchDir dir;
    fw::MessageBoxRecorder boxes;
    auto entry = EntryWithFile(dir / L"gone.cvtmp", 8);
    std::vector<BYTE> out;
    EXPECT_FALSE(entry->ReadData(out));
    EXPECT_TRUE(boxes.Boxes().empty());
    entry->m_tempFile.clear();
}

TEST(CCBData, ReadDataOfATruncatedFileWarnsOnceAndZeroesTheTail)
{
    ScratchDir dir;
    const std::wstring path = dir / L"short.cvtmp";
    ASSERT_TRUE(WriteBytes(path, {9, 8, 7}));
    fw::MessageBoxRecorder boxes;
    auto entry = EntryWithFile(path, 6);
    std::vector<BYTE> out;
    EXPECT_TRUE(entry->ReadData(out));
    EXPECT_EQ(out, (std::vector<BYTE>{9, 8, 7, 0, 0, 0}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"一時ファイルを読めません"});
}

TEST(CCBData, ReadDataReadsTheWholeFile)
{
    ScratchDir dir;
    const std::wstring path = dir / L"whole.cvtmp";
    std::vector<uint8_t> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(WriteBytes(path, bytes));
    fw::MessageBoxRecorder boxes;
    auto entry = EntryWithFile(path, bytes.size());
    std::vector<BYTE> out;
    EXPECT_TRUE(entry->ReadData(out));
    EXPECT_EQ(out, bytes);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(CCBData, ReadDataOfAnImpossibleSizeFailsWithoutThrowing)
{
    ScratchDir dir;
    const std::wstring path = dir / L"huge.cvtmp";
    ASSERT_TRUE(WriteBytes(path, {1}));
    fw::MessageBoxRecorder boxes;
    auto entry = EntryWithFile(path, UINT64_MAX / 2);
    std::vector<BYTE> out;
    EXPECT_FALSE(entry->ReadData(out));
}

TEST(CCBData, DisplayTextPrefersDisplayNameThenNameThenFormat)
{
    CCBData entry;
    entry.m_fmt.cfFormat = CF_TEXT;
    entry.m_fmt.dwAspect = DVASPECT_ICON;
    EXPECT_EQ(entry.GetDisplayText(), L"CF_TEXT ICON ");
    entry.m_name = L"a.txt";
    EXPECT_EQ(entry.GetDisplayText(), L"a.txt");
    entry.m_displayName = L"デスクトップ";
    EXPECT_EQ(entry.GetDisplayText(), L"デスクトップ");
}

TEST(CCBData, ViewKeyIsTheLastExtensionElseTheFormatName)
{
    CCBData entry;
    entry.m_fmt.cfFormat = CF_UNICODETEXT;
    EXPECT_EQ(entry.GetViewKey(), L"CF_UNICODETEXT");
    entry.m_name = L"archive.tar.GZ";
    EXPECT_EQ(entry.GetViewKey(), L".GZ");
    entry.m_name = L"noext";
    EXPECT_EQ(entry.GetViewKey(), L"CF_UNICODETEXT");
    entry.m_name = L"trailing.";
    EXPECT_EQ(entry.GetViewKey(), L".");
    // A full path: the dot of a folder's name is no extension.
    entry.m_name = L"C:\\v1.2\\Makefile";
    EXPECT_EQ(entry.GetViewKey(), L"CF_UNICODETEXT");
    entry.m_name = L"C:\\v1.2\\notes.TXT";
    EXPECT_EQ(entry.GetViewKey(), L".TXT");
}

TEST(CCBData, DefaultViewTabStoredChoiceThenTableThenTextRuleThenOwn)
{
    fw::DeleteAppRegistryKey();
    CCBData entry;
    entry.m_defaultViewTab = ViewTab_Hex;
    entry.m_name = L"photo.JPG";
    EXPECT_EQ(entry.GetDefaultViewTab(), ViewTab_Image);
    ASSERT_TRUE(fw::WriteProfileString(L"FormatsDefaultViewTab", L".JPG", L"property"));
    EXPECT_EQ(entry.GetDefaultViewTab(), ViewTab_Property);
    ASSERT_TRUE(fw::WriteProfileString(L"FormatsDefaultViewTab", L".JPG", L"nonsense"));
    EXPECT_EQ(entry.GetDefaultViewTab(), ViewTab_Hex);

    CCBData mime;
    mime.m_fmt.cfFormat = static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(L"TEXT/x-orvetta"));
    mime.m_defaultViewTab = ViewTab_Property;
    EXPECT_EQ(mime.GetDefaultViewTab(), ViewTab_Text);
    CCBData other;
    other.m_fmt.cfFormat = static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(L"texts/x-orvetta"));
    other.m_defaultViewTab = ViewTab_Property;
    EXPECT_EQ(other.GetDefaultViewTab(), ViewTab_Property);
    fw::DeleteAppRegistryKey();
}

TEST(CCBData, DefaultCodePageFromTheTableElseOwn)
{
    CCBData html;
    html.m_fmt.cfFormat = static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(L"HTML Format"));
    EXPECT_EQ(html.GetDefaultCodePage(), 65001);
    CCBData text;
    text.m_fmt.cfFormat = CF_TEXT;
    text.m_defaultCodePage = 932;
    EXPECT_EQ(text.GetDefaultCodePage(), 932);
    text.m_name = L"x.url";  // in the tab table, not in the code-page table
    EXPECT_EQ(text.GetDefaultCodePage(), 932);
}

TEST(CCBDataCreateContext, DeletesOnlyAPaletteItOwns)
{
    LOGPALETTE pal = {0x300, 1, {{1, 2, 3, 0}}};
    HPALETTE owned = ::CreatePalette(&pal);
    HPALETTE borrowed = ::CreatePalette(&pal);
    {
        CCBDataCreateContext context;
        context.m_palette = owned;
        context.m_ownsPalette = TRUE;
    }
    {
        CCBDataCreateContext context;
        context.m_palette = borrowed;
    }
    EXPECT_EQ(::GetObjectType(owned), 0u);
    EXPECT_EQ(::GetObjectType(borrowed), static_cast<DWORD>(OBJ_PAL));
    ::DeleteObject(borrowed);
}

TEST(CCBDataCreateContext, AbortTextFollowsTheApplicationsSizeLimit)
{
    CCBDataCreateContext context;
    const int32_t saved = CaptureSettings().m_subDirSizeLimit;
    CaptureSettings().m_subDirSizeLimit = 1;
    context.m_collectedBytes = 1048576;
    EXPECT_EQ(context.GetAbortText(), L"エラー\t取得を中止しました。");
    context.m_collectedBytes = 1048577;
    EXPECT_EQ(context.GetAbortText(), L"エラー\tサイズが限界を超えたため取得を中止しました。");
    CaptureSettings().m_subDirSizeLimit = saved;
}

TEST(CCBDataCreateContext, PumpDispatchesPendingMessagesAndReportsTheStopFlag)
{
    static int dispatched = 0;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_APP) ++dispatched;
        return ::DefWindowProcW(h, m, w, l);
    };
    wc.lpszClassName = L"OrvettaPumpTest";
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    testing_support::TestProgress progress;
    CCBDataCreateContext context;
    context.m_progress = &progress;
    ::PostMessageW(window, WM_APP, 0, 0);
    ::PostMessageW(window, WM_APP, 0, 0);
    EXPECT_FALSE(context.PumpMessages());
    EXPECT_EQ(dispatched, 2);
    progress.m_stop = TRUE;
    EXPECT_TRUE(context.PumpMessages());

    // A quit request met during a capture stays for the message loop.
    ::PostQuitMessage(7);
    context.PumpMessages();
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    ::DestroyWindow(window);
}
