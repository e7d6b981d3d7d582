// CF_LOCALE data: a locale identifier in its first four bytes (little-endian).
// No <windows.h>: built natively too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The identifier, or nothing when the data is shorter than four bytes.
std::optional<uint32_t> ReadLocaleId(const uint8_t* data, size_t size);
