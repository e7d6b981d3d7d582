#include "capture/TempStore.h"

#include "capture/bytes/TempNames.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"

#include <cstdlib>
#include <vector>

namespace {

// rand_s is declared by <stdlib.h> only with _CRT_RAND_S; it is in every CRT we link.
extern "C" errno_t __cdecl rand_s(unsigned int* randomValue);

LocalTimeStamp Now()
{
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace

CTempStore::~CTempStore()
{
    if (m_checkFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_checkFile);
}

namespace {

// A mutex left by an instance that was killed holding it is abandoned: the wait still
// acquires it, and it is released as usual.
bool Acquire(HANDLE mutex, DWORD timeoutMs)
{
    const DWORD result = ::WaitForSingleObject(mutex, timeoutMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

}  // namespace

bool CTempStore::InitTempFolder(const std::wstring& base)
{
    m_tempFolder = JoinPath(base, kTempStoreId);
    fw::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kTempStoreId));
    if (!mutex) return false;
    if (Acquire(mutex.Get(), 3000)) {
        ::CreateDirectoryW(m_tempFolder.c_str(), nullptr);  // an existing folder is fine
        m_checkFilePath = JoinPath(m_tempFolder, L"$ichk$.tmp");
        // No delete sharing: while any instance holds the file, none can delete it.
        m_checkFile =
            ::CreateFileW(m_checkFilePath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ::ReleaseMutex(mutex.Get());
    }
    return m_checkFile != INVALID_HANDLE_VALUE;
}

std::wstring CTempStore::CreateTempFile() const
{
    const LocalTimeStamp now = Now();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        ::CreateDirectoryW(m_tempFolder.c_str(), nullptr);  // re-made if it has vanished
        unsigned int random = 0;
        rand_s(&random);
        const std::wstring path = JoinPath(m_tempFolder, MakeTempFileName(now, random));
        // A new file only: a name drawn twice must not empty another entry's data (another
        // instance's too, since they share the folder); the next attempt draws again.
        fw::UniqueFile file(
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return path;
    }
    return std::wstring();
}

void CTempStore::CleanUpTempFolder()
{
    if (m_checkFile == INVALID_HANDLE_VALUE) return;
    ::CloseHandle(m_checkFile);
    m_checkFile = INVALID_HANDLE_VALUE;

    fw::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kTempStoreId));
    if (!mutex) return;
    if (!Acquire(mutex.Get(), 1000)) return;
    // Fails while another instance holds its handle: that instance cleans up later.
    if (::DeleteFileW(m_checkFilePath.c_str())) {
        WIN32_FIND_DATAW found;
        const std::wstring pattern = JoinPath(m_tempFolder, L"*.cvtmp");
        fw::UniqueFind find(::FindFirstFileW(pattern.c_str(), &found));
        if (find) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    ::DeleteFileW(JoinPath(m_tempFolder, found.cFileName).c_str());
            } while (::FindNextFileW(find.Get(), &found));
        }
        ::RemoveDirectoryW(m_tempFolder.c_str());  // fails silently if anything else is left
    }
    ::ReleaseMutex(mutex.Get());
}

CTempStore& TheTempStore()
{
    static CTempStore store;
    return store;
}

bool SetUpTempStore(CTempStore& store, const std::wstring& configuredFolder)
{
    if (!configuredFolder.empty()) {
        if (store.InitTempFolder(configuredFolder)) return true;
        fw::AfxMessageBox(L"指定された場所に一時ファイルを作れません。\r\nWindowsのテンポラリフォルダを使用します。");
    }
    const DWORD needed = ::GetTempPathW(0, nullptr);
    if (needed != 0) {
        std::vector<wchar_t> buffer(needed + 1, L'\0');
        const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length != 0 && length < buffer.size() && store.InitTempFolder(std::wstring(buffer.data(), length)))
            return true;
    }
    fw::AfxMessageBox(L"一時ファイルを作れません。");
    return false;
}

std::wstring CreateTempFile()
{
    return TheTempStore().CreateTempFile();
}
