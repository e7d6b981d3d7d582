// Takes the README's picture of the main window: waits for a running Kavilo.exe, pastes
// (as the toolbar button does), selects an entry, opens one of its pages, and writes the
// window's pixels to a 24-bit BMP file.
//   main_window_shot OUTPUT.bmp [ENTRY PAGE]
// ENTRY is the entry's position under the snapshot, counted from 0 (the last entry when
// absent or past the end), PAGE the tab's, counted from 0 (1, the hex page, when absent).
#include "framework/Handles.h"
#include "tools/screenshot/ScreenShot.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2 && argc != 4) return 2;
    const int wanted = argc == 4 ? _wtoi(argv[2]) : -1;
    const int page = argc == 4 ? _wtoi(argv[3]) : 1;
    HWND frame = nullptr;
    for (int i = 0; i < 300 && !frame; ++i) {
        frame = ::FindWindowW(L"OrvettaMainFrame", nullptr);
        if (!frame) ::Sleep(100);
    }
    if (!frame) return 1;
    ::SetWindowPos(frame, HWND_TOP, 20, 20, 900, 560, SWP_SHOWWINDOW);
    ::SendMessageW(frame, WM_COMMAND, MAKEWPARAM(57637, 0), 0);  // Paste
    HWND splitter = ::FindWindowExW(frame, nullptr, L"OrvettaSplitter", nullptr);
    HWND tree = ::FindWindowExW(splitter, nullptr, L"SysTreeView32", nullptr);
    if (tree) {
        auto root = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        auto first = reinterpret_cast<HTREEITEM>(
            ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
        // The entry asked for, else the last one.
        auto nextOf = [tree](HTREEITEM item) {
            return reinterpret_cast<HTREEITEM>(
                ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
        };
        for (int position = 0; first && nextOf(first) && (wanted < 0 || position < wanted); ++position)
            first = nextOf(first);
        if (first) ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
    }
    // The page asked for.
    HWND tab = nullptr;
    ::EnumChildWindows(
        frame,
        [](HWND child, LPARAM found) {
            wchar_t name[32] = {};
            ::GetClassNameW(child, name, 32);
            if (lstrcmpW(name, L"SysTabControl32") != 0) return TRUE;
            *reinterpret_cast<HWND*>(found) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&tab));
    if (tab) ::SendMessageW(tab, TCM_SETCURFOCUS, page, 0);
    ::Sleep(1500);  // let every pane paint

    RECT r;
    ::GetWindowRect(frame, &r);
    if (!WriteScreenArea(r, argv[1])) return 1;
    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    return 0;
}
