// Text page: a 16 MiB UTF-8 entry shown on the page (file read, code-page list,
// conversion, line-end check, edit filled) against the plain way of showing the same
// text: MultiByteToWideChar plus SetWindowTextW into a bare multi-line edit of the same
// styles. And detection, whose cost must not depend on the size of the data: 64 MiB
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
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", kEditStyles, 0, 0, 600, 400, parent, nullptr, nullptr, nullptr);
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SetWindowTextW(edit, text.c_str());
    const double t = Seconds(start);
    if (::GetWindowTextLengthW(edit) != needed) std::printf("plain edit lost text\n");
    ::DestroyWindow(edit);
    return t;
}

double ShowOnPage(HWND parent, CCBData* entry, size_t expectedLength)
{
    const auto start = Clock::now();
    CTextViewDialog page(entry);
    if (!page.CreatePage(parent)) std::printf("no page: the resources are missing\n");
    const double t = Seconds(start);
    const int shown = ::GetWindowTextLengthW(page.GetDlgItem(IDC_TEXT_EDIT));
    if (shown != static_cast<int>(expectedLength)) std::printf("page shows %d characters\n", shown);
    return t;
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

    const std::string bytes = MakeText(16u << 20);
    const std::wstring path = CreateTempFile();
    {
        fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    auto entry = std::make_shared<CCBData>();
    entry->m_fmt = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    entry->m_defaultCodePage = 65001;
    entry->m_tempFile = path;
    entry->m_dataSize = bytes.size();
    const size_t expected = static_cast<size_t>(
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0));

    HWND frame = ::CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                   nullptr, nullptr, nullptr);
    // The plain edit measures its lines in the page's own font: an empty page lends it.
    CTextViewDialog fontSource(nullptr);
    if (!fontSource.CreatePage(frame)) return 1;
    const HFONT font = reinterpret_cast<HFONT>(::SendMessageW(fontSource.GetSafeHwnd(), WM_GETFONT, 0, 0));
    const int rounds = 5;
    std::vector<double> plain, page;
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            plain.push_back(ShowPlain(frame, font, bytes));
            page.push_back(ShowOnPage(frame, entry.get(), expected));
        } else {
            page.push_back(ShowOnPage(frame, entry.get(), expected));
            plain.push_back(ShowPlain(frame, font, bytes));
        }
    }
    const double p = Median(plain), g = Median(page);
    std::printf("16 MiB UTF-8 entry   decode + SetWindowTextW %7.3f s  text page %7.3f s  ratio %.3f  (median of %d)\n",
                p, g, g / p, rounds);

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
    entry.reset();
    store.CleanUpTempFolder();
    fw::DeleteAppRegistryKey();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvettaTextViewBench");
    return 0;
}
