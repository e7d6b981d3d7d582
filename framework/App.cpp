#include "framework/App.h"

namespace fw {
namespace {

App* g_app = nullptr;

// The dialog page (a child dialog) or top-level dialog that holds the window, if any.
HWND DialogAncestor(HWND hwnd)
{
    wchar_t name[16];
    for (HWND w = hwnd; w; w = ::GetParent(w)) {
        if (::GetClassNameW(w, name, 16) && lstrcmpW(name, L"#32770") == 0) return w;
        if (!(::GetWindowLongW(w, GWL_STYLE) & WS_CHILD)) break;
    }
    return nullptr;
}

}  // namespace

App::App()
{
    g_app = this;
}

App::~App()
{
    if (g_app == this) g_app = nullptr;
}

App* App::Current()
{
    return g_app;
}

bool App::PreTranslateMessage(MSG& msg)
{
    if (m_accelerators && m_acceleratorTarget && ::TranslateAcceleratorW(m_acceleratorTarget, m_accelerators, &msg))
        return true;
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        // Tab and arrow navigation inside dialog pages living in the main window.
        if (HWND dialog = DialogAncestor(msg.hwnd); dialog && ::IsDialogMessageW(dialog, &msg)) return true;
    }
    return false;
}

int App::Run()
{
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (PreTranslateMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    m_exitCode = static_cast<int>(msg.wParam);
    return ExitInstance();
}

}  // namespace fw
