#pragma once

#include "capture/CBData_GDI.h"

class CCBDataCreateContext;

class CCBData_HBITMAP : public CCBData_GDI {
public:
    static const fw::CRuntimeClass classCCBData_HBITMAP;

    CCBData_HBITMAP();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_HBITMAP; }
    ~CCBData_HBITMAP() override;
    std::shared_ptr<Gdiplus::Image> CreateGdiImage() override;

    // The entry for a bitmap delivered as TYMED_GDI: duplicates of the bitmap and of the
    // capture's palette, and the size and depth measured on the delivered handle. The
    // caller still owns and releases the medium.
    static std::shared_ptr<CCBData> Import(HBITMAP delivered, CCBDataCreateContext* context);

    fw::UniqueBitmap m_hBitmap;    // owned duplicate
    fw::UniquePalette m_hPalette;  // owned duplicate, or null
};
