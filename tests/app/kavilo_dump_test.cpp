// kavilo-dump run as its own process against what another process put on the clipboard.
#include "app/SnapshotReport.h"
#include "capture/CBData.h"
#include "framework/Handles.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>

using namespace testing_support;

namespace {

struct DumpRun {
    DWORD status = 99;
    std::string out, err;
};

DumpRun RunDump(const std::wstring& arguments)
{
    DumpRun run;
    ConsoleProcess dump(L"kavilo-dump", arguments);
    if (!dump.StartError().empty()) return run;
    // stderr is small; read stdout to its end first, then stderr.
    run.out = ReadPipe(dump.Output());
    run.err = ReadPipe(dump.ErrorOutput());
    run.status = dump.Wait();
    return run;
}

bool Contains(const std::string& text, const std::wstring& wanted)
{
    return text.find(ToUtf8(wanted)) != std::string::npos;
}

}  // namespace

TEST(KaviloDump, TextAndJsonOfAnotherProgramsClipboardText)
{
    PeerProcess peer(L"clipboard_source", L"text");
    ASSERT_TRUE(peer.WaitReady());
    const DWORD sequence = ::GetClipboardSequenceNumber();

    const DumpRun text = RunDump(L"");
    EXPECT_EQ(text.status, 0u) << text.err;
    EXPECT_EQ(text.out.rfind(ToUtf8(L"クリップボード#" + std::to_wstring(sequence) + L"\n"), 0), 0u) << text.out;
    EXPECT_TRUE(Contains(text.out, L"提供された形式:\n  CF_UNICODETEXT\n")) << text.out;
    EXPECT_TRUE(Contains(text.out, L"- CF_UNICODETEXT\n    フォーマット\tCF_UNICODETEXT (13)\n")) << text.out;
    // 11 characters and the terminating NUL, as UTF-16.
    EXPECT_TRUE(Contains(text.out, L"    サイズ\t24\n")) << text.out;

    ScratchDir save;
    const DumpRun json = RunDump(L"--json --save \"" + save.Path() + L"\" --format CF_UNICODETEXT");
    EXPECT_EQ(json.status, 0u) << json.err;
    const auto report = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << json.out;
    EXPECT_EQ(report["title"], ToUtf8(L"クリップボード#" + std::to_wstring(sequence)));
    EXPECT_GE(report["offered"].size(), 1u);
    ASSERT_EQ(report["entries"].size(), 1u);  // only the chosen format is captured
    const auto& entry = report["entries"][0];
    EXPECT_EQ(entry["text"], "CF_UNICODETEXT");
    EXPECT_EQ(entry["rows"][0], ToUtf8(L"フォーマット\tCF_UNICODETEXT (13)"));
    EXPECT_TRUE(entry["children"].empty());
    ASSERT_TRUE(entry.contains("file"));
    const std::string file = entry["file"];
    EXPECT_EQ(file, "1 CF_UNICODETEXT");
    std::vector<std::wstring> saved = ListNames(save.Path());
    ASSERT_EQ(saved.size(), 1u);
    fw::UniqueFile handle(
        ::CreateFileW((save / saved[0]).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    wchar_t content[32] = {};
    DWORD got = 0;
    ASSERT_TRUE(::ReadFile(handle.Get(), content, sizeof content, &got, nullptr));
    EXPECT_EQ(got, 24u);
    EXPECT_STREQ(content, L"別のプロセスのテキスト");
    EXPECT_EQ(peer.Finish(), 0u);
}

TEST(KaviloDump, PicturesAreMeasuredAsTheImagePageWouldCaptionThem)
{
    PeerProcess peer(L"clipboard_source", L"ole");
    ASSERT_TRUE(peer.WaitReady());
    const DumpRun json = RunDump(L"--json");
    EXPECT_EQ(json.status, 0u) << json.err;
    const auto report = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << json.out;
    bool sawDib = false;
    for (const auto& entry : report["entries"]) {
        if (entry["text"] == "CF_DIB") {
            sawDib = true;
            ASSERT_TRUE(entry.contains("image")) << entry.dump();
            EXPECT_EQ(entry["image"]["width"], 2);
            EXPECT_EQ(entry["image"]["height"], 2);
            EXPECT_EQ(entry["image"]["bpp"], 24);
        } else if (entry["text"] == "CF_UNICODETEXT") {
            EXPECT_FALSE(entry.contains("image"));  // two bytes of text are no picture
        }
    }
    EXPECT_TRUE(sawDib);
    const DumpRun text = RunDump(L"--format CF_DIB");
    EXPECT_TRUE(Contains(text.out, L"    [画像] 2 x 2, 24 bpp\n")) << text.out;
    EXPECT_EQ(peer.Finish(), 0u);
}

TEST(KaviloDump, BadArgumentsAndAnAbsentFormat)
{
    const DumpRun bad = RunDump(L"--frobnicate");
    EXPECT_EQ(bad.status, 2u);
    EXPECT_TRUE(Contains(bad.err, L"使い方")) << bad.err;
    EXPECT_TRUE(bad.out.empty());
    const DumpRun missing = RunDump(L"--format \"\\\"No Such Format\\\"\"");
    EXPECT_EQ(missing.status, 1u);
    EXPECT_TRUE(missing.out.empty());
}

TEST(SnapshotReport, SafeFileNames)
{
    EXPECT_EQ(SafeFileName(L"1 \"HTML Format\""), L"1 _HTML Format_");
    EXPECT_EQ(SafeFileName(L"a/b\\c:d*e?f<g>h|i"), L"a_b_c_d_e_f_g_h_i");
    EXPECT_EQ(SafeFileName(L"trailing. . "), L"trailing");
    EXPECT_EQ(SafeFileName(L""), L"_");
    EXPECT_EQ(SafeFileName(L"nul.txt"), L"_nul.txt");
    EXPECT_EQ(SafeFileName(L"COM1"), L"_COM1");
    EXPECT_EQ(SafeFileName(L"COM10"), L"COM10");
    EXPECT_EQ(SafeFileName(std::wstring(300, L'x')).size(), 120u);
    EXPECT_EQ(SafeFileName(std::wstring(L"tab\there")), L"tab_here");
    // Device names however they are spelled: spaces before the extension, console
    // buffers, port zero and the superscript digits.
    for (const wchar_t* device : {L"NUL .txt", L"CON .log", L"COM1 .bin", L"CONOUT$", L"conin$.txt", L"COM\u00B9",
                                  L"LPT\u00B3.x", L"COM0", L"lpt0", L"AUX  .a.b"})
        EXPECT_EQ(SafeFileName(device), std::wstring(L"_") + device);
    EXPECT_EQ(SafeFileName(L"COM\u00B4"), L"COM\u00B4");
}

// The text report escapes every control character a source may put in a name, a row or the
// title, and --save writes over nothing already in the folder.
TEST(SnapshotReport, ControlCharactersAreEscapedAndNoFileIsWrittenOver)
{
    ScratchDir scratch, save;
    ASSERT_TRUE(WriteBytes(save / L"1 CF_TEXT", {'o', 'l', 'd'}));
    CCBDataArray snapshot;
    for (int i = 0; i < 2; ++i) {
        auto entry = std::make_shared<CCBData>();
        entry->m_fmt = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        entry->m_tempFile = scratch / std::to_wstring(i);
        entry->m_dataSize = 3;
        ASSERT_TRUE(WriteBytes(entry->m_tempFile, {'n', 'e', 'w'}));
        snapshot.push_back(entry);
    }
    snapshot[1]->m_displayName =
        L"\x1b]0;owned\x07 and \x9b"
        L"2J";
    snapshot[1]->m_properties = {L"label\tvalue\x1b[2J\r\n"};
    SnapshotReportInput input;
    input.title = L"title\x1b]52;c;AAAA\x07";
    input.offered = {L"\"\x1b[31mred\""};
    input.snapshot = &snapshot;
    input.saveFolder = save.Path();
    const std::string text = BuildTextReport(input);
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_EQ(text.find(ToUtf8(L"\x9b")), std::string::npos) << text;
    EXPECT_TRUE(Contains(text, L"title\\x1b]52;c;AAAA\\x07\n")) << text;
    EXPECT_TRUE(Contains(text, L"  \"\\x1b[31mred\"\n")) << text;
    EXPECT_TRUE(Contains(text, L"- \\x1b]0;owned\\x07 and \\x9b2J\n")) << text;
    EXPECT_TRUE(Contains(text, L"label\tvalue\\x1b[2J\\x0d\\x0a\n")) << text;

    // The file already there keeps its bytes; the entry goes under the next free name.
    EXPECT_TRUE(Contains(text, L"=> 1 CF_TEXT (2)\n")) << text;
    auto bytesOf = [&save](const std::wstring& name) {
        std::vector<uint8_t> bytes(8);
        fw::UniqueFile file(
            ::CreateFileW((save / name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        DWORD got = 0;
        if (!file || !::ReadFile(file.Get(), bytes.data(), 8, &got, nullptr)) return std::vector<uint8_t>();
        bytes.resize(got);
        return bytes;
    };
    EXPECT_EQ(bytesOf(L"1 CF_TEXT"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(bytesOf(L"1 CF_TEXT (2)"), (std::vector<uint8_t>{'n', 'e', 'w'}));
}

// Nested entries print under their containers, and the files of a file group are saved
// under their descriptor names, made safe, without one written over another.
TEST(KaviloDump, NestedEntriesAndFilesOfAGroup)
{
    ScratchDir dropped;
    ASSERT_TRUE(::CreateDirectoryW((dropped / L"sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(dropped / L"sub\\inner.txt", {'i', 'n'}));
    PeerProcess peer(L"group_source", L"\"" + dropped.Path() + L"\"");
    ASSERT_TRUE(peer.WaitReady());

    ScratchDir save;
    const DumpRun run = RunDump(L"--save \"" + save.Path() + L"\"");
    EXPECT_EQ(run.status, 0u) << run.err;
    EXPECT_TRUE(Contains(run.out, L"- CF_HDROP\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, L"  - " + dropped.Path() + L"\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, L"    - sub\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, L"      - inner.txt\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, L"    名前[0]\t報告:書?.txt\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, L"  - 報告:書?.txt\n")) << run.out;

    auto bytesOf = [&save](const std::wstring& name) {
        std::string text(16, '\0');
        fw::UniqueFile file(
            ::CreateFileW((save / name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        DWORD got = 0;
        if (!file || !::ReadFile(file.Get(), text.data(), 16, &got, nullptr)) return std::string("(none)");
        text.resize(got);
        return text;
    };
    EXPECT_EQ(bytesOf(L"報告_書_.txt"), "0x");
    EXPECT_EQ(bytesOf(L"same.txt"), "1x");
    // The second "same.txt" is the third child of the third top-level entry.
    EXPECT_EQ(bytesOf(L"3.3 same.txt"), "2x");
    EXPECT_TRUE(Contains(run.out, L"=> 3.3 same.txt\n")) << run.out;
    EXPECT_EQ(peer.Finish(), 0u);
}

// What a capture printed is printed again from the snapshot file it wrote, to the byte,
// with the entries' bytes saved alike: text, mixed formats with a duplicate, a stream and a
// picture, dropped files with a file group.
TEST(KaviloDump, ASnapshotFileReadsBackAsTheCapturePrintedIt)
{
    ScratchDir dropped;
    ASSERT_TRUE(::CreateDirectoryW((dropped / L"sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(dropped / L"sub\\inner.txt", {'i', 'n'}));
    struct Source {
        const wchar_t* peer;
        std::wstring arguments;
    };
    const Source sources[] = {{L"clipboard_source", L"text"},
                              {L"clipboard_source", L"ole"},
                              {L"group_source", L"\"" + dropped.Path() + L"\""}};
    ScratchDir files;
    int serial = 0;
    for (const Source& source : sources) {
        PeerProcess peer(source.peer, source.arguments);
        ASSERT_TRUE(peer.WaitReady()) << source.arguments;
        const std::wstring file = files / (std::to_wstring(++serial) + L".kavilo");
        ScratchDir savedLive, savedRead;
        const DumpRun live = RunDump(L"--json --save \"" + savedLive.Path() + L"\" --write \"" + file + L"\"");
        EXPECT_EQ(peer.Finish(), 0u);
        ASSERT_EQ(live.status, 0u) << live.err;
        const DumpRun read = RunDump(L"--read \"" + file + L"\" --json --save \"" + savedRead.Path() + L"\"");
        ASSERT_EQ(read.status, 0u) << read.err;
        EXPECT_EQ(read.out, live.out);
        EXPECT_GT(nlohmann::json::parse(read.out)["entries"].size(), 0u) << read.out;
        const std::vector<std::wstring> names = ListNames(savedLive.Path());
        EXPECT_EQ(ListNames(savedRead.Path()), names);
        for (const std::wstring& name : names) {
            std::vector<uint8_t> a(64), b(64);
            DWORD gotA = 0, gotB = 0;
            fw::UniqueFile fa(::CreateFileW((savedLive / name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
            fw::UniqueFile fb(::CreateFileW((savedRead / name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(::ReadFile(fa.Get(), a.data(), 64, &gotA, nullptr) &&
                        ::ReadFile(fb.Get(), b.data(), 64, &gotB, nullptr));
            a.resize(gotA), b.resize(gotB);
            EXPECT_EQ(a, b) << name;
        }
        // The text report too.
        EXPECT_TRUE(Contains(RunDump(L"--read \"" + file + L"\"").out, L"提供された形式:\n"));
    }
}

TEST(KaviloDump, AFileThatIsNoSnapshotIsReportedAndNothingPrinted)
{
    ScratchDir folder;
    ASSERT_TRUE(WriteBytes(folder / L"plain.kavilo", {'n', 'o', 't', ' ', 'o', 'l', 'e'}));
    const DumpRun run = RunDump(L"--read \"" + (folder / L"plain.kavilo") + L"\" --json");
    EXPECT_EQ(run.status, 1u);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_TRUE(Contains(run.err, L"スナップショットを読み込めません。\n複合ファイルではありません。")) << run.err;
    EXPECT_EQ(RunDump(L"--read x --format CF_TEXT").status, 2u);
}

// --find and --find-hex print every hit as "entry\toffset", nested entries by their path,
// with the encoding that matched in JSON; bad patterns are refused before anything is read.
TEST(KaviloDump, FindPrintsEveryHitInEveryEntry)
{
    ScratchDir dropped;
    ASSERT_TRUE(::CreateDirectoryW((dropped / L"sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(dropped / L"sub\\inner.txt", {'i', 'n'}));
    ScratchDir files;
    const std::wstring file = files / L"group.kavilo";
    {
        PeerProcess peer(L"group_source", L"\"" + dropped.Path() + L"\"");
        ASSERT_TRUE(peer.WaitReady());
        ASSERT_EQ(RunDump(L"--write \"" + file + L"\"").status, 0u);
        EXPECT_EQ(peer.Finish(), 0u);
    }
    const std::wstring read = L"--read \"" + file + L"\" ";

    // The dropped path in CF_HDROP, behind the 20-byte header, as UTF-16LE.
    const DumpRun path = RunDump(read + L"--json --find \"" + dropped.Path() + L"\"");
    ASSERT_EQ(path.status, 0u) << path.err;
    const auto hits = nlohmann::json::parse(path.out)["hits"];
    ASSERT_EQ(hits.size(), 1u) << path.out;
    EXPECT_EQ(hits[0]["entry"], "CF_HDROP");
    EXPECT_EQ(hits[0]["offset"], 20);
    EXPECT_EQ(hits[0]["encoding"], "UTF-16LE");

    // Two names of the file group: descriptors of 592 bytes behind a 4-byte count, the name
    // 72 bytes into each; both hits in one entry, ascending.
    const DumpRun same = RunDump(read + L"--find same.txt");
    ASSERT_EQ(same.status, 0u) << same.err;
    EXPECT_EQ(same.out, "CFSTR_FILEDESCRIPTORW\t668\nCFSTR_FILEDESCRIPTORW\t1260\n");

    // Bytes of a nested entry: the dropped folder's file, by its path of entries.
    const DumpRun nested = RunDump(read + L"--find-hex \"69 6E\"");
    EXPECT_EQ(nested.status, 0u) << nested.err;
    EXPECT_TRUE(Contains(nested.out, L"/sub/inner.txt\t0\n")) << nested.out;

    const DumpRun absent = RunDump(read + L"--find \"no such words\"");
    EXPECT_EQ(absent.status, 1u);
    EXPECT_TRUE(absent.out.empty()) << absent.out;
    const DumpRun odd = RunDump(read + L"--find-hex \"4d 5a 9\"");
    EXPECT_EQ(odd.status, 2u);
    EXPECT_TRUE(Contains(odd.err, L"奇数")) << odd.err;
    const DumpRun letter = RunDump(read + L"--find-hex 4g");
    EXPECT_EQ(letter.status, 2u);
    EXPECT_TRUE(Contains(letter.err, L"「g」")) << letter.err;
    EXPECT_EQ(RunDump(read + L"--find \"\"").status, 2u);
}

TEST(KaviloDump, DecodedFieldsAndTheWarningsOfABrokenHeader)
{
    PeerProcess peer(L"structure_source", L"");
    ASSERT_TRUE(peer.WaitReady());
    const DumpRun json = RunDump(L"--json");
    EXPECT_EQ(json.status, 0u) << json.err;
    const auto report = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << json.out;
    std::map<std::string, nlohmann::json> decoded;
    for (const auto& entry : report["entries"])
        if (entry.contains("decoded")) decoded[entry["text"]] = entry["decoded"];
    const std::map<std::string, std::string> expected = {{"\"HTML Format\"", "HTML Format"},
                                                         {"CF_HDROP", "DROPFILES"},
                                                         {"CFSTR_FILEDESCRIPTORW", "FILEGROUPDESCRIPTORW"},
                                                         {"CFSTR_PREFERREDDROPEFFECT", "DROPEFFECT"},
                                                         {"CF_LOCALE", "LCID"},
                                                         {"\"PNG\"", "PNG"}};
    for (const auto& [text, decoder] : expected) {
        ASSERT_TRUE(decoded.count(text)) << text << "\n" << json.out;
        EXPECT_EQ(decoded[text]["decoder"], decoder);
    }
    // The offsets count characters: the warning sits on the field concerned.
    const auto find = [](const nlohmann::json& fields, const std::string& name) {
        for (const auto& field : fields)
            if (field["name"] == name) return field;
        return nlohmann::json();
    };
    const auto start = find(decoded["\"HTML Format\""]["fields"], "StartFragment");
    EXPECT_EQ(start["offset"], 55);
    EXPECT_EQ(start["value"], "139");
    ASSERT_TRUE(start.contains("warnings")) << start.dump();
    EXPECT_NE(start["warnings"][0].get<std::string>().find(ToUtf8(L"文字数で数えています")), std::string::npos);
    EXPECT_EQ(find(decoded["CF_HDROP"]["fields"], "[1]")["value"], "C:\\orvetta-absent\\b.txt");
    EXPECT_EQ(find(decoded["CFSTR_PREFERREDDROPEFFECT"]["fields"], "DWORD")["meaning"],
              "DROPEFFECT_COPY | DROPEFFECT_LINK");
    // A descriptor's members come as children; the PNG's chunks with their CRCs checked.
    const auto second = find(decoded["CFSTR_FILEDESCRIPTORW"]["fields"], "fgd[1]");
    EXPECT_EQ(second["children"].size(), 13u);
    EXPECT_TRUE(decoded["\"PNG\""]["warnings"].empty());
    EXPECT_EQ(find(decoded["\"PNG\""]["fields"], "IHDR")["value"], "2 x 2");

    const DumpRun text = RunDump(L"--decode --format \"\\\"HTML Format\\\"\"");
    EXPECT_TRUE(Contains(text.out, L"    [構造] HTML Format (警告 ")) << text.out;
    EXPECT_TRUE(Contains(text.out, L"      StartFragment [55, 26] 139  (オフセット (UTF-8 のバイト数))\n")) << text.out;
    EXPECT_FALSE(Contains(RunDump(L"--format \"\\\"HTML Format\\\"\"").out, L"[構造]"));
    EXPECT_EQ(peer.Finish(), 0u);
}

TEST(KaviloDump, HostileBlocksAllAtOnceAndAnOrdinaryText)
{
    PeerProcess peer(L"hostile_source", L"");
    ASSERT_TRUE(peer.WaitReady());
    ScratchDir save;
    const ULONGLONG start = ::GetTickCount64();
    const DumpRun json = RunDump(L"--json --save \"" + save.Path() + L"\"");
    const ULONGLONG took = ::GetTickCount64() - start;
    EXPECT_EQ(json.status, 0u) << json.err;
    // A few seconds, most of them Wine starting the process.
    EXPECT_LT(took, 15000u);
    const auto report = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << json.out;
    std::map<std::string, nlohmann::json> entries;
    for (const auto& entry : report["entries"]) entries[entry["text"]] = entry;
    for (const char* text :
         {"CFSTR_SHELLIDLIST", "CF_HDROP", "CFSTR_FILEDESCRIPTORW", "\"DragImageBits\"", "CF_DIB", "CF_UNICODETEXT"}) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(entries.count(text)) << json.out.substr(0, 4000);
        EXPECT_FALSE(entries[text]["rows"].empty());
        EXPECT_FALSE(entries[text].contains("image"));
    }
    bool damaged = false;
    for (const auto& row : entries["CFSTR_SHELLIDLIST"]["rows"])
        damaged = damaged || Contains(row.get<std::string>(), L"エラー\tShell IDList Arrayが壊れています");
    EXPECT_TRUE(damaged) << entries["CFSTR_SHELLIDLIST"].dump();

    const std::string file = entries["CF_UNICODETEXT"]["file"];  // ASCII: "6 CF_UNICODETEXT"
    fw::UniqueFile handle(::CreateFileW((save / std::wstring(file.begin(), file.end())).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    wchar_t content[64] = {};
    DWORD got = 0;
    ASSERT_TRUE(::ReadFile(handle.Get(), content, sizeof content - 2, &got, nullptr));
    EXPECT_STREQ(content, L"敵対的なデータの後の普通のテキスト");
    EXPECT_EQ(peer.Finish(), 0u);
}
