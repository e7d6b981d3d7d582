#include "capture/CBData_HMETAFILEPICT.h"

#include "capture/GdiplusInclude.h"

const fw::CRuntimeClass CCBData_HMETAFILEPICT::classCCBData_HMETAFILEPICT = {"CCBData_HMETAFILEPICT", &CCBData_GDI::classCCBData_GDI};

CCBData_HMETAFILEPICT::CCBData_HMETAFILEPICT()
{}

CCBData_HMETAFILEPICT::~CCBData_HMETAFILEPICT()
{}

std::shared_ptr<Gdiplus::Image> CCBData_HMETAFILEPICT::CreateGdiImage()
{
    if (!m_hMetaFile) return nullptr;
    // No placeable header; the block's mapping mode and extents are not passed on.
    return std::make_shared<Gdiplus::Metafile>(m_hMetaFile.Get(), nullptr, FALSE);
}
