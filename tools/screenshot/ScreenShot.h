// Writes a part of the screen to a 24-bit BMP file, for the screenshot tools.
#pragma once

#include "framework/Handles.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

inline bool WriteScreenArea(const RECT& r, const std::wstring& path)
{
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    fw::UniqueBitmap bitmap(::CreateCompatibleBitmap(screen, w, h));
    HGDIOBJ old = ::SelectObject(memory, bitmap.Get());
    ::BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    ::SelectObject(memory, old);
    BITMAPINFOHEADER header = {sizeof header, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const int stride = (w * 3 + 3) & ~3;
    std::vector<BYTE> bits(static_cast<size_t>(stride) * h);
    ::GetDIBits(memory, bitmap.Get(), 0, h, bits.data(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(bits.size());
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return false;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(bits.data(), 1, bits.size(), out);
    std::fclose(out);
    return true;
}
