// A second instance of the temporary store, run as its own process by the store tests:
//   tempstore_peer READY_EVENT GO_EVENT BASE FILE_COUNT
// Sets up the store under BASE, makes FILE_COUNT data files, signals READY_EVENT, waits
// for GO_EVENT, then cleans up as the program does at exit. With "abandon" for FILE_COUNT
// it takes the store's mutex, signals READY_EVENT and exits holding it, as a killed
// instance does.
#include "capture/TempStore.h"
#include "framework/Handles.h"

#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5) return 3;
    if (std::wstring(argv[4]) == L"abandon") {
        HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kTempStoreId);
        if (!mutex || ::WaitForSingleObject(mutex, 5000) != WAIT_OBJECT_0) return 2;
        fw::UniqueHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]));
        if (!ready) return 5;
        ::SetEvent(ready.Get());
        return 0;  // exits owning the mutex: the system marks it abandoned
    }
    CTempStore store;
    if (!store.InitTempFolder(argv[3])) return 2;
    const long count = std::wcstol(argv[4], nullptr, 10);
    for (long i = 0; i < count; ++i)
        if (store.CreateTempFile().empty()) return 4;
    fw::UniqueHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]));
    fw::UniqueHandle go(::OpenEventW(SYNCHRONIZE, FALSE, argv[2]));
    if (!ready || !go) return 5;
    ::SetEvent(ready.Get());
    if (::WaitForSingleObject(go.Get(), 60000) != WAIT_OBJECT_0) return 6;
    store.CleanUpTempFolder();
    return 0;
}
