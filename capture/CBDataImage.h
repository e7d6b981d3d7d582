// Pictures decoded by the process's imaging factory (WIC): the base entry's stored file,
// and image files embedded in other data.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Gdiplus {
class Image;
}
struct IWICBitmapDecoder;
struct IWICImagingFactory;

// The most pixels a picture is decoded or expanded to: 2^27, 512 MiB as 32-bit pixels,
// enough for a 100-megapixel photograph. A small file claiming more (a decompression
// bomb: 30000 × 30000 pixels in a few hundred bytes) gives no picture rather than
// exhausting memory and holding the window for minutes.
inline constexpr uint64_t kMaxDecodedPixels = uint64_t{1} << 27;

// Whether a picture of this size stays within kMaxDecodedPixels. Every picture an entry
// makes is asked: GDI+ turns even 1-bit rows into 32-bit pixels when it draws them.
inline bool IsWithinPixelBudget(int64_t width, int64_t height)
{
    if (width < 0) width = -width;
    if (height < 0) height = -height;
    // Both below 2^32: the product fits.
    return width <= UINT32_MAX && height <= UINT32_MAX &&
           static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= kMaxDecodedPixels;
}

// A 32-bit ARGB GDI+ bitmap of the decoder's first frame, turned as its EXIF orientation
// says. Reports the width and height after turning and the stored frame's bits per
// pixel (0 when unknown); an empty pointer and 0, 0, 0 when the frame cannot be decoded
// or is larger than kMaxDecodedPixels.
std::shared_ptr<Gdiplus::Image> DecodeFirstFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, int& width,
                                                 int& height, int& bitsPerPixel);

// The same for an image file held in memory; the bytes are only read during the call.
std::shared_ptr<Gdiplus::Image> DecodeImageBytes(const BYTE* bytes, size_t size, int& width, int& height,
                                                 int& bitsPerPixel);
