#pragma once

#include "capture/CBData_GDI.h"

class CCBData_HENHMF : public CCBData_GDI {
public:
    static const fw::CRuntimeClass classCCBData_HENHMF;

    CCBData_HENHMF();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_HENHMF; }
    ~CCBData_HENHMF() override;
    std::shared_ptr<Gdiplus::Image> CreateGdiImage() override;

    fw::UniqueEnhMetaFile m_hEnhMetaFile;  // owned duplicate
};
