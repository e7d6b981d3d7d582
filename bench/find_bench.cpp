// Find: searching a 1 GiB entry for a pattern that does not occur, with the program's
// stepped search over the entry's temporary file, against a plain loop of 1 MiB ReadFile
// calls and a memmem (memchr for the first byte, memcmp for the rest) over each, in the
// same run. Prints the medians of alternating rounds, the ratio and the peak working set.
#include "capture/TempStore.h"
#include "capture/bytes/TempNames.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "viewers/SnapshotFind.h"

#include "bench/BenchSupport.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

using namespace bench_support;

constexpr DWORD kStep = 0x100000;
constexpr uint64_t kSize = 1ull << 30;
constexpr std::string_view kPattern = "C:\\Users\\nobody\\absent.txt";

// Text-like bytes: every letter occurs, as in real entries, so memchr stops often.
bool MakeSource(const std::wstring& path)
{
    fw::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<BYTE> buffer(kStep);
    uint32_t state = 12345;
    for (auto& b : buffer) {
        state = state * 1103515245u + 12345u;
        b = static_cast<BYTE>(0x20 + (state >> 16) % 0x5F);
    }
    for (uint64_t done = 0; done < kSize; done += kStep) {
        buffer[done >> 20 & 0xFFFFF] ^= 1;  // steps differ a little
        DWORD written = 0;
        if (!::WriteFile(file.Get(), buffer.data(), kStep, &written, nullptr) || written != kStep) return false;
    }
    return true;
}

const BYTE* PlainMemmem(const BYTE* data, size_t size, const char* pattern, size_t length)
{
    const BYTE* end = data + size;
    for (const BYTE* p = data; static_cast<size_t>(end - p) >= length; ++p) {
        p = static_cast<const BYTE*>(std::memchr(p, pattern[0], static_cast<size_t>(end - p) - length + 1));
        if (!p) return nullptr;
        if (std::memcmp(p + 1, pattern + 1, length - 1) == 0) return p;
    }
    return nullptr;
}

// The baseline: 1 MiB reads, the pattern's length - 1 kept in front of the next read.
double Plain(const std::wstring& path, bool& found)
{
    const auto start = std::chrono::steady_clock::now();
    fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    const size_t carry = kPattern.size() - 1;
    std::vector<BYTE> buffer(carry + kStep);
    size_t have = 0;
    found = false;
    for (;;) {
        DWORD got = 0;
        ::ReadFile(file.Get(), buffer.data() + have, kStep, &got, nullptr);
        if (got == 0) break;
        const size_t n = have + got;
        if (PlainMemmem(buffer.data(), n, kPattern.data(), kPattern.size())) found = true;
        have = std::min(carry, n);
        std::memmove(buffer.data(), buffer.data() + n - have, have);
    }
    return Seconds(start);
}

double Stepped(const std::wstring& path, bool& found)
{
    const auto start = std::chrono::steady_clock::now();
    fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    FindQuery query;
    query.text = L"C:\\Users\\nobody\\absent.txt";
    query.utf16 = false;
    query.codePage = false;
    std::wstring error;
    const std::vector<SearchPattern> patterns = BuildFindPatterns(query, CP_UTF8, error);
    const ByteSource source{&FileReadProc, file.Get(), 0, kSize};
    found = FindInSource(source, patterns, {}, [](uint64_t, uint64_t) { return true; }).end == SearchEnd::Found;
    return Seconds(start);
}

}  // namespace

int wmain()
{
    fw::MessageBoxRecorder boxes;
    CTempStore& store = TheTempStore();
    if (!SetUpTempStore(store, L"")) return 1;
    const std::wstring path = CreateTempFile();
    if (path.empty() || !MakeSource(path)) return 1;
    const int rounds = 5;
    std::vector<double> plain, stepped;
    bool foundPlain = false, foundStepped = false;
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            plain.push_back(Plain(path, foundPlain));
            stepped.push_back(Stepped(path, foundStepped));
        } else {
            stepped.push_back(Stepped(path, foundStepped));
            plain.push_back(Plain(path, foundPlain));
        }
    }
    const double p = Median(plain), s = Median(stepped);
    std::printf(
        "find absent pattern in 1 GiB   plain memmem loop %7.3f s  stepped search %7.3f s  ratio %.3f  "
        "(median of %d)%s\n",
        p, s, s / p, rounds, foundPlain || foundStepped ? "  PATTERN FOUND?" : "");
    std::printf("peak working set: %.1f MiB\n", PeakWorkingSetMiB());
    ::DeleteFileW(path.c_str());
    store.CleanUpTempFolder();
    return 0;
}
