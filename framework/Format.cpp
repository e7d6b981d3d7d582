#include "framework/Format.h"

#include <cwchar>
#include <vector>

namespace fw {

std::wstring FormatV(const wchar_t* format, va_list args)
{
    // vswprintf reports only "too small" (a negative result), not the length needed,
    // so the buffer grows until the text fits.
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int n = std::vswprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) return std::wstring(buffer.data(), n);
        if (buffer.size() >= (size_t{1} << 26)) return std::wstring();  // a malformed format
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring s = FormatV(format, args);
    va_end(args);
    return s;
}

}  // namespace fw
