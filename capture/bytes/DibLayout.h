// Where the parts of a device-independent bitmap (CF_DIB, CF_DIBV5) lie in its bytes,
// proven to fit before anything is handed to GDI or GDI+. No <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

// biCompression values.
inline constexpr uint32_t kDibRgb = 0;
inline constexpr uint32_t kDibRle8 = 1;
inline constexpr uint32_t kDibRle4 = 2;
inline constexpr uint32_t kDibBitFields = 3;
inline constexpr uint32_t kDibJpeg = 4;
inline constexpr uint32_t kDibPng = 5;

struct DibLayout {
    bool valid = false;         // the header is sane and every part below lies inside the data
    int32_t width = 0;          // biWidth
    int32_t height = 0;         // biHeight; negative for top-down rows
    int32_t bitsPerPixel = 0;   // biPlanes × biBitCount
    uint32_t compression = 0;   // biCompression
    uint32_t headerSize = 0;    // biSize
    uint64_t colorEntries = 0;  // 4-byte entries after the header: colour table and bit-field masks (when there)
    uint64_t bitsOffset = 0;    // where the pixel bits start
    uint64_t bitsSize = 0;      // stride × |height| for uncompressed rows, else biSizeImage
    uint64_t stride = 0;        // bytes per uncompressed row (DWORD-aligned); 0 for compressed bits
};

// The layout of the DIB in `data`, or an invalid one (all zero) when the header is
// not one GDI would take or any part runs past the end. Compressed bits (RLE, an
// embedded JPEG or PNG) are biSizeImage bytes long. BI_BITFIELDS masks of a V2 to V5
// header are taken from inside the header when the data has no room for them after it.
DibLayout ReadDibLayout(const uint8_t* data, size_t size);
