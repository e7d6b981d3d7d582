// The temporary file store: one working folder shared by every running instance, a
// data file per entry that holds data, and clean-up by the last instance to exit.
//
// Instances coordinate through a named mutex (set-up and clean-up are exclusive of each
// other) and a check file that every instance holds open without delete sharing: the
// exiting instance that manages to delete it is the last one.
#pragma once

#include <windows.h>

#include <string>

// The name of the working folder inside the base folder, and of the mutex.
inline constexpr wchar_t kTempStoreId[] = L"{F60B5956-6986-4CEF-9737-34DAA74A5C1E}";

class CTempStore {
public:
    CTempStore() = default;
    CTempStore(const CTempStore&) = delete;
    CTempStore& operator=(const CTempStore&) = delete;
    // Closes the check file if the clean-up has not run; the folder is left as it is.
    ~CTempStore();

    // Sets up the working folder under `base` and opens the check file.
    bool InitTempFolder(const std::wstring& base);
    // A newly created, empty data file's full path, or an empty text when none could be made.
    std::wstring CreateTempFile() const;
    // Removes the data files and the folder if no other instance still runs.
    void CleanUpTempFolder();

    bool IsReady() const { return m_checkFile != INVALID_HANDLE_VALUE; }

    std::wstring m_tempFolder;
    std::wstring m_checkFilePath;
    HANDLE m_checkFile = INVALID_HANDLE_VALUE;
};

// The process's store, owned by the application object's lifetime.
CTempStore& TheTempStore();

// Start-up choice of the base folder: the configured one when it is set and usable
// (otherwise a message and the fallback), else the system's temporary folder. False,
// after the message "一時ファイルを作れません。", when no folder is usable at all.
bool SetUpTempStore(CTempStore& store, const std::wstring& configuredFolder);

// CreateTempFile of the process's store.
std::wstring CreateTempFile();
