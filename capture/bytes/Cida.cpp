#include "capture/bytes/Cida.h"

#include <algorithm>

std::optional<ByteRange> ReadIdList(const uint8_t* data, size_t size, size_t offset)
{
    if (!data || offset > size) return std::nullopt;
    size_t pos = offset;
    for (;;) {
        if (size - pos < 2) return std::nullopt;
        const uint16_t cb = ReadU16(data, pos);
        if (cb == 0) return ByteRange{offset, pos + 2 - offset};
        // An item shorter than its own size field would never advance.
        if (cb < 2 || cb > size - pos) return std::nullopt;
        pos += cb;
    }
}

CidaLayout ReadCida(const uint8_t* data, size_t size)
{
    CidaLayout layout;
    if (!data || size < 4) {
        layout.damaged = true;
        return layout;
    }
    layout.claimedItems = ReadU32(data, 0);
    const size_t offsetsRoom = (size - 4) / 4;
    if (offsetsRoom == 0) {
        layout.damaged = true;
        return layout;
    }
    layout.parent = ReadIdList(data, size, ReadU32(data, 4));
    if (!layout.parent) layout.damaged = true;
    // Offsets past the data's end are left out; the parent takes the first.
    const size_t readable = std::min<size_t>(layout.claimedItems, offsetsRoom - 1);
    if (readable < layout.claimedItems) layout.damaged = true;
    for (size_t i = 0; i < readable; ++i) {
        const std::optional<ByteRange> item = ReadIdList(data, size, ReadU32(data, 4 + 4 * (i + 1)));
        if (item) {
            layout.items.push_back({static_cast<uint32_t>(i), *item});
        } else {
            layout.damaged = true;
        }
    }
    return layout;
}
