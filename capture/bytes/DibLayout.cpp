#include "capture/bytes/DibLayout.h"

namespace {

uint16_t ReadU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Compression and bit count pairs that GDI defines; JPEG and PNG carry their own depth.
bool IsKnownFormat(uint32_t compression, uint16_t bitCount)
{
    switch (compression) {
        case kDibRgb:
            return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
                   bitCount == 32;
        case kDibBitFields:
            return bitCount == 16 || bitCount == 32;
        case kDibRle8:
            return bitCount == 8;
        case kDibRle4:
            return bitCount == 4;
        case kDibJpeg:
        case kDibPng:
            return bitCount == 0;
        default:
            return false;
    }
}

// 4-byte entries between the header and the bits: the colour table, plus the three
// masks of BI_BITFIELDS.
uint64_t ColorEntries(uint16_t bitCount, uint32_t compression, uint32_t clrUsed)
{
    switch (bitCount) {
        case 1:
            return 2;
        case 4:
            return clrUsed != 0 ? clrUsed : 16;
        case 8:
            return clrUsed != 0 ? clrUsed : 256;
        case 16:
        case 32:
            if (compression == kDibRgb) return clrUsed;
            if (compression == kDibBitFields) return uint64_t{clrUsed} + 3;
            return 0;
        case 24:
            return clrUsed;
        default:
            return 0;
    }
}

}  // namespace

DibLayout ReadDibLayout(const uint8_t* data, size_t size)
{
    constexpr size_t kInfoHeaderSize = 40;
    constexpr uint32_t kMasksInHeaderSize = 52;
    if (data == nullptr || size < kInfoHeaderSize) return {};
    const uint32_t headerSize = ReadU32(data);
    const int32_t width = static_cast<int32_t>(ReadU32(data + 4));
    const int32_t height = static_cast<int32_t>(ReadU32(data + 8));
    const uint16_t planes = ReadU16(data + 12);
    const uint16_t bitCount = ReadU16(data + 14);
    const uint32_t compression = ReadU32(data + 16);
    const uint32_t sizeImage = ReadU32(data + 20);
    const uint32_t clrUsed = ReadU32(data + 32);

    // The bits follow the header's low 16 bits; a larger biSize is no header GDI knows.
    if (headerSize < kInfoHeaderSize || headerSize > 0xFFFF || headerSize > size) return {};
    if (width <= 0 || height == 0 || planes != 1) return {};
    if (!IsKnownFormat(compression, bitCount)) return {};
    const bool uncompressed = compression == kDibRgb || compression == kDibBitFields;
    // Compressed bits are always stored bottom-up.
    if (height < 0 && !uncompressed) return {};

    // At most 0xFFFF + 4 × (2^32 + 2): no overflow in 64 bits.
    uint64_t entries = ColorEntries(bitCount, compression, clrUsed);
    uint64_t bitsOffset = uint64_t{headerSize} + 4 * entries;
    // A header of 52 bytes or more (V2 to V5) holds the bit-field masks itself. Some
    // programs repeat them after the header, others put the bits right after it: data
    // exactly the masks' 12 bytes short of the first layout is of the second.
    if (compression == kDibBitFields && headerSize >= kMasksInHeaderSize && bitsOffset <= uint64_t{size} + 12) {
        const uint64_t rows = height < 0 ? uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(height))
                                         : static_cast<uint64_t>(height);
        const uint64_t rowBits = static_cast<uint64_t>(width) * bitCount;
        const uint64_t rowBytes = (rowBits + 31) / 32 * 4;
        if (rowBits <= INT32_MAX - 31 && bitsOffset - 12 + rowBytes * rows == size) {
            entries -= 3;
            bitsOffset -= 12;
        }
    }
    if (bitsOffset > size) return {};
    const uint64_t available = size - bitsOffset;

    uint64_t stride = 0;
    uint64_t bitsSize = 0;
    if (uncompressed) {
        const uint64_t rowBits = static_cast<uint64_t>(width) * bitCount;
        // GDI+ takes the stride as an INT.
        if (rowBits > INT32_MAX - 31) return {};
        stride = (rowBits + 31) / 32 * 4;
        const uint64_t rows = height < 0 ? uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(height))
                                         : static_cast<uint64_t>(height);
        if (rows > available / stride) return {};
        bitsSize = stride * rows;
    } else {
        if (sizeImage == 0 || sizeImage > available) return {};
        bitsSize = sizeImage;
    }

    DibLayout layout;
    layout.valid = true;
    layout.width = width;
    layout.height = height;
    layout.bitsPerPixel = planes * bitCount;
    layout.compression = compression;
    layout.headerSize = headerSize;
    layout.colorEntries = entries;
    layout.bitsOffset = bitsOffset;
    layout.bitsSize = bitsSize;
    layout.stride = stride;
    return layout;
}
