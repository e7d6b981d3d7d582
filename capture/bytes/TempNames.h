// Paths and names of the temporary store. No <windows.h>: built natively too.
#pragma once

#include <cstdint>
#include <string>

// folder + name when the folder ends with a backslash, else folder + "\" + name
// (an empty folder gives "\" + name).
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

struct LocalTimeStamp {
    int year, month, day, hour, minute, second;
};

// The data-file name: 14 digits of the local time (year first, seconds last),
// 8 lower-case hexadecimal digits of the random number, ".cvtmp".
std::wstring MakeTempFileName(const LocalTimeStamp& time, uint32_t random);
