// Long operations of the main window (a capture, the opening of a snapshot file, a replay
// waiting for the clipboard) dispatch messages while they run: a second one is refused
// meanwhile, and closing or the end of the session waits for the first to end.
#include "app/KaviloApp.h"
#include "capture/CBData.h"
#include "capture/TempStore.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "res/replay_resource.h"
#include "res/resource.h"
#include "tests/ControlReading.h"
#include "tests/app/AppFixture.h"
#include "tests/TestDataObject.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <thread>

using namespace testing_support;

namespace {

class LongOperation : public AppFixture {
protected:
    bool MenuGreyed(UINT id)
    {
        HMENU menu = ::GetMenu(m_frame->GetSafeHwnd());
        ::SendMessageW(m_frame->GetSafeHwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
        return (::GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0;
    }
    bool ToolBarEnabled(UINT id)
    {
        return ::SendMessageW(m_frame->GetToolBar().GetSafeHwnd(), TB_ISBUTTONENABLED, id, 0) != 0;
    }
    CKaviloDoc& Document() { return *m_app->GetDocument(); }
};

// A format list that never ends and takes a little time per description. Once the
// progress window shows, the user presses its Stop.
class SlowEndlessFormats : public fw::ComObject<IEnumFORMATETC> {
public:
    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* formats, ULONG* fetched) override
    {
        ::Sleep(2);
        for (ULONG i = 0; i < count; ++i) formats[i] = Fmt(CF_TEXT, TYMED_HGLOBAL, DVASPECT_CONTENT, m_next++);
        if (fetched) *fetched = count;
        if (!m_stopPressed) {
            ::EnumThreadWindows(
                ::GetCurrentThreadId(),
                [](HWND hwnd, LPARAM param) {
                    wchar_t name[16] = {};
                    ::GetClassNameW(hwnd, name, 16);
                    if (std::wstring(name) != L"#32770" || !::IsWindowVisible(hwnd)) return TRUE;
                    ::PostMessageW(::GetDlgItem(hwnd, IDCANCEL), BM_CLICK, 0, 0);
                    *reinterpret_cast<bool*>(param) = true;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&m_stopPressed));
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC**) override { return E_NOTIMPL; }

    LONG m_next = 0;
    bool m_stopPressed = false;
};

class SlowEndlessSource : public fw::ComObject<IDataObject> {
public:
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC** out) override
    {
        m_formats = fw::MakeComObject<SlowEndlessFormats>();
        return m_formats.CopyTo(out);
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* fmt, STGMEDIUM*) override
    {
        if (fmt->cfFormat != CF_PALETTE) ++m_dataAsked;
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

    fw::ComPtr<SlowEndlessFormats> m_formats;
    int m_dataAsked = 0;
};

}  // namespace

// While a capture runs, another drop is not taken, Paste and the file commands are greyed
// and do nothing; all is back once it has ended.
TEST_F(LongOperation, ASecondOneIsRefusedWhileACaptureRuns)
{
    TestDataObject* second = TestDataObject::Create();
    second->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'x', 0, 0, 0}));
    DWORD secondEffect = DROPEFFECT_COPY;
    bool greyed = false, toolBarEnabled = true;
    std::shared_ptr<CCBDataArray> during;
    TestDataObject* first = TestDataObject::Create();
    first->Offer(Fmt(CF_TEXT), [&](const FORMATETC& asked, STGMEDIUM* medium) {
        secondEffect = DropOnArea(second);
        greyed = MenuGreyed(ID_EDIT_PASTE) && MenuGreyed(ID_FILE_OPEN) && MenuGreyed(ID_EDIT_REPLAY);
        toolBarEnabled = ToolBarEnabled(ID_EDIT_PASTE);
        ::SendMessageW(m_frame->GetSafeHwnd(), WM_COMMAND, ID_EDIT_PASTE, 0);
        during = Document().GetSnapshot();
        return GlobalMedium({'a', 0})(asked, medium);
    });
    EXPECT_EQ(DropOnArea(first), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(secondEffect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_TRUE(second->Requests().empty());
    EXPECT_TRUE(greyed);
    EXPECT_FALSE(toolBarEnabled);
    // The capture went on into the snapshot it started with, and nothing replaced it.
    ASSERT_TRUE(during);
    EXPECT_EQ(Document().GetSnapshot(), during);
    ASSERT_EQ(during->size(), 1u);
    EXPECT_EQ(during->at(0)->m_fmt.cfFormat, CF_TEXT);

    EXPECT_FALSE(MenuGreyed(ID_EDIT_PASTE));
    EXPECT_TRUE(ToolBarEnabled(ID_EDIT_PASTE));
    EXPECT_EQ(DropOnArea(second), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_FALSE(second->Requests().empty());
    first->Release();
    second->Release();
}

// The end of the session, dispatched inside a capture: the capture stops and ends first,
// then the snapshot and the temporary files go.
TEST_F(LongOperation, EndOfSessionDuringACaptureCleansUpAfterIt)
{
    HWND frame = m_frame->GetSafeHwnd();
    ::ShowWindow(frame, SW_SHOWNORMAL);
    const std::wstring folder = TheTempStore().m_tempFolder;
    bool snapshotKept = false;
    size_t filesKept = 0;
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    object->Offer(Fmt(CF_UNICODETEXT), [&](const FORMATETC& asked, STGMEDIUM* medium) {
        EXPECT_EQ(::SendMessageW(frame, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
        ::SendMessageW(frame, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        snapshotKept = Document().GetSnapshot() != nullptr;
        filesKept = ListNames(folder, L"*.cvtmp").size();
        return GlobalMedium({'b', 0, 0, 0})(asked, medium);
    });
    object->Offer(Fmt(CF_OEMTEXT), GlobalMedium({'c', 0}));
    DropOnArea(object);
    EXPECT_TRUE(snapshotKept);
    EXPECT_EQ(filesKept, 1u);
    for (const FORMATETC& asked : object->Requests()) EXPECT_NE(asked.cfFormat, CF_OEMTEXT);
    EXPECT_FALSE(Document().GetSnapshot());
    EXPECT_FALSE(DirectoryExists(folder));
    EXPECT_TRUE(m_boxes.Texts().empty());  // nobody would answer "中止しました。" now
    object->Release();
}

// Closing while a snapshot file opens: the window stays until the opening has ended.
TEST_F(LongOperation, ClosingDuringTheOpeningOfAFileClosesAfterIt)
{
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    DropOnArea(object);
    object->Release();
    ScratchDir files;
    const std::wstring path = files / L"one.kavilo";
    ASSERT_TRUE(Document().SaveFile(path));

    HWND frame = m_frame->GetSafeHwnd();
    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    Document().OpenFile(path);
    EXPECT_TRUE(::IsWindow(frame));
    PumpPending();
    EXPECT_FALSE(::IsWindow(frame));
}

// Replay waits for a clipboard that another program holds, dispatching messages: a Paste
// that arrives meanwhile is not run inside it.
TEST_F(LongOperation, APasteDuringTheReplaysWaitForTheClipboardIsRefused)
{
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    DropOnArea(object);
    object->Release();
    const std::shared_ptr<CCBDataArray> before = Document().GetSnapshot();
    ASSERT_TRUE(before);

    fw::UniqueHandle opened(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    bool held = false;
    std::thread holder([&] {
        held = OpenClipboardPatiently();
        ::SetEvent(opened.Get());
        if (!held) return;
        ::Sleep(150);  // well within the replay's half second of retries
        ::CloseClipboard();
    });
    ::WaitForSingleObject(opened.Get(), INFINITE);
    if (!held) holder.join();
    ASSERT_TRUE(held);
    HWND frame = m_frame->GetSafeHwnd();
    ::PostMessageW(frame, WM_COMMAND, ID_EDIT_PASTE, 0);
    EXPECT_TRUE(Document().OnEditReplay(nullptr));
    holder.join();
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, frame, WM_COMMAND, WM_COMMAND, PM_NOREMOVE)) << "the replay did not wait";
    EXPECT_EQ(Document().GetSnapshot(), before);
    EXPECT_TRUE(m_boxes.Texts().empty());
}

// A source whose list of formats never ends, slowly: the listing shows the progress window,
// its Stop ends the listing, and the snapshot says the list was cut and holds no data.
TEST_F(LongOperation, StopEndsASlowEndlessListingOfFormats)
{
    ::ShowWindow(m_frame->GetSafeHwnd(), SW_SHOWNORMAL);
    fw::ComPtr<SlowEndlessSource> source = fw::MakeComObject<SlowEndlessSource>();
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(DropOnArea(source.Get()), static_cast<DWORD>(DROPEFFECT_COPY));
    const ULONGLONG took = ::GetTickCount64() - start;
    std::printf("listing stopped after %ld descriptions, %llu ms\n", static_cast<long>(source->m_formats->m_next),
                static_cast<unsigned long long>(took));
    ASSERT_TRUE(source->m_formats);
    EXPECT_TRUE(source->m_formats->m_stopPressed);
    EXPECT_LT(static_cast<size_t>(source->m_formats->m_next), kMaxListedFormats);
    EXPECT_EQ(source->m_dataAsked, 0);
    const std::shared_ptr<CCBDataArray> snapshot = Document().GetSnapshot();
    ASSERT_TRUE(snapshot);
    ASSERT_EQ(snapshot->size(), 1u);
    EXPECT_EQ(snapshot->at(0)->m_properties,
              std::vector<std::wstring>{L"エラー\t形式の一覧を最後まで読まずに打ち切りました（中止しました）。"});
    EXPECT_FALSE(Document().IsBusy());
    EXPECT_TRUE(::IsWindowEnabled(m_frame->GetSafeHwnd()));
}
