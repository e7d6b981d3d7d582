// A program that puts data on the clipboard and keeps serving it until told to finish:
//   clipboard_source READY_EVENT GO_EVENT text   plain CF_UNICODETEXT through the clipboard API
//   clipboard_source READY_EVENT GO_EVENT ole    an OLE data object of its own
//   clipboard_source READY_EVENT GO_EVENT hang FILE
//                                                an OLE data object whose second format's
//                                                GetData blocks (a hung program) until GO,
//                                                also marshalled into FILE, as a drag hands
//                                                its object to the drop target; FILE.asked
//                                                appears when the blocking call has begun
//   clipboard_source READY_EVENT GO_EVENT slow FILE
//                                                as hang, but the call answers by itself after
//                                                three seconds and the program goes on serving;
//                                                FILE.asked grows by one byte per call
//   clipboard_source READY_EVENT GO_EVENT busy   an OLE data object whose program answers
//                                                "busy, retry later" for its first second
// With "-" for both events it serves for half a minute without telling anyone.
// Whatever makes it give up is written to stderr with its exit code, so that a failed
// test says why its source was not ready.
#include "framework/ComObject.h"
#include "framework/Handles.h"
#include "tests/MarshalledObject.h"
#include "tests/PeerServe.h"
#include "tests/TestDataObject.h"

#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

int Fail(int code, const char* what, DWORD error)
{
    std::fprintf(stderr, "clipboard_source: %s (error %lu), exit %d\n", what, error, code);
    std::fflush(stderr);
    return code;
}

// Serves this thread's messages (the clipboard manager may ask this program to render)
// until the deadline.
void ServeMessagesFor(DWORD milliseconds)
{
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    for (ULONGLONG now = ::GetTickCount64(); now < end; now = ::GetTickCount64()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
}

// The text is put through a window of this program: with a null owner, EmptyClipboard
// leaves the clipboard without an owner and Windows refuses SetClipboardData. Right after
// a prefix is made the system's clipboard manager holds the clipboard for a while, so
// the whole write is retried for up to ten seconds.
DWORD PutText(HWND owner, const std::wstring& text)
{
    DWORD error = 0;
    const ULONGLONG end = ::GetTickCount64() + 10000;
    do {
        if (!::OpenClipboard(owner)) {
            error = ::GetLastError();
            ServeMessagesFor(50);
            continue;
        }
        ::EmptyClipboard();
        const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        fw::UniqueGlobal global(::GlobalAlloc(GMEM_MOVEABLE, bytes));
        if (global) {
            fw::GlobalLockView view(global.Get());
            std::memcpy(view.Data(), text.c_str(), bytes);
        }
        const bool set = global && ::SetClipboardData(CF_UNICODETEXT, global.Get()) != nullptr;
        error = set ? 0 : ::GetLastError();
        if (set) global.Release();  // the clipboard owns the block from here on
        ::CloseClipboard();
        if (set) return 0;
        ServeMessagesFor(50);
    } while (::GetTickCount64() < end);
    return error ? error : ERROR_TIMEOUT;
}

// The source program's side of COM calls: it turns calls away as "busy" until the time
// given, as a program in the middle of a modal loop of its own does.
class BusyFilter : public fw::ComObject<IMessageFilter> {
public:
    explicit BusyFilter(ULONGLONG busyUntil) : m_busyUntil(busyUntil) {}
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return ::GetTickCount64() < m_busyUntil ? SERVERCALL_RETRYLATER : SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

private:
    ULONGLONG m_busyUntil;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4 && argc != 5) return Fail(3, "usage: READY_EVENT GO_EVENT text|ole|hang FILE|slow FILE|busy", 0);
    fw::OleInit ole;
    if (FAILED(ole.Result())) return Fail(7, "OleInitialize failed", static_cast<DWORD>(ole.Result()));
    const std::wstring mode = argv[3];
    const bool standalone = std::wstring(argv[1]) == L"-";
    fw::UniqueHandle ready(standalone ? nullptr : ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]));
    fw::UniqueHandle go(standalone ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr)
                                   : ::OpenEventW(SYNCHRONIZE, FALSE, argv[2]));
    if ((!ready && !standalone) || !go) return Fail(5, "cannot open the test's events", ::GetLastError());

    HWND owner =
        ::CreateWindowExW(0, L"STATIC", L"clipboard_source", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    fw::ComPtr<IMessageFilter> previousFilter;
    if (mode == L"text") {
        if (const DWORD error = PutText(owner, L"別のプロセスのテキスト")) return Fail(2, "cannot put the text", error);
    } else {
        TestDataObject* object = TestDataObject::Create();
        const UINT stream = ::RegisterClipboardFormatW(L"Orvetta Peer Stream");
        object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({L'p' & 0xFF, 0, 0, 0}));
        if (mode == L"hang" || mode == L"slow") {
            const HANDLE release = mode == L"hang" ? go.Get() : nullptr;
            const std::wstring askedMark = argc == 5 ? std::wstring(argv[4]) + L".asked" : std::wstring();
            object->Offer(Fmt(stream), [release, askedMark](const FORMATETC& asked, STGMEDIUM* medium) {
                // Tells the test that the call is now pending, then blocks this program's
                // only thread, as a hung program does.
                if (!askedMark.empty()) {
                    fw::UniqueFile mark(::CreateFileW(askedMark.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                                      OPEN_ALWAYS, 0, nullptr));
                    DWORD written = 0;
                    if (mark) ::WriteFile(mark.Get(), "+", 1, &written, nullptr);
                }
                if (release)
                    ::WaitForSingleObject(release, 60000);
                else
                    ::Sleep(3000);
                return GlobalMedium({1, 2, 3})(asked, medium);
            });
        } else {
            object->Offer(Fmt(stream, TYMED_ISTREAM), StreamMedium({9, 8, 7, 6, 5, 4, 3}));
            object->OfferOnly(Fmt(stream, TYMED_ISTREAM));  // an exact duplicate
        }
        // A 2 x 2, 24-bit DIB: 40-byte header, rows of 8 bytes (6 and 2 of padding).
        std::vector<uint8_t> dib(40 + 16, 0);
        const int32_t header[] = {40, 2, 2};
        std::memcpy(dib.data(), header, sizeof header);
        dib[12] = 1;   // planes
        dib[14] = 24;  // bits per pixel
        object->Offer(Fmt(CF_DIB), GlobalMedium(dib));
        if (argc == 5 && !MarshalInto(object, argv[4])) {
            object->Release();
            return Fail(6, "cannot marshal the data object", ::GetLastError());
        }
        const HRESULT hr = SetOleClipboard(object);
        object->Release();
        if (FAILED(hr)) return Fail(2, "OleSetClipboard failed", static_cast<DWORD>(hr));
        if (mode == L"busy") {
            auto filter = fw::MakeComObject<BusyFilter>(::GetTickCount64() + 1000);
            ::CoRegisterMessageFilter(filter.Get(), &previousFilter);
        }
    }
    if (ready) ::SetEvent(ready.Get());
    testing_support::ServeMessagesUntil(go.Get(), standalone ? 30000 : 60000);
    if (mode != L"text") ::OleSetClipboard(nullptr);
    if (previousFilter || mode == L"busy") ::CoRegisterMessageFilter(previousFilter.Get(), nullptr);
    if (owner) ::DestroyWindow(owner);
    return 0;
}
