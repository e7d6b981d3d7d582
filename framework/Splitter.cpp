#include "framework/Splitter.h"

#include <windowsx.h>

#include <algorithm>

namespace fw {

bool Splitter::Create(HWND parent, UINT id)
{
    return Window::Create(L"OrvettaSplitter", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), CS_DBLCLKS, nullptr,
                          reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), ::LoadCursorW(nullptr, IDC_SIZEWE));
}

void Splitter::SetColumnWidth(int width)
{
    m_leftWidth = std::max(0, width);
    RecalcLayout();
}

void Splitter::RecalcLayout()
{
    if (!m_hwnd) return;
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    const int left = std::min<int>(m_leftWidth, std::max<int>(0, client.right - kBarWidth));
    if (m_panes[0]) ::MoveWindow(m_panes[0], 0, 0, left, client.bottom, TRUE);
    if (m_panes[1])
        ::MoveWindow(m_panes[1], left + kBarWidth, 0, std::max<int>(0, client.right - left - kBarWidth), client.bottom,
                     TRUE);
}

void Splitter::ActivateNextPane(bool)
{
    // With two panes the next and the previous pane are the same: the one without the focus.
    HWND focus = ::GetFocus();
    const bool inLeft = m_panes[0] && (focus == m_panes[0] || ::IsChild(m_panes[0], focus));
    HWND target = inLeft ? m_panes[1] : m_panes[0];
    if (target) ::SetFocus(target);
}

LRESULT Splitter::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
        case WM_SIZE:
            RecalcLayout();
            return 0;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (ReflectNotify(lParam, result)) return result;
            return ::SendMessageW(::GetParent(m_hwnd), msg, wParam, lParam);
        }
        case WM_COMMAND:
            return ::SendMessageW(::GetParent(m_hwnd), msg, wParam, lParam);
        case WM_LBUTTONDOWN:
            m_dragging = true;
            ::SetCapture(m_hwnd);
            return 0;
        case WM_MOUSEMOVE:
            if (m_dragging) SetColumnWidth(GET_X_LPARAM(lParam) - kBarWidth / 2);
            return 0;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (m_dragging) {
                m_dragging = false;
                if (msg == WM_LBUTTONUP) ::ReleaseCapture();
            }
            return 0;
        default:
            return DefaultProc(msg, wParam, lParam);
    }
}

}  // namespace fw
