// printf-style formatting into std::wstring.
// Use %ls for wide strings: it means wchar_t* under both the CRT's own printf
// and mingw's standards-conforming one, where a plain %s would differ.
#pragma once

#include <cstdarg>
#include <string>

namespace fw {

std::wstring FormatV(const wchar_t* format, va_list args);
std::wstring Format(const wchar_t* format, ...);

}  // namespace fw
