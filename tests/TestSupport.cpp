#include "tests/TestSupport.h"

#include "framework/Handles.h"

#include <shellapi.h>

#include <cstdio>

namespace testing_support {

ScratchDir::ScratchDir()
{
    wchar_t base[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        wchar_t name[64];
        swprintf(name, 64, L"orvetta-test-%lu-%u", ::GetCurrentProcessId(), ++counter);
        m_path = std::wstring(base) + name;
        if (::CreateDirectoryW(m_path.c_str(), nullptr)) break;
    }
}

ScratchDir::~ScratchDir()
{
    RemoveTree(m_path);
}

void PumpPending()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::string ReadPipe(HANDLE pipe)
{
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
    return text;
}

std::wstring WindowText(HWND hwnd)
{
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void PumpMessagesFor(DWORD milliseconds)
{
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    for (ULONGLONG now = ::GetTickCount64(); now < end; now = ::GetTickCount64()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void RemoveTree(const std::wstring& path)
{
    for (const std::wstring& name : ListNames(path)) {
        const std::wstring child = path + L"\\" + name;
        if (DirectoryExists(child)) {
            RemoveTree(child);
        } else {
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(child.c_str());
        }
    }
    ::RemoveDirectoryW(path.c_str());
}

bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    fw::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::wstring> ListNames(const std::wstring& folder, const std::wstring& pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    fw::UniqueFind find(::FindFirstFileW((folder + L"\\" + pattern).c_str(), &found));
    if (!find) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find.Get(), &found));
    return names;
}

std::wstring ExecutableFolder()
{
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring s(path, length);
    return s.substr(0, s.find_last_of(L"\\/"));
}

}  // namespace testing_support

namespace testing_support {

PeerProcess::PeerProcess(const std::wstring& exeName, const std::wstring& arguments)
{
    static int serial = 0;
    const std::wstring tag = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
    const std::wstring readyName = L"OrvettaPeerReady-" + tag, goName = L"OrvettaPeerGo-" + tag;
    m_ready = ::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    m_go = ::CreateEventW(nullptr, TRUE, FALSE, goName.c_str());
    std::wstring command =
        L"\"" + ExecutableFolder() + L"\\" + exeName + L".exe\" " + readyName + L" " + goName + L" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        m_process = pi.hProcess;
        ::CloseHandle(pi.hThread);
    } else {
        m_startError = ::GetLastError();
    }
    m_started = ::GetTickCount64();
}

PeerProcess::~PeerProcess()
{
    if (m_process) {
        ::SetEvent(m_go);
        if (::WaitForSingleObject(m_process, 10000) != WAIT_OBJECT_0) ::TerminateProcess(m_process, 99);
        ::CloseHandle(m_process);
    }
    if (m_ready) ::CloseHandle(m_ready);
    if (m_go) ::CloseHandle(m_go);
}

bool PeerProcess::WaitReady(bool serveMessages)
{
    if (!m_process) {
        std::fprintf(stderr, "peer not started: CreateProcess error %lu\n", m_startError);
        return false;
    }
    HANDLE handles[2] = {m_ready, m_process};
    DWORD result = WAIT_TIMEOUT;
    if (!serveMessages) {
        result = ::WaitForMultipleObjects(2, handles, FALSE, 60000);
    } else {
        const ULONGLONG deadline = ::GetTickCount64() + 60000;
        while (::GetTickCount64() < deadline) {
            result = ::MsgWaitForMultipleObjects(2, handles, FALSE, 100, QS_ALLINPUT);
            if (result == WAIT_OBJECT_0 || result == WAIT_OBJECT_0 + 1) break;
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }
    if (result == WAIT_OBJECT_0) return true;
    // The peer writes its own reason to stderr; this says when and how it ended.
    std::fprintf(stderr, "peer not ready after %llu ms: wait result %lu, exit code %lu\n",
                 static_cast<unsigned long long>(::GetTickCount64() - m_started), result, ExitCode());
    return false;
}

DWORD PeerProcess::ExitCode() const
{
    DWORD code = 99;
    if (m_process) ::GetExitCodeProcess(m_process, &code);
    return code;
}

void PeerProcess::Release()
{
    if (m_go) ::SetEvent(m_go);
}

DWORD PeerProcess::Finish()
{
    if (!m_process) return 99;
    ::SetEvent(m_go);
    ::WaitForSingleObject(m_process, 60000);
    DWORD code = 99;
    ::GetExitCodeProcess(m_process, &code);
    return code;
}

ConsoleProcess::ConsoleProcess(const std::wstring& exeName, const std::wstring& arguments, Input input, Errors errors)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    // Each pipe: our end not inherited, the child's end closed here once it has started.
    auto pipe = [&](fw::UniqueHandle& ours, fw::UniqueHandle& theirs, bool ourEndReads) {
        HANDLE read = nullptr, write = nullptr;
        if (!::CreatePipe(&read, &write, &inherit, 0)) return false;
        ours.Reset(ourEndReads ? read : write);
        theirs.Reset(ourEndReads ? write : read);
        ::SetHandleInformation(ours.Get(), HANDLE_FLAG_INHERIT, 0);
        return true;
    };
    fw::UniqueHandle childInput, childOutput, childErrors;
    if (!pipe(m_output, childOutput, true) || (errors == Errors::Apart && !pipe(m_errors, childErrors, true)) ||
        (input == Input::Pipe && !pipe(m_input, childInput, false))) {
        m_startError = "CreatePipe: " + std::to_string(::GetLastError());
        return;
    }
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = input == Input::Pipe ? childInput.Get() : ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = childOutput.Get();
    si.hStdError = errors == Errors::Apart ? childErrors.Get() : childOutput.Get();
    std::wstring command = L"\"" + ExecutableFolder() + L"\\" + exeName + L".exe\" " + arguments;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        m_startError = "CreateProcessW: " + std::to_string(::GetLastError());
        return;
    }
    m_process.Reset(pi.hProcess);
    ::CloseHandle(pi.hThread);
    m_id = pi.dwProcessId;
}

void ConsoleProcess::WriteInput(const std::string& bytes) const
{
    DWORD written = 0;
    if (m_input) ::WriteFile(m_input.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

DWORD ConsoleProcess::Wait(DWORD milliseconds) const
{
    DWORD code = 99;
    if (m_process && ::WaitForSingleObject(m_process.Get(), milliseconds) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(m_process.Get(), &code);
    return code;
}

}  // namespace testing_support
