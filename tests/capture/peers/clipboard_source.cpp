// A program that puts data on the clipboard and keeps serving it until told to finish:
//   clipboard_source READY_EVENT GO_EVENT text   plain CF_UNICODETEXT through the clipboard API
//   clipboard_source READY_EVENT GO_EVENT ole    an OLE data object of its own
// With "-" for both events it serves for half a minute without telling anyone.
#include "framework/Handles.h"
#include "tests/TestDataObject.h"

#include <windows.h>
#include <ole2.h>

#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

bool PutText(const std::wstring& text)
{
    bool opened = false;
    for (int attempt = 0; attempt < 50 && !opened; ++attempt) {
        opened = ::OpenClipboard(nullptr);
        if (!opened) ::Sleep(100);
    }
    if (!opened) return false;
    ::EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    {
        fw::GlobalLockView view(global);
        std::memcpy(view.Data(), text.c_str(), bytes);
    }
    // The clipboard owns the block from here on.
    const bool ok = ::SetClipboardData(CF_UNICODETEXT, global) != nullptr;
    ::CloseClipboard();
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) return 3;
    fw::OleInit ole;
    const std::wstring mode = argv[3];
    if (mode == L"text") {
        if (!PutText(L"別のプロセスのテキスト")) return 2;
    } else {
        TestDataObject* object = TestDataObject::Create();
        const UINT stream = ::RegisterClipboardFormatW(L"Orvetta Peer Stream");
        object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({L'p' & 0xFF, 0, 0, 0}));
        object->Offer(Fmt(stream, TYMED_ISTREAM), StreamMedium({9, 8, 7, 6, 5, 4, 3}));
        object->OfferOnly(Fmt(stream, TYMED_ISTREAM));  // an exact duplicate
        // A 2 x 2, 24-bit DIB: 40-byte header, rows of 8 bytes (6 and 2 of padding).
        std::vector<uint8_t> dib(40 + 16, 0);
        const int32_t header[] = {40, 2, 2};
        std::memcpy(dib.data(), header, sizeof header);
        dib[12] = 1;   // planes
        dib[14] = 24;  // bits per pixel
        object->Offer(Fmt(CF_DIB), GlobalMedium(dib));
        const HRESULT hr = SetOleClipboard(object);
        object->Release();
        if (FAILED(hr)) return 2;
    }
    // "-" for the events: no one to tell; serve for half a minute (the screenshot tool).
    const bool standalone = std::wstring(argv[1]) == L"-";
    fw::UniqueHandle ready(standalone ? nullptr : ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]));
    fw::UniqueHandle go(standalone ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr)
                                   : ::OpenEventW(SYNCHRONIZE, FALSE, argv[2]));
    if ((!ready && !standalone) || !go) return 5;
    if (ready) ::SetEvent(ready.Get());
    // Serve the other process's requests, which arrive as window messages.
    HANDLE wait = go.Get();
    for (;;) {
        const DWORD r = ::MsgWaitForMultipleObjects(1, &wait, FALSE, standalone ? 30000 : 60000, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (mode != L"text") ::OleSetClipboard(nullptr);
    return 0;
}
