#pragma once

#include "capture/CBData.h"

class CCBData_DIB : public CCBData {
public:
    static const fw::CRuntimeClass classCCBData_DIB;

    CCBData_DIB();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_DIB; }
    ~CCBData_DIB() override;
    // A GDI+ bitmap of the stored DIB, reporting the header's width, height (negative
    // for top-down rows) and planes × bit count. No picture when the header is not one
    // GDI knows or any part of the DIB lies past the stored bytes.
    std::shared_ptr<Gdiplus::Image> CreateImage(int& width, int& height, int& bitsPerPixel) override;

    std::vector<BYTE> m_bytes;  // the stored bytes once read; empty before
};
