// Replay throughput: a 1 GiB entry read by a target through the replay's stream, and a
// 256 MiB entry rendered as global memory, each against a plain loop of 1 MiB ReadFile
// calls over the same file in the same run (medians of alternating rounds, and the ratio);
// the peak working set, which the stream keeps at the target's buffer; and the cost of
// many small requests.
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/ReplayDataObject.h"
#include "capture/TempStore.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"

#include "bench/BenchSupport.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using namespace bench_support;

constexpr DWORD kStep = 0x100000;

PROCESS_MEMORY_COUNTERS Memory()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

// An entry as a capture leaves it: its bytes in a temporary file of the store.
std::shared_ptr<CCBData> MakeEntry(UINT format, DWORD tymed, uint64_t size)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_fmt = {static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, tymed};
    entry->m_realTymed = tymed;
    entry->m_dataSize = size;
    entry->m_tempFile = CreateTempFile();
    fw::UniqueFile file(::CreateFileW(entry->m_tempFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<BYTE> buffer(kStep);
    for (uint64_t done = 0; done < size; done += kStep) {
        std::memset(buffer.data(), static_cast<int>(done >> 20), kStep);
        DWORD written = 0;
        ::WriteFile(file.Get(), buffer.data(), static_cast<DWORD>(std::min<uint64_t>(kStep, size - done)), &written,
                    nullptr);
    }
    return entry;
}

// The baseline: the file read with 1 MiB ReadFile calls into one buffer, as a target's
// read loop would.
double PlainRead(const std::wstring& path)
{
    std::vector<BYTE> buffer(kStep);
    const auto start = std::chrono::steady_clock::now();
    fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    DWORD got = 0;
    while (::ReadFile(file.Get(), buffer.data(), kStep, &got, nullptr) && got) {
    }
    return Seconds(start);
}

// The baseline of a global block: allocated and filled from the file in 1 MiB steps.
double PlainGlobal(const std::wstring& path, uint64_t size)
{
    const auto start = std::chrono::steady_clock::now();
    fw::UniqueGlobal global(::GlobalAlloc(GMEM_MOVEABLE, size));
    fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    {
        fw::GlobalLockView view(global.Get());
        for (uint64_t done = 0; done < size; done += kStep) {
            DWORD got = 0;
            ::ReadFile(file.Get(), view.As<BYTE>() + done, static_cast<DWORD>(std::min<uint64_t>(kStep, size - done)),
                       &got, nullptr);
        }
    }
    return Seconds(start);
}

double ReplayStreamRead(IDataObject* replay, UINT format)
{
    std::vector<BYTE> buffer(kStep);
    const auto start = std::chrono::steady_clock::now();
    FORMATETC fmt = {static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
    fw::StgMedium medium;
    if (FAILED(replay->GetData(&fmt, &medium))) std::printf("stream request failed\n");
    ULONG got = 0;
    while (SUCCEEDED(medium->pstm->Read(buffer.data(), kStep, &got)) && got) {
    }
    return Seconds(start);
}

double ReplayGlobal(IDataObject* replay, UINT format)
{
    const auto start = std::chrono::steady_clock::now();
    FORMATETC fmt = {static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    fw::StgMedium medium;
    if (FAILED(replay->GetData(&fmt, &medium))) std::printf("global request failed\n");
    return Seconds(start);
}

template <typename Plain, typename Replay>
void Compare(const char* what, uint64_t size, int rounds, Plain plain, Replay replay)
{
    std::vector<double> p, r;
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            p.push_back(plain());
            r.push_back(replay());
        } else {
            r.push_back(replay());
            p.push_back(plain());
        }
    }
    std::printf("%-28s %6.0f MiB  plain loop %7.3f s  replay %7.3f s  ratio %.3f  (median of %d)\n", what,
                size / 1048576.0, Median(p), Median(r), Median(r) / Median(p), rounds);
}

}  // namespace

int wmain()
{
    fw::MessageBoxRecorder boxes;
    fw::OleInit ole;
    CTempStore& store = TheTempStore();
    if (!SetUpTempStore(store, L"")) return 1;
    const int rounds = 7;
    const UINT big = ::RegisterClipboardFormatW(L"Orvetta Bench Stream");
    const UINT block = ::RegisterClipboardFormatW(L"Orvetta Bench Block");
    const UINT small = ::RegisterClipboardFormatW(L"Orvetta Bench Small");
    {
        auto snapshot = std::make_shared<CCBDataArray>();
        snapshot->push_back(MakeEntry(big, TYMED_ISTREAM, 1ull << 30));
        snapshot->push_back(MakeEntry(block, TYMED_HGLOBAL, 256ull << 20));
        snapshot->push_back(MakeEntry(small, TYMED_HGLOBAL, 4096));
        auto replay = CReplayDataObject::ForSnapshot(snapshot);
        const std::wstring bigFile = (*snapshot)[0]->m_tempFile, blockFile = (*snapshot)[1]->m_tempFile;
        std::printf("peak working set before: %.1f MiB\n", PeakWorkingSetMiB());

        Compare(
            "IStream read by a target", 1ull << 30, rounds, [&] { return PlainRead(bigFile); },
            [&] { return ReplayStreamRead(replay.Get(), big); });
        std::printf("peak working set after the stream rounds: %.1f MiB\n", PeakWorkingSetMiB());
        Compare(
            "HGLOBAL rendered", 256ull << 20, rounds, [&] { return PlainGlobal(blockFile, 256ull << 20); },
            [&] { return ReplayGlobal(replay.Get(), block); });

        // A target that asks again and again holds nothing once it has released what it got.
        const int requests = 100000;
        const double before = Memory().PagefileUsage / 1048576.0;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < requests; ++i) ReplayGlobal(replay.Get(), small);
        std::printf("%d requests of a 4 KiB entry: %.1f us each; committed memory %.1f MiB before, %.1f MiB after\n",
                    requests, Seconds(start) * 1e6 / requests, before, Memory().PagefileUsage / 1048576.0);
    }
    store.CleanUpTempFolder();
    return 0;
}
