#include "capture/bytes/DragImageLayout.h"

namespace {

int32_t ReadI32(const uint8_t* p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

DragImageLayout ReadDragImageLayout(const uint8_t* data, size_t size)
{
    if (data == nullptr || size < 8) return {};
    const int32_t cx = ReadI32(data);
    const int32_t cy = ReadI32(data + 4);
    if (cx <= 0 || cy <= 0) return {};
    // GDI+ takes the stride −4 × cx as an INT.
    if (cx > INT32_MAX / 4) return {};
    // Below 2^64 for any two positive 32-bit values.
    const uint64_t pixelSize = static_cast<uint64_t>(cx) * static_cast<uint64_t>(cy) * 4;
    uint32_t headerSize = 0;
    if (size >= 32 && size - 32 >= pixelSize) {
        headerSize = 32;
    } else if (size >= 24 && size - 24 >= pixelSize) {
        headerSize = 24;
    } else {
        return {};
    }
    DragImageLayout layout;
    layout.valid = true;
    layout.width = cx;
    layout.height = cy;
    layout.headerSize = headerSize;
    layout.pixelSize = pixelSize;
    layout.topRowOffset = headerSize + pixelSize - 4 * static_cast<uint64_t>(cx);
    layout.stride = -4 * cx;
    return layout;
}
