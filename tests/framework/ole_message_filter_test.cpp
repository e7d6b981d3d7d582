// The message filter a capture registers while it calls another program: a busy callee
// is retried for a while, a pending call serves only the progress window and is given up
// on request, and the filter that was there before comes back at the end.
//
// The filter's answers are checked by calling it as COM does: Wine's call channel treats
// a callee's SERVERCALL_RETRYLATER as handled and never calls RetryRejectedCall, so a
// cross-process busy source cannot show the retry here.
#include "framework/OleMessageFilter.h"
#include "framework/Window.h"

#include <gtest/gtest.h>

namespace {

constexpr DWORD kGiveUp = static_cast<DWORD>(-1);
constexpr UINT kPing = WM_APP + 7;

class CountingWindow : public fw::Window {
public:
    int m_pings = 0;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == kPing) ++m_pings;
        return DefaultProc(msg, wParam, lParam);
    }
};

// The filter registered on this thread now (read by swapping it out and back in).
fw::ComPtr<IMessageFilter> CurrentFilter()
{
    fw::ComPtr<IMessageFilter> current;
    ::CoRegisterMessageFilter(nullptr, current.GetAddressOf());
    ::CoRegisterMessageFilter(current.Get(), nullptr);
    return current;
}

}  // namespace

TEST(OleMessageFilter, RetriesABusyCalleeForItsTimeAndNoOtherRejection)
{
    bool cancel = false;
    auto filter = fw::MakeComObject<fw::COleMessageFilter>(
        nullptr, [&cancel] { return cancel; }, 5000);
    ASSERT_TRUE(filter);

    // A value below 0xFFFFFFFF asks COM to retry after that many milliseconds; a short wait
    // keeps the capture responsive.
    for (DWORD elapsed : {0u, 100u, 4999u}) {
        const DWORD answer = filter->RetryRejectedCall(nullptr, elapsed, SERVERCALL_RETRYLATER);
        EXPECT_NE(answer, kGiveUp) << "busy for " << elapsed << " ms";
        EXPECT_LE(answer, 500u) << "busy for " << elapsed << " ms";
    }
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 5000, SERVERCALL_RETRYLATER), kGiveUp) << "the time is up";
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 0, SERVERCALL_REJECTED), kGiveUp) << "a refusal is final";
    cancel = true;
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER), kGiveUp) << "Stop ends the retries";

    auto shortFilter = fw::MakeComObject<fw::COleMessageFilter>(nullptr, nullptr, 300);
    EXPECT_NE(shortFilter->RetryRejectedCall(nullptr, 299, SERVERCALL_RETRYLATER), kGiveUp);
    EXPECT_EQ(shortFilter->RetryRejectedCall(nullptr, 300, SERVERCALL_RETRYLATER), kGiveUp);
    EXPECT_EQ(shortFilter->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr),
              static_cast<DWORD>(SERVERCALL_ISHANDLED));
}

TEST(OleMessageFilter, PendingCallServesOnlyItsWindowAndIsCancelledOnRequest)
{
    CountingWindow progress, child, other;
    ASSERT_TRUE(progress.Create(L"OrvettaFilterTestWindow", L"", WS_POPUP, 0, 0, 0, 10, 10, nullptr, nullptr));
    ASSERT_TRUE(
        child.Create(L"OrvettaFilterTestWindow", L"", WS_CHILD, 0, 0, 0, 5, 5, progress.GetSafeHwnd(), nullptr));
    ASSERT_TRUE(other.Create(L"OrvettaFilterTestWindow", L"", WS_POPUP, 0, 0, 0, 10, 10, nullptr, nullptr));

    bool cancel = false;
    auto filter = fw::MakeComObject<fw::COleMessageFilter>(progress.GetSafeHwnd(), [&cancel] { return cancel; });
    for (HWND hwnd : {progress.GetSafeHwnd(), child.GetSafeHwnd(), other.GetSafeHwnd()})
        ASSERT_TRUE(::PostMessageW(hwnd, kPing, 0, 0));

    EXPECT_EQ(filter->MessagePending(nullptr, 10, PENDINGTYPE_TOPLEVEL), static_cast<DWORD>(PENDINGMSG_WAITDEFPROCESS));
    EXPECT_EQ(progress.m_pings, 1);
    EXPECT_EQ(child.m_pings, 1) << "the progress window's controls are served too";
    EXPECT_EQ(other.m_pings, 0) << "the rest of the program waits for the call";
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, other.GetSafeHwnd(), kPing, kPing, PM_REMOVE)) << "and its message is kept";

    cancel = true;
    EXPECT_EQ(filter->MessagePending(nullptr, 20, PENDINGTYPE_TOPLEVEL), static_cast<DWORD>(PENDINGMSG_CANCELCALL));

    // A check that throws stops the wait instead of letting the exception into COM.
    auto broken = fw::MakeComObject<fw::COleMessageFilter>(nullptr, []() -> bool { throw 1; });
    EXPECT_EQ(broken->MessagePending(nullptr, 10, PENDINGTYPE_TOPLEVEL), static_cast<DWORD>(PENDINGMSG_CANCELCALL));
    EXPECT_EQ(broken->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER), kGiveUp);
}

TEST(OleMessageFilter, ScopeRegistersItselfAndGivesThePreviousFilterBack)
{
    auto outer = fw::MakeComObject<fw::COleMessageFilter>(nullptr, nullptr);
    fw::ComPtr<IMessageFilter> before;
    ASSERT_HRESULT_SUCCEEDED(::CoRegisterMessageFilter(outer.Get(), before.GetAddressOf()));
    {
        fw::ScopedMessageFilter scope(nullptr, nullptr);
        const fw::ComPtr<IMessageFilter> during = CurrentFilter();
        EXPECT_TRUE(during);
        EXPECT_NE(during.Get(), static_cast<IMessageFilter*>(outer.Get()));
    }
    EXPECT_EQ(CurrentFilter().Get(), static_cast<IMessageFilter*>(outer.Get()));
    ::CoRegisterMessageFilter(before.Get(), nullptr);
}
