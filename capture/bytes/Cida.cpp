#include "capture/bytes/Cida.h"

#include <algorithm>

namespace {

// Walks the ID list at `offset` while `budget` bytes of walking are left, and takes the
// bytes walked off the budget; a list of more than kMaxIdListLevels items is none.
std::optional<ByteRange> WalkIdList(const uint8_t* data, size_t size, size_t offset, size_t& budget)
{
    if (!data || offset > size) return std::nullopt;
    size_t pos = offset;
    for (size_t level = 0;; ++level) {
        if (size - pos < 2 || budget < 2 || level > kMaxIdListLevels) return std::nullopt;
        const uint16_t cb = ReadU16(data, pos);
        if (cb == 0) {
            budget -= 2;
            return ByteRange{offset, pos + 2 - offset};
        }
        // An item shorter than its own size field would never advance.
        if (cb < 2 || cb > size - pos || cb > budget) return std::nullopt;
        budget -= cb;
        pos += cb;
    }
}

}  // namespace

std::optional<ByteRange> ReadIdList(const uint8_t* data, size_t size, size_t offset)
{
    size_t budget = size;
    return WalkIdList(data, size, offset, budget);
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
    // Offsets may point into each other's lists, so that every list runs on to the end
    // of the data: walking each one from its start would cost the square of the size.
    // The lists a shell writes never overlap; all walks together get a few times the data.
    size_t budget = kCidaWalkFactor * size;
    layout.parent = WalkIdList(data, size, ReadU32(data, 4), budget);
    if (!layout.parent) layout.damaged = true;
    // Offsets past the data's end are left out; the parent takes the first.
    const size_t readable = std::min<size_t>(layout.claimedItems, offsetsRoom - 1);
    if (readable < layout.claimedItems) layout.damaged = true;
    for (size_t i = 0; i < readable; ++i) {
        if (budget < 2) {
            // Every later item would fail the same way: the array counts as damaged.
            layout.damaged = true;
            break;
        }
        const std::optional<ByteRange> item = WalkIdList(data, size, ReadU32(data, 4 + 4 * (i + 1)), budget);
        if (item) {
            layout.items.push_back({static_cast<uint32_t>(i), *item});
        } else {
            layout.damaged = true;
        }
    }
    return layout;
}
