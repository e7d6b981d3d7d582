// Text page: the time to the first screen of a 16 MiB and a 1 GiB UTF-8 entry (page
// created, shown text decoded and painted), which must not depend on the entry's size,
// against the plain way of showing the same number of shown bytes: MultiByteToWideChar
// plus SetWindowTextW into a bare multi-line edit of the same styles, painted. Then the
// time until the whole-entry NUL and line-end report is done, and the peak working set.
// And detection, whose cost must not depend on the size of the data either: 64 MiB
// against 64 KiB. Medians of alternating rounds in one run, and their ratios.
#include "capture/CBData.h"
#include "capture/TempStore.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "res/textview_resource.h"
#include "viewers/TextViewDialog.h"

#include "bench/BenchSupport.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace bench_support;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Japanese and Latin text in lines of about 60 characters, CR LF line ends.
std::string MakeText(size_t size)
{
    const std::string line =
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88 "
        "clipboard text line with some ASCII words 0123456789\r\n";
    std::string text;
    text.reserve(size + line.size());
    while (text.size() < size) text += line;
    text.resize(size);
    return text;
}

constexpr DWORD kEditStyles =
    WS_CHILD | WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL;

double ShowPlain(HWND parent, HFONT font, const std::string& bytes)
{
    const auto start = Clock::now();
    const int count = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), count, nullptr, 0);
    std::wstring text(static_cast<size_t>(needed), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), count, text.data(), needed);
    HWND edit =
        ::CreateWindowExW(0, L"EDIT", L"", kEditStyles | WS_VISIBLE, 0, 0, 600, 400, parent, nullptr, nullptr, nullptr);
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SetWindowTextW(edit, text.c_str());
    ::UpdateWindow(edit);
    const double t = Seconds(start);
    if (::GetWindowTextLengthW(edit) != needed) std::printf("plain edit lost text\n");
    ::DestroyWindow(edit);
    return t;
}

void PumpUntilReported(const CTextViewDialog& page)
{
    while (page.IsReportPending()) {
        MSG msg;
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        else
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

struct PageTimes {
    double firstScreen = 0;
    double report = 0;  // from the start, until the whole-entry report is shown
};

PageTimes ShowOnPage(HWND parent, CCBData* entry, bool waitForReport)
{
    PageTimes times;
    const auto start = Clock::now();
    CTextViewDialog page(entry);
    if (!page.CreatePage(parent)) std::printf("no page: the resources are missing\n");
    ::SetWindowPos(page.GetSafeHwnd(), nullptr, 0, 0, 600, 400, SWP_NOZORDER | SWP_SHOWWINDOW);
    ::UpdateWindow(page.GetSafeHwnd());
    times.firstScreen = Seconds(start);
    const int shown = ::GetWindowTextLengthW(page.GetDlgItem(IDC_TEXT_EDIT));
    if (shown <= 0 || static_cast<uint64_t>(shown) > CTextViewDialog::kShownBytes)
        std::printf("page shows %d characters\n", shown);
    if (waitForReport) {
        PumpUntilReported(page);
        times.report = Seconds(start);
        const std::wstring status = page.GetDlgItemText(IDC_TEXT_STATUS);
        if (status.rfind(L"終端NUL: ", 0) != 0) std::printf("no report: %ls\n", status.c_str());
    }
    return times;
}

std::shared_ptr<CCBData> WriteEntry(const std::string& chunk, uint64_t size)
{
    const std::wstring path = CreateTempFile();
    fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (uint64_t done = 0; done < size; done += chunk.size()) {
        DWORD written = 0;
        ::WriteFile(file.Get(), chunk.data(), static_cast<DWORD>(std::min<uint64_t>(chunk.size(), size - done)),
                    &written, nullptr);
    }
    auto entry = std::make_shared<CCBData>();
    entry->m_fmt = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    entry->m_defaultCodePage = 65001;
    entry->m_tempFile = path;
    entry->m_dataSize = size;
    return entry;
}

double DetectRounds(const std::vector<uint8_t>& data, int calls)
{
    int sink = 0;
    const auto start = Clock::now();
    for (int i = 0; i < calls; ++i) sink += CTextViewDialog::DetectCodePage(data.data(), data.size());
    const double t = Seconds(start) / calls;
    if (sink != calls * 65001 && sink != 0) std::printf("detection answers differ\n");
    return t;
}

}  // namespace

int wmain()
{
    fw::MessageBoxRecorder boxes;
    fw::OleInit ole;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    fw::SetRegistryKey(L"OrvettaTextViewBench");
    CTempStore& store = TheTempStore();
    if (!SetUpTempStore(store, L"")) return 1;

    // The 1 GiB entry repeats the 16 MiB one.
    const std::string bytes = MakeText(16u << 20);
    auto medium = WriteEntry(bytes, bytes.size());
    auto huge = WriteEntry(bytes, 1ull << 30);

    HWND frame = ::CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                   nullptr, nullptr, nullptr);
    // The plain edit measures its lines in the page's own font: an empty page lends it.
    CTextViewDialog fontSource(nullptr);
    if (!fontSource.CreatePage(frame)) return 1;
    const HFONT font = reinterpret_cast<HFONT>(::SendMessageW(fontSource.GetSafeHwnd(), WM_GETFONT, 0, 0));
    const std::string shownBytes = bytes.substr(0, CTextViewDialog::kShownBytes);
    const int rounds = 5;
    std::vector<double> plain, mediumFirst, hugeFirst;
    for (int i = 0; i < rounds; ++i) {
        const bool plainFirst = i % 2 == 0;
        if (plainFirst) plain.push_back(ShowPlain(frame, font, shownBytes));
        mediumFirst.push_back(ShowOnPage(frame, medium.get(), false).firstScreen);
        hugeFirst.push_back(ShowOnPage(frame, huge.get(), false).firstScreen);
        if (!plainFirst) plain.push_back(ShowPlain(frame, font, shownBytes));
    }
    const double p = Median(plain), m = Median(mediumFirst), h = Median(hugeFirst);
    std::printf("first screen         bare edit (%u KiB shown) %7.3f s  16 MiB entry %7.3f s  1 GiB entry %7.3f s\n",
                static_cast<unsigned>(CTextViewDialog::kShownBytes / 1024), p, m, h);
    std::printf(
        "                     ratios 16 MiB / bare %.3f  1 GiB / bare %.3f  1 GiB / 16 MiB %.3f  (median of %d)\n",
        m / p, h / p, h / m, rounds);
    const PageTimes mediumReport = ShowOnPage(frame, medium.get(), true);
    const PageTimes hugeReport = ShowOnPage(frame, huge.get(), true);
    std::printf("whole-entry report   16 MiB %7.3f s  1 GiB %7.3f s  (first screens in these runs %.3f s, %.3f s)\n",
                mediumReport.report, hugeReport.report, mediumReport.firstScreen, hugeReport.firstScreen);
    std::printf("peak working set     %.1f MiB\n", PeakWorkingSetMiB());

    std::vector<uint8_t> large(bytes.begin(), bytes.end());
    while (large.size() < (64u << 20)) large.insert(large.end(), bytes.begin(), bytes.end());
    large.resize(64u << 20);
    const std::vector<uint8_t> small(large.begin(), large.begin() + (64u << 10));
    const int calls = 2000, detectRounds = 9;
    std::vector<double> smallTimes, largeTimes;
    for (int i = 0; i < detectRounds; ++i) {
        if (i % 2 == 0) {
            smallTimes.push_back(DetectRounds(small, calls));
            largeTimes.push_back(DetectRounds(large, calls));
        } else {
            largeTimes.push_back(DetectRounds(large, calls));
            smallTimes.push_back(DetectRounds(small, calls));
        }
    }
    const double s = Median(smallTimes), l = Median(largeTimes);
    std::printf(
        "detection            64 KiB %8.2f us  64 MiB %8.2f us  ratio %.3f  (median of %d rounds of %d calls)\n",
        s * 1e6, l * 1e6, l / s, detectRounds, calls);

    ::DestroyWindow(frame);
    medium.reset();
    huge.reset();
    store.CleanUpTempFolder();
    fw::DeleteAppRegistryKey();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvettaTextViewBench");
    return 0;
}
