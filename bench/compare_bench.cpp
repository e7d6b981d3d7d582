// The comparison of two snapshots, each with one 1 GiB entry whose bytes differ only near
// the end: the window's comparison (the trees, the entries' files read in 1 MiB steps under
// the progress window, which pumps messages between steps) against a plain loop that reads
// both files in 1 MiB steps and memcmp's them, in the same run. Prints the median of
// alternating rounds, their ratio, the most private bytes each used above what the process
// held before it (sampled by a second thread), and how long the comparison takes to return
// after the progress window's Stop. The files live in the temporary store and are deleted
// at the end.
#include "app/CopyingDialog.h"
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/SnapshotComparison.h"
#include "capture/TempStore.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"

#include "bench/BenchSupport.h"

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using namespace bench_support;

constexpr DWORD kStep = 0x100000;
constexpr uint64_t kSize = 1ull << 30;
constexpr uint64_t kDifference = kSize - 4096 - 7;  // the only byte that differs

bool MakeFile(const std::wstring& path, bool changed)
{
    fw::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<BYTE> buffer(kStep);
    for (uint64_t done = 0; done < kSize; done += kStep) {
        for (DWORD i = 0; i < kStep; i += 4) std::memcpy(&buffer[i], &done, 4);
        if (changed && kDifference >= done && kDifference < done + kStep) buffer[kDifference - done] ^= 0x5A;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), buffer.data(), kStep, &written, nullptr) || written != kStep) return false;
    }
    return true;
}

std::shared_ptr<CCBDataArray> MakeSnapshot(bool changed)
{
    auto snapshot = std::make_shared<CCBDataArray>();
    auto entry = std::make_shared<CCBData>();
    entry->m_fmt = {static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(L"Orvetta Bench")), nullptr, DVASPECT_CONTENT,
                    -1, TYMED_ISTREAM};
    entry->m_realTymed = TYMED_ISTREAM;
    entry->m_type = L"IStream";
    entry->m_tempFile = CreateTempFile();
    entry->m_dataSize = kSize;
    if (entry->m_tempFile.empty() || !MakeFile(entry->m_tempFile, changed)) return nullptr;
    snapshot->push_back(entry);
    return snapshot;
}

double PrivateMiB()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters);
    // Wine leaves PrivateUsage at 0; the commit charge (PagefileUsage) is the same count on Windows.
    return (counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage) / 1048576.0;
}

// The most private bytes the process holds while it lives, above what it held at the start.
class PrivatePeak {
public:
    PrivatePeak() : m_base(PrivateMiB()), m_peak(m_base)
    {
        m_thread = std::thread([this] {
            while (!m_done) {
                const double now = PrivateMiB();
                if (now > m_peak) m_peak = now;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    ~PrivatePeak() { Stop(); }
    double Base() const { return m_base; }
    double Stop()
    {
        if (m_thread.joinable()) {
            m_done = true;
            m_thread.join();
        }
        return m_peak - m_base;
    }

private:
    double m_base;
    std::atomic<double> m_peak;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

struct Run {
    double seconds = 0;
    double privateMiB = 0;
    uint64_t first = 0;
};

// The plain way: both files in 1 MiB steps, memcmp, the first differing offset.
Run Plain(const std::wstring& a, const std::wstring& b)
{
    PrivatePeak peak;
    Run run;
    const auto start = std::chrono::steady_clock::now();
    {
        fw::UniqueFile left(::CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        fw::UniqueFile right(::CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        std::vector<BYTE> x(kStep), y(kStep);
        bool found = false;
        for (uint64_t done = 0; done < kSize; done += kStep) {
            DWORD gotX = 0, gotY = 0;
            ::ReadFile(left.Get(), x.data(), kStep, &gotX, nullptr);
            ::ReadFile(right.Get(), y.data(), kStep, &gotY, nullptr);
            if (found || std::memcmp(x.data(), y.data(), kStep) == 0) continue;
            for (DWORD i = 0; i < kStep; ++i) {
                if (x[i] == y[i]) continue;
                run.first = done + i;
                found = true;
                break;
            }
        }
    }
    run.seconds = Seconds(start);
    run.privateMiB = peak.Stop();
    return run;
}

// The Stop button's click, from a timer the comparison's message pump dispatches.
CCopyingDialog* g_stopping = nullptr;
std::chrono::steady_clock::time_point g_stoppedAt;
void CALLBACK ClickStop(HWND, UINT, UINT_PTR timer, DWORD)
{
    ::KillTimer(nullptr, timer);
    if (!g_stopping) return;
    g_stoppedAt = std::chrono::steady_clock::now();
    g_stopping->RequestStop();
}

// The window's comparison; with `stopAfter`, Stop is clicked that many milliseconds in.
Run Window(const CCBDataArray& a, const CCBDataArray& b, UINT stopAfter, bool& stopped)
{
    PrivatePeak peak;
    Run run;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<CompareNode> treeA = BuildCompareTree(a), treeB = BuildCompareTree(b);
    CCopyingDialog progress;
    g_stopping = &progress;
    if (stopAfter) ::SetTimer(nullptr, 0, stopAfter, &ClickStop);
    const CompareResult result = CompareSnapshotTrees(treeA, treeB, progress);
    const auto end = std::chrono::steady_clock::now();
    g_stopping = nullptr;
    run.seconds = std::chrono::duration<double>(end - start).count();
    stopped = result.stopped;
    if (stopped) run.seconds = std::chrono::duration<double>(end - g_stoppedAt).count();
    if (!result.items.empty() && result.items[0].firstDifference) run.first = *result.items[0].firstDifference;
    run.privateMiB = peak.Stop();
    return run;
}

}  // namespace

int wmain()
{
    fw::MessageBoxRecorder boxes;
    fw::OleInit ole;
    CTempStore& store = TheTempStore();
    if (!SetUpTempStore(store, L"")) return 1;
    const int rounds = 5;
    std::printf("writing two snapshots of one 1 GiB entry each...\n");
    std::shared_ptr<CCBDataArray> a = MakeSnapshot(false), b = MakeSnapshot(true);
    if (!a || !b) {
        std::printf("could not write the files\n");
        return 1;
    }
    const std::wstring fileA = (*a)[0]->m_tempFile, fileB = (*b)[0]->m_tempFile;

    const double privateBefore = PrivateMiB();
    std::vector<double> plainTimes, windowTimes;
    double plainPrivate = 0, windowPrivate = 0;
    bool wrong = false;
    // Alternating the order keeps the after-effects of one run (the cache) from always
    // falling on the same side.
    for (int i = 0; i < rounds; ++i) {
        bool stopped = false;
        Run plain, window;
        if (i % 2 == 0) {
            plain = Plain(fileA, fileB);
            window = Window(*a, *b, 0, stopped);
        } else {
            window = Window(*a, *b, 0, stopped);
            plain = Plain(fileA, fileB);
        }
        wrong = wrong || stopped || plain.first != kDifference || window.first != kDifference;
        plainTimes.push_back(plain.seconds);
        windowTimes.push_back(window.seconds);
        plainPrivate = std::max(plainPrivate, plain.privateMiB);
        windowPrivate = std::max(windowPrivate, window.privateMiB);
        std::printf("round %d  plain %7.3f s  comparison %7.3f s\n", i + 1, plain.seconds, window.seconds);
    }
    if (wrong)
        std::printf("WRONG: a run missed the difference at %llu\n", static_cast<unsigned long long>(kDifference));
    const double p = Median(plainTimes), w = Median(windowTimes);
    std::printf("compare 2 x 1 GiB   plain read+memcmp %7.3f s  comparison %7.3f s  ratio %.3f  (median of %d)\n", p, w,
                w / p, rounds);
    std::printf("private bytes before the rounds: %.1f MiB\n", privateBefore);
    std::printf("private bytes above the start, most of any round: plain %.1f MiB, comparison %.1f MiB\n", plainPrivate,
                windowPrivate);

    // What any comparison costs whatever its size: the progress window opened and closed.
    {
        std::vector<double> empty;
        const CCBDataArray none;
        for (int i = 0; i < rounds; ++i) {
            bool stopped = false;
            empty.push_back(Window(none, none, 0, stopped).seconds);
        }
        std::printf("two empty snapshots (the progress window alone): %.3f s (median of %d)\n", Median(empty), rounds);
    }

    // Stop: the time from the click to the comparison's return.
    std::vector<double> stops;
    for (const UINT after : {50u, 100u, 150u}) {
        bool stopped = false;
        const Run run = Window(*a, *b, after, stopped);
        if (!stopped) {
            std::printf("Stop at %u ms: the comparison had already ended\n", after);
            continue;
        }
        stops.push_back(run.seconds * 1000);
        std::printf("Stop at %u ms: returned %.1f ms after the click\n", after, run.seconds * 1000);
    }
    if (!stops.empty()) std::printf("Stop to return: median %.1f ms\n", Median(stops));
    std::printf("peak working set at the end: %.1f MiB\n", PeakWorkingSetMiB());

    a.reset();
    b.reset();
    store.CleanUpTempFolder();
    return 0;
}
