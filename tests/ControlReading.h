// Reading what the user sees in common controls and on the clipboard, for the GUI tests.
#pragma once

#include "tests/TestSupport.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

inline std::wstring ListItemText(HWND list, int item, int column)
{
    wchar_t text[1024] = {};
    LVITEMW lvi = {};
    lvi.iSubItem = column;
    lvi.pszText = text;
    lvi.cchTextMax = 1024;
    ::SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lvi));
    return text;
}

// Every row of a report list as (column 0, column 1).
inline std::vector<std::pair<std::wstring, std::wstring>> ListRows(HWND list)
{
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) rows.emplace_back(ListItemText(list, i, 0), ListItemText(list, i, 1));
    return rows;
}

inline void SelectListRows(HWND list, const std::vector<int>& items)
{
    LVITEMW none = {};
    none.stateMask = LVIS_SELECTED;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    for (int item : items) {
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        ::SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
    }
}

inline std::vector<std::wstring> TabTexts(HWND tab)
{
    std::vector<std::wstring> texts;
    const int count = static_cast<int>(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 256;
        ::SendMessageW(tab, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        texts.push_back(text);
    }
    return texts;
}

// A left click on tab `index`, as the mouse makes it.
inline void ClickTab(HWND tab, int index)
{
    RECT item = {};
    ::SendMessageW(tab, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    ::SendMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(tab, WM_LBUTTONUP, 0, at);
}

// OpenClipboard, tried for a few seconds while this thread's messages are served: Wine's
// clipboard manager holds the clipboard open after every change and may be waiting for
// this thread to render data it put there.
inline bool OpenClipboardPatiently()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (::OpenClipboard(nullptr)) return true;
        PumpMessagesFor(100);
    }
    return false;
}

// The clipboard's CF_UNICODETEXT; `present` tells whether there was any.
inline std::wstring ClipboardText(bool* present = nullptr)
{
    std::wstring text;
    bool found = false;
    if (OpenClipboardPatiently()) {
        if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
                text = chars;
                found = true;
                ::GlobalUnlock(data);
            }
        }
        ::CloseClipboard();
    }
    if (present) *present = found;
    return text;
}

inline void PutClipboardText(const std::wstring& text)
{
    if (!OpenClipboardPatiently()) return;
    ::EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* p = ::GlobalLock(memory)) {
            ::memcpy(p, text.c_str(), bytes);
            ::GlobalUnlock(memory);
        }
        // The clipboard owns the memory from here on.
        if (!::SetClipboardData(CF_UNICODETEXT, memory)) ::GlobalFree(memory);
    }
    ::CloseClipboard();
}

// The visible progress window of the given thread, found without sending it a message
// (that thread may be waiting in a call).
inline HWND FindProgressWindow(DWORD thread)
{
    HWND found = nullptr;
    ::EnumThreadWindows(
        thread,
        [](HWND hwnd, LPARAM param) {
            wchar_t className[16] = {};
            ::GetClassNameW(hwnd, className, 16);
            if (std::wstring(className) != L"#32770" || !::IsWindowVisible(hwnd)) return TRUE;
            *reinterpret_cast<HWND*>(param) = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// A tree item's text.
inline std::wstring TreeItemText(HWND tree, HTREEITEM item)
{
    wchar_t text[256] = {};
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = 256;
    TreeView_GetItem(tree, &tv);
    return text;
}

}  // namespace testing_support
