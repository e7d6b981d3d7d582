// The wait of a test's source process once its data object is on the clipboard.
#pragma once

#include <windows.h>

namespace testing_support {

// Serves the other process's requests, which arrive as window messages, until `go` is
// signalled or nothing arrives for `idleMs`.
inline void ServeMessagesUntil(HANDLE go, DWORD idleMs)
{
    for (;;) {
        const DWORD r = ::MsgWaitForMultipleObjects(1, &go, FALSE, idleMs, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) return;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

}  // namespace testing_support
