#include "framework/Utf8.h"

#include <windows.h>

#include <algorithm>

namespace fw {

std::string ToUtf8(std::wstring_view text)
{
    std::string out;
    // The API counts in int: a longer text goes through in pieces, never splitting a pair.
    while (!text.empty()) {
        size_t count = std::min<size_t>(text.size(), 0x10000000);
        if (count < text.size() && IS_HIGH_SURROGATE(text[count - 1])) --count;
        const int length = static_cast<int>(count);
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
        const size_t at = out.size();
        out.resize(at + size);
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data() + at, size, nullptr, nullptr);
        text.remove_prefix(count);
    }
    return out;
}

std::wstring FromUtf8(std::string_view text)
{
    std::wstring out;
    while (!text.empty()) {
        size_t count = std::min<size_t>(text.size(), 0x10000000);
        // Never split a sequence: step back over continuation bytes to a lead byte.
        while (count < text.size() && count > 0 && (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80) --count;
        if (count == 0) count = std::min<size_t>(text.size(), 0x10000000);
        const int length = static_cast<int>(count);
        const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
        const size_t at = out.size();
        out.resize(at + size);
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data() + at, size);
        text.remove_prefix(count);
    }
    return out;
}

}  // namespace fw
