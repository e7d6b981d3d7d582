// Hex view: one screen painted at the first and at the last line of a 64 GiB source (a
// synthetic reader, no disk), export of a 1 GiB selection from a temporary file against a
// plain loop of 1 MiB ReadFile/WriteFile calls, and select all plus copy of a 16 MiB
// entry. Prints medians of alternating rounds, ratios, reads per paint and working sets.
#include "capture/CBData.h"
#include "framework/Clipboard.h"
#include "framework/FileDialog.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "viewers/HexViewDialog.h"
#include "viewers/bytes/HexLayout.h"

#include "bench/BenchSupport.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace bench_support;

constexpr DWORD kStep = 0x100000;

struct Synthetic {
    uint64_t calls = 0;
    static uint32_t Read(uint64_t offset, uint32_t count, void* destination, void* context, uintptr_t)
    {
        ++static_cast<Synthetic*>(context)->calls;
        auto* bytes = static_cast<uint8_t*>(destination);
        for (uint32_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>((offset + i) * 7);
        return count;
    }
};

void Command(HWND control, UINT id)
{
    ::SendMessageW(control, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

// Rows the paint of the whole client area draws with text: the row above the top line
// (in the top margin) when there is one, then the rows down to the client's bottom.
uint64_t RowsPainted(const CHexViewCtrl& control, int clientHeight)
{
    const uint64_t below =
        static_cast<uint64_t>((clientHeight - CHexViewCtrl::kTopMargin) / control.GetLineHeight()) + 1;
    const uint64_t rows = std::min(below, control.GetLineCount() - control.GetTopLine());
    return rows + (control.GetTopLine() > 0 ? 1 : 0);
}

void PaintBenchmark(HWND frame)
{
    HWND placeholder = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 900, 700, frame, nullptr, nullptr, nullptr);
    CHexViewCtrl control;
    control.Create(frame, placeholder, 100);
    ::ShowWindow(control.GetSafeHwnd(), SW_SHOW);
    Synthetic source;
    control.SetDataSource(&Synthetic::Read, &source, 0, 64ull << 30);
    RECT client;
    ::GetClientRect(control.GetSafeHwnd(), &client);

    const int paints = 20, rounds = 31;
    auto paintAt = [&](uint64_t top, uint64_t* reads) {
        control.SetTopLine(top, true);
        ::UpdateWindow(control.GetSafeHwnd());
        source.calls = 0;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < paints; ++i) {
            ::InvalidateRect(control.GetSafeHwnd(), nullptr, FALSE);
            ::UpdateWindow(control.GetSafeHwnd());
        }
        ::GdiFlush();
        const double t = Seconds(start) / paints;
        *reads = source.calls / paints;
        return t;
    };
    std::vector<double> first, last;
    uint64_t readsFirst = 0, readsLast = 0;
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            first.push_back(paintAt(0, &readsFirst));
            last.push_back(paintAt(control.GetMaxTopLine(), &readsLast));
        } else {
            last.push_back(paintAt(control.GetMaxTopLine(), &readsLast));
            first.push_back(paintAt(0, &readsFirst));
        }
    }
    control.SetTopLine(0, true);
    const uint64_t rowsFirst = RowsPainted(control, client.bottom);
    control.SetTopLine(control.GetMaxTopLine(), true);
    const uint64_t rowsLast = RowsPainted(control, client.bottom);
    const double f = Median(first), l = Median(last);
    std::printf("paint of one screen, 64 GiB source (%llu lines, scroll scale %llu, %d x %ld px)\n",
                static_cast<unsigned long long>(control.GetLineCount()),
                static_cast<unsigned long long>(control.GetScrollScale()), static_cast<int>(client.right),
                client.bottom);
    std::printf("  first line %7.3f ms  last line %7.3f ms  ratio %.3f  (median of %d rounds of %d paints)\n", f * 1000,
                l * 1000, l / f, rounds, paints);
    std::printf("  reads per paint: first %llu (rows painted %llu), last %llu (rows painted %llu)\n",
                static_cast<unsigned long long>(readsFirst), static_cast<unsigned long long>(rowsFirst),
                static_cast<unsigned long long>(readsLast), static_cast<unsigned long long>(rowsLast));
    ::DestroyWindow(placeholder);
}

bool MakeFile(const std::wstring& path, uint64_t size)
{
    fw::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::vector<uint8_t> buffer(kStep);
    for (uint64_t done = 0; done < size; done += kStep) {
        for (DWORD i = 0; i < kStep; ++i) buffer[i] = static_cast<uint8_t>((done + i) * 13);
        DWORD written = 0;
        if (!::WriteFile(file.Get(), buffer.data(), kStep, &written, nullptr) || written != kStep) return false;
    }
    return true;
}

double PlainCopy(const std::wstring& from, const std::wstring& to)
{
    const auto start = std::chrono::steady_clock::now();
    {
        fw::UniqueFile source(
            ::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        fw::UniqueFile target(::CreateFileW(to.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        std::vector<uint8_t> buffer(kStep);
        for (;;) {
            DWORD read = 0, written = 0;
            if (!::ReadFile(source.Get(), buffer.data(), kStep, &read, nullptr) || read == 0) break;
            ::WriteFile(target.Get(), buffer.data(), read, &written, nullptr);
        }
    }
    const double t = Seconds(start);
    ::DeleteFileW(to.c_str());
    return t;
}

double ExportOnce(CHexViewCtrl& control, const std::wstring& to, uint64_t size)
{
    fw::FileDialogAnswer answer(to);
    const auto start = std::chrono::steady_clock::now();
    Command(control.GetSafeHwnd(), 32793);
    const double t = Seconds(start);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ::GetFileAttributesExW(to.c_str(), GetFileExInfoStandard, &data);
    if ((static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow) != size) std::printf("export failed\n");
    ::DeleteFileW(to.c_str());
    return t;
}

void ExportBenchmark(HWND frame, const std::wstring& folder)
{
    const uint64_t size = 1ull << 30;
    const std::wstring source = folder + L"hexview-bench-source.bin";
    const std::wstring target = folder + L"hexview-bench-export.bin";
    if (!MakeFile(source, size)) {
        std::printf("cannot make the 1 GiB file\n");
        return;
    }
    CCBData entry;
    entry.m_tempFile = source;
    entry.m_dataSize = size;
    {
        CHexViewDialog page(&entry);
        page.CreatePage(frame);
        CHexViewCtrl& control = page.GetHexView();
        Command(control.GetSafeHwnd(), 57642);
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
        const double startSet = counters.WorkingSetSize / 1048576.0, startPeak = PeakWorkingSetMiB();

        const int rounds = 5;
        std::vector<double> plain, exported;
        for (int i = 0; i < rounds; ++i) {
            if (i % 2 == 0) {
                plain.push_back(PlainCopy(source, target));
                exported.push_back(ExportOnce(control, target, size));
            } else {
                exported.push_back(ExportOnce(control, target, size));
                plain.push_back(PlainCopy(source, target));
            }
        }
        const double p = Median(plain), e = Median(exported);
        std::printf("export of a 1 GiB selection   plain loop %7.3f s  export %7.3f s  ratio %.3f  (median of %d)\n", p,
                    e, e / p, rounds);
        std::printf("  working set at the start %.1f MiB (peak %.1f), peak after the rounds %.1f MiB: +%.1f MiB\n",
                    startSet, startPeak, PeakWorkingSetMiB(), PeakWorkingSetMiB() - startPeak);
    }
    ::DeleteFileW(source.c_str());
}

void CopyBenchmark(HWND frame)
{
    const uint64_t size = 16ull << 20;
    HWND placeholder = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 900, 700, frame, nullptr, nullptr, nullptr);
    CHexViewCtrl control;
    control.Create(frame, placeholder, 100);
    Synthetic source;
    control.SetDataSource(&Synthetic::Read, &source, 0, size);
    Command(control.GetSafeHwnd(), 57642);

    const double peakBefore = PeakWorkingSetMiB();
    const uint64_t chars = HexSelectionTextLength(size, 16, HexPos{}, HexPos{control.GetLineCount(), 0});
    std::vector<double> copies, formats, allocations, handOvers;
    for (int i = 0; i < 5; ++i) {
        auto start = std::chrono::steady_clock::now();
        Command(control.GetSafeHwnd(), 57634);
        copies.push_back(Seconds(start));
        // The text's formatting alone, into one reused line, for the share it takes.
        std::vector<uint8_t> bytes(16);
        std::vector<wchar_t> line(static_cast<size_t>(HexFullLineWidth(8, 16)));
        start = std::chrono::steady_clock::now();
        for (uint64_t offset = 0; offset < size; offset += 16)
            FormatHexLine(offset, 8, 16, bytes.data(), 16, line.data());
        formats.push_back(Seconds(start));
        // Allocating and filling blocks of the two sizes, without reading or formatting.
        start = std::chrono::steady_clock::now();
        for (SIZE_T bytes : {static_cast<SIZE_T>(size + 4), static_cast<SIZE_T>(chars + 1) * 2}) {
            fw::UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes));
            fw::GlobalLockView lock(block.Get());
            if (lock) std::memset(lock.Data(), 0x30, bytes);
        }
        allocations.push_back(Seconds(start));
        // Handing blocks of the two sizes to the clipboard.
        std::vector<fw::ClipboardBlock> blocks;
        for (SIZE_T bytes : {static_cast<SIZE_T>(size + 4), static_cast<SIZE_T>(chars + 1) * 2}) {
            fw::UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes));
            if (fw::GlobalLockView lock(block.Get()); lock) std::memset(lock.Data(), 0x30, bytes - 2);
            blocks.push_back(
                {blocks.empty() ? ::RegisterClipboardFormatW(L"BinaryData") : CF_UNICODETEXT, std::move(block)});
        }
        start = std::chrono::steady_clock::now();
        fw::PutOnClipboard(control.GetSafeHwnd(), blocks);
        handOvers.push_back(Seconds(start));
    }
    std::printf(
        "select all and copy of 16 MiB  copy %7.3f s  (median of 5); alone: formatting the text %7.3f s, "
        "allocating and filling both blocks %7.3f s, handing them to the clipboard %7.3f s\n",
        Median(copies), Median(formats), Median(allocations), Median(handOvers));
    std::printf("  blocks: BinaryData %.1f MiB, text %.1f MiB; peak working set %.1f -> %.1f MiB\n",
                (size + 4) / 1048576.0, (chars + 1) * 2 / 1048576.0, peakBefore, PeakWorkingSetMiB());
    ::DestroyWindow(placeholder);
}

}  // namespace

int wmain()
{
    fw::MessageBoxRecorder boxes;
    fw::OleInit ole;
    HWND frame = ::CreateWindowExW(0, L"STATIC", L"hexview bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 960, 760,
                                   nullptr, nullptr, nullptr, nullptr);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);

    ExportBenchmark(frame, temp);
    PaintBenchmark(frame);
    CopyBenchmark(frame);
    for (const auto& box : boxes.Boxes()) std::printf("message: %ls\n", box.text.c_str());
    ::DestroyWindow(frame);
    return 0;
}
