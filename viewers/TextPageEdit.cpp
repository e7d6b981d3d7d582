#include "viewers/TextPageEdit.h"

#include "res/textview_resource.h"

namespace {

constexpr WPARAM kKeyF = 0x46;
constexpr WPARAM kCtrlFChar = 0x06;  // what TranslateMessage makes of Ctrl+F

WORD FindCommandFor(WPARAM key)
{
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0, shift = ::GetKeyState(VK_SHIFT) < 0;
    if (key == kKeyF && ctrl && !shift) return ID_TEXT_FIND;
    if (key == VK_F3 && !ctrl) return shift ? ID_TEXT_FIND_PREVIOUS : ID_TEXT_FIND_NEXT;
    return 0;
}

}  // namespace

LRESULT CTextPageEdit::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_KEYDOWN) {
        if (const WORD command = FindCommandFor(wParam)) {
            ::SendMessageW(::GetParent(m_hwnd), WM_COMMAND, MAKEWPARAM(command, 0), 0);
            return 0;
        }
    } else if (msg == WM_CHAR && wParam == kCtrlFChar) {
        return 0;  // the edit would only beep at it
    }
    return CNoSelEdit::OnMessage(msg, wParam, lParam);
}
