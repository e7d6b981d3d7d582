#include "capture/bytes/TempNames.h"

#include <cstdio>

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\') return folder + name;
    return folder + L"\\" + name;
}

std::wstring MakeTempFileName(const LocalTimeStamp& t, uint32_t random)
{
    // Formatted narrow: the digits are ASCII, and narrow snprintf behaves the same
    // with every C runtime the program is built against.
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d%08lx.cvtmp", t.year, t.month, t.day,
                                t.hour, t.minute, t.second, static_cast<unsigned long>(random));
    if (n <= 0) return std::wstring();
    return std::wstring(buffer, buffer + (n < static_cast<int>(sizeof buffer) ? n : sizeof buffer - 1));
}
