#include "capture/CBDataCreateContext.h"

#include "capture/CaptureSettings.h"
#include "capture/bytes/AbortText.h"
#include "capture/bytes/EntryBound.h"

CCBDataCreateContext::~CCBDataCreateContext()
{
    if (m_palette && m_ownsPalette) ::DeleteObject(m_palette);
}

BOOL CCBDataCreateContext::PumpMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Dispatching would lose it: leave it for the message loop once the capture is over.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        HWND dialog = m_progress ? m_progress->GetDialogWindow() : nullptr;
        if (dialog && ::IsWindow(dialog) && ::IsDialogMessageW(dialog, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return m_progress ? m_progress->IsStopRequested() : FALSE;
}

std::wstring CCBDataCreateContext::GetAbortText() const
{
    return MakeAbortText(CaptureSettings().m_subDirSizeLimit, m_collectedBytes);
}

void CCBDataCreateContext::BeginFormat()
{
    m_collectedBytes = 0;
    m_leftOutItems = 0;
    m_leftOutAtLeast = false;
    m_leftOutContainers = false;
}

std::wstring CCBDataCreateContext::GetEntryBoundText() const
{
    const uint64_t bound = CaptureSettings().m_maxEntries;
    if (m_leftOutItems > 0) return MakeEntryBoundText(bound, m_leftOutItems, m_leftOutAtLeast);
    if (m_leftOutContainers) return MakeEntryBoundAbortText(bound);
    return std::wstring();
}
