// Where the pixels of a "DragImageBits" block (the shell's drag image: an SHDRAGIMAGE
// header, then cx × cy 32-bit premultiplied BGRA pixels stored bottom-up without
// padding) lie in its bytes. No <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

struct DragImageLayout {
    bool valid = false;         // cx and cy are positive and the pixels lie inside the data
    int32_t width = 0;          // cx
    int32_t height = 0;         // cy
    uint32_t headerSize = 0;    // 32 from a 64-bit source, 24 from a 32-bit one
    uint64_t pixelSize = 0;     // cx × cy × 4
    uint64_t topRowOffset = 0;  // the last stored row, which is the picture's top row
    int32_t stride = 0;         // −4 × cx: walking from the top row back through the data
};

// The header length is told from the size: 32 when the data holds the pixels after 32
// bytes, else 24 when it holds them after 24; otherwise the layout is invalid (all zero).
DragImageLayout ReadDragImageLayout(const uint8_t* data, size_t size);
