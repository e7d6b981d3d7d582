// The main window driven in-process: the application starts, data goes on the clipboard
// or is dropped, commands run, and the test reads what the user would see.
#include "app/KaviloApp.h"
#include "capture/CBData.h"
#include "capture/TempStore.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "res/find_resource.h"
#include "res/resource.h"
#include "res/watch_resource.h"
#include "tests/ControlReading.h"
#include "tests/ImportPatch.h"
#include "tests/ModalScript.h"
#include "tests/app/AppFixture.h"
#include "tests/TestDataObject.h"
#include "tests/TestSupport.h"
#include "viewers/HexViewDialog.h"
#include "viewers/SnapshotFind.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <optional>

using namespace testing_support;

namespace {

struct TreeItem {
    std::wstring text;
    int image;
    CCBData* entry;
    std::vector<TreeItem> children;
};

TreeItem ReadItem(HWND tree, HTREEITEM item)
{
    wchar_t text[512] = {};
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = 512;
    TreeView_GetItem(tree, &tv);
    TreeItem result{text, tv.iImage, reinterpret_cast<CCBData*>(tv.lParam), {}};
    for (HTREEITEM child = TreeView_GetChild(tree, item); child; child = TreeView_GetNextSibling(tree, child))
        result.children.push_back(ReadItem(tree, child));
    return result;
}

// Runs `action` from inside the next modal loop (a menu or a dialog) that starts.
void DuringNextModalLoop(std::function<void()> action)
{
    static std::function<void()> pending;
    pending = std::move(action);
    ::SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        auto run = std::move(pending);
        pending = nullptr;
        if (run) run();
    });
}

HWND FindPopupMenu()
{
    return ::FindWindowW(L"#32768", nullptr);
}

// The texts of the items of the pop-up menu now shown (none when no menu is shown).
std::vector<std::wstring> MenuTexts()
{
    HWND popup = FindPopupMenu();
    HMENU menu = popup ? reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0)) : nullptr;
    std::vector<std::wstring> texts;
    for (int i = 0; menu && i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        ::GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
        texts.push_back(text);
    }
    return texts;
}

// A view that counts the hints it is given.
class HintCounter : public fw::View {
public:
    void OnUpdate(fw::View*, LPARAM hint, void*) override
    {
        if (hint & CKaviloDoc::HintShowEntry) ++m_showEntry;
    }
    int m_showEntry = 0;
};

class MainFrame : public AppFixture {
protected:
    TreeItem Tree()
    {
        HWND tree = m_frame->GetLeftView().GetSafeHwnd();
        HTREEITEM root = TreeView_GetRoot(tree);
        return root ? ReadItem(tree, root) : TreeItem{L"", -1, nullptr, {}};
    }
    // Puts an object of ours on the clipboard.
    void SetClipboard(const std::function<void(TestDataObject*)>& fill)
    {
        TestDataObject* object = TestDataObject::Create();
        fill(object);
        ASSERT_EQ(SetOleClipboard(object), S_OK);
        object->Release();
    }
};

}  // namespace

TEST_F(MainFrame, FirstStartShowsAnUntitledWindowWithToolbarDropAreasAndTree)
{
    HWND frame = m_frame->GetSafeHwnd();
    EXPECT_TRUE(::IsWindowVisible(frame));
    EXPECT_EQ(WindowText(frame), L"無題 - Orvetta");
    EXPECT_EQ(fw::GetMainWindow(), frame);

    fw::ToolBar& toolBar = m_frame->GetToolBar();
    ASSERT_EQ(toolBar.GetCount(), 5);
    EXPECT_EQ(toolBar.GetItemID(0), static_cast<UINT>(ID_EDIT_PASTE));
    EXPECT_EQ(toolBar.GetItemID(1), static_cast<UINT>(ID_EDIT_PASTE_SPECIAL));
    EXPECT_EQ(toolBar.GetItemID(2), 0u);
    EXPECT_EQ(toolBar.GetItemID(3), static_cast<UINT>(ID_SET_DEFAULT_VIEW));
    EXPECT_EQ(toolBar.GetItemID(4), static_cast<UINT>(ID_EDIT_WATCH));  // a check button, off
    const RECT separator = toolBar.GetItemRect(2);
    EXPECT_EQ(separator.right - separator.left, 200);
    // The two areas fill the separator, 100 pixels each.
    for (bool choose : {false, true}) {
        HWND area = m_frame->GetDropArea(choose).GetSafeHwnd();
        EXPECT_TRUE(::IsWindowVisible(area));
        EXPECT_EQ(::GetDlgCtrlID(area), choose ? 10001 : 10000);
        RECT r;
        ::GetWindowRect(area, &r);
        ::MapWindowPoints(nullptr, toolBar.GetSafeHwnd(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, separator.left + (choose ? 100 : 0));
        EXPECT_EQ(r.right - r.left, 100);
        EXPECT_EQ(r.bottom - r.top, separator.bottom - separator.top);
    }
    EXPECT_EQ(m_frame->GetDropArea(false).GetCaption(), L"ここにドロップ\r\n(全形式)\r\n▼");
    EXPECT_EQ(m_frame->GetDropArea(true).GetCaption(), L"ここにドロップ\r\n(形式を指定)\r\n▼");

    EXPECT_EQ(m_frame->GetSplitter().GetColumnWidth(), 200);
    RECT tree;
    ::GetWindowRect(m_frame->GetLeftView().GetSafeHwnd(), &tree);
    EXPECT_EQ(tree.right - tree.left, 200);
    EXPECT_EQ(Tree().image, -1);  // no snapshot yet: no root

    HMENU menu = ::GetMenu(frame);
    ASSERT_TRUE(menu);
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, ID_EDIT_PASTE_SPECIAL, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"形式を指定して貼り付け(&S)");
    ::GetMenuStringW(menu, ID_DELETE_SETTINGS_AND_EXIT, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"設定を削除して終了(&U)");
}

TEST_F(MainFrame, PasteShowsTheSnapshotAsATreeTitledWithTheSequenceNumber)
{
    auto storage = [](TestDataObject* o) {
        o->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'h', 0, 'i', 0, 0, 0}));
        o->Offer(Fmt(CF_PALETTE, TYMED_GDI), FailingMedium());
        o->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Missing")), FailingMedium());
    };
    SetClipboard(storage);
    const DWORD sequence = ::GetClipboardSequenceNumber();
    Command(ID_EDIT_PASTE);
    const std::wstring title = L"クリップボード#" + std::to_wstring(sequence);
    EXPECT_EQ(WindowText(m_frame->GetSafeHwnd()), title + L" - Orvetta");
    TreeItem root = Tree();
    EXPECT_EQ(root.text, title);
    EXPECT_EQ(root.image, 0);
    EXPECT_EQ(root.entry, nullptr);
    ASSERT_EQ(root.children.size(), 3u);
    EXPECT_EQ(root.children[0].text, L"CF_UNICODETEXT");
    EXPECT_EQ(root.children[0].image, 1);
    EXPECT_EQ(root.children[1].text, L"CF_PALETTE");
    EXPECT_EQ(root.children[2].text, L"\"Orvetta Missing\"");
    ASSERT_TRUE(root.children[0].entry);
    EXPECT_TRUE(root.children[0].entry->HasData());
    HWND tree = m_frame->GetLeftView().GetSafeHwnd();
    EXPECT_TRUE(TreeView_GetItemState(tree, TreeView_GetRoot(tree), TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(m_app->GetDocument()->GetOfferedFormats(),
              (std::vector<std::wstring>{L"CF_UNICODETEXT", L"CF_PALETTE", L"\"Orvetta Missing\""}));

    // A second Paste of the same clipboard: the same title, a new snapshot in the tree.
    std::shared_ptr<CCBDataArray> first = m_app->GetDocument()->GetSnapshot();
    const std::wstring firstFile = (*first)[0]->m_tempFile;
    ASSERT_TRUE(FileExists(firstFile));
    Command(ID_EDIT_PASTE);
    const std::shared_ptr<CCBDataArray> second = m_app->GetDocument()->GetSnapshot();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    root = Tree();
    EXPECT_EQ(root.text, title);
    ASSERT_EQ(root.children.size(), 3u);
    EXPECT_EQ(root.children[0].text, L"CF_UNICODETEXT");
    EXPECT_EQ(root.children[0].entry, (*second)[0].get());
    EXPECT_EQ(root.children[2].text, L"\"Orvetta Missing\"");
    EXPECT_TRUE(FileExists((*second)[0]->m_tempFile));
    EXPECT_NE((*second)[0]->m_tempFile, firstFile);
    // A history of one (the default): nothing keeps the first snapshot but this test, and
    // its stored data goes with it.
    EXPECT_TRUE(m_app->GetDocument()->GetKeptSnapshots().empty());
    EXPECT_EQ(first.use_count(), 1);
    first.reset();
    EXPECT_FALSE(FileExists(firstFile));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(MainFrame, EmptyClipboardGivesOnlyTheRoot)
{
    ::OleSetClipboard(nullptr);
    ASSERT_TRUE(OpenClipboardPatiently());
    ::EmptyClipboard();
    ::CloseClipboard();
    Command(ID_EDIT_PASTE);
    TreeItem root = Tree();
    EXPECT_EQ(root.text.rfind(L"クリップボード#", 0), 0u);
    EXPECT_TRUE(root.children.empty());
}

TEST_F(MainFrame, DroppingOnTheAllFormatsAreaCapturesEverything)
{
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    object->Offer(Fmt(CF_OEMTEXT), GlobalMedium({'b', 0}));
    IDropTarget* target = m_frame->GetDropArea(false).GetDropTarget();
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    POINTL point = {0, 0};
    ASSERT_EQ(target->DragEnter(object, MK_LBUTTON, point, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    effect = DROPEFFECT_MOVE;
    target->DragOver(MK_LBUTTON, point, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(target->Drop(object, 0, point, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    object->Release();
    PumpPending();
    TreeItem root = Tree();
    EXPECT_EQ(root.text.rfind(L"ドロップデータ ", 0), 0u) << root.text.size();
    ASSERT_EQ(root.text.size(), 16u);
    EXPECT_EQ(root.text[10], L':');
    EXPECT_EQ(root.text[13], L':');
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[1].text, L"CF_OEMTEXT");
}

TEST_F(MainFrame, ChooseFormatDropWithTheMenuDismissedTakesNothing)
{
    SetClipboard([](TestDataObject* o) { o->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0})); });
    Command(ID_EDIT_PASTE);
    const std::wstring before = Tree().text;
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'x', 0, 0, 0}));
    IDropTarget* target = m_frame->GetDropArea(true).GetDropTarget();
    DWORD effect = DROPEFFECT_COPY;
    POINTL point = {0, 0};
    target->DragEnter(object, MK_LBUTTON, point, &effect);
    std::vector<std::wstring> offered;
    DuringNextModalLoop([&] {
        offered = MenuTexts();
        ::EndMenu();
    });
    effect = DROPEFFECT_COPY;
    target->Drop(object, 0, point, &effect);
    object->Release();
    EXPECT_EQ(offered, std::vector<std::wstring>{L"CF_UNICODETEXT"}) << "the format menu was shown";
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(Tree().text, before);
}

TEST_F(MainFrame, ChooseFormatDropTakesTheChosenFormatOnlyAndSelectsIt)
{
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'x', 0, 0, 0}));
    IDropTarget* target = m_frame->GetDropArea(true).GetDropTarget();
    DWORD effect = DROPEFFECT_COPY;
    POINTL point = {0, 0};
    target->DragEnter(object, MK_LBUTTON, point, &effect);
    std::vector<std::wstring> offered;
    DuringNextModalLoop([&] {
        offered = MenuTexts();
        // The second item: down twice from nothing selected, then Enter.
        HWND popup = FindPopupMenu();
        for (int i = 0; i < 2; ++i) ::PostMessageW(popup, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageW(popup, WM_KEYDOWN, VK_RETURN, 0);
    });
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(target->Drop(object, 0, point, &effect), S_OK);
    object->Release();
    PumpPending();
    EXPECT_EQ(offered, (std::vector<std::wstring>{L"CF_TEXT", L"CF_UNICODETEXT"}));
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    const TreeItem root = Tree();
    EXPECT_EQ(root.text.rfind(L"ドロップデータ ", 0), 0u);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0].text, L"CF_UNICODETEXT");
    HWND tree = m_frame->GetLeftView().GetSafeHwnd();
    HTREEITEM selected = TreeView_GetSelection(tree);
    ASSERT_TRUE(selected);
    EXPECT_EQ(ReadItem(tree, selected).entry, root.children[0].entry);
    EXPECT_EQ(m_app->GetDocument()->GetOfferedFormats().size(), 2u);
    // Kept in the history by the next paste, the snapshot says how it was taken.
    ASSERT_TRUE(fw::WriteProfileInt(L"Settings", L"KeptSnapshots", 2));
    SetClipboard([](TestDataObject* o) { o->Offer(Fmt(CF_TEXT), GlobalMedium({'b', 0})); });
    Command(ID_EDIT_PASTE);
    const std::vector<CKeptSnapshot>& kept = m_app->GetDocument()->GetKeptSnapshots();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].title, root.text);
    EXPECT_EQ(kept[0].how, L"drop-special");
}

TEST_F(MainFrame, PasteSpecialMenuHasColumnsOfTwentyAndLiteralAmpersands)
{
    SetClipboard([](TestDataObject* o) {
        for (int i = 0; i < 44; ++i)
            o->Offer(Fmt(::RegisterClipboardFormatW((L"Orvetta Format " + std::to_wstring(i)).c_str())),
                     GlobalMedium({uint8_t(i)}));
        o->Offer(Fmt(::RegisterClipboardFormatW(L"Rock & Roll")), GlobalMedium({1, 2, 3}));
    });
    std::vector<UINT> breaks;
    std::wstring last;
    int count = 0;
    DuringNextModalLoop([&] {
        HWND popup = FindPopupMenu();
        HMENU menu = popup ? reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0)) : nullptr;
        if (menu) {
            count = ::GetMenuItemCount(menu);
            for (int i = 0; i < count; ++i)
                if (::GetMenuState(menu, i, MF_BYPOSITION) & MF_MENUBARBREAK) breaks.push_back(i);
            wchar_t text[128] = {};
            ::GetMenuStringW(menu, count - 1, text, 128, MF_BYPOSITION);
            last = text;
        }
        ::EndMenu();
    });
    const std::wstring before = WindowText(m_frame->GetSafeHwnd());
    Command(ID_EDIT_PASTE_SPECIAL);
    EXPECT_EQ(count, 45);
    EXPECT_EQ(breaks, (std::vector<UINT>{20, 40}));
    EXPECT_EQ(last, L"\"Rock && Roll\"");
    // Dismissed: title and snapshot stay.
    EXPECT_EQ(WindowText(m_frame->GetSafeHwnd()), before);
    EXPECT_EQ(Tree().image, -1);
}

TEST_F(MainFrame, PasteSpecialOfFileContentsTakesTheWideDescriptorFirstAndSelectsIt)
{
    const UINT contents = ::RegisterClipboardFormatW(L"FileContents");
    SetClipboard([&](TestDataObject* o) {
        o->Offer(Fmt(::RegisterClipboardFormatW(L"FileGroupDescriptor")), GlobalMedium(std::vector<uint8_t>(4)));
        o->Offer(Fmt(::RegisterClipboardFormatW(L"FileGroupDescriptorW")), GlobalMedium(std::vector<uint8_t>(4)));
        o->Offer(Fmt(contents, TYMED_ISTREAM, DVASPECT_CONTENT, -1), FailingMedium());
    });
    DuringNextModalLoop([] {
        // The third item: down three times from nothing selected, then Enter.
        HWND popup = FindPopupMenu();
        for (int i = 0; i < 3; ++i) ::PostMessageW(popup, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageW(popup, WM_KEYDOWN, VK_RETURN, 0);
    });
    HintCounter counter;
    m_app->GetDocument()->AddView(&counter);
    Command(ID_EDIT_PASTE_SPECIAL);
    m_app->GetDocument()->RemoveView(&counter);
    // Selecting the first entry tells the views once: the pages are built once.
    EXPECT_EQ(counter.m_showEntry, 1);
    TreeItem root = Tree();
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].text, L"CFSTR_FILEDESCRIPTORW");
    EXPECT_EQ(root.children[1].text, L"CFSTR_FILECONTENTS");
    EXPECT_EQ(root.children[1].image, 0);
    // The first entry is selected.
    HWND tree = m_frame->GetLeftView().GetSafeHwnd();
    HTREEITEM selected = TreeView_GetSelection(tree);
    ASSERT_TRUE(selected);
    EXPECT_EQ(ReadItem(tree, selected).text, L"CFSTR_FILEDESCRIPTORW");
    EXPECT_EQ(m_app->GetDocument()->GetOfferedFormats().size(), 3u);
}

TEST_F(MainFrame, OutOfMemoryLeavesNoSnapshotAndSaysSo)
{
    // Dropped rather than pasted, so that the exception leaves through our own code only
    // (the system's clipboard code does not expect exceptions from a source).
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_TEXT), [](const FORMATETC&, STGMEDIUM*) -> HRESULT { throw std::bad_alloc(); });
    DropOnArea(object);
    object->Release();
    PumpPending();
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::wstring>{L"メモリが足りません。"});
    EXPECT_FALSE(m_app->GetDocument()->GetSnapshot());
    EXPECT_EQ(Tree().image, -1);
    EXPECT_EQ(m_app->GetDocument()->GetOfferedFormats(), std::vector<std::wstring>{L"CF_TEXT"});
    EXPECT_TRUE(::IsWindowEnabled(m_frame->GetSafeHwnd()));
}

TEST_F(MainFrame, ClosingSavesThePlacementAndTheNextStartRestoresIt)
{
    HWND frame = m_frame->GetSafeHwnd();
    ::ShowWindow(frame, SW_SHOWNORMAL);
    ::MoveWindow(frame, 40, 30, 700, 500, TRUE);
    m_frame->GetSplitter().SetColumnWidth(260);
    ::SendMessageW(frame, WM_CLOSE, 0, 0);
    PumpPending();
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Initialized", 0), 1);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Left", -1), 40);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Top", -1), 30);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Right", -1), 740);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Bottom", -1), 530);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Maximized", -1), 0);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Iconic", -1), 0);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"LeftPaneWidth", -1), 260);
    m_app->ExitInstance();
    m_app.reset();

    m_app = std::make_unique<CKaviloApp>();
    ASSERT_TRUE(m_app->InitInstance());
    m_frame = m_app->GetMainFrame();
    RECT r;
    ::GetWindowRect(m_frame->GetSafeHwnd(), &r);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.right, 740);
    EXPECT_EQ(m_frame->GetSplitter().GetColumnWidth(), 260);
}

// The tree pane keeps the width last seen before the window was minimised.
TEST_F(MainFrame, ClosingWhileMinimisedStoresIconicTheNormalRectangleAndThePaneWidth)
{
    HWND frame = m_frame->GetSafeHwnd();
    ::ShowWindow(frame, SW_SHOWNORMAL);
    ::MoveWindow(frame, 50, 60, 600, 400, TRUE);
    m_frame->GetSplitter().SetColumnWidth(230);
    ::ShowWindow(frame, SW_MINIMIZE);
    PumpPending();
    ::SendMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Iconic", -1), 1);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Maximized", -1), 0);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Left", -1), 50);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Right", -1), 650);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"LeftPaneWidth", -1), 230);
}

using GetWindowPlacementFunction = BOOL(WINAPI*)(HWND, WINDOWPLACEMENT*);
GetWindowPlacementFunction g_getWindowPlacement = nullptr;

// GetWindowPlacement as Windows answers it for a minimised window whose minimised
// position was set.
BOOL WINAPI PlacementWithMinPosition(HWND hwnd, WINDOWPLACEMENT* placement)
{
    if (!g_getWindowPlacement(hwnd, placement)) return FALSE;
    if (placement->showCmd == SW_SHOWMINIMIZED) placement->flags |= WPF_SETMINPOSITION;
    return TRUE;
}

// Restored to maximized is saved from its own flag; WPF_SETMINPOSITION says nothing of it.
TEST_F(MainFrame, MinimisedFromMaximisedIsSavedAsMaximisedAndOtherFlagsAreNot)
{
    HWND frame = m_frame->GetSafeHwnd();
    ::ShowWindow(frame, SW_SHOWNORMAL);
    ::ShowWindow(frame, SW_MAXIMIZE);
    ::ShowWindow(frame, SW_MINIMIZE);
    PumpPending();
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    ASSERT_TRUE(::GetWindowPlacement(frame, &placement));
    ASSERT_TRUE(placement.flags & WPF_RESTORETOMAXIMIZED);
    ::SendMessageW(frame, WM_QUERYENDSESSION, 0, 0);  // saves the state, as closing does
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Iconic", -1), 1);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Maximized", -1), 1);

    ::ShowWindow(frame, SW_RESTORE);
    ::ShowWindow(frame, SW_RESTORE);
    placement.flags = WPF_SETMINPOSITION;
    placement.showCmd = SW_SHOWMINIMIZED;
    placement.ptMinPosition = {10, 10};
    placement.rcNormalPosition = {50, 60, 650, 460};
    ASSERT_TRUE(::SetWindowPlacement(frame, &placement));
    PumpPending();
    ASSERT_TRUE(::GetWindowPlacement(frame, &placement));
    // Windows reports the flag back; where the system does not (Wine), the frame is given
    // the placement Windows would report.
    std::optional<ImportPatch> patch;
    if (!(placement.flags & WPF_SETMINPOSITION)) {
        patch.emplace("user32.dll", "GetWindowPlacement", reinterpret_cast<void*>(&PlacementWithMinPosition));
        ASSERT_TRUE(patch->Applied());
        g_getWindowPlacement = reinterpret_cast<GetWindowPlacementFunction>(patch->Original());
    }
    ::SendMessageW(frame, WM_QUERYENDSESSION, 0, 0);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Iconic", -1), 1);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Maximized", -1), 0);
}

// A window narrower than the set pane width shows less of the tree: that is what is saved.
TEST_F(MainFrame, SavedPaneWidthIsTheWidthShown)
{
    HWND frame = m_frame->GetSafeHwnd();
    ::ShowWindow(frame, SW_SHOWNORMAL);
    ::MoveWindow(frame, 40, 30, 700, 500, TRUE);
    m_frame->GetSplitter().SetColumnWidth(600);
    ::MoveWindow(frame, 40, 30, 300, 500, TRUE);
    PumpPending();
    RECT pane;
    ::GetWindowRect(m_frame->GetLeftView().GetSafeHwnd(), &pane);
    ASSERT_LT(pane.right - pane.left, 300);
    ::SendMessageW(frame, WM_CLOSE, 0, 0);
    PumpPending();
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"LeftPaneWidth", -1), pane.right - pane.left);
}

// The main window closed during a capture (taskbar, end of session) stays until the
// capture has stopped, keeping what was taken, and closes then.
TEST_F(MainFrame, ClosingDuringACaptureStopsItAndThenCloses)
{
    HWND frame = m_frame->GetSafeHwnd();
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_TEXT), [frame](const FORMATETC& asked, STGMEDIUM* medium) {
        ::PostMessageW(frame, WM_CLOSE, 0, 0);
        return GlobalMedium({'a', 0})(asked, medium);
    });
    object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'b', 0, 0, 0}));
    DropOnArea(object);
    // The frame outlived the capture, which stopped before the second format.
    const std::shared_ptr<CCBDataArray> snapshot = m_app->GetDocument()->GetSnapshot();
    ASSERT_TRUE(snapshot);
    ASSERT_EQ(snapshot->size(), 1u);
    EXPECT_EQ(snapshot->at(0)->m_fmt.cfFormat, CF_TEXT);
    for (const FORMATETC& asked : object->Requests()) EXPECT_NE(asked.cfFormat, CF_UNICODETEXT);
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::wstring>{L"中止しました。"});
    object->Release();
    EXPECT_TRUE(::IsWindow(frame));
    PumpPending();
    EXPECT_FALSE(::IsWindow(frame));
}

// At the end of the session the state is saved and the temporary files go, as at exit.
TEST_F(MainFrame, EndOfSessionSavesTheStateAndRemovesTheTemporaryFiles)
{
    SetClipboard([](TestDataObject* o) { o->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 'b', 0})); });
    Command(ID_EDIT_PASTE);
    ASSERT_TRUE(m_app->GetDocument()->GetSnapshot());
    const std::wstring folder = TheTempStore().m_tempFolder;
    ASSERT_FALSE(ListNames(folder, L"*.cvtmp").empty());
    HWND frame = m_frame->GetSafeHwnd();
    ::ShowWindow(frame, SW_SHOWNORMAL);
    EXPECT_EQ(::SendMessageW(frame, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    ::SendMessageW(frame, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Initialized", 0), 1);
    EXPECT_FALSE(m_app->GetDocument()->GetSnapshot());
    EXPECT_FALSE(DirectoryExists(folder));
}

// The pane that had the focus gets it back when the window is activated again.
TEST_F(MainFrame, ReactivationGivesTheFocusBackToThePaneThatHadIt)
{
    HWND frame = m_frame->GetSafeHwnd();
    ::ShowWindow(frame, SW_SHOWNORMAL);
    ::SetActiveWindow(frame);
    HWND host = m_frame->GetKaviloView().GetSafeHwnd();
    ::SetFocus(m_frame->GetLeftView().GetSafeHwnd());
    Command(ID_NEXT_PANE);
    HWND focused = ::GetFocus();
    ASSERT_TRUE(focused == host || ::IsChild(host, focused));
    HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                   nullptr, nullptr, nullptr);
    ::SetActiveWindow(other);
    PumpPending();
    ASSERT_NE(::GetActiveWindow(), frame);
    ::SetActiveWindow(frame);
    PumpPending();
    EXPECT_EQ(::GetFocus(), focused);
    ::DestroyWindow(other);
}

TEST_F(MainFrame, StoredZeroPaneWidthMeansTwoHundred)
{
    m_app->ExitInstance();
    m_app.reset();
    fw::WriteProfileInt(L"Frame", L"LeftPaneWidth", 0);
    m_app = std::make_unique<CKaviloApp>();
    ASSERT_TRUE(m_app->InitInstance());
    m_frame = m_app->GetMainFrame();
    EXPECT_EQ(m_frame->GetSplitter().GetColumnWidth(), 200);
}

TEST_F(MainFrame, DeleteSettingsAskedAndCancelledChangesNothing)
{
    fw::WriteProfileInt(L"Settings", L"SubDirSizeLimit", 64);
    m_boxes.SetAnswer(IDCANCEL);
    Command(ID_DELETE_SETTINGS_AND_EXIT);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text,
              L"Orvettaの設定をレジストリから削除して終了します。\r\n\r\nアンインストールする場合はKavilo."
              L"exeファイルを別途削除してください。");
    EXPECT_EQ(m_boxes.Boxes()[0].type, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_TRUE(::IsWindow(m_frame->GetSafeHwnd()));
    EXPECT_FALSE(m_app->m_deleteSettingsOnExit);
}

TEST_F(MainFrame, DeleteSettingsConfirmedClosesAndLeavesNoKey)
{
    m_boxes.SetAnswer(IDOK);
    Command(ID_DELETE_SETTINGS_AND_EXIT);
    EXPECT_FALSE(::IsWindow(m_frame->GetSafeHwnd()));  // closed, saving its placement first
    m_app->ExitInstance();
    m_app.reset();
    HKEY key = nullptr;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Orvetta", 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST_F(MainFrame, F6MovesTheFocusBetweenTheTreeAndTheViewerHost)
{
    HWND tree = m_frame->GetLeftView().GetSafeHwnd();
    HWND host = m_frame->GetKaviloView().GetSafeHwnd();
    ::SetFocus(tree);
    Command(ID_NEXT_PANE);
    HWND focus = ::GetFocus();
    EXPECT_TRUE(focus == host || ::IsChild(host, focus));
    Command(ID_PREV_PANE);
    EXPECT_EQ(::GetFocus(), tree);
}

TEST_F(MainFrame, TheWheelGoesToTheWindowUnderTheCursorNotTheFocus)
{
    static HWND wheeled;
    wheeled = nullptr;  // each run of the test starts afresh
    HHOOK hook = ::SetWindowsHookExW(
        WH_CALLWNDPROC,
        [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
            const auto* call = reinterpret_cast<CWPSTRUCT*>(lParam);
            if (code == HC_ACTION && call->message == WM_MOUSEWHEEL && !wheeled) wheeled = call->hwnd;
            return ::CallNextHookEx(nullptr, code, wParam, lParam);
        },
        nullptr, ::GetCurrentThreadId());
    ASSERT_TRUE(hook);
    HWND frame = m_frame->GetSafeHwnd();
    ::ShowWindow(frame, SW_SHOWNORMAL);
    ::MoveWindow(frame, 0, 0, 800, 600, TRUE);
    ::SetForegroundWindow(frame);
    PumpPending();
    HWND tree = m_frame->GetLeftView().GetSafeHwnd();
    ::SetFocus(m_frame->GetKaviloView().GetSafeHwnd());
    RECT r;
    ::GetWindowRect(tree, &r);
    MSG msg = {};
    msg.hwnd = ::GetFocus();
    msg.message = WM_MOUSEWHEEL;
    msg.wParam = MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA));
    msg.lParam = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    EXPECT_TRUE(m_app->PreTranslateMessage(msg));
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(wheeled, tree);
}

TEST_F(MainFrame, DropAreaCaptionIsPaintedCentredOnItsColour)
{
    HWND frame = m_frame->GetSafeHwnd();
    ::ShowWindow(frame, SW_SHOWNORMAL);
    ::SetWindowPos(frame, HWND_TOP, 0, 0, 800, 600, SWP_SHOWWINDOW);
    HWND area = m_frame->GetDropArea(false).GetSafeHwnd();
    ::InvalidateRect(area, nullptr, TRUE);
    ::UpdateWindow(area);
    PumpPending();
    RECT client;
    ::GetClientRect(area, &client);
    HDC dc = ::GetDC(area);
    // The bounding box of the caption's dark pixels.
    int left = client.right, right = -1, top = client.bottom, bottom = -1, background = 0;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            const COLORREF c = ::GetPixel(dc, x, y);
            if (c == RGB(255, 252, 244)) ++background;
            if (GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    ::ReleaseDC(area, dc);
    ASSERT_GE(right, 0) << "no caption painted";
    EXPECT_GT(background, client.right * client.bottom / 2);
    // Centred as a block: the margins on either side differ by a few pixels at most
    // (glyph side bearings and the integer halving).
    EXPECT_LE(std::abs(left - (client.right - 1 - right)), 4) << left << " " << right;
    EXPECT_LE(std::abs(top - (client.bottom - 1 - bottom)), 6) << top << " " << bottom;
}

TEST_F(MainFrame, SelectingItemsShowsTheirPropertiesAndTheSetDefaultCommandStoresTheTab)
{
    SetClipboard([](TestDataObject* o) {
        o->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'h', 0, 'i', 0, 0, 0}));
        o->Offer(Fmt(CF_TEXT), GlobalMedium({'h', 'i', 0}));
    });
    Command(ID_EDIT_PASTE);
    HWND tree = m_frame->GetLeftView().GetSafeHwnd();
    HWND list = ::GetDlgItem(m_frame->GetKaviloView().GetPropertyPage().GetSafeHwnd(), 1005);
    HTREEITEM root = TreeView_GetRoot(tree);
    HTREEITEM first = TreeView_GetChild(tree, root);
    ASSERT_TRUE(first);

    TreeView_SelectItem(tree, first);
    PumpPending();
    auto rows = ListRows(list);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], std::make_pair(std::wstring(L"フォーマット"), std::wstring(L"CF_UNICODETEXT (13)")));
    EXPECT_EQ(m_frame->GetKaviloView().GetTabCaptions()[0], L"プロパティ");

    // Text opens on the text tab: the command makes it the default for CF_UNICODETEXT.
    CKaviloPropertyPage* active = m_frame->GetKaviloView().GetActivePage();
    ASSERT_TRUE(active);
    EXPECT_EQ(active->GetCaption(), L"テキスト");
    Command(ID_SET_DEFAULT_VIEW);
    EXPECT_EQ(fw::GetProfileString(L"FormatsDefaultViewTab", L"CF_UNICODETEXT", L""), L"TEXT");

    TreeView_SelectItem(tree, root);
    PumpPending();
    rows = ListRows(list);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], std::make_pair(std::wstring(L"フォーマット"), std::wstring(L"CF_UNICODETEXT")));
    EXPECT_EQ(rows[1], std::make_pair(std::wstring(), std::wstring(L"CF_TEXT")));
    // Then who put the data there: this process, through the OLE clipboard's window.
    EXPECT_EQ(rows[2].first, L"所有者");
    EXPECT_EQ(rows[3], std::make_pair(std::wstring(L"所有者のプロセス ID"), std::to_wstring(::GetCurrentProcessId())));
    EXPECT_EQ(rows[4].first, L"所有者のウィンドウ クラス");
    // With the root shown, the command has no entry to store a tab for.
    fw::DeleteAppRegistryKey();
    Command(ID_SET_DEFAULT_VIEW);
    HKEY key = nullptr;
    EXPECT_NE(
        ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Orvetta\\Orvetta\\FormatsDefaultViewTab", 0, KEY_READ, &key),
        ERROR_SUCCESS);
}

// Counts the WM_SYSCOLORCHANGE messages one window receives.
class SysColorChangeCounter {
public:
    explicit SysColorChangeCounter(HWND hwnd) : m_hwnd(hwnd)
    {
        ::SetWindowSubclass(hwnd, &Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~SysColorChangeCounter() { ::RemoveWindowSubclass(m_hwnd, &Proc, 1); }
    int m_count = 0;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self)
    {
        if (msg == WM_SYSCOLORCHANGE) ++reinterpret_cast<SysColorChangeCounter*>(self)->m_count;
        return ::DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    HWND m_hwnd;
};

// The system tells only top-level windows that its colours changed; the pages that paint
// in them hear it from the main window.
TEST_F(MainFrame, SystemColourChangeReachesTheTextAndHexPages)
{
    SetClipboard([](TestDataObject* o) {
        o->Offer(Fmt(CF_TEXT), GlobalMedium({'h', 'i', 0}));
        o->Offer(Fmt(static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(L"Orvetta Test Bytes"))),
                 GlobalMedium({1, 2, 3}));
    });
    Command(ID_EDIT_PASTE);
    HWND frame = m_frame->GetSafeHwnd();
    HWND tree = m_frame->GetLeftView().GetSafeHwnd();
    HTREEITEM text = TreeView_GetChild(tree, TreeView_GetRoot(tree));
    ASSERT_TRUE(text);
    TreeView_SelectItem(tree, text);
    PumpPending();
    CKaviloPropertyPage* page = m_frame->GetKaviloView().GetActivePage();
    ASSERT_TRUE(page && page->GetCaption() == L"テキスト");
    {
        SysColorChangeCounter textPage(page->GetSafeHwnd());
        ::SendMessageW(frame, WM_SYSCOLORCHANGE, 0, 0);
        EXPECT_EQ(textPage.m_count, 1);
    }
    TreeView_SelectItem(tree, TreeView_GetNextSibling(tree, text));
    PumpPending();
    HWND hex = nullptr;
    ::EnumChildWindows(
        frame,
        [](HWND child, LPARAM found) {
            wchar_t name[64] = {};
            ::GetClassNameW(child, name, 64);
            if (std::wstring(name) == L"OrvettaHexView") *reinterpret_cast<HWND*>(found) = child;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&hex));
    ASSERT_TRUE(hex);
    SysColorChangeCounter hexView(hex);
    ::SendMessageW(frame, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(hexView.m_count, 1);
}

TEST_F(MainFrame, ClosingStoresThePropertyListColumnWidths)
{
    HWND list = ::GetDlgItem(m_frame->GetKaviloView().GetPropertyPage().GetSafeHwnd(), 1005);
    ListView_SetColumnWidth(list, 0, 111);
    ListView_SetColumnWidth(list, 1, 222);
    ::SendMessageW(m_frame->GetSafeHwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"PropCol0", -1), 111);
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"PropCol1", -1), 222);
}

// A hit of the snapshot-wide find, once chosen: its entry is selected in the tree and its
// HEX page comes to the front with the match selected.
TEST_F(MainFrame, AChosenFindHitSelectsItsEntryAndTheMatchInTheHexPage)
{
    SetClipboard([](TestDataObject* o) {
        o->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'h', 0, 'i', 0, 0, 0}));
        o->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Find")),
                 GlobalMedium({'x', 'x', 'n', 'e', 'e', 'd', 'l', 'e'}));
    });
    Command(ID_EDIT_PASTE);
    FindQuery query;
    query.text = L"needle";
    std::vector<SnapshotFindHit> hits;
    std::wstring error;
    ASSERT_TRUE(FindInSnapshot(
        *m_app->GetDocument()->GetSnapshot(), query, 0, [&hits](const SnapshotFindHit& hit) { hits.push_back(hit); },
        {}, error));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].offset, 2u);
    EXPECT_EQ(hits[0].encoding, L"UTF-8");
    ASSERT_TRUE(m_frame->ShowFindHit(hits[0]));
    EXPECT_EQ(m_frame->GetLeftView().GetSelectedEntry(), hits[0].path.back());
    auto* hex = dynamic_cast<CHexViewDialog*>(m_frame->GetKaviloView().GetActivePage());
    ASSERT_TRUE(hex);
    EXPECT_EQ(hex->GetHexView().GetSelectedByteRange().begin, 2u);
    EXPECT_EQ(hex->GetHexView().GetSelectedByteRange().end, 8u);
    EXPECT_EQ(::GetFocus(), hex->GetHexView().GetSafeHwnd());

    // An entry the tree does not hold is not shown.
    CCBData other;
    SnapshotFindHit gone = hits[0];
    gone.path = {&other};
    EXPECT_FALSE(m_frame->ShowFindHit(gone));

    // The same through the window: search, then 表示 on the first hit.
    ASSERT_TRUE(m_frame->GetLeftView().SelectEntry((*m_app->GetDocument()->GetSnapshot())[0].get()));
    using testing_support::ModalScript;
    std::wstring status;
    ModalScript driver([] { return ModalScript::FindDialog(L"スナップショット内を検索"); },
                       [&status](HWND dialog) {
                           auto click = [dialog](int id) {
                               ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                              reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
                           };
                           ::SetDlgItemTextW(dialog, IDC_FIND_TEXT, L"EDL");
                           ::CheckDlgButton(dialog, IDC_FIND_IGNORE_CASE, BST_CHECKED);
                           click(IDOK);
                           status = testing_support::WindowText(::GetDlgItem(dialog, IDC_SNAPSHOT_FIND_STATUS));
                           click(IDC_SNAPSHOT_FIND_SHOW);
                       });
    Command(ID_EDIT_FIND_IN_SNAPSHOT);
    EXPECT_TRUE(driver.Ran());
    EXPECT_EQ(status, L"1 件見つかりました。");
    EXPECT_EQ(m_frame->GetLeftView().GetSelectedEntry(), hits[0].path.back());
    hex = dynamic_cast<CHexViewDialog*>(m_frame->GetKaviloView().GetActivePage());
    ASSERT_TRUE(hex);
    EXPECT_EQ(hex->GetHexView().GetSelectedByteRange().begin, 4u);  // "xxneedle"
    EXPECT_EQ(hex->GetHexView().GetSelectedByteRange().end, 7u);
}
