// The snapshot tree: a root item named after the snapshot and one item per entry, nested
// for entries with a child snapshot. Selecting an item tells the other views which entry
// to show (null for the root: the offered formats).
#pragma once

#include "framework/Document.h"
#include "framework/Handles.h"
#include "framework/WindowResources.h"

#include <commctrl.h>

#include <string>
#include <vector>

class CCBData;
class CCBDataArray;

class CLeftView : public fw::View {
public:
    static const fw::CRuntimeClass classCLeftView;
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCLeftView; }

    ~CLeftView() override;
    bool Create(HWND parent, UINT id);
    void OnUpdate(fw::View* sender, LPARAM hint, void* object) override;
    bool OnNotifyReflect(NMHDR* header, LRESULT& result) override;

    // The selected item's entry; null for the root or when nothing is selected.
    CCBData* GetSelectedEntry() const;
    // The earlier snapshot whose root is selected (its index in the document's history);
    // -1 when the selection is anything else.
    int GetSelectedKept() const;
    // The earlier snapshot the selected item belongs to (its root or anything below it);
    // -1 for the current snapshot's items or when nothing is selected.
    int GetSelectedItemsKept() const;
    // Selects the item of `entry` (the views show it); false when the tree does not hold it.
    bool SelectEntry(const CCBData* entry);

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HTREEITEM InsertEntry(const CCBData& entry, HTREEITEM parent);
    // The entries of one level below `parent`; containers show a button and get their
    // children from AddChildrenOnce when first expanded (TVN_ITEMEXPANDING).
    void AddEntries(const CCBDataArray& snapshot, HTREEITEM parent);
    void AddChildrenOnce(HTREEITEM item);
    // Adds the write-back item below the root, or its entries not shown yet.
    void ShowWriteBack();
    HTREEITEM InsertRoot(const std::wstring& title);
    int KeptIndexOf(HTREEITEM item) const;
    std::vector<HTREEITEM> m_keptRoots;  // the earlier snapshots' roots, newest first
    fw::UniqueImageList m_images;
    HTREEITEM m_writeBackItem = nullptr;
    size_t m_writeBackShown = 0;
};
