// Fuzz target: a DIB layout the reader accepts must lie wholly inside the input, and
// every byte GDI+ would read (header, colour table, each row of bits) is touched here
// so that AddressSanitizer sees any read past the end.
#include "capture/bytes/DibLayout.h"

#include <cstdlib>
#include <vector>

namespace {

volatile uint8_t g_sink;

void Touch(const uint8_t* data, uint64_t offset, uint64_t length)
{
    uint8_t sum = 0;
    for (uint64_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + data[offset + i]);
    g_sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A private copy of exactly `size` bytes, so that a read one past the end is caught.
    std::vector<uint8_t> copy(data, data + size);
    const DibLayout layout = ReadDibLayout(copy.data(), copy.size());
    if (!layout.valid) {
        if (layout.width != 0 || layout.height != 0 || layout.bitsPerPixel != 0 || layout.bitsSize != 0) std::abort();
        return 0;
    }
    if (layout.headerSize < 40 || layout.headerSize > size) std::abort();
    if (layout.bitsOffset != layout.headerSize + 4 * layout.colorEntries) std::abort();
    if (layout.bitsOffset > size || layout.bitsSize > size - layout.bitsOffset) std::abort();
    if (layout.width <= 0 || layout.height == 0) std::abort();
    Touch(copy.data(), 0, layout.bitsOffset);
    if (layout.stride != 0) {
        const uint64_t rows = layout.height < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(layout.height))
                                                : static_cast<uint64_t>(layout.height);
        if (layout.stride * rows != layout.bitsSize || layout.stride > INT32_MAX) std::abort();
        if (layout.stride * 8 < static_cast<uint64_t>(layout.width) * layout.bitsPerPixel) std::abort();
    }
    Touch(copy.data(), layout.bitsOffset, layout.bitsSize);
    return 0;
}
