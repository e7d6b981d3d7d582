// UTF-16 to UTF-8 and back, through the system's own conversion.
#pragma once

#include <string>
#include <string_view>

namespace fw {

// Unpaired surrogates become U+FFFD, so the result is always valid UTF-8.
std::string ToUtf8(std::wstring_view text);
// Invalid sequences become U+FFFD.
std::wstring FromUtf8(std::string_view text);

}  // namespace fw
