#include "framework/TabSheet.h"

#include <commctrl.h>

#include <algorithm>

namespace fw {
namespace {

// The gap between the sheet's edges and its tab control when the sheet is created.
constexpr int kTabMargin = 4;

bool IsWithin(HWND window, HWND ancestor)
{
    return window && ancestor && (window == ancestor || ::IsChild(ancestor, window));
}

}  // namespace

bool TabSheet::Create(HWND parent, DWORD style, UINT id)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&icc);
    const bool visible = (style & WS_VISIBLE) != 0;
    // Pages and the tab control are siblings: clipping keeps them from painting over
    // each other, and the control-parent style lets dialog navigation enter the pages.
    if (!Window::Create(L"Orvetta.TabSheet", L"", (style & ~WS_VISIBLE) | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, 0, 0, 0,
                        0, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), 0, nullptr,
                        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), ::LoadCursorW(nullptr, IDC_ARROW)))
        return false;
    m_tab = ::CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_TABS, kTabMargin,
                              kTabMargin, 0, 0, m_hwnd, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!m_tab) {
        ::DestroyWindow(m_hwnd);
        return false;
    }
    for (int i = 0; i < GetPageCount(); ++i) InsertTab(i, m_pages[i]->GetCaption());

    // The sheet's first size holds its first page as the template made it.
    RECT area = {0, 0, 200, 100};
    if (!m_pages.empty() && m_pages[0]->CreatePage(m_hwnd)) {
        if (HFONT font = reinterpret_cast<HFONT>(::SendMessageW(m_pages[0]->GetSafeHwnd(), WM_GETFONT, 0, 0)))
            ::SendMessageW(m_tab, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        RECT page;
        ::GetWindowRect(m_pages[0]->GetSafeHwnd(), &page);
        area = {0, 0, page.right - page.left, page.bottom - page.top};
    }
    ::SendMessageW(m_tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&area));
    const int tabWidth = area.right - area.left, tabHeight = area.bottom - area.top;
    ::SetWindowPos(m_hwnd, nullptr, 0, 0, tabWidth + 2 * kTabMargin, tabHeight + 2 * kTabMargin,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(m_tab, nullptr, kTabMargin, kTabMargin, tabWidth, tabHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!m_pages.empty()) SetActivePage(0);
    if (visible) ::ShowWindow(m_hwnd, SW_SHOWNA);
    return true;
}

void TabSheet::AddPage(PropertyPage* page)
{
    if (!page || GetPageIndex(page) >= 0) return;
    m_pages.push_back(page);
    if (m_tab) InsertTab(GetPageCount() - 1, page->GetCaption());
}

void TabSheet::RemovePage(int index)
{
    if (index < 0 || index >= GetPageCount()) return;
    PropertyPage* page = m_pages[index];
    const bool focusInside = IsWithin(::GetFocus(), page->GetSafeHwnd());
    m_pages.erase(m_pages.begin() + index);
    if (m_tab) ::SendMessageW(m_tab, TCM_DELETEITEM, index, 0);
    if (index < m_active) {
        --m_active;
    } else if (index == m_active) {
        m_active = -1;
        if (!m_pages.empty()) SetActivePage(std::max(0, index - 1));
    }
    if (m_tab) ::SendMessageW(m_tab, TCM_SETCURSEL, m_active, 0);
    page->DestroyWindow();
    if (focusInside && GetActivePage() && GetActivePage()->GetSafeHwnd()) ::SetFocus(GetActivePage()->GetSafeHwnd());
}

PropertyPage* TabSheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? m_pages[index] : nullptr;
}

int TabSheet::GetPageIndex(const PropertyPage* page) const
{
    const auto found = std::find(m_pages.begin(), m_pages.end(), page);
    return found == m_pages.end() ? -1 : static_cast<int>(found - m_pages.begin());
}

bool TabSheet::SetActivePage(int index)
{
    PropertyPage* page = GetPage(index);
    if (!page || !m_hwnd) return false;
    if (index == m_active && page->GetSafeHwnd()) return true;
    if (!page->CreatePage(m_hwnd)) return false;
    HWND pageWindow = page->GetSafeHwnd();
    const RECT area = GetDisplayRect();
    // Above the tab control, which lies under every page.
    ::SetWindowPos(pageWindow, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   SWP_NOACTIVATE);
    PropertyPage* previous = GetActivePage();
    HWND previousWindow = previous ? previous->GetSafeHwnd() : nullptr;
    const bool focusInside = IsWithin(::GetFocus(), previousWindow);
    m_active = index;
    ::SendMessageW(m_tab, TCM_SETCURSEL, index, 0);
    ::ShowWindow(pageWindow, SW_SHOWNA);
    if (previousWindow && previousWindow != pageWindow) ::ShowWindow(previousWindow, SW_HIDE);
    // A hidden page must not keep the keyboard.
    if (focusInside) ::SetFocus(pageWindow);
    page->OnSetActive();
    return true;
}

RECT TabSheet::GetDisplayRect() const
{
    RECT area = {};
    if (!m_tab) return area;
    ::GetWindowRect(m_tab, &area);
    ::MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&area), 2);
    ::SendMessageW(m_tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    area.right = std::max(area.right, area.left);
    area.bottom = std::max(area.bottom, area.top);
    return area;
}

void TabSheet::LayoutPages()
{
    const RECT area = GetDisplayRect();
    for (PropertyPage* page : m_pages) {
        if (HWND pageWindow = page->GetSafeHwnd())
            ::SetWindowPos(pageWindow, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TabSheet::InsertTab(int index, const std::wstring& caption)
{
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(caption.c_str());
    ::SendMessageW(m_tab, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
}

LRESULT TabSheet::OnNotify(const NMHDR* header)
{
    if (header->hwndFrom != m_tab) return 0;
    switch (header->code) {
        case TCN_SELCHANGING: {
            PropertyPage* page = GetActivePage();
            return page && !page->OnKillActive() ? TRUE : FALSE;
        }
        case TCN_SELCHANGE:
            SetActivePage(static_cast<int>(::SendMessageW(m_tab, TCM_GETCURSEL, 0, 0)));
            return 0;
        default:
            return 0;
    }
}

LRESULT TabSheet::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
        case WM_NOTIFY:
            return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
        case WM_DESTROY:
            m_tab = nullptr;
            break;
        default:
            break;
    }
    return DefaultProc(msg, wParam, lParam);
}

}  // namespace fw
