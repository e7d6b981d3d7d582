// A tab-page host: a child window holding a tab control (SysTabControl32) and the
// pages, one tab per page. Pages are modeless child dialogs (PropertyPage), made when
// they are first shown and destroyed when removed; the sheet only borrows the page
// objects, whose owner must remove them before letting them go. The active page covers
// the tab control's display area (TCM_ADJUSTRECT); the others are hidden.
#pragma once

#include "framework/PropertyPage.h"
#include "framework/Window.h"

#include <vector>

namespace fw {

class TabSheet : public Window {
public:
    TabSheet() = default;

    // Creates the sheet under `parent` with the pages added so far, the first one active;
    // the sheet is sized to hold the active page. WS_VISIBLE in `style` shows it at once.
    bool Create(HWND parent, DWORD style, UINT id = 0);
    HWND GetTabControl() const { return m_tab; }

    void AddPage(PropertyPage* page);
    // Removes the page at `index` and destroys its window; when it was the active one,
    // the page before it (or the new first one) becomes active.
    void RemovePage(int index);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    PropertyPage* GetPage(int index) const;
    int GetPageIndex(const PropertyPage* page) const;

    // Makes the page at `index` the visible one, creating its window if needed. If the
    // keyboard focus was in the page that is hidden, it moves into the new one.
    bool SetActivePage(int index);
    bool SetActivePage(const PropertyPage* page) { return SetActivePage(GetPageIndex(page)); }
    PropertyPage* GetActivePage() const { return GetPage(m_active); }
    int GetActiveIndex() const { return m_active; }

    // The tab control's display area in the sheet's client coordinates.
    RECT GetDisplayRect() const;
    // Moves every page that has a window to the display area.
    void LayoutPages();

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void InsertTab(int index, const std::wstring& caption);
    LRESULT OnNotify(const NMHDR* header);

    std::vector<PropertyPage*> m_pages;
    int m_active = -1;
    HWND m_tab = nullptr;  // a child of the sheet, destroyed with it
};

}  // namespace fw
