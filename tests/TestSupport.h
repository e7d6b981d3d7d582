// Helpers shared by the Windows tests: scratch folders, files, paths.
#pragma once

#include "framework/Handles.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the system temporary folder, removed with its contents at the end.
class ScratchDir {
public:
    ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir();
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

void RemoveTree(const std::wstring& path);
// Dispatches this thread's messages for the given time.
void PumpMessagesFor(DWORD milliseconds);
// Dispatches the messages already waiting on this thread.
void PumpPending();
// Everything written to a pipe until its writer closes it.
std::string ReadPipe(HANDLE pipe);
// A window's text (its caption, for a top-level window).
std::wstring WindowText(HWND hwnd);
bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// Names (not paths) of the directory's entries matching the pattern, "." and ".." left out.
std::vector<std::wstring> ListNames(const std::wstring& folder, const std::wstring& pattern = L"*");
// The folder that holds the running test executable (and the program's executables).
std::wstring ExecutableFolder();

}  // namespace testing_support

namespace testing_support {

// A helper program of the tests run as its own process. It is started as
//   NAME.exe READY_EVENT GO_EVENT ARGS...
// signals READY_EVENT once it is set up and waits for GO_EVENT before it finishes.
class PeerProcess {
public:
    PeerProcess(const std::wstring& exeName, const std::wstring& arguments);
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;
    ~PeerProcess();
    // True once the peer signalled; false when it could not start, ended or took longer
    // than a minute, with the reason written to stderr. Serving this thread's messages
    // meanwhile lets a peer take the clipboard from a window of this thread, which is
    // asked to render what it left there.
    bool WaitReady(bool serveMessages = false);
    // Lets the peer go on (signals GO) without waiting for it.
    void Release();
    // Lets the peer finish and returns its exit code.
    DWORD Finish();
    // The exit code of a peer that has ended (STILL_ACTIVE while it runs).
    DWORD ExitCode() const;

private:
    HANDLE m_ready = nullptr, m_go = nullptr, m_process = nullptr;
    DWORD m_startError = 0;
    ULONGLONG m_started = 0;
};

// One of the program's console executables run as its own process with its standard
// handles on pipes: output and errors apart (errors may share the output's pipe), input
// from a pipe of ours or this process's own.
class ConsoleProcess {
public:
    enum class Input { Inherited, Pipe };
    enum class Errors { Apart, WithOutput };
    ConsoleProcess(const std::wstring& exeName, const std::wstring& arguments, Input input = Input::Inherited,
                   Errors errors = Errors::Apart);
    // Empty once started; why it did not start otherwise.
    const std::string& StartError() const { return m_startError; }
    HANDLE Process() const { return m_process.Get(); }
    DWORD Id() const { return m_id; }
    // Read ends (the errors' is the output's with Errors::WithOutput).
    HANDLE Output() const { return m_output.Get(); }
    HANDLE ErrorOutput() const { return m_errors ? m_errors.Get() : m_output.Get(); }
    void WriteInput(const std::string& bytes) const;
    void CloseInput() { m_input.Reset(); }
    // Waits for the end; its exit code, 99 when it did not start or end in time.
    DWORD Wait(DWORD milliseconds = 60000) const;

private:
    fw::UniqueHandle m_process, m_input, m_output, m_errors;
    DWORD m_id = 0;
    std::string m_startError;
};

}  // namespace testing_support
