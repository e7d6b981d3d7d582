#pragma once

#include "capture/CBData_GDI.h"

class CCBData_HENHMF : public CCBData_GDI {
public:
    static const fw::CRuntimeClass classCCBData_HENHMF;

    CCBData_HENHMF();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_HENHMF; }
    ~CCBData_HENHMF() override;
    std::shared_ptr<Gdiplus::Image> CreateGdiImage() override;

    // The entry for an enhanced metafile delivered as TYMED_ENHMF, holding a duplicate.
    // The caller still owns and releases the medium.
    static std::shared_ptr<CCBData> Import(HENHMETAFILE delivered);

    fw::UniqueEnhMetaFile m_hEnhMetaFile;  // owned duplicate
};
