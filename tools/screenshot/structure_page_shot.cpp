// Takes pictures of the structure page in a running Kavilo.exe: pastes (as the toolbar
// button does), then for each SHOT selects the tree's top-level entry N, opens its
// structure page (the tab after "画像"), moves the list's selection down ROW rows (with
// ":open" opens that row), writes the window to PREFIX-K.bmp, and with ":hex" presses
// Enter and writes the hex page too.
//   structure_page_shot PREFIX N:ROW[:hex|:open] ...
// Only messages without pointers cross to the other process, so rows are chosen by keys.
#include "framework/Handles.h"
#include "tools/screenshot/ScreenShot.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

HWND FindChild(HWND parent, const wchar_t* className, int id)
{
    struct Search {
        const wchar_t* className;
        int id;
        HWND found;
    } search = {className, id, nullptr};
    ::EnumChildWindows(
        parent,
        [](HWND child, LPARAM param) {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            ::GetClassNameW(child, name, 64);
            if (lstrcmpW(name, s->className) != 0 || (s->id && ::GetDlgCtrlID(child) != s->id)) return TRUE;
            if (!::IsWindowVisible(child)) return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WriteWindow(HWND frame, const std::wstring& path)
{
    ::Sleep(1500);  // let every pane paint
    RECT r;
    ::GetWindowRect(frame, &r);
    return WriteScreenArea(r, path);
}

void Key(HWND window, UINT key)
{
    ::PostMessageW(window, WM_KEYDOWN, key, 1);
    ::PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    ::Sleep(60);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    HWND frame = nullptr;
    for (int i = 0; i < 300 && !frame; ++i) {
        frame = ::FindWindowW(L"OrvettaMainFrame", nullptr);
        if (!frame) ::Sleep(100);
    }
    if (!frame) return 1;
    ::SetWindowPos(frame, HWND_TOP, 10, 10, 1000, 620, SWP_SHOWWINDOW);
    ::SendMessageW(frame, WM_COMMAND, MAKEWPARAM(57637, 0), 0);  // Paste
    HWND splitter = ::FindWindowExW(frame, nullptr, L"OrvettaSplitter", nullptr);
    HWND tree = ::FindWindowExW(splitter, nullptr, L"SysTreeView32", nullptr);
    if (!tree) return 1;
    int shot = 0;
    for (int a = 2; a < argc; ++a) {
        int entry = 0, row = 0;
        wchar_t hex[8] = {};
        if (swscanf(argv[a], L"%d:%d:%4ls", &entry, &row, hex) < 2) return 2;
        auto root = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        auto item = reinterpret_cast<HTREEITEM>(
            ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
        for (int i = 0; i < entry && item; ++i)
            item = reinterpret_cast<HTREEITEM>(
                ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
        if (!item) return 3;
        ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        HWND tab = FindChild(frame, L"SysTabControl32", 0);
        if (!tab) return 4;
        const int last = static_cast<int>(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0)) - 1;
        ::SendMessageW(tab, TCM_SETCURFOCUS, last, 0);
        ::Sleep(500);
        HWND list = FindChild(frame, L"SysListView32", 1101);
        if (!list) return 5;
        Key(list, VK_HOME);
        for (int i = 0; i < row; ++i) Key(list, VK_DOWN);
        if (lstrcmpW(hex, L"open") == 0) Key(list, VK_RIGHT);
        if (!WriteWindow(frame, std::wstring(argv[1]) + L"-" + std::to_wstring(++shot) + L".bmp")) return 6;
        if (lstrcmpW(hex, L"hex") == 0) {
            Key(list, VK_RETURN);
            if (!WriteWindow(frame, std::wstring(argv[1]) + L"-" + std::to_wstring(++shot) + L".bmp")) return 6;
        }
    }
    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    return 0;
}
