// kavilo-dump --offer run as its own process: it captures another program's clipboard,
// offers the capture again, serves it until told to stop, and leaves what can be kept.
#include "app/SnapshotReport.h"
#include "framework/Handles.h"
#include "tests/ControlReading.h"
#include "tests/TestSupport.h"
#include "tests/capture/ClipboardListing.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// kavilo-dump with its input and error output on pipes, running while the test goes on.
class Dump {
public:
    explicit Dump(const std::wstring& arguments)
        : m_dump(L"kavilo-dump", arguments, ConsoleProcess::Input::Pipe, ConsoleProcess::Errors::WithOutput)
    {
    }
    // True once the clipboard belongs to the dump.
    bool WaitServing() const
    {
        const ULONGLONG deadline = ::GetTickCount64() + 30000;
        while (m_dump.Process() && ::GetTickCount64() < deadline) {
            DWORD owner = 0;
            if (HWND window = ::GetClipboardOwner()) ::GetWindowThreadProcessId(window, &owner);
            if (owner == m_dump.Id()) return true;
            if (::WaitForSingleObject(m_dump.Process(), 50) == WAIT_OBJECT_0) return false;
        }
        return false;
    }
    void PressEnter() const { m_dump.WriteInput("\n"); }
    // Waits for the end; the exit status and everything it wrote.
    DWORD Finish(std::string& output)
    {
        output.clear();
        if (!m_dump.StartError().empty()) {
            output = "kavilo-dump did not start: " + m_dump.StartError();
            return 99;
        }
        m_dump.CloseInput();
        if (::WaitForSingleObject(m_dump.Process(), 60000) != WAIT_OBJECT_0) output = "kavilo-dump did not end\n";
        output += ReadPipe(m_dump.Output());
        return m_dump.Wait(0);
    }

private:
    ConsoleProcess m_dump;
};

bool Contains(const std::string& text, const std::wstring& wanted)
{
    return text.find(ToUtf8(wanted)) != std::string::npos;
}

}  // namespace

TEST(KaviloDumpOffer, ServesTheCaptureUntilEnterAndLeavesItOnTheClipboard)
{
    PeerProcess source(L"clipboard_source", L"text");
    ASSERT_TRUE(source.WaitReady());
    const std::vector<std::string> original = ListClipboard();
    ASSERT_FALSE(original.empty());

    Dump dump(L"--offer");
    ASSERT_TRUE(dump.WaitServing());
    EXPECT_EQ(source.Finish(), 0u);
    // Another program pasting now sees what the source offered, from the dump.
    EXPECT_EQ(ListClipboard(), original);
    dump.PressEnter();
    std::string output;
    EXPECT_EQ(dump.Finish(output), 0u) << output;
    EXPECT_TRUE(Contains(output, L"クリップボードに戻しました。")) << output;
    EXPECT_TRUE(Contains(output, L"GetData CF_UNICODETEXT lindex -1 HGLOBAL ISTREAM -> 0x00000000 HGLOBAL\n"))
        << output;

    // Without the program, the text stays.
    ASSERT_TRUE(OpenClipboardPatiently());
    HANDLE text = ::GetClipboardData(CF_UNICODETEXT);
    ASSERT_TRUE(text);
    EXPECT_STREQ(static_cast<const wchar_t*>(fw::GlobalLockView(text).Data()), L"別のプロセスのテキスト");
    ::CloseClipboard();
}

TEST(KaviloDumpOffer, EndsAfterItsSecondsAndRefusesBadOnes)
{
    PeerProcess source(L"clipboard_source", L"text");
    ASSERT_TRUE(source.WaitReady());
    Dump dump(L"--offer --seconds 1");
    ASSERT_TRUE(dump.WaitServing());
    std::string output;
    EXPECT_EQ(dump.Finish(output), 0u) << output;  // no Enter: the second runs out
    EXPECT_TRUE(Contains(output, L"1 秒で終わります。")) << output;
    EXPECT_EQ(source.Finish(), 0u);

    for (const wchar_t* bad : {L"--offer --seconds 0", L"--offer --seconds x", L"--seconds 5"}) {
        Dump refused(bad);
        EXPECT_EQ(refused.Finish(output), 2u) << bad << "\n" << output;
    }
}

TEST(KaviloDumpOffer, ASavedSnapshotIsOfferedAsItsSourceOfferedIt)
{
    ScratchDir dir;
    const std::wstring file = dir / L"saved.snapshot";
    std::vector<std::string> original;
    {
        PeerProcess source(L"clipboard_source", L"ole");
        ASSERT_TRUE(source.WaitReady());
        original = ListClipboard();
        std::string output;
        Dump save(L"--write \"" + file + L"\"");
        EXPECT_EQ(save.Finish(output), 0u) << output;
        EXPECT_EQ(source.Finish(), 0u);
    }
    // The source offered its stream twice; the saved snapshot offers it twice again.
    ASSERT_EQ(original.size(), 4u);
    ASSERT_EQ(original[1], original[2]);

    Dump dump(L"--read \"" + file + L"\" --offer");
    ASSERT_TRUE(dump.WaitServing());
    EXPECT_EQ(ListClipboard(), original);
    dump.PressEnter();
    std::string output;
    EXPECT_EQ(dump.Finish(output), 0u) << output;
    EXPECT_TRUE(Contains(output, L"GetData \"Orvetta Peer Stream\" lindex -1 ISTREAM -> 0x00000000 ISTREAM\n"))
        << output;
}
