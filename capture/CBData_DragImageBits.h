#pragma once

#include "capture/CBData.h"

class CCBData_DragImageBits : public CCBData {
public:
    static const fw::CRuntimeClass classCCBData_DragImageBits;

    CCBData_DragImageBits();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_DragImageBits; }
    ~CCBData_DragImageBits() override;
    // A GDI+ bitmap over the stored pixels (no copy: the entry must outlive the image),
    // reporting cx, cy and 32 bits per pixel; no picture when the pixels do not fit.
    std::shared_ptr<Gdiplus::Image> CreateImage(int& width, int& height, int& bitsPerPixel) override;

    std::vector<BYTE> m_bytes;  // the stored bytes once read; empty before
};
