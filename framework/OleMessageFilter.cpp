#include "framework/OleMessageFilter.h"

#include "framework/Handles.h"

#include <atomic>
#include <thread>

namespace fw {
namespace {

// Returned by RetryRejectedCall: try again after this many milliseconds, or give up.
constexpr DWORD kRetryAfterMs = 100;
constexpr DWORD kGiveUp = static_cast<DWORD>(-1);

// The far side of the cancellation probe: GetData waits until it is released.
class WaitingDataObject : public ComObject<IDataObject> {
public:
    explicit WaitingDataObject(HANDLE release) : m_release(release) {}
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override
    {
        ::WaitForSingleObject(m_release, 10000);
        return E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    HANDLE m_release;
};

// A call from this thread to an object on a thread of its own, cancelled by the filter at
// its first chance. A runtime that cancels returns at once; one that does not asks the
// filter again while the call still waits, and the object is then let go.
bool ProbeCancellation()
{
    // Only a single-threaded apartment waits for its calls in a modal loop with a filter.
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    if (FAILED(::CoGetApartmentType(&type, &qualifier)) || (type != APTTYPE_STA && type != APTTYPE_MAINSTA))
        return true;
    UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!release || !ready) return true;
    IStream* marshalled = nullptr;
    DWORD serverThread = 0;
    std::thread server([&] {
        serverThread = ::GetCurrentThreadId();
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue that WM_QUIT reaches
        const bool initialised = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        if (initialised) {
            auto object = MakeComObject<WaitingDataObject>(release.Get());
            if (object) ::CoMarshalInterThreadInterfaceInStream(IID_IDataObject, object.Get(), &marshalled);
        }
        ::SetEvent(ready.Get());
        // Calls into this apartment arrive as messages.
        while (initialised && ::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
        if (initialised) ::CoUninitialize();
    });
    ::WaitForSingleObject(ready.Get(), INFINITE);
    bool cancels = true;
    ComPtr<IDataObject> proxy;
    if (marshalled && SUCCEEDED(::CoGetInterfaceAndReleaseStream(marshalled, IID_PPV_ARGS(&proxy)))) {
        // The filter is asked only while messages arrive.
        const DWORD self = ::GetCurrentThreadId();
        std::atomic<bool> done{false};
        std::thread poker([&] {
            for (int i = 0; i < 200 && !done; ++i) {
                ::PostThreadMessageW(self, WM_NULL, 0, 0);
                ::Sleep(10);
            }
            ::SetEvent(release.Get());
        });
        int asked = 0;
        bool askedAgain = false;
        HRESULT hr = E_FAIL;
        {
            ScopedMessageFilter filter(nullptr, [&] {
                if (asked++ == 0) return true;
                askedAgain = true;
                ::SetEvent(release.Get());
                return false;
            });
            FORMATETC fmt = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
            STGMEDIUM medium = {};
            hr = proxy->GetData(&fmt, &medium);
            if (SUCCEEDED(hr)) ::ReleaseStgMedium(&medium);
        }
        done = true;
        poker.join();
        // A filter never asked has shown nothing: the documented behaviour is assumed.
        cancels = asked == 0 || (hr == RPC_E_CALL_CANCELED && !askedAgain);
        proxy.Reset();
    } else if (marshalled) {
        marshalled->Release();
    }
    ::SetEvent(release.Get());
    ::PostThreadMessageW(serverThread, WM_QUIT, 0, 0);
    server.join();
    MSG msg;
    while (::PeekMessageW(&msg, reinterpret_cast<HWND>(-1), WM_NULL, WM_NULL, PM_REMOVE)) {
    }
    return cancels;
}

}  // namespace

bool PendingCallsCanBeCancelled()
{
    static const bool cancels = ProbeCancellation();
    return cancels;
}

COleMessageFilter::COleMessageFilter(HWND window, std::function<bool()> cancel, DWORD retryMs, bool cancelPending)
    : m_window(window), m_cancel(std::move(cancel)), m_retryMs(retryMs), m_cancelPending(cancelPending)
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
    // The check is asked each time, also where the call is not cancelled: it may show the
    // window to serve (SetWindow) once the wait has gone on.
    const bool cancel = CancelRequested();
    return m_cancelPending && cancel ? PENDINGMSG_CANCELCALL : PENDINGMSG_WAITDEFPROCESS;
}

ScopedMessageFilter::ScopedMessageFilter(HWND window, std::function<bool()> cancel, DWORD retryMs, bool cancelPending)
    : m_filter(MakeComObject<COleMessageFilter>(window, std::move(cancel), retryMs, cancelPending))
{
    if (m_filter) m_filter->Register();
}

ScopedMessageFilter::~ScopedMessageFilter()
{
    if (m_filter) m_filter->Revoke();
}

void ScopedMessageFilter::SetWindow(HWND window)
{
    if (m_filter) m_filter->SetWindow(window);
}

}  // namespace fw
