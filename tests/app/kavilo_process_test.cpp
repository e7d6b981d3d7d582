// Kavilo.exe started as its own process and watched from outside.
#include "capture/bytes/TempNames.h"
#include "framework/Handles.h"
#include "framework/Profile.h"
#include "tests/ControlReading.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>

#include <chrono>
#include <thread>

using testing_support::DirectoryExists;
using testing_support::ExecutableFolder;
using testing_support::FileExists;
using testing_support::ListNames;
using testing_support::PeerProcess;
using testing_support::ScratchDir;

namespace {

class Program {
public:
    explicit Program(const std::wstring& arguments = L"")
    {
        std::wstring command = L"\"" + ExecutableFolder() + L"\\Kavilo.exe\"";
        if (!arguments.empty()) command += L" " + arguments;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            m_process.Reset(pi.hProcess);
            m_id = pi.dwProcessId;
            ::CloseHandle(pi.hThread);
        }
    }
    ~Program()
    {
        if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_process.Get(), 99);
    }
    bool Started() const { return m_process.IsValid(); }

    // The first visible top-level window of the process whose class matches, waited for.
    DWORD Id() const { return m_id; }
    HWND WaitForWindow(const wchar_t* className, int seconds = 60) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            Search search = {m_id, className, nullptr};
            ::EnumWindows(&Program::Match, reinterpret_cast<LPARAM>(&search));
            if (search.found) return search.found;
            if (::WaitForSingleObject(m_process.Get(), 100) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }
    DWORD WaitForExit(int seconds = 60) const
    {
        ::WaitForSingleObject(m_process.Get(), seconds * 1000);
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(m_process.Get(), &code);
        return code;
    }

private:
    struct Search {
        DWORD id;
        const wchar_t* className;
        HWND found;
    };
    static BOOL CALLBACK Match(HWND hwnd, LPARAM lParam)
    {
        auto* search = reinterpret_cast<Search*>(lParam);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        wchar_t name[64] = {};
        ::GetClassNameW(hwnd, name, 64);
        if (pid == search->id && ::IsWindowVisible(hwnd) && std::wstring(name) == search->className) {
            search->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    fw::UniqueHandle m_process;
    DWORD m_id = 0;
};

std::wstring WindowText(HWND hwnd)
{
    wchar_t text[1024] = {};
    ::GetWindowTextW(hwnd, text, 1024);
    return text;
}

// The message text of a message box: its static controls' texts (the icon's is empty).
std::wstring MessageBoxText(HWND box)
{
    std::wstring text;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM lParam) -> BOOL {
            wchar_t name[32] = {};
            ::GetClassNameW(child, name, 32);
            if (std::wstring(name) == L"Static") *reinterpret_cast<std::wstring*>(lParam) += WindowText(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

void AnswerOk(HWND box)
{
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    for (int i = 0; i < 100 && ::IsWindow(box); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// The texts of a tree view in another process: the item structure and the text buffer
// have to live in that process for TVM_GETITEMW to fill them.
std::vector<std::wstring> RemoteTreeTexts(HWND tree, DWORD processId)
{
    std::vector<std::wstring> texts;
    fw::UniqueHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) return texts;
    const SIZE_T size = sizeof(TVITEMW) + 512 * sizeof(wchar_t);
    void* remote = ::VirtualAllocEx(process.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    if (!remote) return texts;
    // Depth first, in the order the user sees the items.
    std::vector<HTREEITEM> stack;
    if (HTREEITEM root = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)))
        stack.push_back(root);
    while (!stack.empty()) {
        HTREEITEM item = stack.back();
        stack.pop_back();
        TVITEMW tv = {};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = reinterpret_cast<wchar_t*>(static_cast<BYTE*>(remote) + sizeof(TVITEMW));
        tv.cchTextMax = 512;
        ::WriteProcessMemory(process.Get(), remote, &tv, sizeof tv, nullptr);
        ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
        wchar_t text[512] = {};
        ::ReadProcessMemory(process.Get(), tv.pszText, text, sizeof text - sizeof(wchar_t), nullptr);
        texts.push_back(text);
        std::vector<HTREEITEM> children;
        for (auto child = reinterpret_cast<HTREEITEM>(
                 ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
             child; child = reinterpret_cast<HTREEITEM>(
                        ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child))))
            children.push_back(child);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    ::VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
    return texts;
}

// The tree control of the program's main window.
HWND TreeOf(HWND frame)
{
    return ::FindWindowExW(::FindWindowExW(frame, nullptr, L"OrvettaSplitter", nullptr), nullptr, L"SysTreeView32",
                           nullptr);
}

class KaviloProcess : public ::testing::Test {
protected:
    void SetUp() override { fw::DeleteAppRegistryKey(); }
    void TearDown() override { fw::DeleteAppRegistryKey(); }
    // The program's temporary folder in `base`, and a clipboard that no window of an
    // earlier test of this process owns any more.
    static void PrepareForPaste(const ScratchDir& base)
    {
        ASSERT_TRUE(fw::WriteProfileString(L"Settings", L"TemporaryFolder", base.Path()));
        if (testing_support::OpenClipboardPatiently()) {
            ::EmptyClipboard();
            ::CloseClipboard();
        }
    }
};

}  // namespace

TEST_F(KaviloProcess, OpensItsFrameAndCleansTheStoreOnExit)
{
    ScratchDir base;
    ASSERT_TRUE(fw::WriteProfileString(L"Settings", L"TemporaryFolder", base.Path()));
    Program program;
    ASSERT_TRUE(program.Started());
    HWND frame = program.WaitForWindow(L"OrvettaMainFrame");
    ASSERT_TRUE(frame);
    EXPECT_EQ(WindowText(frame), L"無題 - Orvetta");
    const std::wstring folder = JoinPath(base.Path(), L"{F60B5956-6986-4CEF-9737-34DAA74A5C1E}");
    EXPECT_TRUE(FileExists(JoinPath(folder, L"$ichk$.tmp")));

    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
    EXPECT_FALSE(DirectoryExists(folder));
}

TEST_F(KaviloProcess, WithoutAnyUsableFolderItTellsAndEndsWithoutAWindow)
{
    ASSERT_TRUE(fw::WriteProfileString(L"Settings", L"TemporaryFolder", L"Q:\\orvetta\\configured"));
    // The child inherits a system temporary folder that cannot be used either.
    wchar_t savedTmp[MAX_PATH * 2] = {}, savedTemp[MAX_PATH * 2] = {};
    const DWORD hadTmp = ::GetEnvironmentVariableW(L"TMP", savedTmp, MAX_PATH * 2);
    const DWORD hadTemp = ::GetEnvironmentVariableW(L"TEMP", savedTemp, MAX_PATH * 2);
    ::SetEnvironmentVariableW(L"TMP", L"Q:\\orvetta\\nowhere");
    ::SetEnvironmentVariableW(L"TEMP", L"Q:\\orvetta\\nowhere");
    Program program;
    ::SetEnvironmentVariableW(L"TMP", hadTmp ? savedTmp : nullptr);
    ::SetEnvironmentVariableW(L"TEMP", hadTemp ? savedTemp : nullptr);
    ASSERT_TRUE(program.Started());

    HWND first = program.WaitForWindow(L"#32770");
    ASSERT_TRUE(first);
    EXPECT_EQ(WindowText(first), L"Orvetta");
    EXPECT_EQ(MessageBoxText(first),
              L"指定された場所に一時ファイルを作れません。\r\nWindowsのテンポラリフォルダを使用します。");
    AnswerOk(first);

    HWND second = program.WaitForWindow(L"#32770");
    ASSERT_TRUE(second);
    EXPECT_EQ(MessageBoxText(second), L"一時ファイルを作れません。");
    AnswerOk(second);

    EXPECT_NE(program.WaitForExit(), 0u);
    EXPECT_FALSE(program.WaitForWindow(L"OrvettaMainFrame", 1));
}

TEST_F(KaviloProcess, PasteOfAnotherProgramsClipboardShowsItsTree)
{
    ScratchDir base;
    ASSERT_NO_FATAL_FAILURE(PrepareForPaste(base));
    PeerProcess source(L"clipboard_source", L"ole");
    ASSERT_TRUE(source.WaitReady()) << "clipboard source ended with " << source.ExitCode();
    const DWORD sequence = ::GetClipboardSequenceNumber();
    Program program;
    ASSERT_TRUE(program.Started());
    HWND frame = program.WaitForWindow(L"OrvettaMainFrame");
    ASSERT_TRUE(frame);
    // Paste, as the toolbar button does.
    ::SendMessageW(frame, WM_COMMAND, MAKEWPARAM(57637, 0), 0);
    const std::wstring title = L"クリップボード#" + std::to_wstring(sequence);
    EXPECT_EQ(WindowText(frame), title + L" - Orvetta");
    HWND tree = TreeOf(frame);
    ASSERT_TRUE(tree);
    const std::vector<std::wstring> texts = RemoteTreeTexts(tree, program.Id());
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[0], title);
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"CF_UNICODETEXT"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"\"Orvetta Peer Stream\""), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"CF_DIB"), texts.end());
    // Every format of this source holds bytes: one data file per entry while the program runs.
    EXPECT_EQ(ListNames(JoinPath(base.Path(), L"{F60B5956-6986-4CEF-9737-34DAA74A5C1E}"), L"*.cvtmp").size(),
              texts.size() - 1);

    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
    EXPECT_EQ(source.Finish(), 0u);
}

// "Kavilo.exe FILE" opens a snapshot file saved from the same clipboard, and shows the tree
// that a Paste showed, under the file's name.
TEST_F(KaviloProcess, ASnapshotFileNamedOnTheCommandLineShowsWhatAPasteShowed)
{
    ScratchDir base;
    ASSERT_NO_FATAL_FAILURE(PrepareForPaste(base));
    PeerProcess source(L"clipboard_source", L"ole");
    ASSERT_TRUE(source.WaitReady()) << "clipboard source ended with " << source.ExitCode();
    auto treeOf = [](HWND frame, DWORD id) { return RemoteTreeTexts(TreeOf(frame), id); };
    std::vector<std::wstring> pasted;
    {
        Program program;
        HWND frame = program.WaitForWindow(L"OrvettaMainFrame");
        ASSERT_TRUE(frame);
        ::SendMessageW(frame, WM_COMMAND, MAKEWPARAM(57637, 0), 0);
        pasted = treeOf(frame, program.Id());
        ::PostMessageW(frame, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0u);
    }
    ASSERT_GE(pasted.size(), 4u);

    const std::wstring file = base.Path() + L"\\snapshot.kavilo";
    std::wstring dump = L"\"" + ExecutableFolder() + L"\\kavilo-dump.exe\" --write \"" + file + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(
        ::CreateProcessW(nullptr, dump.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
    fw::UniqueHandle dumpProcess(pi.hProcess), dumpThread(pi.hThread);
    ASSERT_EQ(::WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(source.Finish(), 0u);
    ASSERT_TRUE(FileExists(file));

    Program program(L"\"" + file + L"\"");
    HWND frame = program.WaitForWindow(L"OrvettaMainFrame");
    ASSERT_TRUE(frame);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (WindowText(frame) != L"snapshot.kavilo - Orvetta" && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(WindowText(frame), L"snapshot.kavilo - Orvetta");
    std::vector<std::wstring> opened = treeOf(frame, program.Id());
    // The root keeps the snapshot's own title; the clipboard's sequence number moved on
    // between the two captures, so only the entries are compared.
    ASSERT_EQ(opened.size(), pasted.size());
    EXPECT_EQ(opened[0].rfind(L"クリップボード#", 0), 0u);
    EXPECT_EQ(std::vector<std::wstring>(opened.begin() + 1, opened.end()),
              std::vector<std::wstring>(pasted.begin() + 1, pasted.end()));
    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}
