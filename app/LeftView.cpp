#include "app/LeftView.h"

#include "app/KaviloDoc.h"
#include "capture/CBData.h"
#include "res/resource.h"

#include <vector>

const fw::CRuntimeClass CLeftView::classCLeftView = {"CLeftView", &fw::View::classView};

namespace {

constexpr UINT kStartDrag = WM_APP + 1;

// Whether `entry` lies anywhere below `container`.
bool HoldsEntry(const CCBData& container, const CCBData* entry)
{
    std::vector<const CCBDataArray*> pending;
    if (container.m_children) pending.push_back(container.m_children.get());
    while (!pending.empty()) {
        const CCBDataArray* list = pending.back();
        pending.pop_back();
        for (const std::shared_ptr<CCBData>& child : *list) {
            if (child.get() == entry) return true;
            if (child && child->m_children) pending.push_back(child->m_children.get());
        }
    }
    return false;
}

}  // namespace

CLeftView::~CLeftView()
{
    // The control goes first, so that it no longer refers to the image list.
    DestroyWindow();
    m_images.Reset();
}

bool CLeftView::Create(HWND parent, UINT id)
{
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                        TVS_LINESATROOT | TVS_SHOWSELALWAYS;
    HWND hwnd =
        ::CreateWindowExW(0, WC_TREEVIEWW, L"", style, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (!hwnd || !Subclass(hwnd)) return false;
    m_images.Reset(ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 0, 4));
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    for (UINT icon : {IDI_TREE_FOLDER, IDI_TREE_DOCUMENT, IDI_TREE_PICTURE, IDI_TREE_QUESTION}) {
        fw::UniqueIcon loaded(
            static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(icon), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
        ImageList_AddIcon(m_images.Get(), loaded.Get());
    }
    TreeView_SetImageList(hwnd, m_images.Get(), TVSIL_NORMAL);
    return true;
}

HTREEITEM CLeftView::InsertEntry(const CCBData& entry, HTREEITEM parent)
{
    const std::wstring text = entry.GetDisplayText();
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    // The snapshot keeps the entry alive; the tree is rebuilt whenever it is replaced.
    insert.item.lParam = reinterpret_cast<LPARAM>(&entry);
    insert.item.iImage = insert.item.iSelectedImage = entry.m_treeIcon;
    if (entry.m_children && !entry.m_children->empty()) {
        // The button shows before the children are there: they go in when it is expanded.
        insert.item.mask |= TVIF_CHILDREN;
        insert.item.cChildren = 1;
    }
    return TreeView_InsertItem(m_hwnd, &insert);
}

void CLeftView::AddEntries(const CCBDataArray& snapshot, HTREEITEM parent)
{
    // One level only: a container's children are inserted when it is first expanded, so
    // that a snapshot of a million entries shows at once.
    const bool many = snapshot.size() > 64;
    if (many) ::SendMessageW(m_hwnd, WM_SETREDRAW, FALSE, 0);
    for (const auto& entry : snapshot) InsertEntry(*entry, parent);
    if (many) {
        ::SendMessageW(m_hwnd, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(m_hwnd, nullptr, TRUE);
    }
}

void CLeftView::AddChildrenOnce(HTREEITEM item)
{
    if (TreeView_GetChild(m_hwnd, item)) return;  // expanded before, or filled by its owner
    TVITEMW tv = {};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    if (!TreeView_GetItem(m_hwnd, &tv) || !tv.lParam) return;
    const auto* entry = reinterpret_cast<const CCBData*>(tv.lParam);
    if (entry->m_children) AddEntries(*entry->m_children, item);
}

void CLeftView::ShowWriteBack()
{
    auto* document = static_cast<CKaviloDoc*>(GetDocument());
    HTREEITEM root = TreeView_GetRoot(m_hwnd);
    if (!document || !root || !document->GetWriteBack()) return;
    const CCBData& writeBack = *document->GetWriteBack();
    if (!m_writeBackItem) {
        m_writeBackItem = InsertEntry(writeBack, root);
        m_writeBackShown = 0;
    }
    // Writes are only ever added, and the document keeps every one until the snapshot goes.
    const CCBDataArray& writes = *writeBack.m_children;
    for (; m_writeBackShown < writes.size(); ++m_writeBackShown)
        InsertEntry(*writes[m_writeBackShown], m_writeBackItem);
    TreeView_Expand(m_hwnd, m_writeBackItem, TVE_EXPAND);
    // The property list shows the node's rows, which the last drag has just changed.
    if (TreeView_GetSelection(m_hwnd) == m_writeBackItem)
        document->UpdateAllViews(this, CKaviloDoc::HintShowEntry, const_cast<CCBData*>(&writeBack));
}

HTREEITEM CLeftView::InsertRoot(const std::wstring& title)
{
    TVINSERTSTRUCTW insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(title.c_str());
    insert.item.lParam = 0;
    insert.item.iImage = insert.item.iSelectedImage = 0;
    return TreeView_InsertItem(m_hwnd, &insert);
}

int CLeftView::KeptIndexOf(HTREEITEM item) const
{
    for (size_t i = 0; i < m_keptRoots.size(); ++i)
        if (item && m_keptRoots[i] == item) return static_cast<int>(i);
    return -1;
}

int CLeftView::GetSelectedKept() const
{
    return KeptIndexOf(TreeView_GetSelection(m_hwnd));
}

int CLeftView::GetSelectedItemsKept() const
{
    HTREEITEM item = TreeView_GetSelection(m_hwnd);
    while (HTREEITEM parent = item ? TreeView_GetParent(m_hwnd, item) : nullptr) item = parent;
    return KeptIndexOf(item);
}

bool CLeftView::SelectEntry(const CCBData* entry)
{
    if (!entry || !m_hwnd) return false;
    // Depth first through the items shown, the way the tree lists them.
    std::vector<HTREEITEM> pending = {TreeView_GetRoot(m_hwnd)};
    while (!pending.empty()) {
        HTREEITEM at = pending.back();
        pending.pop_back();
        for (; at; at = TreeView_GetNextSibling(m_hwnd, at)) {
            TVITEMW item = {};
            item.mask = TVIF_PARAM;
            item.hItem = at;
            TreeView_GetItem(m_hwnd, &item);
            if (reinterpret_cast<const CCBData*>(item.lParam) == entry) {
                TreeView_EnsureVisible(m_hwnd, at);
                if (TreeView_GetSelection(m_hwnd) == at) {
                    // Selected already: the views are told again, as for a new selection.
                    if (fw::Document* document = GetDocument())
                        document->UpdateAllViews(this, CKaviloDoc::HintShowEntry, const_cast<CCBData*>(entry));
                } else {
                    TreeView_SelectItem(m_hwnd, at);
                }
                return true;
            }
            // A container's children go into the tree when it is first expanded: they are
            // added on the way to an entry below it, and only there.
            const auto* container = reinterpret_cast<const CCBData*>(item.lParam);
            if (container && !HoldsEntry(*container, entry)) continue;
            if (container) AddChildrenOnce(at);
            if (HTREEITEM child = TreeView_GetChild(m_hwnd, at)) pending.push_back(child);
        }
    }
    return false;
}

CCBData* CLeftView::GetSelectedEntry() const
{
    HTREEITEM selected = TreeView_GetSelection(m_hwnd);
    if (!selected) return nullptr;
    TVITEMW item = {};
    item.mask = TVIF_PARAM;
    item.hItem = selected;
    TreeView_GetItem(m_hwnd, &item);
    return reinterpret_cast<CCBData*>(item.lParam);
}

LRESULT CLeftView::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == kStartDrag) {
        // Started after the tree's own begin-drag handling has returned: the drop may
        // rebuild the tree. The document checks that the entry still belongs to its snapshot.
        if (auto* document = static_cast<CKaviloDoc*>(GetDocument()))
            document->DragOut(reinterpret_cast<const CCBData*>(lParam), static_cast<DWORD>(wParam));
        return 0;
    }
    return fw::View::OnMessage(msg, wParam, lParam);
}

void CLeftView::OnUpdate(fw::View*, LPARAM hint, void*)
{
    auto* document = static_cast<CKaviloDoc*>(GetDocument());
    if (hint & CKaviloDoc::HintSnapshotReplaced) {
        TreeView_DeleteAllItems(m_hwnd);
        m_writeBackItem = nullptr;
        m_keptRoots.clear();
        if (document && document->GetSnapshot()) {
            HTREEITEM root = InsertRoot(document->GetTitle());
            AddEntries(*document->GetSnapshot(), root);
            TreeView_Expand(m_hwnd, root, TVE_EXPAND);
            ShowWriteBack();
        }
        // The earlier snapshots below the current one, newest first, collapsed.
        if (document) {
            for (const CKeptSnapshot& kept : document->GetKeptSnapshots()) {
                HTREEITEM root = InsertRoot(kept.title);
                m_keptRoots.push_back(root);
                if (kept.snapshot) AddEntries(*kept.snapshot, root);
            }
        }
    }
    if (hint & CKaviloDoc::HintWriteBack) ShowWriteBack();
    if (hint & CKaviloDoc::HintSelectFirst) {
        HTREEITEM root = TreeView_GetRoot(m_hwnd);
        HTREEITEM first = root ? TreeView_GetChild(m_hwnd, root) : nullptr;
        if (first) {
            // A change of selection tells the views itself (TVN_SELCHANGED, hint 2): they are
            // told here only when the item was selected already, so pages are built once.
            const bool wasSelected = TreeView_GetSelection(m_hwnd) == first;
            TreeView_SelectItem(m_hwnd, first);
            TVITEMW item = {};
            item.mask = TVIF_PARAM;
            item.hItem = first;
            TreeView_GetItem(m_hwnd, &item);
            if (document && wasSelected)
                document->UpdateAllViews(this, CKaviloDoc::HintShowEntry, reinterpret_cast<void*>(item.lParam));
        }
    }
}

bool CLeftView::OnNotifyReflect(NMHDR* header, LRESULT& result)
{
    if (header->code == TVN_BEGINDRAGW || header->code == TVN_BEGINRDRAGW) {
        // The root offers the whole snapshot, an entry itself; what targets wrote is not offered.
        const auto* drag = reinterpret_cast<NMTREEVIEWW*>(header);
        const DWORD button = header->code == TVN_BEGINDRAGW ? MK_LBUTTON : MK_RBUTTON;
        if (drag->itemNew.hItem != m_writeBackItem && KeptIndexOf(drag->itemNew.hItem) < 0)
            ::PostMessageW(m_hwnd, kStartDrag, button, drag->itemNew.lParam);
        result = 0;
        return true;
    }
    if (header->code == TVN_ITEMEXPANDINGW) {
        const auto* expanding = reinterpret_cast<NMTREEVIEWW*>(header);
        if (expanding->action & TVE_EXPAND) AddChildrenOnce(expanding->itemNew.hItem);
        result = 0;  // let it expand
        return true;
    }
    if (header->code != TVN_SELCHANGEDW) return false;
    const auto* change = reinterpret_cast<NMTREEVIEWW*>(header);
    auto* document = static_cast<CKaviloDoc*>(GetDocument());
    if (const int kept = KeptIndexOf(change->itemNew.hItem); document && kept >= 0) {
        // An earlier snapshot's root shows that snapshot's formats and owner.
        document->UpdateAllViews(this, CKaviloDoc::HintShowKept,
                                 const_cast<CKeptSnapshot*>(&document->GetKeptSnapshots()[kept]));
    } else if (document) {
        document->UpdateAllViews(this, CKaviloDoc::HintShowEntry, reinterpret_cast<void*>(change->itemNew.lParam));
    }
    result = 0;
    return true;
}
