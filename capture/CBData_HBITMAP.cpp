#include "capture/CBData_HBITMAP.h"

#include "capture/CBDataCreateContext.h"
#include "capture/CBDataImage.h"
#include "capture/GdiplusInclude.h"

const fw::CRuntimeClass CCBData_HBITMAP::classCCBData_HBITMAP = {"CCBData_HBITMAP", &CCBData_GDI::classCCBData_GDI};

CCBData_HBITMAP::CCBData_HBITMAP() {}

CCBData_HBITMAP::~CCBData_HBITMAP() {}

std::shared_ptr<Gdiplus::Image> CCBData_HBITMAP::CreateGdiImage()
{
    if (!m_hBitmap) return nullptr;
    // The handle's own size counts, not the figures a snapshot file claims for it.
    BITMAP measured = {};
    if (::GetObjectW(m_hBitmap.Get(), sizeof measured, &measured) != sizeof measured ||
        !IsWithinPixelBudget(measured.bmWidth, measured.bmHeight))
        return nullptr;
    return std::make_shared<Gdiplus::Bitmap>(m_hBitmap.Get(), m_hPalette.Get());
}

std::shared_ptr<CCBData> CCBData_HBITMAP::Import(HBITMAP delivered, CCBDataCreateContext* context)
{
    auto entry = std::make_shared<CCBData_HBITMAP>();
    if (delivered) entry->m_hBitmap.Reset(static_cast<HBITMAP>(::OleDuplicateData(delivered, CF_BITMAP, 0)));
    if (context && context->m_palette)
        entry->m_hPalette.Reset(static_cast<HPALETTE>(::OleDuplicateData(context->m_palette, CF_PALETTE, 0)));
    BITMAP measured = {};
    if (delivered && ::GetObjectW(delivered, sizeof measured, &measured) == sizeof measured) {
        entry->m_width = measured.bmWidth;
        entry->m_height = measured.bmHeight;
        entry->m_bitsPerPixel = measured.bmPlanes * measured.bmBitsPixel;
    }
    return entry;
}
