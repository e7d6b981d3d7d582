#include "capture/bytes/LocaleData.h"

std::optional<uint32_t> ReadLocaleId(const uint8_t* data, size_t size)
{
    if (!data || size < 4) return std::nullopt;
    return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 | static_cast<uint32_t>(data[2]) << 16 |
           static_cast<uint32_t>(data[3]) << 24;
}
