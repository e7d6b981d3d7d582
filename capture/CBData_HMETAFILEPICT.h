#pragma once

#include "capture/CBData_GDI.h"

class CCBData_HMETAFILEPICT : public CCBData_GDI {
public:
    static const fw::CRuntimeClass classCCBData_HMETAFILEPICT;

    CCBData_HMETAFILEPICT();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_HMETAFILEPICT; }
    ~CCBData_HMETAFILEPICT() override;
    std::shared_ptr<Gdiplus::Image> CreateGdiImage() override;

    // The entry for a metafile picture delivered as TYMED_MFPICT (see ImportMetaFilePict).
    // The caller still owns and releases the medium.
    static std::shared_ptr<CCBData> Import(HGLOBAL delivered);
    // Keeps a duplicate of the METAFILEPICT block and of the metafile in it.
    void ImportMetaFilePict(HGLOBAL delivered);
    // Takes over a duplicated block (and the metafile it names), and writes the block
    // itself into a temporary file so that the hex view shows it.
    void KeepMetaFilePict(HGLOBAL duplicate);

    // Declared block first, so the metafile is deleted before the block is freed.
    fw::UniqueGlobal m_hMetaFilePict;  // owned duplicate of the METAFILEPICT block
    fw::UniqueMetaFile m_hMetaFile;    // the metafile inside that block
};
