#include "viewers/PropertyViewDialog.h"

#include "capture/CBData.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "res/dialogs_resource.h"
#include "tests/ControlReading.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <thread>

using testing_support::ClipboardText;
using testing_support::ListRows;
using testing_support::PutClipboardText;
using testing_support::SelectListRows;

namespace {

using Row = std::pair<std::wstring, std::wstring>;

int DialogFontAverageWidth(HWND dialog)
{
    HDC dc = ::GetDC(dialog);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(dialog, dc);
    return metrics.tmAveCharWidth;
}

class PropertyView : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        s_frame = ::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                    nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() { ::DestroyWindow(s_frame); }

    void SetUp() override
    {
        fw::SetRegistryKey(L"OrvettaPropertyViewTest");
        fw::DeleteAppRegistryKey();
    }
    void TearDown() override
    {
        fw::DeleteAppRegistryKey();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvettaPropertyViewTest");
        fw::SetRegistryKey(L"Orvetta");
    }

    // The page as the viewer host makes it: a child window shown in the frame.
    void Open(CPropertyViewDialog& page)
    {
        ASSERT_TRUE(page.CreatePage(s_frame));
        ::SetWindowPos(page.GetSafeHwnd(), nullptr, 0, 0, 600, 400, SWP_NOZORDER | SWP_SHOWWINDOW);
    }
    static HWND List(const CPropertyViewDialog& page) { return ::GetDlgItem(page.GetSafeHwnd(), IDC_PROPERTY_LIST); }
    static void Command(const CPropertyViewDialog& page, WORD id)
    {
        ::SendMessageW(page.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }

    static HWND s_frame;
};
HWND PropertyView::s_frame = nullptr;

// How many values the default-page section holds (0 when it does not exist).
DWORD DefaultViewValues()
{
    HKEY key = nullptr;
    const std::wstring path = fw::GetAppRegistryPath() + L"\\FormatsDefaultViewTab";
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD values = 0;
    ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                       nullptr);
    ::RegCloseKey(key);
    return values;
}

// An entry with each of the listed rows, and three extra rows of its own.
std::shared_ptr<CCBData> FullEntry()
{
    auto entry = std::make_shared<CCBData>();
    entry->m_fmt.cfFormat = CF_UNICODETEXT;
    entry->m_fmt.lindex = 2;
    entry->m_fmt.dwAspect = DVASPECT_CONTENT;
    entry->m_fmt.tymed = TYMED_HGLOBAL;
    entry->m_realTymed = TYMED_ISTREAM;
    entry->m_type = L"テキスト";
    entry->m_name = L"memo.txt";
    entry->m_displayName = L"メモ";
    entry->m_tempFile = L"C:\\nonexistent\\x.cvtmp";
    entry->m_dataSize = 1234567890123ull;
    entry->m_properties = {L"エラー\t読めません", L"タブの無い行", L"\t値だけ"};
    return entry;
}

}  // namespace

TEST_F(PropertyView, ListsEveryRowOfAFullEntrySplitAtTheFirstTab)
{
    CPropertyViewDialog page;
    Open(page);
    wchar_t caption[64] = {};
    ::GetWindowTextW(page.GetSafeHwnd(), caption, 64);
    EXPECT_STREQ(caption, L"プロパティ");
    EXPECT_TRUE(::SendMessageW(List(page), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);

    auto entry = FullEntry();
    page.ShowEntry(entry.get());
    const std::vector<Row> expected = {
        {L"フォーマット", L"CF_UNICODETEXT (13)"},
        {L"Index", L"2"},
        {L"サイズ", L"1234567890123"},
        {L"Aspect", L"CONTENT "},
        {L"Tymed", L"HGLOBAL "},
        {L"本当のTymed", L"ISTREAM "},
        {L"タイプ", L"テキスト"},
        {L"名前", L"memo.txt"},
        {L"表示名", L"メモ"},
        {L"エラー", L"読めません"},
        {L"タブの無い行", L""},
        {L"", L"値だけ"},
    };
    EXPECT_EQ(ListRows(List(page)), expected);
    EXPECT_EQ(page.GetShownEntry(), entry.get());

    // Format 0, index -1, no file and the same medium delivered: those rows are left out.
    auto bare = std::make_shared<CCBData>();
    bare->m_fmt.tymed = TYMED_ISTORAGE;
    bare->m_realTymed = TYMED_ISTORAGE;
    bare->m_name = L"Folder";
    page.ShowEntry(bare.get());
    EXPECT_EQ(ListRows(List(page)), (std::vector<Row>{{L"Tymed", L"ISTORAGE "}, {L"名前", L"Folder"}}));

    page.ShowEntry(nullptr);
    EXPECT_TRUE(ListRows(List(page)).empty());
}

TEST_F(PropertyView, RowsShownBeforeTheWindowExistsAppearWhenItIsMade)
{
    CPropertyViewDialog page;
    page.ShowOfferedFormats({L"CF_TEXT", L"CF_LOCALE"});
    Open(page);
    EXPECT_EQ(ListRows(List(page)), (std::vector<Row>{{L"フォーマット", L"CF_TEXT"}, {L"", L"CF_LOCALE"}}));
}

TEST_F(PropertyView, ColumnWidthsComeFromTheFrameSectionElseTheFontsAverageWidth)
{
    {
        CPropertyViewDialog page;
        Open(page);
        const int average = DialogFontAverageWidth(page.GetSafeHwnd());
        ASSERT_GT(average, 0);
        EXPECT_EQ(page.GetColumnWidths(), std::make_pair(20 * average, 80 * average));
        wchar_t heading[32] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT;
        column.pszText = heading;
        column.cchTextMax = 32;
        ::SendMessageW(List(page), LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        EXPECT_STREQ(heading, L"項目");
        ::SendMessageW(List(page), LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
        EXPECT_STREQ(heading, L"値");
        ::SendMessageW(List(page), LVM_SETCOLUMNWIDTH, 1, 333);
        EXPECT_EQ(page.GetColumnWidths().second, 333);
    }
    fw::WriteProfileInt(L"Frame", L"PropCol0", 55);
    fw::WriteProfileInt(L"Frame", L"PropCol1", 210);
    CPropertyViewDialog page;
    EXPECT_EQ(page.GetColumnWidths(), std::make_pair(0, 0));
    Open(page);
    EXPECT_EQ(page.GetColumnWidths(), std::make_pair(55, 210));
}

TEST_F(PropertyView, CopyCommandsJoinSelectedRowsWithoutEmptyOrTrailingLines)
{
    CPropertyViewDialog page;
    Open(page);
    auto entry = std::make_shared<CCBData>();
    entry->m_properties = {L"a\t1", L"b\t", L"c\t3", L"d\t4"};
    page.ShowEntry(entry.get());
    HWND list = List(page);

    SelectListRows(list, {0, 2, 3});
    Command(page, ID_PROPERTY_COPY);
    EXPECT_EQ(ClipboardText(), L"a\t1\r\nc\t3\r\nd\t4");
    Command(page, ID_PROPERTY_COPY_NAME);
    EXPECT_EQ(ClipboardText(), L"a\r\nc\r\nd");

    // An empty first value adds no leading line break.
    SelectListRows(list, {1, 2});
    Command(page, ID_PROPERTY_COPY_VALUE);
    EXPECT_EQ(ClipboardText(), L"3");
    SelectListRows(list, {1});
    Command(page, ID_PROPERTY_COPY);
    EXPECT_EQ(ClipboardText(), L"b\t");

    // Once there is text, an empty value keeps its line.
    Command(page, ID_PROPERTY_SELECT_ALL);
    EXPECT_EQ(::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 4);
    Command(page, ID_PROPERTY_COPY_VALUE);
    EXPECT_EQ(ClipboardText(), L"1\r\n\r\n3\r\n4");
}

TEST_F(PropertyView, CopyWhileAnotherProgramHoldsTheClipboardTellsTheUser)
{
    CPropertyViewDialog page;
    Open(page);
    auto entry = std::make_shared<CCBData>();
    entry->m_properties = {L"名前\t値"};
    page.ShowEntry(entry.get());
    SelectListRows(List(page), {0});
    PutClipboardText(L"before");

    HANDLE opened = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        const BOOL open = ::OpenClipboard(nullptr);
        ::SetEvent(opened);
        ::WaitForSingleObject(release, 10000);
        if (open) ::CloseClipboard();
    });
    ::WaitForSingleObject(opened, 10000);
    fw::MessageBoxRecorder boxes;
    Command(page, ID_PROPERTY_COPY);
    ::SetEvent(release);
    holder.join();
    ::CloseHandle(opened);
    ::CloseHandle(release);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"クリップボードに書き込めません。"});
    EXPECT_EQ(ClipboardText(), L"before");
}

TEST_F(PropertyView, ContextMenuEnablesCopyForASelectionAndSelectAllForAnyRow)
{
    CPropertyViewDialog page;
    Open(page);
    struct Seen {
        bool shown = false;
        UINT copy = 0, name = 0, value = 0, all = 0;
    };
    auto rightClick = [&]() {
        Seen seen;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, nullptr);
        NMITEMACTIVATE click = {};
        click.hdr.hwndFrom = List(page);
        click.hdr.idFrom = IDC_PROPERTY_LIST;
        click.hdr.code = NM_RCLICK;
        click.iItem = -1;
        // The menu's own loop dispatches the timer; the message filter hook sees it there.
        static Seen* current = nullptr;
        current = &seen;
        HHOOK hook = ::SetWindowsHookExW(
            WH_MSGFILTER,
            [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
                const MSG* msg = reinterpret_cast<const MSG*>(lParam);
                if (code == MSGF_MENU && msg->message == WM_TIMER && current && !current->shown) {
                    HWND menuWindow = ::FindWindowW(L"#32768", nullptr);
                    HMENU menu =
                        menuWindow ? reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0)) : nullptr;
                    if (menu) {
                        current->shown = true;
                        current->copy = ::GetMenuState(menu, ID_PROPERTY_COPY, MF_BYCOMMAND);
                        current->name = ::GetMenuState(menu, ID_PROPERTY_COPY_NAME, MF_BYCOMMAND);
                        current->value = ::GetMenuState(menu, ID_PROPERTY_COPY_VALUE, MF_BYCOMMAND);
                        current->all = ::GetMenuState(menu, ID_PROPERTY_SELECT_ALL, MF_BYCOMMAND);
                    }
                    ::EndMenu();
                }
                return ::CallNextHookEx(nullptr, code, wParam, lParam);
            },
            nullptr, ::GetCurrentThreadId());
        ::SendMessageW(page.GetSafeHwnd(), WM_NOTIFY, IDC_PROPERTY_LIST, reinterpret_cast<LPARAM>(&click));
        ::UnhookWindowsHookEx(hook);
        ::KillTimer(nullptr, timer);
        current = nullptr;
        return seen;
    };

    Seen empty = rightClick();
    ASSERT_TRUE(empty.shown);
    EXPECT_TRUE(empty.copy & MF_GRAYED);
    EXPECT_TRUE(empty.name & MF_GRAYED);
    EXPECT_TRUE(empty.value & MF_GRAYED);
    EXPECT_TRUE(empty.all & MF_GRAYED);

    auto entry = std::make_shared<CCBData>();
    entry->m_properties = {L"a\t1", L"b\t2"};
    page.ShowEntry(entry.get());
    Seen rowsOnly = rightClick();
    ASSERT_TRUE(rowsOnly.shown);
    EXPECT_TRUE(rowsOnly.copy & MF_GRAYED);
    EXPECT_FALSE(rowsOnly.all & MF_GRAYED);

    SelectListRows(List(page), {1});
    Seen selected = rightClick();
    ASSERT_TRUE(selected.shown);
    EXPECT_FALSE(selected.copy & MF_GRAYED);
    EXPECT_FALSE(selected.name & MF_GRAYED);
    EXPECT_FALSE(selected.value & MF_GRAYED);
    EXPECT_FALSE(selected.all & MF_GRAYED);
}

TEST_F(PropertyView, SaveAsDefaultViewWritesPropertyForTheShownEntryOnly)
{
    CPropertyViewDialog page;
    Open(page);
    page.SaveAsDefaultView();  // nothing shown: nothing written
    EXPECT_EQ(DefaultViewValues(), 0u);

    auto dib = std::make_shared<CCBData>();
    dib->m_fmt.cfFormat = CF_DIB;
    page.ShowEntry(dib.get());
    page.SaveAsDefaultView();
    EXPECT_EQ(fw::GetProfileString(L"FormatsDefaultViewTab", L"CF_DIB"), L"PROPERTY");
    EXPECT_EQ(DefaultViewValues(), 1u);
    EXPECT_EQ(dib->GetDefaultViewTab(), 3);

    auto named = std::make_shared<CCBData>();
    named->m_fmt.cfFormat = CF_HDROP;
    named->m_name = L"写真.JPG";
    page.ShowEntry(named.get());
    page.SaveAsDefaultView();
    EXPECT_EQ(fw::GetProfileString(L"FormatsDefaultViewTab", L".JPG"), L"PROPERTY");

    page.ShowOfferedFormats({L"CF_HDROP"});
    fw::WriteProfileString(L"FormatsDefaultViewTab", L".JPG", L"IMAGE");
    page.SaveAsDefaultView();
    EXPECT_EQ(fw::GetProfileString(L"FormatsDefaultViewTab", L".JPG"), L"IMAGE");
}
