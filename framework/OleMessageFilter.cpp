#include "framework/OleMessageFilter.h"

namespace fw {
namespace {

// Returned by RetryRejectedCall: try again after this many milliseconds, or give up.
constexpr DWORD kRetryAfterMs = 100;
constexpr DWORD kGiveUp = static_cast<DWORD>(-1);

}  // namespace

COleMessageFilter::COleMessageFilter(HWND window, std::function<bool()> cancel, DWORD retryMs)
    : m_window(window), m_cancel(std::move(cancel)), m_retryMs(retryMs)
{
}

COleMessageFilter::~COleMessageFilter() = default;

bool COleMessageFilter::Register()
{
    if (m_registered) return true;
    // The previous filter's reference is handed to m_previous.
    if (FAILED(::CoRegisterMessageFilter(this, m_previous.ReleaseAndGetAddressOf()))) return false;
    m_registered = true;
    return true;
}

void COleMessageFilter::Revoke()
{
    if (!m_registered) return;
    m_registered = false;
    ::CoRegisterMessageFilter(m_previous.Get(), nullptr);
    m_previous.Reset();
}

bool COleMessageFilter::CancelRequested() const
{
    try {
        return m_cancel && m_cancel();
    } catch (...) {
        return true;  // nothing may leave a COM method; a broken check stops the wait
    }
}

DWORD COleMessageFilter::HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO)
{
    return SERVERCALL_ISHANDLED;
}

DWORD COleMessageFilter::RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType)
{
    if (rejectType != SERVERCALL_RETRYLATER || elapsedMs >= m_retryMs || CancelRequested()) return kGiveUp;
    return kRetryAfterMs;
}

DWORD COleMessageFilter::MessagePending(HTASK, DWORD, DWORD)
{
    // Only the given window and its children are served: the rest of the program must
    // not run while a call of its own is still pending.
    if (m_window && ::IsWindow(m_window)) {
        MSG msg;
        try {
            while (::PeekMessageW(&msg, m_window, 0, 0, PM_REMOVE)) {
                if (::IsDialogMessageW(m_window, &msg)) continue;
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        } catch (...) {
            return PENDINGMSG_CANCELCALL;
        }
    }
    return CancelRequested() ? PENDINGMSG_CANCELCALL : PENDINGMSG_WAITDEFPROCESS;
}

ScopedMessageFilter::ScopedMessageFilter(HWND window, std::function<bool()> cancel, DWORD retryMs)
    : m_filter(MakeComObject<COleMessageFilter>(window, std::move(cancel), retryMs))
{
    if (m_filter) m_filter->Register();
}

ScopedMessageFilter::~ScopedMessageFilter()
{
    if (m_filter) m_filter->Revoke();
}

}  // namespace fw
