#include "capture/CBData_GDI.h"

#include "capture/GdiplusInclude.h"

const fw::CRuntimeClass CCBData_GDI::classCCBData_GDI = {"CCBData_GDI", &CCBData::classCCBData};

CCBData_GDI::CCBData_GDI()
{
    m_defaultViewTab = 2;  // image
    m_treeIcon = 2;        // picture
}

CCBData_GDI::~CCBData_GDI() {}

std::shared_ptr<Gdiplus::Image> CCBData_GDI::CreateGdiImage()
{
    return nullptr;
}

std::shared_ptr<Gdiplus::Image> CCBData_GDI::CreateImage(int& width, int& height, int& bitsPerPixel)
{
    width = height = bitsPerPixel = 0;
    std::shared_ptr<Gdiplus::Image> image = CreateGdiImage();
    if (m_width != 0) {
        width = m_width;
        height = m_height;
        bitsPerPixel = m_bitsPerPixel;
        return image;
    }
    if (!image) return image;
    width = static_cast<int>(image->GetWidth());
    height = static_cast<int>(image->GetHeight());
    return image;
}
