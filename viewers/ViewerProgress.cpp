#include "viewers/ViewerProgress.h"

#include "framework/Format.h"

namespace {

ViewerProgressMaker g_maker = nullptr;
uint32_t g_delay = 300;

std::wstring MiB(uint64_t bytes)
{
    return fw::Format(L"%llu", static_cast<unsigned long long>(bytes >> 20));
}

}  // namespace

void SetViewerProgressMaker(ViewerProgressMaker maker)
{
    g_maker = maker;
}

void CViewerOperation::SetDelayForTests(uint32_t milliseconds)
{
    g_delay = milliseconds;
}

CViewerOperation::CViewerOperation(std::wstring what) : m_what(std::move(what)), m_started(::GetTickCount64()) {}

CViewerOperation::~CViewerOperation()
{
    if (!m_progress) return;
    m_progress->Close();
    if (m_focus && ::IsWindow(m_focus)) ::SetFocus(m_focus);
}

bool CViewerOperation::Step(uint64_t done, uint64_t total)
{
    if (m_stopped) return false;
    if (!m_progress) {
        if (!g_maker || ::GetTickCount64() - m_started < g_delay) return true;
        m_progress = g_maker(m_what);
        if (!m_progress) return true;
        m_focus = ::GetFocus();
        m_progress->Open();
    }
    m_progress->SetItemText(m_what + L" " + MiB(done) + L" / " + MiB(total) + L" MiB");
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Dispatching would lose it: it waits for the message loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        HWND dialog = m_progress->GetDialogWindow();
        if (dialog && ::IsWindow(dialog) && ::IsDialogMessageW(dialog, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    m_stopped = m_progress->IsStopRequested() != FALSE;
    return !m_stopped;
}
