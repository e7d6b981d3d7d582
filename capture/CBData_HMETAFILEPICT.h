#pragma once

#include "capture/CBData_GDI.h"

class CCBData_HMETAFILEPICT : public CCBData_GDI {
public:
    static const fw::CRuntimeClass classCCBData_HMETAFILEPICT;

    CCBData_HMETAFILEPICT();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_HMETAFILEPICT; }
    ~CCBData_HMETAFILEPICT() override;
    std::shared_ptr<Gdiplus::Image> CreateGdiImage() override;

    // Declared block first, so the metafile is deleted before the block is freed.
    fw::UniqueGlobal m_hMetaFilePict;  // owned duplicate of the METAFILEPICT block
    fw::UniqueMetaFile m_hMetaFile;     // the metafile inside that block
};
