#include "viewers/NoSelEdit.h"

namespace {

constexpr WPARAM kKeyA = 0x41;
constexpr WPARAM kCtrlAChar = 0x01;  // what TranslateMessage makes of Ctrl+A

bool IsCtrlDown()
{
    return ::GetKeyState(VK_CONTROL) < 0;
}

}  // namespace

LRESULT CNoSelEdit::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
        case WM_GETDLGCODE:
            return DefaultProc(msg, wParam, lParam) & ~static_cast<LRESULT>(DLGC_HASSETSEL);
        case WM_KEYDOWN:
            if (wParam == kKeyA && IsCtrlDown()) {
                ::SendMessageW(m_hwnd, EM_SETSEL, 0, -1);
                ::SendMessageW(m_hwnd, EM_SCROLLCARET, 0, 0);
                return 0;
            }
            break;
        case WM_CHAR:
            // The character that follows the key above; the edit would only beep at it.
            if (wParam == kCtrlAChar) return 0;
            break;
        default:
            break;
    }
    return DefaultProc(msg, wParam, lParam);
}
