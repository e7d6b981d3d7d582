#include "framework/Clipboard.h"

#include <ole2.h>

#include <cstring>

namespace fw {

bool OpenClipboardWithRetry(HWND owner, DWORD waitMs)
{
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        if (::OpenClipboard(owner)) return true;
        if (::GetTickCount64() - start >= waitMs) return false;
        ::Sleep(20);
    }
}

bool PutOnClipboard(HWND owner, std::vector<ClipboardBlock>& blocks, DWORD waitMs)
{
    if (!OpenClipboardWithRetry(owner, waitMs)) return false;
    ::EmptyClipboard();
    bool all = true;
    for (ClipboardBlock& block : blocks) {
        // On success the clipboard owns the memory.
        if (::SetClipboardData(block.format, block.memory.Get()))
            block.memory.Release();
        else
            all = false;
    }
    ::CloseClipboard();
    return all;
}

HRESULT RetryWhileClipboardHeld(const std::function<HRESULT()>& call, DWORD waitMs)
{
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const HRESULT hr = call();
        if (hr != CLIPBRD_E_CANT_OPEN || ::GetTickCount64() - start >= waitMs) return hr;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_SENDMESSAGE);
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

HRESULT SetOleClipboardWithRetry(IDataObject* object, DWORD waitMs)
{
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const HRESULT hr = ::OleSetClipboard(object);
        if (hr != CLIPBRD_E_CANT_OPEN || ::GetTickCount64() - start >= waitMs) return hr;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

UniqueGlobal GlobalFromBytes(const void* data, size_t size)
{
    UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size ? size : 1));
    if (!memory) return memory;
    if (size) {
        GlobalLockView lock(memory.Get());
        if (!lock) return UniqueGlobal();
        std::memcpy(lock.Data(), data, size);
    }
    return memory;
}

}  // namespace fw
