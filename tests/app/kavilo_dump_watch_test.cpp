// kavilo-dump's owner, --watch and --diff, run as its own process against clipboards that
// other processes and this one set.
#include "app/SnapshotReport.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>
#include <sstream>

using namespace testing_support;

namespace {

// kavilo-dump started with its output on pipes; read once it is done.
class Dump {
public:
    explicit Dump(const std::wstring& arguments) : m_dump(L"kavilo-dump", arguments) {}
    // The first bytes it writes to stderr (waits for them).
    std::string FirstMessage()
    {
        char buffer[512];
        DWORD got = 0;
        if (!::ReadFile(m_dump.ErrorOutput(), buffer, sizeof buffer, &got, nullptr)) return std::string();
        m_firstErr.assign(buffer, got);
        return m_firstErr;
    }
    DWORD Finish()
    {
        out = ReadPipe(m_dump.Output());
        err = m_firstErr + ReadPipe(m_dump.ErrorOutput());
        return m_dump.Wait();
    }
    std::string out, err;

private:
    ConsoleProcess m_dump;
    std::string m_firstErr;
};

bool Contains(const std::string& text, const std::wstring& wanted)
{
    return text.find(ToUtf8(wanted)) != std::string::npos;
}

// Puts text on the clipboard from a window of this process, rendered at once, so that
// nothing has to be served while another process reads it. The window stays: it is the
// clipboard's owner.
void PutText(const std::wstring& text)
{
    static HWND owner = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    for (int attempt = 0; attempt < 50 && !::OpenClipboard(owner); ++attempt) ::Sleep(10);
    ::EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(::GlobalLock(block), text.c_str(), bytes);
    ::GlobalUnlock(block);
    ::SetClipboardData(CF_UNICODETEXT, block);  // the clipboard owns the block from here
    ::CloseClipboard();
}

std::vector<nlohmann::json> Lines(const std::string& text)
{
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(nlohmann::json::parse(line, nullptr, false));
    return lines;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && _stricmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

}  // namespace

TEST(KaviloDumpWatch, OwnerIsTheServingProcess)
{
    PeerProcess peer(L"clipboard_source", L"text");
    ASSERT_TRUE(peer.WaitReady());
    Dump dump(L"--json");
    ASSERT_EQ(dump.Finish(), 0u) << dump.err;
    EXPECT_EQ(peer.Finish(), 0u);
    const auto report = nlohmann::json::parse(dump.out, nullptr, false);
    ASSERT_TRUE(report["owner"].is_object()) << dump.out;
    EXPECT_TRUE(EndsWith(report["owner"]["image"].get<std::string>(), "clipboard_source.exe")) << dump.out;
    EXPECT_TRUE(report["owner"]["pid"].is_number_unsigned());
    EXPECT_NE(report["owner"]["pid"], ::GetCurrentProcessId());
    EXPECT_EQ(_stricmp(report["owner"]["windowClass"].get<std::string>().c_str(), "Static"), 0) << dump.out;
}

TEST(KaviloDumpWatch, EveryChangeIsALineAndABurstIsCoalesced)
{
    ScratchDir saved;
    Dump dump(L"--watch --json --seconds 5 --save \"" + saved.Path() + L"\"");
    ASSERT_TRUE(Contains(dump.FirstMessage(), L"監視しています"));

    PeerProcess peer(L"clipboard_source", L"text");
    ASSERT_TRUE(peer.WaitReady());
    ::Sleep(1200);
    // A program in a loop: a hundred changes as fast as it can.
    for (int i = 0; i < 100; ++i) PutText(L"burst " + std::to_wstring(i));
    ASSERT_EQ(dump.Finish(), 0u) << dump.err;
    EXPECT_EQ(peer.Finish(), 0u);

    const std::vector<nlohmann::json> lines = Lines(dump.out);
    ASSERT_GE(lines.size(), 2u) << dump.out;
    // The peer's change, then at most a few snapshots of the burst.
    EXPECT_LE(lines.size(), 6u) << dump.out;
    const std::regex iso("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ");
    for (const nlohmann::json& line : lines) {
        ASSERT_FALSE(line.is_discarded());
        EXPECT_TRUE(std::regex_match(line["taken"].get<std::string>(), iso)) << line.dump();
        EXPECT_TRUE(line.contains("entries"));
    }
    EXPECT_TRUE(EndsWith(lines.front()["owner"]["image"].get<std::string>(), "clipboard_source.exe"))
        << lines.front().dump();
    EXPECT_EQ(lines.back()["owner"]["pid"], ::GetCurrentProcessId());
    // The last snapshot holds the burst's last text: "burst 99" and its NUL as UTF-16.
    bool sawLast = false;
    for (const auto& entry : lines.back()["entries"])
        if (entry["text"] == "CF_UNICODETEXT") sawLast = entry["rows"].dump().find("サイズ\\t18") != std::string::npos;
    EXPECT_TRUE(sawLast) << lines.back().dump();
    // The count of skipped changes: at least the burst less the snapshots it got.
    std::smatch skipped;
    const std::regex counted(ToUtf8(L"まとめて飛ばした変更 (\\d+) 件"));
    ASSERT_TRUE(std::regex_search(dump.err, skipped, counted)) << dump.err;
    EXPECT_GE(std::stoul(skipped[1]), 100 - (lines.size() - 1));
    // One snapshot file per line.
    for (size_t n = 1; n <= lines.size(); ++n)
        EXPECT_NE(::GetFileAttributesW((saved / (std::to_wstring(n) + L".kavilo")).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(KaviloDumpWatch, DiffOfSnapshotFiles)
{
    ScratchDir files;
    const std::wstring a = files / L"a.kavilo", same = files / L"same.kavilo", b = files / L"b.kavilo";
    PutText(L"abc");
    ASSERT_EQ(Dump(L"--write \"" + a + L"\"").Finish(), 0u);
    ASSERT_EQ(Dump(L"--write \"" + same + L"\"").Finish(), 0u);
    PutText(L"abd");
    ASSERT_EQ(Dump(L"--write \"" + b + L"\"").Finish(), 0u);

    Dump equal(L"--diff \"" + a + L"\" \"" + same + L"\" --json");
    EXPECT_EQ(equal.Finish(), 0u) << equal.err;
    const auto sameReport = nlohmann::json::parse(equal.out, nullptr, false);
    EXPECT_NE(std::find(sameReport["same"].begin(), sameReport["same"].end(), "CF_UNICODETEXT"),
              sameReport["same"].end())
        << equal.out;
    EXPECT_TRUE(sameReport["changed"].empty());
    EXPECT_TRUE(sameReport["onlyA"].empty());
    EXPECT_TRUE(sameReport["onlyB"].empty());

    Dump differ(L"--diff \"" + a + L"\" \"" + b + L"\" --json");
    EXPECT_EQ(differ.Finish(), 1u) << differ.err;
    const auto report = nlohmann::json::parse(differ.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << differ.out;
    bool sawText = false;
    for (const auto& changed : report["changed"]) {
        if (changed["text"] != "CF_UNICODETEXT") continue;
        sawText = true;
        EXPECT_EQ(changed["sizeA"], 8);
        EXPECT_EQ(changed["sizeB"], 8);
        EXPECT_EQ(changed["firstDifference"], 4);  // the third UTF-16 unit
        EXPECT_EQ(changed["differingBytes"], 1);
    }
    EXPECT_TRUE(sawText) << differ.out;
    Dump text(L"--diff \"" + a + L"\" \"" + b + L"\"");
    EXPECT_EQ(text.Finish(), 1u);
    EXPECT_TRUE(Contains(text.out, L"! 変更     CF_UNICODETEXT  サイズ 8 / 8、最初の違い 4、違うバイト 1\n"))
        << text.out;

    // Bad arguments and unreadable files are trouble, as for diff.
    Dump one(L"--diff \"" + a + L"\"");
    EXPECT_EQ(one.Finish(), 2u);
    Dump mixed(L"--diff \"" + a + L"\" \"" + b + L"\" --watch");
    EXPECT_EQ(mixed.Finish(), 2u);
    Dump missing(L"--diff \"" + a + L"\" \"" + (files / L"none.kavilo") + L"\"");
    EXPECT_EQ(missing.Finish(), 2u);
    EXPECT_TRUE(Contains(missing.err, L"none.kavilo")) << missing.err;
    EXPECT_TRUE(missing.out.empty());
}
