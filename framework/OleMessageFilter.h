// The COM message filter of this thread while it waits for another program: outgoing
// calls keep one window alive (its input and painting are handled while the call is
// pending), a caller-given check cancels a pending call, and a callee that answers
// "busy, retry later" is retried for a while instead of failing at once. Registered
// by Register and replaced by the previous filter at Revoke or destruction.
#pragma once

#include "framework/ComObject.h"

#include <windows.h>
#include <ole2.h>

#include <functional>

namespace fw {

class COleMessageFilter : public ComObject<IMessageFilter> {
public:
    // `window`: the window (with its children) that handles input during a pending call;
    // `cancel`: true once a pending call is to be given up (and a busy callee no longer
    // retried); `retryMs`: how long a busy callee is retried; `cancelPending`: false where
    // the COM runtime cannot cancel a pending call (PendingCallsCanBeCancelled), so that
    // the call is left to return.
    COleMessageFilter(HWND window, std::function<bool()> cancel, DWORD retryMs = 5000, bool cancelPending = true);

    bool Register();
    void Revoke();
    // The window served from now on (one that shows only once the wait has gone on).
    void SetWindow(HWND window) { m_window = window; }

    // IMessageFilter. Incoming calls are always handled; the filter is about outgoing ones.
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                               LPINTERFACEINFO info) override;
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD elapsedMs, DWORD rejectType) override;
    DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD elapsedMs, DWORD pendingType) override;

protected:
    ~COleMessageFilter() override;

private:
    bool CancelRequested() const;

    HWND m_window;
    std::function<bool()> m_cancel;
    DWORD m_retryMs;
    bool m_cancelPending;
    bool m_registered = false;
    ComPtr<IMessageFilter> m_previous;
};

// Registers a filter for the lifetime of the scope (a capture, a drop).
class ScopedMessageFilter {
public:
    ScopedMessageFilter(HWND window, std::function<bool()> cancel, DWORD retryMs = 5000, bool cancelPending = true);
    ScopedMessageFilter(const ScopedMessageFilter&) = delete;
    ScopedMessageFilter& operator=(const ScopedMessageFilter&) = delete;
    ~ScopedMessageFilter();
    void SetWindow(HWND window);

private:
    ComPtr<COleMessageFilter> m_filter;
};

// Whether this thread's COM runtime gives up a pending call when the message filter asks
// for it (PENDINGMSG_CANCELCALL). Where it does not, it keeps waiting for the callee and
// then throws its answer away, and the clipboard's data object falls back to asking the
// source a second time: a cancel then only makes the wait longer. Found out once per
// process with a call to an object of another apartment of this process; true when that
// cannot be tried.
bool PendingCallsCanBeCancelled();

}  // namespace fw
