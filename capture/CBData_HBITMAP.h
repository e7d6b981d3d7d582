#pragma once

#include "capture/CBData_GDI.h"

class CCBData_HBITMAP : public CCBData_GDI {
public:
    static const fw::CRuntimeClass classCCBData_HBITMAP;

    CCBData_HBITMAP();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_HBITMAP; }
    ~CCBData_HBITMAP() override;
    std::shared_ptr<Gdiplus::Image> CreateGdiImage() override;

    fw::UniqueBitmap m_hBitmap;    // owned duplicate
    fw::UniquePalette m_hPalette;  // owned duplicate, or null
};
