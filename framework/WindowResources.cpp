#include "framework/WindowResources.h"

#include <cwchar>

namespace fw {

bool Caret::Create(HWND window, int width, int height)
{
    Destroy();
    if (!::CreateCaret(window, nullptr, width, height)) return false;
    m_window = window;
    return true;
}

void Caret::Destroy()
{
    if (!m_window) return;
    Hide();
    ::DestroyCaret();
    m_window = nullptr;
}

void Caret::SetPos(int x, int y) const
{
    if (m_window) ::SetCaretPos(x, y);
}

void Caret::Show()
{
    if (m_window && !m_shown && ::ShowCaret(m_window)) m_shown = true;
}

void Caret::Hide()
{
    if (m_window && m_shown) {
        ::HideCaret(m_window);
        m_shown = false;
    }
}

bool Timer::Start(HWND window, UINT_PTR id, UINT periodMs)
{
    Stop();
    if (!::SetTimer(window, id, periodMs, nullptr)) return false;
    m_window = window;
    m_id = id;
    return true;
}

void Timer::Stop()
{
    if (!m_window) return;
    ::KillTimer(m_window, m_id);
    m_window = nullptr;
}

UniqueFont CreatePointFont(int tenthsOfPoint, const wchar_t* faceName)
{
    LOGFONTW font = {};
    {
        WindowDC screen(nullptr);
        font.lfHeight = -::MulDiv(tenthsOfPoint, ::GetDeviceCaps(screen.Get(), LOGPIXELSY), 720);
    }
    font.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(font.lfFaceName, faceName, LF_FACESIZE - 1);
    return UniqueFont(::CreateFontIndirectW(&font));
}

}  // namespace fw
