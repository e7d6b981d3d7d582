// Takes the picture of the choice of the snapshot to compare with: waits for a running
// Kavilo.exe, turns the clipboard watch on, copies three texts one after another from a
// window of its own (so each snapshot has an owner), selects the newest root, chooses 比較
// and writes the screen around the main window and the chooser to a 24-bit BMP file.
//   compare_choose_shot OUTPUT.bmp
#include "res/watch_resource.h"
#include "tools/screenshot/ScreenShot.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

namespace {

// Puts `text` on the clipboard as CF_UNICODETEXT, owned by `owner`.
bool Copy(HWND owner, const std::wstring& text)
{
    // Wine's clipboard manager may hold the clipboard for a moment.
    bool open = false;
    for (int i = 0; i < 50 && !(open = ::OpenClipboard(owner) != FALSE); ++i) ::Sleep(100);
    if (!open) return false;
    ::EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (void* p = ::GlobalLock(memory)) {
        std::memcpy(p, text.c_str(), bytes);
        ::GlobalUnlock(memory);
    }
    const bool set = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    ::CloseClipboard();
    return set;
}

void Wait(DWORD milliseconds)
{
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    while (::GetTickCount64() < end) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(20);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) return 2;
    HWND frame = nullptr;
    for (int i = 0; i < 300 && !frame; ++i) {
        frame = ::FindWindowW(L"OrvettaMainFrame", nullptr);
        if (!frame) ::Sleep(100);
    }
    if (!frame) return 1;
    ::SetWindowPos(frame, HWND_TOP, 20, 20, 900, 560, SWP_SHOWWINDOW);
    HWND owner =
        ::CreateWindowExW(0, L"STATIC", L"copy source", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ::SendMessageW(frame, WM_COMMAND, MAKEWPARAM(ID_EDIT_WATCH, 0), 0);
    for (const wchar_t* text : {L"最初のコピー", L"二回目のコピー", L"三回目のコピー", L"四回目のコピー"}) {
        if (!Copy(owner, text)) return 1;
        Wait(2000);  // the watch settles, then takes the snapshot
    }
    HWND splitter = ::FindWindowExW(frame, nullptr, L"OrvettaSplitter", nullptr);
    HWND tree = ::FindWindowExW(splitter, nullptr, L"SysTreeView32", nullptr);
    auto root = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
    ::PostMessageW(frame, WM_COMMAND, MAKEWPARAM(ID_EDIT_COMPARE, 0), 0);
    HWND chooser = nullptr;
    for (int i = 0; i < 100 && !chooser; ++i) {
        chooser = ::FindWindowW(L"#32770", L"比較する相手");
        if (!chooser) ::Sleep(100);
    }
    if (!chooser) return 1;
    // Beside the tree, so that its roots show too.
    RECT frameRect;
    ::GetWindowRect(frame, &frameRect);
    ::SetWindowPos(chooser, HWND_TOP, frameRect.left + 250, frameRect.top + 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::Sleep(1500);  // let every pane paint
    RECT r, d;
    ::GetWindowRect(frame, &r);
    ::GetWindowRect(chooser, &d);
    ::UnionRect(&r, &r, &d);
    const bool written = WriteScreenArea(r, argv[1]);
    ::PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ::Sleep(500);
    ::SendMessageW(frame, WM_COMMAND, MAKEWPARAM(ID_EDIT_WATCH, 0), 0);
    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    ::DestroyWindow(owner);
    return written ? 0 : 1;
}
