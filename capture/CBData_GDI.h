#pragma once

#include "capture/CBData.h"

class CCBData_GDI : public CCBData {
public:
    static const fw::CRuntimeClass classCCBData_GDI;

    CCBData_GDI();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_GDI; }
    ~CCBData_GDI() override;
    // A new GDI+ image of the kept handle; empty when there is none.
    virtual std::shared_ptr<Gdiplus::Image> CreateGdiImage();
    // The size measured at import when there is one (bitmaps), else GDI+'s size and 0 bits.
    std::shared_ptr<Gdiplus::Image> CreateImage(int& width, int& height, int& bitsPerPixel) override;

    int m_width = 0;  // measured at import; 0 when not measured
    int m_height = 0;
    int m_bitsPerPixel = 0;
};
