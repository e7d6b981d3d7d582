#include "capture/CBData_HENHMF.h"

#include "capture/GdiplusInclude.h"

const fw::CRuntimeClass CCBData_HENHMF::classCCBData_HENHMF = {"CCBData_HENHMF", &CCBData_GDI::classCCBData_GDI};

CCBData_HENHMF::CCBData_HENHMF() {}

CCBData_HENHMF::~CCBData_HENHMF() {}

std::shared_ptr<Gdiplus::Image> CCBData_HENHMF::CreateGdiImage()
{
    if (!m_hEnhMetaFile) return nullptr;
    // The entry keeps the handle: the image must not delete it.
    return std::make_shared<Gdiplus::Metafile>(m_hEnhMetaFile.Get(), FALSE);
}

std::shared_ptr<CCBData> CCBData_HENHMF::Import(HENHMETAFILE delivered)
{
    auto entry = std::make_shared<CCBData_HENHMF>();
    if (delivered)
        entry->m_hEnhMetaFile.Reset(static_cast<HENHMETAFILE>(::OleDuplicateData(delivered, CF_ENHMETAFILE, 0)));
    return entry;
}
