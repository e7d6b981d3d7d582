// The snapshot tree fills a container's items when it is first expanded, not when the
// snapshot is shown.
#include "app/KaviloApp.h"
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "res/resource.h"
#include "tests/ControlReading.h"
#include "tests/TestDataObject.h"
#include "tests/app/AppFixture.h"
#include "tests/capture/WalkTestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace testing_support;

namespace {

struct Item {
    std::wstring text;
    int image;
    const CCBData* entry;
    bool button;  // shows a button, whether or not its items are there yet
};

Item Read(HWND tree, HTREEITEM item)
{
    wchar_t text[256] = {};
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_CHILDREN;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = 256;
    TreeView_GetItem(tree, &tv);
    return {text, tv.iImage, reinterpret_cast<const CCBData*>(tv.lParam), tv.cChildren != 0};
}

std::vector<HTREEITEM> Children(HWND tree, HTREEITEM item)
{
    std::vector<HTREEITEM> out;
    for (HTREEITEM child = TreeView_GetChild(tree, item); child; child = TreeView_GetNextSibling(tree, child))
        out.push_back(child);
    return out;
}

class LazyTree : public AppFixture {
protected:
    // A storage "Outer" of two streams and a storage "Sub" that holds one stream, pasted.
    void PasteStorage(const wchar_t* file)
    {
        fw::ComPtr<IStorage> root = CreateCompoundFile(m_base / file);
        ASSERT_TRUE(root);
        ASSERT_TRUE(AddStream(root.Get(), L"One", {1}));
        ASSERT_TRUE(AddStream(root.Get(), L"Two", {2, 2}));
        {
            auto sub = AddStorage(root.Get(), L"Sub");
            ASSERT_TRUE(AddStream(sub.Get(), L"Inner", {3, 3, 3}));
        }
        ASSERT_HRESULT_SUCCEEDED(root->Commit(STGC_DEFAULT));
        TestDataObject* object = TestDataObject::Create();
        object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Storage"), TYMED_ISTORAGE), StorageMedium(root.Get()));
        ASSERT_EQ(SetOleClipboard(object), S_OK);
        object->Release();
        Command(ID_EDIT_PASTE);
        m_tree = m_frame->GetLeftView().GetSafeHwnd();
    }
    HTREEITEM Container() { return TreeView_GetChild(m_tree, TreeView_GetRoot(m_tree)); }

    HWND m_tree = nullptr;
};

}  // namespace

TEST_F(LazyTree, ContainerItemsGoInWhenFirstExpandedAndStayThroughACollapse)
{
    PasteStorage(L"a.stg");
    HTREEITEM container = Container();
    ASSERT_TRUE(container);
    const Item shown = Read(m_tree, container);
    EXPECT_EQ(shown.image, 0);
    EXPECT_TRUE(shown.button);
    EXPECT_TRUE(Children(m_tree, container).empty());

    ASSERT_TRUE(TreeView_Expand(m_tree, container, TVE_EXPAND));
    std::vector<HTREEITEM> items = Children(m_tree, container);
    const CCBDataArray& entries = *shown.entry->m_children;
    ASSERT_EQ(items.size(), entries.size());
    ASSERT_EQ(items.size(), 3u);
    for (size_t i = 0; i < items.size(); ++i) {
        const Item item = Read(m_tree, items[i]);
        EXPECT_EQ(item.entry, entries[i].get());
        EXPECT_EQ(item.text, entries[i]->GetDisplayText());
        EXPECT_EQ(item.image, entries[i]->m_treeIcon);
        // Only the sub-storage has items of its own, not put in yet.
        EXPECT_EQ(item.button, entries[i]->m_name == L"Sub") << i;
        EXPECT_TRUE(Children(m_tree, items[i]).empty());
    }

    TreeView_Expand(m_tree, container, TVE_COLLAPSE);
    EXPECT_FALSE(TreeView_GetItemState(m_tree, container, TVIS_EXPANDED) & TVIS_EXPANDED);
    TreeView_Expand(m_tree, container, TVE_EXPAND);
    EXPECT_EQ(Children(m_tree, container), items);

    // A child selected shows its own entry, as any item does.
    HTREEITEM second = items[1];
    TreeView_SelectItem(m_tree, second);
    PumpPending();
    EXPECT_EQ(m_frame->GetLeftView().GetSelectedEntry(), entries[1].get());
    HWND list = ::GetDlgItem(m_frame->GetKaviloView().GetPropertyPage().GetSafeHwnd(), 1005);
    bool named = false;
    for (const auto& row : ListRows(list)) named |= row.first == L"名前" && row.second == entries[1]->m_name;
    EXPECT_TRUE(named);
}

TEST_F(LazyTree, ACaptureReplacingTheSnapshotWhileExpandedShowsOnlyTheNewOne)
{
    PasteStorage(L"first.stg");
    HTREEITEM container = Container();
    ASSERT_TRUE(TreeView_Expand(m_tree, container, TVE_EXPAND));
    HTREEITEM sub = nullptr;
    for (HTREEITEM item : Children(m_tree, container))
        if (Read(m_tree, item).entry->m_name == L"Sub") sub = item;
    ASSERT_TRUE(sub);
    ASSERT_TRUE(TreeView_Expand(m_tree, sub, TVE_EXPAND));
    TreeView_SelectItem(m_tree, TreeView_GetChild(m_tree, sub));
    PumpPending();

    PasteStorage(L"second.stg");
    const CCBDataArray& snapshot = *m_app->GetDocument()->GetSnapshot();
    container = Container();
    ASSERT_TRUE(container);
    EXPECT_EQ(Read(m_tree, container).entry, snapshot[0].get());
    EXPECT_FALSE(TreeView_GetNextSibling(m_tree, container));
    EXPECT_TRUE(Children(m_tree, container).empty());
    EXPECT_EQ(m_frame->GetLeftView().GetSelectedEntry(), nullptr);
    ASSERT_TRUE(TreeView_Expand(m_tree, container, TVE_EXPAND));
    const std::vector<HTREEITEM> items = Children(m_tree, container);
    ASSERT_EQ(items.size(), 3u);
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(Read(m_tree, items[i]).entry, (*snapshot[0]->m_children)[i].get());
}

TEST_F(LazyTree, SelectingAnEntryBelowUnopenedContainersFillsOnlyTheContainersOnItsWay)
{
    PasteStorage(L"c.stg");
    HTREEITEM container = Container();
    ASSERT_TRUE(container);
    ASSERT_TRUE(Children(m_tree, container).empty());
    // "Inner" lies in "Sub", inside the pasted storage: two containers not opened yet.
    const CCBData* storage = Read(m_tree, container).entry;
    ASSERT_TRUE(storage && storage->m_children);
    const CCBData* sub = nullptr;
    for (const auto& child : *storage->m_children)
        if (child->m_children) sub = child.get();
    ASSERT_TRUE(sub && sub->m_children && sub->m_children->size() == 1);
    const CCBData* inner = (*sub->m_children)[0].get();
    ASSERT_TRUE(m_frame->GetLeftView().SelectEntry(inner));
    EXPECT_EQ(m_frame->GetLeftView().GetSelectedEntry(), inner);
    // The other streams of the storage are items now, the same entries as before.
    EXPECT_EQ(Children(m_tree, container).size(), storage->m_children->size());
    CCBData stranger;
    EXPECT_FALSE(m_frame->GetLeftView().SelectEntry(&stranger));
}
