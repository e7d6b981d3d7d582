// Walk throughput: a directory of 10,000 small files dropped as CF_HDROP and captured,
// against a plain loop that finds, reads and writes the same files, in the same run.
// Prints the median of several rounds of each and their ratio.
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CaptureProgress.h"
#include "capture/TempStore.h"
#include "capture/bytes/TempNames.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"

#include "bench/BenchDataObject.h"
#include "bench/BenchSupport.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace bench_support;

constexpr int kFiles = 10000;

std::vector<BYTE> DropFilesOf(const std::wstring& path)
{
    DROPFILES header = {};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    std::vector<BYTE> bytes(sizeof header + (path.size() + 2) * sizeof(wchar_t), 0);
    std::memcpy(bytes.data(), &header, sizeof header);
    std::memcpy(bytes.data() + sizeof header, path.c_str(), path.size() * sizeof(wchar_t));
    return bytes;
}

bool MakeFiles(const std::wstring& folder)
{
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) return false;
    std::vector<BYTE> bytes;
    for (int i = 0; i < kFiles; ++i) {
        bytes.assign(200 + i % 1800, static_cast<BYTE>(i));
        const std::wstring path = JoinPath(folder, L"file" + std::to_wstring(i) + L".dat");
        fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        DWORD written = 0;
        if (!file || !::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return false;
    }
    return true;
}

void RemoveFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    fw::UniqueFind find(::FindFirstFileW(JoinPath(folder, L"*").c_str(), &found));
    if (find) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileW(JoinPath(folder, found.cFileName).c_str());
        } while (::FindNextFileW(find.Get(), &found));
    }
    find.Reset();
    ::RemoveDirectoryW(folder.c_str());
}

// The baseline: every file found, read whole and written to a new file of its own.
double PlainLoop(const std::wstring& source, const std::wstring& target)
{
    ::CreateDirectoryW(target.c_str(), nullptr);
    std::vector<BYTE> buffer;
    int copied = 0;
    const auto start = std::chrono::steady_clock::now();
    WIN32_FIND_DATAW found;
    fw::UniqueFind find(::FindFirstFileW(JoinPath(source, L"*").c_str(), &found));
    if (find) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            fw::UniqueFile in(::CreateFileW(JoinPath(source, found.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
            buffer.resize(found.nFileSizeLow);
            DWORD got = 0;
            if (!in || !::ReadFile(in.Get(), buffer.data(), found.nFileSizeLow, &got, nullptr)) continue;
            fw::UniqueFile out(::CreateFileW(JoinPath(target, found.cFileName).c_str(), GENERIC_WRITE, 0, nullptr,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            if (out && ::WriteFile(out.Get(), buffer.data(), got, &written, nullptr)) ++copied;
        } while (::FindNextFileW(find.Get(), &found));
    }
    const double t = Seconds(start);
    if (copied != kFiles) std::printf("plain loop copied %d files\n", copied);
    RemoveFolder(target);
    return t;
}

size_t CountFiles(const CCBDataArray& snapshot)
{
    size_t count = 0;
    for (const auto& entry : snapshot) {
        if (entry->HasData()) ++count;
        if (entry->m_children) count += CountFiles(*entry->m_children);
    }
    return count;
}

double CaptureDrop(const std::wstring& source)
{
    COleDataObject object;
    // One CF_HDROP block, as a drop source offers it.
    auto* drop = new OfferedBlocks({{CF_HDROP, DropFilesOf(source)}});
    object.Attach(drop);
    drop->Release();
    SilentProgress progress;
    auto snapshot = std::make_shared<CCBDataArray>();
    const auto start = std::chrono::steady_clock::now();
    std::vector<FORMATETC> formats;
    ListFormats(object, formats);
    snapshot->Capture(object, formats, progress);
    const double t = Seconds(start);
    // The entry for CF_HDROP holds the block itself; the files are its grandchildren.
    if (CountFiles(*snapshot) != kFiles + 1) std::printf("capture took %zu files\n", CountFiles(*snapshot) - 1);
    return t;  // the snapshot and its temporary files go here, outside the timing
}

}  // namespace

int wmain()
{
    fw::MessageBoxRecorder boxes;
    fw::OleInit ole;
    CTempStore& store = TheTempStore();
    if (!SetUpTempStore(store, L"")) return 1;
    const std::wstring source = JoinPath(store.m_tempFolder, L"walk-source");
    const std::wstring target = JoinPath(store.m_tempFolder, L"walk-plain");
    if (!MakeFiles(source)) {
        std::printf("cannot make the source files\n");
        RemoveFolder(source);
        return 1;
    }
    const int rounds = 5;
    std::vector<double> plain, captured;
    // Alternating the order keeps the after-effects of one run (freeing its files) from
    // always falling on the same side.
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            plain.push_back(PlainLoop(source, target));
            captured.push_back(CaptureDrop(source));
        } else {
            captured.push_back(CaptureDrop(source));
            plain.push_back(PlainLoop(source, target));
        }
    }
    const double p = Median(plain), c = Median(captured);
    std::printf("%d small files dropped as CF_HDROP  plain loop %7.3f s  capture %7.3f s  ratio %.3f  (median of %d)\n",
                kFiles, p, c, c / p, rounds);
    for (int i = 0; i < rounds; ++i)
        std::printf("  round %d: plain %.3f s, capture %.3f s\n", i + 1, plain[i], captured[i]);
    RemoveFolder(source);
    store.CleanUpTempFolder();
    return 0;
}
