// The window's walk against the console's: a drop that names 100,000 files which do not
// exist (CF_HDROP of one-letter names) followed by a CF_UNICODETEXT, captured through the
// main window's path (the drop handler: progress dialog, capture, tree) and through the
// console's (a silent progress, then the JSON report), alternating, in the same run.
// Prints the medians and their ratio, and where the window's time goes: the capture with
// the progress dialog, the same with its item text left alone, and the tree's rebuild.
//   window_walk_bench.exe [--names N] [--rounds R] [--only window|console|bound]
#include "app/CopyingDialog.h"
#include "app/KaviloApp.h"
#include "app/SnapshotReport.h"
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CaptureProgress.h"
#include "capture/CaptureSettings.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"
#include "framework/Profile.h"

#include "bench/BenchDataObject.h"
#include "bench/BenchSupport.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace bench_support;

// The progress dialog with its item text left alone: what the text costs.
class TextlessDialog : public CCopyingDialog {
public:
    void SetItemText(const std::wstring&) override {}
};

// A DROPFILES block of `count` ANSI names, each the one letter `letter`.
std::vector<BYTE> OneLetterDrop(size_t count, char letter)
{
    DROPFILES header = {};
    header.pFiles = sizeof header;
    header.fWide = FALSE;
    std::vector<BYTE> bytes(sizeof header + count * 2 + 1, 0);
    std::memcpy(bytes.data(), &header, sizeof header);
    for (size_t i = 0; i < count; ++i) bytes[sizeof header + i * 2] = static_cast<BYTE>(letter);
    return bytes;
}

std::vector<BYTE> UnicodeText(const std::wstring& text)
{
    std::vector<BYTE> bytes((text.size() + 1) * sizeof(wchar_t), 0);
    std::memcpy(bytes.data(), text.c_str(), text.size() * sizeof(wchar_t));
    return bytes;
}

void AttachSource(COleDataObject& object, const std::vector<BYTE>& drop)
{
    auto* source = new OfferedBlocks({{CF_HDROP, drop}, {CF_UNICODETEXT, UnicodeText(L"後に続くテキスト")}});
    object.Attach(source);
    source->Release();
}

size_t CountEntries(const CCBDataArray& snapshot)
{
    size_t count = snapshot.size();
    for (const auto& entry : snapshot)
        if (entry->m_children) count += CountEntries(*entry->m_children);
    return count;
}

size_t g_expected = 0;

void Check(const char* path, const CCBDataArray* snapshot)
{
    const size_t got = snapshot ? CountEntries(*snapshot) : 0;
    if (got != g_expected) std::printf("%s: %zu entries, expected %zu\n", path, got, g_expected);
}

double Console(const std::vector<BYTE>& drop)
{
    COleDataObject object;
    AttachSource(object, drop);
    const auto start = std::chrono::steady_clock::now();
    auto snapshot = std::make_shared<CCBDataArray>();
    std::vector<FORMATETC> formats;
    ListFormats(object, formats);
    SilentProgress progress;
    snapshot->Capture(object, formats, progress);
    SnapshotReportInput input;
    input.title = L"console";
    ListFormatTexts(formats, input.offered);
    input.snapshot = snapshot.get();
    const std::string report = BuildJsonReport(input);
    const double t = Seconds(start);
    Check("console", snapshot.get());
    return t;
}

// The snapshot is let go after the timing, as the console's is, unless `keep`.
double Window(CKaviloDoc& document, const std::vector<BYTE>& drop, bool keep = false)
{
    COleDataObject object;
    AttachSource(object, drop);
    const auto start = std::chrono::steady_clock::now();
    document.CaptureDrop(object, false, DROPEFFECT_COPY);
    const double t = Seconds(start);
    Check("window", document.GetSnapshot().get());
    if (!keep) document.ReleaseSnapshot();
    return t;
}

template <typename Dialog>
double CaptureWith(const std::vector<BYTE>& drop)
{
    COleDataObject object;
    AttachSource(object, drop);
    std::vector<FORMATETC> formats;
    ListFormats(object, formats);
    auto snapshot = std::make_shared<CCBDataArray>();
    const auto start = std::chrono::steady_clock::now();
    {
        Dialog progress;
        snapshot->Capture(object, formats, progress);
    }
    const double t = Seconds(start);
    Check("breakdown", snapshot.get());
    return t;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    size_t names = 100000;
    int rounds = 3;
    std::wstring only;  // "window" or "console": that path alone, for a profiler
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::wcscmp(argv[i], L"--names") == 0) names = std::wcstoul(argv[i + 1], nullptr, 10);
        if (std::wcscmp(argv[i], L"--rounds") == 0) rounds = static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
        if (std::wcscmp(argv[i], L"--only") == 0) only = argv[i + 1];
    }
    if (rounds < 1) rounds = 1;
    fw::MessageBoxRecorder boxes;
    char letter = 'q';
    while (::GetFileAttributesA(std::string(1, letter).c_str()) != INVALID_FILE_ATTRIBUTES) ++letter;
    const std::vector<BYTE> drop = OneLetterDrop(names, letter);
    g_expected = 2 + names;

    CKaviloApp app;
    if (!app.InitInstance()) {
        std::printf("the application does not start\n");
        return 1;
    }
    CKaviloDoc& document = *app.GetDocument();
    if (only == L"bound") {
        // A 16 MiB list (8.4 million names) against the entry bound lowered to `names`: the
        // capture ends after the bound's items, and memory follows the bound, not the list.
        CaptureSettings().m_maxEntries = names;
        const std::vector<BYTE> huge = OneLetterDrop((16u << 20) / 2 - 16, letter);
        COleDataObject object;
        AttachSource(object, huge);
        const auto start = std::chrono::steady_clock::now();
        auto snapshot = std::make_shared<CCBDataArray>();
        std::vector<FORMATETC> formats;
        ListFormats(object, formats);
        SilentProgress progress;
        snapshot->Capture(object, formats, progress);
        const double t = Seconds(start);
        std::printf("%zu names against a bound of %zu entries: %.3f s, %zu entries, peak working set %.1f MiB\n",
                    (huge.size() - sizeof(DROPFILES)) / 2, names, t, CountEntries(*snapshot), PeakWorkingSetMiB());
        if (!snapshot->empty() && !(*snapshot)[0]->m_properties.empty())
            std::printf("  %s\n", ToUtf8((*snapshot)[0]->m_properties.back()).c_str());
        app.ExitInstance();
        return 0;
    }
    if (!only.empty()) {
        static std::map<UINT, int> seen;
        HHOOK hook = ::SetWindowsHookExW(
            WH_GETMESSAGE,
            [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
                if (code == HC_ACTION && wParam == PM_REMOVE) ++seen[reinterpret_cast<MSG*>(lParam)->message];
                return ::CallNextHookEx(nullptr, code, wParam, lParam);
            },
            nullptr, ::GetCurrentThreadId());
        const double t = only == L"window" ? Window(document, drop) : Console(drop);
        ::UnhookWindowsHookEx(hook);
        std::printf("%ls alone: %.3f s\n", only.c_str(), t);
        for (const auto& [message, count] : seen) std::printf("  message 0x%04x: %d\n", message, count);
        document.ReleaseSnapshot();
        app.ExitInstance();
        return 0;
    }
    std::vector<double> console, window;
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            console.push_back(Console(drop));
            window.push_back(Window(document, drop));
        } else {
            window.push_back(Window(document, drop));
            console.push_back(Console(drop));
        }
    }
    const double c = Median(console), w = Median(window);
    std::printf("%zu names dropped as CF_HDROP  console %7.3f s  window %7.3f s  ratio %.3f  (median of %d)\n", names,
                c, w, w / c, rounds);
    // Rounds side by side share the machine's load of the moment: their ratios say more on
    // a busy machine than the medians taken apart.
    std::vector<double> ratios;
    for (int i = 0; i < rounds; ++i) {
        ratios.push_back(window[i] / console[i]);
        std::printf("  round %d: console %.3f s, window %.3f s, ratio %.3f\n", i + 1, console[i], window[i],
                    ratios.back());
    }
    std::printf("  median of the rounds' ratios %.3f\n", Median(ratios));

    // Where the window's time goes, one run each.
    const double withDialog = CaptureWith<CCopyingDialog>(drop);
    const double textless = CaptureWith<TextlessDialog>(drop);
    const double silent = CaptureWith<SilentProgress>(drop);
    Window(document, drop, true);
    const auto start = std::chrono::steady_clock::now();
    document.UpdateAllViews(nullptr, CKaviloDoc::HintSnapshotReplaced);
    const double tree = Seconds(start);
    std::printf("  capture: progress dialog %.3f s, dialog without item text %.3f s, no dialog %.3f s\n", withDialog,
                textless, silent);
    HWND treeWindow = app.GetMainFrame()->GetLeftView().GetSafeHwnd();
    HTREEITEM dropItem = TreeView_GetChild(treeWindow, TreeView_GetRoot(treeWindow));
    const auto expandStart = std::chrono::steady_clock::now();
    TreeView_Expand(treeWindow, dropItem, TVE_EXPAND);
    ::UpdateWindow(treeWindow);
    const double expand = Seconds(expandStart);
    size_t items = 0;
    for (HTREEITEM child = TreeView_GetChild(treeWindow, dropItem); child;
         child = TreeView_GetNextSibling(treeWindow, child))
        ++items;
    std::printf("  tree rebuilt from the snapshot %.3f s; the drop's %zu items expanded in %.3f s\n", tree, items,
                expand);
    std::printf("  peak working set %.1f MiB\n", PeakWorkingSetMiB());
    document.ReleaseSnapshot();
    app.ExitInstance();
    return 0;
}
