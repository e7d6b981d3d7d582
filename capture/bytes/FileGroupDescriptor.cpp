#include "capture/bytes/FileGroupDescriptor.h"

#include <algorithm>

FileGroupNames ReadFileGroupNames(const uint8_t* data, size_t size, bool wide)
{
    FileGroupNames result;
    if (!data || size < 4) {
        result.truncated = true;
        return result;
    }
    result.claimedItems = ReadU32(data, 0);
    const size_t record = wide ? kFileDescriptorWSize : kFileDescriptorASize;
    const size_t unit = wide ? 2 : 1;
    const size_t whole = (size - 4) / record;
    const size_t count = std::min<size_t>(result.claimedItems, whole);
    result.truncated = count < result.claimedItems;
    result.names.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t field = 4 + i * record + kFileDescriptorNameOffset;
        size_t length = 0;
        while (length < kFileDescriptorNameUnits * unit) {
            const bool nul =
                wide ? (data[field + length] == 0 && data[field + length + 1] == 0) : data[field + length] == 0;
            if (nul) break;
            length += unit;
        }
        result.names.push_back({field, length});
    }
    return result;
}
