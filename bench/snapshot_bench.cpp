// Snapshot files: saving and opening a snapshot with one 1 GiB entry, against a plain loop
// that copies the same bytes from file to file in 1 MiB ReadFile/WriteFile calls, in the
// same run. Prints the median of several alternating rounds, the ratios and the peak
// working set. Every file lives in the temporary store (inside the build tree's Wine
// prefix) and is deleted at the end.
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/SnapshotFile.h"
#include "capture/TempStore.h"
#include "capture/bytes/TempNames.h"
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
constexpr uint64_t kSize = 1ull << 30;

bool MakeSource(const std::wstring& path)
{
    fw::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<BYTE> buffer(kStep);
    for (uint64_t done = 0; done < kSize; done += kStep) {
        std::memset(buffer.data(), static_cast<int>(done >> 20), kStep);
        DWORD written = 0;
        if (!::WriteFile(file.Get(), buffer.data(), kStep, &written, nullptr) || written != kStep) return false;
    }
    return true;
}

// The baseline: the same bytes copied from file to file in 1 MiB steps.
double PlainCopy(const std::wstring& from, const std::wstring& folder)
{
    const std::wstring to = JoinPath(folder, L"plain.bin");
    const auto start = std::chrono::steady_clock::now();
    {
        fw::UniqueFile source(::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        fw::UniqueFile target(
            ::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        std::vector<BYTE> buffer(kStep);
        for (uint64_t done = 0; done < kSize; done += kStep) {
            DWORD got = 0, written = 0;
            ::ReadFile(source.Get(), buffer.data(), kStep, &got, nullptr);
            ::WriteFile(target.Get(), buffer.data(), got, &written, nullptr);
        }
    }
    const double t = Seconds(start);
    ::DeleteFileW(to.c_str());
    return t;
}

double Save(const CCBDataArray& snapshot, const std::wstring& path)
{
    SilentProgress progress;
    const CSnapshotInfo info = {L"bench", {L"\"Orvetta Bench\""}, SnapshotTimeNow(), L"console", L"", std::nullopt};
    const auto start = std::chrono::steady_clock::now();
    const SnapshotFileResult result = SaveSnapshotFile(path, info, snapshot, progress);
    const double t = Seconds(start);
    if (!result.Done()) std::printf("save failed\n");
    return t;
}

double Open(const std::wstring& path)
{
    SilentProgress progress;
    CSnapshotInfo info;
    std::shared_ptr<CCBDataArray> opened;
    const auto start = std::chrono::steady_clock::now();
    const SnapshotFileResult result = OpenSnapshotFile(path, info, opened, progress);
    const double t = Seconds(start);
    if (!result.Done() || !opened || opened->size() != 1 || (*opened)[0]->m_dataSize != kSize)
        std::printf("open failed\n");
    return t;  // the opened entry deletes its 1 GiB file here
}

}  // namespace

int wmain()
{
    fw::MessageBoxRecorder boxes;
    fw::OleInit ole;
    CTempStore& store = TheTempStore();
    if (!SetUpTempStore(store, L"")) return 1;
    const int rounds = 5;
    std::printf("peak working set before: %.1f MiB\n", PeakWorkingSetMiB());

    CCBDataArray snapshot;
    auto entry = std::make_shared<CCBData>();
    entry->m_fmt = {static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(L"Orvetta Bench")), nullptr, DVASPECT_CONTENT,
                    -1, TYMED_ISTREAM};
    entry->m_realTymed = TYMED_ISTREAM;
    entry->m_type = L"IStream";
    entry->m_tempFile = CreateTempFile();
    entry->m_dataSize = kSize;
    if (entry->m_tempFile.empty() || !MakeSource(entry->m_tempFile)) return 1;
    snapshot.push_back(entry);
    const std::wstring file = JoinPath(store.m_tempFolder, L"bench.kavilo");

    std::vector<double> plainSave, saves, plainOpen, opens;
    // Alternating the order keeps the after-effects of one run (the cache, freeing the
    // previous file) from always falling on the same side.
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            plainSave.push_back(PlainCopy(entry->m_tempFile, store.m_tempFolder));
            saves.push_back(Save(snapshot, file));
            plainOpen.push_back(PlainCopy(file, store.m_tempFolder));
            opens.push_back(Open(file));
        } else {
            saves.push_back(Save(snapshot, file));
            plainSave.push_back(PlainCopy(entry->m_tempFile, store.m_tempFolder));
            opens.push_back(Open(file));
            plainOpen.push_back(PlainCopy(file, store.m_tempFolder));
        }
    }
    const double ps = Median(plainSave), s = Median(saves), po = Median(plainOpen), o = Median(opens);
    std::printf("save 1 GiB entry   plain copy %7.3f s  save %7.3f s  ratio %.3f  (median of %d)\n", ps, s, s / ps,
                rounds);
    std::printf("open 1 GiB entry   plain copy %7.3f s  open %7.3f s  ratio %.3f  (median of %d)\n", po, o, o / po,
                rounds);
    std::printf("peak working set at the end: %.1f MiB (bytes move 1 MiB at a time)\n", PeakWorkingSetMiB());
    ::DeleteFileW(file.c_str());
    snapshot.clear();
    entry.reset();
    store.CleanUpTempFolder();
    return 0;
}
