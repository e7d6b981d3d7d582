// Takes the pictures of the finds: puts an HTML fragment, dropped files and a file group on
// the clipboard as another program would, waits for a running Kavilo.exe, pastes, finds a
// string in the HTML entry's HEX page (Ctrl+F), then searches the whole snapshot for a path
// (Ctrl+Shift+F) and shows the first hit. Writes the screen to OUT-1.bmp ... OUT-3.bmp.
//   find_shot OUT
#include "tools/screenshot/ScreenShot.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

HGLOBAL Block(const void* data, size_t size)
{
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (void* p = ::GlobalLock(memory)) {
        std::memcpy(p, data, size);
        ::GlobalUnlock(memory);
    }
    return memory;
}

void FillClipboard()
{
    const std::string fragment =
        "<p>Quarterly figures: <a href=\"file:///C:/Users/Public/Documents/report.txt\">report.txt</a></p>";
    const std::string html = "<html><body><!--StartFragment-->" + fragment + "<!--EndFragment--></body></html>";
    char header[200];
    const int headerLength = std::snprintf(header, sizeof header,
                                           "Version:0.9\r\nStartHTML:%010d\r\nEndHTML:%010d\r\nStartFragment:%010d\r\n"
                                           "EndFragment:%010d\r\n",
                                           0, 0, 0, 0);
    const int start = headerLength, end = start + static_cast<int>(html.size());
    const int fragmentStart = start + static_cast<int>(html.find(fragment));
    std::snprintf(header, sizeof header,
                  "Version:0.9\r\nStartHTML:%010d\r\nEndHTML:%010d\r\nStartFragment:%010d\r\nEndFragment:%010d\r\n",
                  start, end, fragmentStart, fragmentStart + static_cast<int>(fragment.size()));
    const std::string cfHtml = std::string(header) + html;

    const std::wstring path = L"C:\\Users\\Public\\Documents\\report.txt";
    std::vector<BYTE> drop(sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t));
    auto* files = reinterpret_cast<DROPFILES*>(drop.data());
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(drop.data() + sizeof(DROPFILES), path.c_str(), path.size() * sizeof(wchar_t));

    FILEGROUPDESCRIPTORW group = {};
    group.cItems = 1;
    group.fgd[0].dwFlags = FD_FILESIZE;
    group.fgd[0].nFileSizeLow = 5;
    wcscpy(group.fgd[0].cFileName, L"Documents\\report.txt");

    // Wine's clipboard manager may hold the clipboard for a moment.
    bool open = false;
    for (int i = 0; i < 50 && !(open = ::OpenClipboard(nullptr)); ++i) ::Sleep(100);
    if (!open) return;
    ::EmptyClipboard();
    ::SetClipboardData(::RegisterClipboardFormatW(L"HTML Format"), Block(cfHtml.c_str(), cfHtml.size() + 1));
    ::SetClipboardData(CF_HDROP, Block(drop.data(), drop.size()));
    ::SetClipboardData(::RegisterClipboardFormatW(L"FileGroupDescriptorW"), Block(&group, sizeof group));
    ::CloseClipboard();
}

HWND FindChild(HWND parent, const wchar_t* className)
{
    struct Search {
        const wchar_t* name;
        HWND found;
    } search = {className, nullptr};
    ::EnumChildWindows(
        parent,
        [](HWND child, LPARAM param) {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            ::GetClassNameW(child, name, 64);
            if (lstrcmpW(name, s->name) != 0) return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitWindow(const wchar_t* className, const wchar_t* title)
{
    for (int i = 0; i < 300; ++i) {
        if (HWND w = ::FindWindowW(className, title)) return w;
        ::Sleep(100);
    }
    return nullptr;
}

bool Shot(const std::wstring& path)
{
    const RECT screen = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return WriteScreenArea(screen, path);
}

void Click(HWND dialog, int id)
{
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) return 2;
    const std::wstring out = argv[1];
    FillClipboard();
    ::Sleep(1000);
    HWND frame = WaitWindow(L"OrvettaMainFrame", nullptr);
    if (!frame) return 1;
    ::SetWindowPos(frame, HWND_TOP, 10, 10, 980, 600, SWP_SHOWWINDOW);
    ::SendMessageW(frame, WM_COMMAND, MAKEWPARAM(57637, 0), 0);  // Paste
    HWND tree = FindChild(frame, L"SysTreeView32");
    // The HTML entry, the first one (item texts cannot be read from another process).
    auto root = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    auto first =
        reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
    if (first) ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
    HWND tab = FindChild(frame, L"SysTabControl32");
    if (tab) ::SendMessageW(tab, TCM_SETCURFOCUS, 1, 0);  // HEX
    ::Sleep(800);
    HWND hex = nullptr;
    for (int i = 0; i < 50 && !(hex = FindChild(frame, L"OrvettaHexView")); ++i) ::Sleep(100);
    if (!hex) {
        Shot(out + L"-failed.bmp");
        return 3;
    }
    ::SendMessageW(::GetParent(hex), WM_COMMAND, MAKEWPARAM(33050, 0), 0);  // Ctrl+F
    HWND find = WaitWindow(nullptr, L"HEX 内を検索");
    if (!find) return 4;
    ::SetWindowPos(find, HWND_TOP, 520, 40, 0, 0, SWP_NOSIZE);
    ::SendMessageW(::GetDlgItem(find, 1150), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"report.txt"));
    Click(find, IDOK);
    ::Sleep(1500);
    Click(find, IDOK);  // the second one
    ::Sleep(1500);
    Shot(out + L"-1.bmp");
    Click(find, IDCANCEL);

    ::PostMessageW(frame, WM_COMMAND, MAKEWPARAM(33054, 0), 0);  // Ctrl+Shift+F
    HWND all = WaitWindow(nullptr, L"スナップショット内を検索");
    if (!all) return 5;
    ::SetWindowPos(all, HWND_TOP, 200, 200, 0, 0, SWP_NOSIZE);
    ::SendMessageW(::GetDlgItem(all, 1150), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\Users\\Public\\Documents"));
    Click(all, IDOK);
    ::Sleep(2000);
    Shot(out + L"-2.bmp");
    ::SendMessageW(::GetDlgItem(all, 1150), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"report.txt"));
    Click(all, IDOK);
    ::Sleep(2000);
    // The last hit, the file group's name: a click on its row (the fourth).
    HWND list = ::GetDlgItem(all, 1170);
    const int rowY = 18 + 3 * 14 + 7;  // below the header, rows of about 14 pixels
    ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, rowY));
    ::PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(40, rowY));
    ::Sleep(500);
    Shot(out + L"-3.bmp");
    Click(all, 1171);  // 表示
    ::Sleep(2000);
    Shot(out + L"-4.bmp");
    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    return 0;
}
