// kavilo-dump: captures the clipboard with the program's own engine and prints the
// snapshot, as text or JSON, optionally saving every entry's bytes and the whole
// snapshot to a snapshot file; or reports a saved snapshot file instead of the clipboard.
//
//   kavilo-dump [--format NAME] [--json | --decode] [--save DIR] [--write FILE]
//   kavilo-dump --read FILE [--json | --decode] [--save DIR]
//   kavilo-dump [--format NAME | --read FILE] --offer [--seconds N]
//   kavilo-dump --watch [--seconds N] [--json] [--list-only] [--save DIR]
//   kavilo-dump --diff A B [--json]
//   kavilo-dump [--read FILE] (--find TEXT | --find-hex "HEX BYTES") [--json]
//
// --offer puts the capture or the saved snapshot back on the clipboard and serves it
// until Enter, Ctrl+C or N seconds, then leaves on the clipboard what can be kept without
// the program; every request and write it answers is told on stderr.
//
// --decode prints under each entry whose format has a decoder the fields the 構造 page
// shows; the JSON report always carries them as "decoded".
//
// NAME is a format description as the program shows it ("CF_UNICODETEXT",
// "\"HTML Format\"", "CF_TEXT THUMBNAIL ") or a format number. Exit status: 0 done,
// 1 the clipboard could not be read or captured, or a snapshot file not read or written,
// 2 bad arguments.
//
// --watch takes a snapshot of every change of the clipboard until Enter, Ctrl+C or N
// seconds (rapid changes coalesced), each preceded by its time and owner, or one JSON
// object a line; --save DIR writes each as DIR/<n>.kavilo. --diff compares two snapshot
// files, exiting as diff does: 0 the same, 1 different, 2 bad arguments, an unreadable
// file or a stop.
#include "app/DiffReport.h"
// --find searches every entry's bytes (nested ones too) for TEXT as UTF-8, UTF-16LE and the
// ANSI code page, --find-hex for the bytes given, and prints one hit a line instead of the
// report; the exit status is then 0 with hits, 1 without, 2 for a bad pattern.
#include "app/FindReport.h"
#include "app/FormatChoice.h"
#include "app/SnapshotReport.h"
#include "app/WatchPacer.h"
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CaptureProgress.h"
#include "capture/CaptureSettings.h"
#include "capture/ClipboardOwner.h"
#include "capture/FormatCatalogue.h"
#include "capture/GdiplusInclude.h"
#include "capture/RegisteredFormats.h"
#include "capture/ReplayDataObject.h"
#include "capture/SnapshotComparison.h"
#include "capture/SnapshotFile.h"
#include "capture/TempStore.h"
#include "capture/bytes/TempNames.h"
#include "framework/Clipboard.h"
#include "framework/Format.h"
#include "framework/Handles.h"
#include "framework/Utf8.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"
#include "framework/Profile.h"

#include <windows.h>
#include <wincodec.h>

#include <atomic>
#include <cwchar>
#include <new>
#include <optional>
#include <string>
#include <tuple>

namespace {

std::atomic<bool> g_stop{false};

// Ctrl+C and Ctrl+Break stop the capture as the Stop button does; what was taken is printed.
BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        g_stop = true;
        return TRUE;
    }
    return FALSE;
}

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

// UTF-8 bytes to a pipe or file; the same text through the console API to a console.
void Write(HANDLE handle, const std::string& utf8)
{
    if (utf8.empty()) return;
    if (IsConsole(handle)) {
        const std::wstring wide = fw::FromUtf8(utf8);
        DWORD written = 0;
        ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    DWORD written = 0;
    ::WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void Error(std::wstring text)
{
    // Messages made for a message box break their lines with CR LF.
    for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at)) text.erase(at, 1);
    Write(::GetStdHandle(STD_ERROR_HANDLE), ToUtf8(text + L"\n"));
}

class ConsoleProgress : public ICaptureProgress {
public:
    // What the line says is being done: a capture unless told otherwise.
    std::wstring m_doing = L"取り込み中... ";
    void Open() override {}
    void Close() override
    {
        if (m_shown) Write(m_stderr, "\r\x1b[K");
    }
    void SetItemText(const std::wstring& text) override
    {
        if (!IsConsole(m_stderr)) return;
        Write(m_stderr, "\r\x1b[K" + ToUtf8(m_doing + EscapeControls(text, false)));
        m_shown = true;
    }
    BOOL IsStopRequested() const override { return g_stop ? TRUE : FALSE; }
    HWND GetDialogWindow() const override { return nullptr; }

private:
    HANDLE m_stderr = ::GetStdHandle(STD_ERROR_HANDLE);
    bool m_shown = false;
};

int Usage(const std::wstring& problem)
{
    if (!problem.empty()) Error(problem);
    Error(
        L"使い方: kavilo-dump [--format 形式名|番号] [--json | --decode] [--save フォルダ] [--write ファイル]\n"
        L"       kavilo-dump --read ファイル [--json | --decode] [--save フォルダ]\n"
        L"       kavilo-dump [--format 形式名|番号 | --read ファイル] --offer [--seconds 秒数]\n"
        L"       kavilo-dump --watch [--seconds 秒数] [--json] [--list-only] [--save フォルダ]\n"
        L"       kavilo-dump --diff ファイルA ファイルB [--json]\n"
        L"       kavilo-dump [--read ファイル] (--find 文字列 | --find-hex \"16進数\") [--json]");
    return 2;
}

std::optional<size_t> FindFormat(const std::vector<FORMATETC>& offered, const std::wstring& wanted)
{
    for (size_t i = 0; i < offered.size(); ++i)
        if (GetFormatEtcText(offered[i]) == wanted) return i;
    wchar_t* end = nullptr;
    const unsigned long number = std::wcstoul(wanted.c_str(), &end, 0);
    if (!wanted.empty() && end && *end == L'\0') {
        for (size_t i = 0; i < offered.size(); ++i)
            if (offered[i].cfFormat == number) return i;
    }
    return std::nullopt;
}

// Set when a line of standard input arrives (Enter at a console, a line through a pipe).
HANDLE g_enter = nullptr;

DWORD WINAPI WatchInput(void*)
{
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    char buffer[256];
    DWORD got = 0;
    while (::ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got) {
        for (DWORD i = 0; i < got; ++i)
            if (buffer[i] == '\n' || buffer[i] == '\r') ::SetEvent(g_enter);
    }
    return 0;  // the end of the input is no request to stop: a script may close it
}

// Offers the snapshot on the clipboard and serves it, answering requests as window
// messages arrive, until Enter, Ctrl+C or the deadline; then flushes what can be kept.
int Offer(const std::shared_ptr<CCBDataArray>& snapshot, DWORD seconds)
{
    fw::ComPtr<CReplayDataObject> replay = CReplayDataObject::ForSnapshot(snapshot);
    if (!replay) return 1;
    replay->SetLog([](const std::wstring& line) { Error(EscapeControls(line, false)); });
    if (FAILED(fw::SetOleClipboardWithRetry(replay.Get(), 2000))) {
        Error(L"クリップボードに戻せませんでした。");
        return 1;
    }
    Error(seconds ? fw::Format(L"クリップボードに戻しました。Enter、Ctrl+C または %lu 秒で終わります。",
                               static_cast<unsigned long>(seconds))
                  : std::wstring(L"クリップボードに戻しました。Enter または Ctrl+C で終わります。"));
    fw::UniqueHandle enter(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_enter = enter.Get();
    fw::UniqueHandle watcher(::CreateThread(nullptr, 0, &WatchInput, nullptr, 0, nullptr));
    const ULONGLONG deadline = seconds ? ::GetTickCount64() + seconds * 1000ull : 0;
    while (!g_stop && (!deadline || ::GetTickCount64() < deadline)) {
        HANDLE wait = enter.Get();
        // Ctrl+C arrives on another thread: look at the flag at least ten times a second.
        if (::MsgWaitForMultipleObjects(1, &wait, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (::OleIsCurrentClipboard(replay.Get()) == S_OK) ::OleFlushClipboard();
    // The watcher may still wait for input; the process ends it.
    return 0;
}

void ReportMessages(const fw::MessageBoxRecorder& boxes, size_t from)
{
    for (size_t i = from; i < boxes.Boxes().size(); ++i) Error(boxes.Boxes()[i].text);
}

// Captures the clipboard (or the one chosen format) into `snapshot`; 0, or 1 when the
// clipboard cannot be read or captured. `captured` tells whether the capture ran, so
// that what it took is reported even when memory ran out.
int CaptureClipboard(const std::optional<std::wstring>& formatName, CSnapshotInfo& info,
                     std::shared_ptr<CCBDataArray>& snapshot, ConsoleProgress& progress, bool& captured,
                     bool listOnly = false)
{
    info.title = fw::Format(L"クリップボード#%u", ::GetClipboardSequenceNumber());
    info.taken = SnapshotTimeNow();
    info.how = L"console";
    info.owner = QueryClipboardOwner();
    COleDataObject clipboard;
    if (!clipboard.AttachClipboard()) {
        Error(L"クリップボードを読めません。");
        return 1;
    }
    std::vector<FORMATETC> offered, enumerated;
    // Ctrl+C ends a list that would not end by itself.
    const bool listCut =
        ListFormats(clipboard, offered, &enumerated, [&progress] { return progress.IsStopRequested() != FALSE; });
    std::vector<FORMATETC> capture = listOnly ? std::vector<FORMATETC>() : offered;
    if (formatName) {
        const std::optional<size_t> chosen = FindFormat(offered, *formatName);
        if (!chosen) {
            Error(L"その形式はクリップボードにありません: " + *formatName);
            return 1;
        }
        capture = FormatsForChoice(offered, *chosen);
    }
    ListFormatTexts(offered, info.offered);
    int status = 0;
    captured = true;
    try {
        snapshot->Capture(clipboard, capture, progress);
        snapshot->RecordEnumeration(enumerated, capture);
        if (listCut) snapshot->push_back(MakeFormatListCutEntry());
    } catch (const std::bad_alloc&) {
        snapshot.reset();
        Error(L"メモリが足りません。");
        status = 1;
    }
    clipboard.Release();
    return status;
}

// The owner as one line of the text report.
std::wstring OwnerLine(const std::optional<CClipboardOwner>& owner)
{
    std::wstring line;
    for (const std::wstring& row : BuildOwnerRows(owner.value_or(CClipboardOwner()))) {
        const size_t tab = row.find(L'\t');
        line += (line.empty() ? L"" : L"、") + row.substr(0, tab) + L" " + row.substr(tab + 1);
    }
    return line;
}

// Set for each WM_CLIPBOARDUPDATE the watch's window receives.
CWatchPacer* g_pacer = nullptr;

LRESULT CALLBACK ListenerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CLIPBOARDUPDATE) {
        if (g_pacer) g_pacer->Changed(::GetTickCount64());
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

struct WatchOptions {
    bool json = false;
    bool listOnly = false;
    std::wstring saveFolder;
    DWORD seconds = 0;
};

// Takes a snapshot of every change of the clipboard (coalesced by the pacer) until Enter,
// Ctrl+C or the deadline, and prints each as it is taken.
int Watch(const WatchOptions& options, fw::MessageBoxRecorder& boxes)
{
    WNDCLASSEXW wc = {sizeof wc};
    wc.lpfnWndProc = &ListenerProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KaviloDumpWatch";
    ::RegisterClassExW(&wc);
    HWND listener =
        ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!listener || !::AddClipboardFormatListener(listener)) {
        Error(L"クリップボードを監視できません。");
        if (listener) ::DestroyWindow(listener);
        return 1;
    }
    CWatchPacer pacer;
    g_pacer = &pacer;
    if (!options.saveFolder.empty()) ::CreateDirectoryW(options.saveFolder.c_str(), nullptr);
    Error(options.seconds ? fw::Format(L"クリップボードを監視しています。Enter、Ctrl+C または %lu 秒で終わります。",
                                       static_cast<unsigned long>(options.seconds))
                          : std::wstring(L"クリップボードを監視しています。Enter または Ctrl+C で終わります。"));
    fw::UniqueHandle enter(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_enter = enter.Get();
    fw::UniqueHandle watcher(::CreateThread(nullptr, 0, &WatchInput, nullptr, 0, nullptr));
    const ULONGLONG deadline = options.seconds ? ::GetTickCount64() + options.seconds * 1000ull : 0;
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    int status = 0;
    unsigned saved = 0;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (g_stop || (deadline && now >= deadline)) break;
        if (pacer.Due(now) && QueryClipboardOwner().pid == ::GetCurrentProcessId()) {
            // Never the program's own: what this process put there tells nothing new.
            pacer.Drop();
        } else if (pacer.Due(now)) {
            CSnapshotInfo info;
            auto snapshot = std::make_shared<CCBDataArray>();
            ConsoleProgress progress;
            bool captured = false;
            pacer.Start(now);
            const size_t shown = boxes.Boxes().size();
            const int captureStatus =
                CaptureClipboard(std::nullopt, info, snapshot, progress, captured, options.listOnly);
            pacer.Finished(::GetTickCount64());
            ReportMessages(boxes, shown);
            if (captureStatus != 0) status = 1;
            if (captured && snapshot) {
                SnapshotReportInput input;
                input.title = info.title;
                input.offered = info.offered;
                input.snapshot = snapshot.get();
                input.owner = info.owner;
                if (options.json) {
                    input.taken = info.taken;
                    input.oneLine = true;
                    Write(out, BuildJsonReport(input));
                } else {
                    Write(out,
                          ToUtf8(L"=== " + info.taken + L" " + OwnerLine(info.owner) + L"\n") + BuildTextReport(input));
                }
                if (!options.saveFolder.empty()) {
                    const std::wstring path = JoinPath(options.saveFolder, std::to_wstring(++saved) + L".kavilo");
                    const SnapshotFileResult written = SaveSnapshotFile(path, info, *snapshot, progress);
                    if (!written.Done()) {
                        Error(written.message);
                        status = 1;
                    }
                }
            }
            continue;
        }
        HANDLE wait = enter.Get();
        // Ctrl+C arrives on another thread: look at the flag at least ten times a second.
        const uint64_t untilDue = pacer.Wait(now);
        const DWORD timeout = static_cast<DWORD>(untilDue < 100 ? untilDue : 100);
        if (::MsgWaitForMultipleObjects(1, &wait, FALSE, timeout, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    ::RemoveClipboardFormatListener(listener);
    ::DestroyWindow(listener);
    g_pacer = nullptr;
    Error(fw::Format(L"変更 %llu 件、スナップショット %llu 件、まとめて飛ばした変更 %llu 件。",
                     static_cast<unsigned long long>(pacer.Changes()),
                     static_cast<unsigned long long>(pacer.Snapshots()),
                     static_cast<unsigned long long>(pacer.Skipped())));
    return status;
}

// Compares two snapshot files; the exit status as diff's.
int Diff(const std::wstring& pathA, const std::wstring& pathB, bool json)
{
    ConsoleProgress progress;
    CSnapshotInfo infoA, infoB;
    auto a = std::make_shared<CCBDataArray>();
    auto b = std::make_shared<CCBDataArray>();
    for (auto [path, info, snapshot] : {std::tuple(&pathA, &infoA, &a), std::tuple(&pathB, &infoB, &b)}) {
        const SnapshotFileResult read = OpenSnapshotFile(*path, *info, *snapshot, progress);
        if (!read.Done()) {
            Error(*path + L": " + read.message);
            return 2;
        }
    }
    const std::vector<CompareNode> treeA = BuildCompareTree(*a), treeB = BuildCompareTree(*b);
    const CompareResult result = CompareSnapshotTrees(treeA, treeB, progress);
    if (result.stopped) {
        Error(L"中止しました。");
        return 2;
    }
    Write(::GetStdHandle(STD_OUTPUT_HANDLE), json ? BuildDiffJson(result) : BuildDiffText(result));
    return result.Same() ? 0 : 1;
}

// Prints every hit of `query` in the snapshot; 0 with hits, 1 without or when stopped.
int Find(const CCBDataArray& snapshot, const FindQuery& query, bool json)
{
    std::vector<SnapshotFindHit> hits;
    std::wstring error;
    const bool done = FindInSnapshot(
        snapshot, query, ::GetACP(), [&](const SnapshotFindHit& hit) { hits.push_back(hit); },
        [](uint64_t, uint64_t) { return !g_stop; }, error);
    if (!error.empty()) Error(error);
    Write(::GetStdHandle(STD_OUTPUT_HANDLE), json ? BuildFindJsonReport(hits) : BuildFindTextReport(hits));
    return done && !hits.empty() ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::optional<std::wstring> formatName;
    std::wstring saveFolder, readFile, writeFile;
    bool json = false;
    bool decode = false;
    bool offer = false;
    bool watch = false, listOnly = false;
    std::optional<std::pair<std::wstring, std::wstring>> diff;
    DWORD seconds = 0;
    std::optional<FindQuery> find;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--json") {
            json = true;
        } else if (arg == L"--decode") {
            decode = true;
        } else if (arg == L"--offer") {
            offer = true;
        } else if (arg == L"--watch") {
            watch = true;
        } else if (arg == L"--list-only") {
            listOnly = true;
        } else if (arg == L"--diff" && i + 2 < argc) {
            diff.emplace(argv[i + 1], argv[i + 2]);
            i += 2;
        } else if (arg == L"--seconds" && i + 1 < argc) {
            wchar_t* end = nullptr;
            const unsigned long value = std::wcstoul(argv[++i], &end, 10);
            if (!end || *end != L'\0' || value == 0 || value > 86400)
                return Usage(L"秒数が正しくありません: " + std::wstring(argv[i]));
            seconds = static_cast<DWORD>(value);
        } else if (arg == L"--format" && i + 1 < argc) {
            formatName = argv[++i];
        } else if (arg == L"--save" && i + 1 < argc) {
            saveFolder = argv[++i];
        } else if (arg == L"--read" && i + 1 < argc) {
            readFile = argv[++i];
        } else if (arg == L"--write" && i + 1 < argc) {
            writeFile = argv[++i];
        } else if ((arg == L"--find" || arg == L"--find-hex") && i + 1 < argc) {
            if (find) return Usage(L"--find と --find-hex は一つだけ指定できます。");
            find = FindQuery{};
            find->text = argv[++i];
            find->hex = arg == L"--find-hex";
        } else if (arg == L"--help" || arg == L"-h") {
            return Usage(L"");
        } else {
            return Usage(L"不明な引数です: " + arg);
        }
    }
    if (!readFile.empty() && (formatName || !writeFile.empty()))
        return Usage(L"--read は --format、--write と一緒には使えません。");
    if (seconds && !offer && !watch) return Usage(L"--seconds は --offer か --watch と使います。");
    if (diff && (formatName || offer || watch || listOnly || !saveFolder.empty() || !readFile.empty() ||
                 !writeFile.empty() || seconds))
        return Usage(L"--diff は --json とだけ使えます。");
    if (watch && (formatName || offer || !readFile.empty() || !writeFile.empty()))
        return Usage(L"--watch は --format、--offer、--read、--write と一緒には使えません。");
    if (listOnly && !watch) return Usage(L"--list-only は --watch と使います。");
    if (find) {
        if (offer || watch || diff || !saveFolder.empty() || !writeFile.empty())
            return Usage(L"--find、--find-hex は --offer、--watch、--diff、--save、--write と一緒には使えません。");
        std::wstring problem;
        BuildFindPatterns(*find, ::GetACP(), problem);
        if (!problem.empty()) return Usage(problem);
    }

    // Messages the program would show in a box go to stderr instead.
    fw::MessageBoxRecorder boxes;
    fw::OleInit ole;
    if (FAILED(ole.Result())) {
        Error(L"OLE の初期化に失敗しました。");
        return 1;
    }
    // Pictures are measured as the image page would: GDI+ and the imaging factory.
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    const bool gdiplus = Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr) == Gdiplus::Ok;
    fw::ComPtr<IWICImagingFactory2> wic;
    ::CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&wic));
    CaptureSettings().m_wicFactory = wic.Get();
    fw::SetRegistryKey(L"Orvetta");
    CaptureSettings().m_subDirSizeLimit = fw::GetProfileInt(L"Settings", L"SubDirSizeLimit", 128);
    CaptureSettings().m_howToGetShellIDList = fw::GetProfileInt(L"Settings", L"HowToGetShellIDList", 0);
    RegisterKnownFormats();
    CTempStore& store = TheTempStore();
    if (!SetUpTempStore(store, fw::GetProfileString(L"Settings", L"TemporaryFolder", L""))) {
        ReportMessages(boxes, 0);
        return 1;
    }
    ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);

    int status = 0;
    if (diff) {
        status = Diff(diff->first, diff->second, json);
    } else if (watch) {
        status = Watch({json, listOnly, saveFolder, seconds}, boxes);
    } else {
        CSnapshotInfo info;
        auto snapshot = std::make_shared<CCBDataArray>();
        ConsoleProgress progress;
        bool report = false;
        if (!readFile.empty()) {
            progress.m_doing = L"読み込み中... ";
            const SnapshotFileResult read = OpenSnapshotFile(readFile, info, snapshot, progress);
            if (!read.Done()) {
                Error(read.message);
                status = 1;
            }
            report = status == 0;
        } else {
            status = CaptureClipboard(formatName, info, snapshot, progress, report);
        }
        ReportMessages(boxes, 0);
        const size_t shown = boxes.Boxes().size();
        if (report && find) {
            status = snapshot ? Find(*snapshot, *find, json) : 1;
        } else if (report && !offer) {
            SnapshotReportInput input;
            input.title = info.title;
            input.offered = info.offered;
            input.snapshot = snapshot.get();
            input.owner = info.owner;
            input.decode = decode;
            if (!saveFolder.empty()) {
                ::CreateDirectoryW(saveFolder.c_str(), nullptr);
                input.saveFolder = saveFolder;
            }
            Write(::GetStdHandle(STD_OUTPUT_HANDLE), json ? BuildJsonReport(input) : BuildTextReport(input));
            ReportMessages(boxes, shown);
        }
        if (status == 0 && !writeFile.empty() && snapshot) {
            progress.m_doing = L"保存中... ";
            const SnapshotFileResult written = SaveSnapshotFile(writeFile, info, *snapshot, progress);
            if (!written.Done()) {
                Error(written.message);
                status = 1;
            }
        }
        if (status == 0 && report && offer && snapshot) {
            status = Offer(snapshot, seconds);
            ReportMessages(boxes, shown);
        }
    }
    store.CleanUpTempFolder();
    CaptureSettings().m_wicFactory = nullptr;
    wic.Reset();
    if (gdiplus) Gdiplus::GdiplusShutdown(gdiplusToken);
    return status;
}
