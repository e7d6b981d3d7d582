// What every benchmark program measures with: elapsed seconds, the median of rounds,
// the process's peak working set, and a capture progress that shows nothing.
#pragma once

#include "capture/CaptureProgress.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench_support {

inline double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline double PeakWorkingSetMiB()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / 1048576.0;
}

// Progress that shows nothing and is never stopped: the figures are of the work alone.
class SilentProgress : public ICaptureProgress {
public:
    void Open() override {}
    void Close() override {}
    void SetItemText(const std::wstring&) override {}
    BOOL IsStopRequested() const override { return FALSE; }
    HWND GetDialogWindow() const override { return nullptr; }
};

}  // namespace bench_support
