#include "framework/Clipboard.h"
#include "framework/OleDataObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace {

// Holds the clipboard open from another thread, as a busy program would: for `holdMs`,
// or (INFINITE) until the holder ends.
class ClipboardHolder {
public:
    explicit ClipboardHolder(DWORD holdMs) : m_release(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        std::promise<void> ready;
        std::future<void> opened = ready.get_future();
        m_thread = std::thread([this, holdMs, &ready] {
            HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
            m_opened = ::OpenClipboard(window) != FALSE;
            ready.set_value();
            ::WaitForSingleObject(m_release, holdMs);
            if (m_opened) ::CloseClipboard();
            ::DestroyWindow(window);
        });
        opened.wait();
    }
    ~ClipboardHolder()
    {
        ::SetEvent(m_release);
        m_thread.join();
        ::CloseHandle(m_release);
    }
    bool Opened() const { return m_opened; }

private:
    HANDLE m_release;
    std::thread m_thread;
    bool m_opened = false;
};

std::wstring ClipboardText()
{
    if (!::OpenClipboard(nullptr)) return L"(not opened)";
    std::wstring text;
    if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
        fw::GlobalLockView lock(h);
        if (lock) text = lock.As<wchar_t>();
    }
    ::CloseClipboard();
    return text;
}

std::vector<fw::ClipboardBlock> TextBlock(const std::wstring& text)
{
    std::vector<fw::ClipboardBlock> blocks(1);
    blocks[0].format = CF_UNICODETEXT;
    blocks[0].memory = fw::GlobalFromBytes(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return blocks;
}

}  // namespace

TEST(ClipboardWrite, WaitsForAProgramThatHoldsTheClipboardBriefly)
{
    auto blocks = TextBlock(L"短く待つ");
    ClipboardHolder holder(100);  // well inside the half-second wait, even on a busy machine
    ASSERT_TRUE(holder.Opened());
    EXPECT_TRUE(fw::PutOnClipboard(nullptr, blocks));
    EXPECT_FALSE(blocks[0].memory) << "the clipboard owns the accepted block";
    EXPECT_EQ(ClipboardText(), L"短く待つ");
}

TEST(ClipboardWrite, GivesUpAfterTheWaitAndKeepsTheBlockToFreeIt)
{
    auto blocks = TextBlock(L"届かない");
    ClipboardHolder holder(INFINITE);  // let go only when the test ends: the refusal is the give-up
    ASSERT_TRUE(holder.Opened());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(fw::PutOnClipboard(nullptr, blocks, 300));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(280));
    EXPECT_TRUE(blocks[0].memory) << "a refused block stays with its owner";
}

// Paste right after a change: the clipboard is listed and read once the holder lets go.
TEST(ClipboardRead, ListsAndReadsOnceAProgramLetsGoOfTheClipboard)
{
    auto blocks = TextBlock(L"貼り付けを待つ");
    ASSERT_TRUE(fw::PutOnClipboard(nullptr, blocks));
    COleDataObject clipboard;
    std::vector<UINT> formats;
    {
        ClipboardHolder holder(100);
        ASSERT_TRUE(holder.Opened());
        ASSERT_TRUE(clipboard.AttachClipboard());
        clipboard.BeginEnumFormats();
        FORMATETC fmt;
        while (clipboard.GetNextFormat(&fmt)) formats.push_back(fmt.cfFormat);
    }
    EXPECT_NE(std::find(formats.begin(), formats.end(), CF_UNICODETEXT), formats.end()) << formats.size();

    ClipboardHolder holder(100);
    ASSERT_TRUE(holder.Opened());
    FORMATETC fmt = {CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    fw::StgMedium medium;
    ASSERT_TRUE(clipboard.GetData(CF_UNICODETEXT, &medium, &fmt));
    fw::GlobalLockView lock(medium->hGlobal);
    EXPECT_STREQ(lock.As<wchar_t>(), L"貼り付けを待つ");
}

TEST(ClipboardRead, RetriesOnlyWhileTheClipboardIsHeldAndOnlyForItsTime)
{
    int calls = 0;
    EXPECT_EQ(fw::RetryWhileClipboardHeld([&] { return ++calls < 3 ? CLIPBRD_E_CANT_OPEN : S_OK; }), S_OK);
    EXPECT_EQ(calls, 3);

    calls = 0;
    EXPECT_EQ(fw::RetryWhileClipboardHeld([&] { return ++calls, DV_E_FORMATETC; }), DV_E_FORMATETC);
    EXPECT_EQ(calls, 1) << "other failures are the answer";

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fw::RetryWhileClipboardHeld([] { return CLIPBRD_E_CANT_OPEN; }, 300), CLIPBRD_E_CANT_OPEN);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(280));
    // Bounded, with room for a slow moment on a loaded machine.
    EXPECT_LT(waited, std::chrono::milliseconds(5000));
}
