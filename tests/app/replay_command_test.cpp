// Replay from the main window: the command puts the snapshot (or the selected entry) back
// on the clipboard, the tree's drag offers it to a drop target, and what the target
// wrote shows under the root.
#include "app/KaviloApp.h"
#include "app/KaviloDoc.h"
#include "capture/CBData.h"
#include "capture/bytes/DropEffect.h"
#include "framework/Clipboard.h"
#include "framework/MessageBox.h"
#include "framework/OleDropTarget.h"
#include "framework/Profile.h"
#include "res/replay_resource.h"
#include "res/resource.h"
#include "tests/ControlReading.h"
#include "tests/app/AppFixture.h"
#include "tests/TestDataObject.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace testing_support;

namespace {

std::vector<HTREEITEM> Children(HWND tree, HTREEITEM item)
{
    std::vector<HTREEITEM> children;
    for (HTREEITEM child = TreeView_GetChild(tree, item); child; child = TreeView_GetNextSibling(tree, child))
        children.push_back(child);
    return children;
}

std::vector<UINT> ClipboardFormats()
{
    std::vector<UINT> formats;
    fw::ComPtr<IDataObject> clipboard;
    fw::ComPtr<IEnumFORMATETC> formatsEnum;
    if (FAILED(::OleGetClipboard(&clipboard)) || FAILED(clipboard->EnumFormatEtc(DATADIR_GET, &formatsEnum)))
        return formats;
    FORMATETC fmt;
    while (formatsEnum->Next(1, &fmt, nullptr) == S_OK) formats.push_back(fmt.cfFormat);
    return formats;
}

// A drop target as a program under test would be: it reads the text and writes back
// the effect it performed.
class TextTarget : public fw::COleDropTarget {
public:
    DWORD OnDragEnter(HWND, COleDataObject*, DWORD, POINT) override { return DROPEFFECT_COPY; }
    DWORD OnDragOver(HWND, COleDataObject*, DWORD, POINT) override { return DROPEFFECT_COPY; }
    bool OnDrop(HWND, COleDataObject* data, DWORD, POINT) override
    {
        FORMATETC fmt = Fmt(CF_UNICODETEXT);
        fw::StgMedium medium;
        if (!data->GetData(CF_UNICODETEXT, &medium, &fmt)) return false;
        fw::GlobalLockView view(medium->hGlobal);
        m_text = view.As<const wchar_t>();
        const DWORD performed = DROPEFFECT_COPY;
        FORMATETC effect = Fmt(::RegisterClipboardFormatW(L"Performed DropEffect"));
        STGMEDIUM written = {};
        written.tymed = TYMED_HGLOBAL;
        written.hGlobal = ::GlobalAlloc(GMEM_MOVEABLE, sizeof performed);
        *static_cast<DWORD*>(::GlobalLock(written.hGlobal)) = performed;
        ::GlobalUnlock(written.hGlobal);
        m_written = data->GetIDataObject()->SetData(&effect, &written, TRUE);
        if (FAILED(m_written)) ::ReleaseStgMedium(&written);
        return true;
    }
    std::wstring m_text;
    HRESULT m_written = E_FAIL;
};

class ReplayCommand : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        if (HasFatalFailure()) return;
        m_tree = m_frame->GetLeftView().GetSafeHwnd();
        TestDataObject* object = TestDataObject::Create();
        object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'h', 0, 'i', 0, 0, 0}));
        object->Offer(Fmt(m_html), GlobalMedium({'<', 'p', '>', 0}));
        ASSERT_EQ(SetOleClipboard(object), S_OK);
        object->Release();
        Command(ID_EDIT_PASTE);
        // The source goes away; only the snapshot is left.
        ASSERT_EQ(SetOleClipboard(nullptr), S_OK);
    }

    const UINT m_html = ::RegisterClipboardFormatW(L"HTML Format");
    HWND m_tree = nullptr;
};

}  // namespace

TEST_F(ReplayCommand, PutsTheSnapshotOrTheSelectedEntryBackOnTheClipboard)
{
    HMENU menu = ::GetMenu(m_frame->GetSafeHwnd());
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, ID_EDIT_REPLAY, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"クリップボードに戻す(&R)");

    EXPECT_TRUE(ClipboardFormats().empty());
    TreeView_SelectItem(m_tree, TreeView_GetRoot(m_tree));
    Command(ID_EDIT_REPLAY);
    EXPECT_EQ(ClipboardFormats(), (std::vector<UINT>{CF_UNICODETEXT, m_html}));
    // A program that pastes gets the captured bytes.
    fw::ComPtr<IDataObject> clipboard;
    ASSERT_EQ(::OleGetClipboard(&clipboard), S_OK);
    FORMATETC fmt = Fmt(CF_UNICODETEXT);
    fw::StgMedium medium;
    ASSERT_EQ(clipboard->GetData(&fmt, &medium), S_OK);
    EXPECT_STREQ(fw::GlobalLockView(medium->hGlobal).As<const wchar_t>(), L"hi");
    medium.Reset();
    // A paste handler reports back through the clipboard's data object.
    const DWORD pasted = DROPEFFECT_COPY;
    FORMATETC succeeded = Fmt(::RegisterClipboardFormatW(L"Paste Succeeded"));
    STGMEDIUM written = {};
    written.tymed = TYMED_HGLOBAL;
    written.hGlobal = fw::GlobalFromBytes(&pasted, sizeof pasted).Release();
    const HRESULT set = clipboard->SetData(&succeeded, &written, TRUE);
    if (FAILED(set)) {
        ::ReleaseStgMedium(&written);
        // Wine's clipboard data object answers SetData with E_NOTIMPL instead of passing it
        // on to the data object it wraps; the write-back is checked on a drag instead.
        std::printf("note: SetData through OleGetClipboard's object gave 0x%08lX here\n",
                    static_cast<unsigned long>(set));
        EXPECT_FALSE(m_app->GetDocument()->GetWriteBack());
    } else {
        ASSERT_TRUE(m_app->GetDocument()->GetWriteBack());
        const std::vector<HTREEITEM> items = Children(m_tree, TreeView_GetRoot(m_tree));
        ASSERT_EQ(items.size(), 3u);
        EXPECT_EQ(TreeItemText(m_tree, items[2]), L"ターゲットが設定したデータ");
    }
    clipboard.Reset();

    const std::vector<HTREEITEM> entries = Children(m_tree, TreeView_GetRoot(m_tree));
    ASSERT_GE(entries.size(), 2u);
    TreeView_SelectItem(m_tree, entries[1]);
    Command(ID_EDIT_REPLAY);
    EXPECT_EQ(ClipboardFormats(), std::vector<UINT>{m_html});

    // At exit what can be kept stays on the clipboard without the program.
    m_app->ExitInstance();
    m_app.reset();
    ASSERT_TRUE(OpenClipboardPatiently());
    HANDLE kept = ::GetClipboardData(m_html);
    ASSERT_TRUE(kept);
    EXPECT_STREQ(static_cast<const char*>(fw::GlobalLockView(kept).Data()), "<p>");
    ::CloseClipboard();
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// What a target writes into the data of a snapshot that has since been replaced belongs
// to that snapshot: it does not show under the new one.
TEST_F(ReplayCommand, WritesIntoAReplacedSnapshotsDataAreNotShownUnderTheNextOne)
{
    TreeView_SelectItem(m_tree, TreeView_GetRoot(m_tree));
    Command(ID_EDIT_REPLAY);
    const fw::ComPtr<CReplayDataObject> offered = m_app->GetDocument()->GetClipboardReplay();
    ASSERT_TRUE(offered);
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    DropOnArea(object);
    object->Release();
    ASSERT_EQ(Children(m_tree, TreeView_GetRoot(m_tree)).size(), 1u);

    const DWORD pasted = DROPEFFECT_COPY;
    FORMATETC succeeded = Fmt(::RegisterClipboardFormatW(L"Paste Succeeded"));
    STGMEDIUM written = {};
    written.tymed = TYMED_HGLOBAL;
    written.hGlobal = fw::GlobalFromBytes(&pasted, sizeof pasted).Release();
    ASSERT_EQ(offered->SetData(&succeeded, &written, TRUE), S_OK);
    PumpPending();
    EXPECT_FALSE(m_app->GetDocument()->GetWriteBack());
    EXPECT_EQ(Children(m_tree, TreeView_GetRoot(m_tree)).size(), 1u);
}

TEST_F(ReplayCommand, TheTreesDragDeliversTheSnapshotAndShowsWhatTheTargetWrote)
{
    // A drop target of the program under test, where the cursor is. (A static control
    // would be transparent to the hit test.)
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"OrvettaTestDropTarget";
    ::RegisterClassW(&windowClass);
    HWND target = ::CreateWindowExW(0, windowClass.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 300, 200, 100, 100,
                                    m_frame->GetSafeHwnd(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(target);
    ::SetWindowPos(target, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    TextTarget dropTarget;
    ASSERT_TRUE(dropTarget.Register(target));
    RECT r;
    ::GetWindowRect(target, &r);
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PumpPending();

    // The tree reports a drag of its root; the button is already up, so it drops at once.
    NMTREEVIEWW drag = {};
    drag.hdr.hwndFrom = m_tree;
    drag.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(m_tree));
    drag.hdr.code = TVN_BEGINDRAGW;
    drag.itemNew.hItem = TreeView_GetRoot(m_tree);
    drag.itemNew.lParam = 0;
    ::SendMessageW(::GetParent(m_tree), WM_NOTIFY, drag.hdr.idFrom, reinterpret_cast<LPARAM>(&drag));
    PumpPending();
    dropTarget.Revoke();
    ::DestroyWindow(target);
    ASSERT_EQ(dropTarget.m_text, L"hi");
    EXPECT_EQ(dropTarget.m_written, S_OK);
    const std::vector<HTREEITEM> items = Children(m_tree, TreeView_GetRoot(m_tree));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(TreeItemText(m_tree, items[2]), L"ターゲットが設定したデータ");
    const std::vector<HTREEITEM> writes = Children(m_tree, items[2]);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(TreeItemText(m_tree, writes[0]), L"CFSTR_PERFORMEDDROPEFFECT");
    const std::shared_ptr<CCBData>& writeBack = m_app->GetDocument()->GetWriteBack();
    ASSERT_TRUE(writeBack);
    EXPECT_EQ(writeBack->m_properties, std::vector<std::wstring>{L"ドロップ効果\tDROPEFFECT_COPY (1)"});
    const CCBData& performed = *(*writeBack->m_children)[0];
    EXPECT_EQ(performed.m_properties, std::vector<std::wstring>{L"ドロップ効果\tDROPEFFECT_COPY (1)"});
    std::vector<BYTE> bytes;
    ASSERT_TRUE(performed.ReadData(bytes));
    EXPECT_EQ(bytes, (std::vector<BYTE>{1, 0, 0, 0}));
}

TEST_F(ReplayCommand, AnEntryDroppedOnTheProgramsOwnDropAreaIsCapturedAgain)
{
    // The drop replaces the snapshot the drag is serving from; the data object keeps it.
    RECT r;
    ::GetWindowRect(m_frame->GetDropArea(false).GetSafeHwnd(), &r);
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    const std::shared_ptr<CCBDataArray> before = m_app->GetDocument()->GetSnapshot();
    const CCBData* html = (*before)[1].get();
    const fw::DragResult result = m_app->GetDocument()->DragOut(html);
    EXPECT_EQ(result.hr, DRAGDROP_S_DROP);
    EXPECT_EQ(result.effect, static_cast<DWORD>(DROPEFFECT_COPY));
    const std::shared_ptr<CCBDataArray> after = m_app->GetDocument()->GetSnapshot();
    ASSERT_TRUE(after);
    ASSERT_NE(after, before);
    ASSERT_EQ(after->size(), 1u);
    EXPECT_EQ((*after)[0]->m_fmt.cfFormat, m_html);
    std::vector<BYTE> bytes;
    ASSERT_TRUE((*after)[0]->ReadData(bytes));
    EXPECT_EQ(bytes, (std::vector<BYTE>{'<', 'p', '>', 0}));
    EXPECT_EQ(TreeItemText(m_tree, TreeView_GetRoot(m_tree)).rfind(L"ドロップデータ ", 0), 0u);
    // The drag's effect belonged to the snapshot that is gone.
    EXPECT_FALSE(m_app->GetDocument()->GetWriteBack());
    EXPECT_EQ(Children(m_tree, TreeView_GetRoot(m_tree)).size(), 1u);
}

// A drag offers what the source of a dropped snapshot allowed, kept in its file too; a
// clipboard capture is offered for copy and link only, so no target moves the files a
// replayed CF_HDROP names.
TEST_F(ReplayCommand, ADragOffersExactlyTheEffectsTheDroppedSourceAllowed)
{
    CKaviloDoc* document = m_app->GetDocument();
    const std::wstring label = L"許可されたドロップ効果\t";
    // The root's rows about effects; a clipboard snapshot's owner rows are not among them.
    auto effectRows = [&] {
        std::vector<std::wstring> rows;
        for (const std::wstring& row : document->GetRootRows())
            if (row.starts_with(label)) rows.push_back(row);
        return rows;
    };
    EXPECT_TRUE(effectRows().empty());
    RECT r;
    ::GetWindowRect(m_frame->GetDropArea(false).GetSafeHwnd(), &r);
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    // Dropped on the program's own drop area, the drag's offer becomes the new snapshot's record.
    auto dragOntoTheDropArea = [&] {
        const fw::DragResult result = document->DragOut(nullptr);
        EXPECT_EQ(result.hr, DRAGDROP_S_DROP);
        return effectRows();
    };
    EXPECT_EQ(dragOntoTheDropArea(),
              std::vector<std::wstring>{label + DropEffectText(DROPEFFECT_COPY | DROPEFFECT_LINK)});

    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    IDropTarget* target = m_frame->GetDropArea(false).GetDropTarget();
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    POINTL point = {0, 0};
    ASSERT_EQ(target->DragEnter(object, MK_LBUTTON, point, &effect), S_OK);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(target->Drop(object, 0, point, &effect), S_OK);
    object->Release();
    const std::vector<std::wstring> moved = {label + DropEffectText(DROPEFFECT_COPY | DROPEFFECT_MOVE)};
    EXPECT_EQ(document->GetRootRows(), moved);

    ScratchDir dir;
    ASSERT_TRUE(document->SaveFile(dir / L"dropped.kavilo"));
    Command(ID_EDIT_PASTE);
    EXPECT_TRUE(effectRows().empty());
    ASSERT_TRUE(document->OpenFile(dir / L"dropped.kavilo"));
    EXPECT_EQ(document->GetRootRows(), moved);
    EXPECT_EQ(dragOntoTheDropArea(), moved);
}
