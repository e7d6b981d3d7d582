#include "capture/CBData_HBITMAP.h"

#include "capture/GdiplusInclude.h"

const fw::CRuntimeClass CCBData_HBITMAP::classCCBData_HBITMAP = {"CCBData_HBITMAP", &CCBData_GDI::classCCBData_GDI};

CCBData_HBITMAP::CCBData_HBITMAP()
{}

CCBData_HBITMAP::~CCBData_HBITMAP()
{}

std::shared_ptr<Gdiplus::Image> CCBData_HBITMAP::CreateGdiImage()
{
    if (!m_hBitmap) return nullptr;
    return std::make_shared<Gdiplus::Bitmap>(m_hBitmap.Get(), m_hPalette.Get());
}
