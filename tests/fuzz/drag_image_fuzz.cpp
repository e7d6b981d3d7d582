// Fuzz target: an accepted drag image's rows, walked from the top row back by the
// stride as GDI+ walks them, must all lie between the header and the end of the input.
#include "capture/bytes/DragImageLayout.h"

#include <cstdlib>
#include <vector>

namespace {

volatile uint8_t g_sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> copy(data, data + size);
    const DragImageLayout layout = ReadDragImageLayout(copy.data(), copy.size());
    if (!layout.valid) {
        if (layout.width != 0 || layout.height != 0 || layout.pixelSize != 0) std::abort();
        return 0;
    }
    if (layout.headerSize != 32 && layout.headerSize != 24) std::abort();
    if (layout.width <= 0 || layout.height <= 0) std::abort();
    const uint64_t row = 4 * static_cast<uint64_t>(layout.width);
    if (layout.stride != -static_cast<int64_t>(row)) std::abort();
    if (layout.pixelSize != row * static_cast<uint64_t>(layout.height)) std::abort();
    if (layout.headerSize > size || layout.pixelSize > size - layout.headerSize) std::abort();
    uint8_t sum = 0;
    uint64_t offset = layout.topRowOffset;
    for (int32_t y = 0; y < layout.height; ++y, offset -= row) {
        if (offset < layout.headerSize || offset + row > size) std::abort();
        for (uint64_t i = 0; i < row; ++i) sum = static_cast<uint8_t>(sum + copy[offset + i]);
    }
    g_sink = sum;
    return 0;
}
