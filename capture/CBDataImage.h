// Pictures decoded by the process's imaging factory (WIC): the base entry's stored file,
// and image files embedded in other data.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>

namespace Gdiplus {
class Image;
}
struct IWICBitmapDecoder;
struct IWICImagingFactory;

// A 32-bit ARGB GDI+ bitmap of the decoder's first frame, turned as its EXIF orientation
// says. Reports the width and height after turning and the stored frame's bits per
// pixel (0 when unknown); an empty pointer and 0, 0, 0 when the frame cannot be decoded.
std::shared_ptr<Gdiplus::Image> DecodeFirstFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, int& width,
                                                 int& height, int& bitsPerPixel);

// The same for an image file held in memory; the bytes are only read during the call.
std::shared_ptr<Gdiplus::Image> DecodeImageBytes(const BYTE* bytes, size_t size, int& width, int& height,
                                                 int& bitsPerPixel);
