#include "capture/CBData_DragImageBits.h"

#include "capture/CBDataImage.h"
#include "capture/GdiplusInclude.h"
#include "capture/bytes/DragImageLayout.h"

const fw::CRuntimeClass CCBData_DragImageBits::classCCBData_DragImageBits = {"CCBData_DragImageBits",
                                                                             &CCBData::classCCBData};

CCBData_DragImageBits::CCBData_DragImageBits()
{
    m_defaultViewTab = 2;  // image
}

CCBData_DragImageBits::~CCBData_DragImageBits() {}

std::shared_ptr<Gdiplus::Image> CCBData_DragImageBits::CreateImage(int& width, int& height, int& bitsPerPixel)
{
    width = height = bitsPerPixel = 0;
    if (m_bytes.empty()) ReadData(m_bytes);
    const DragImageLayout layout = ReadDragImageLayout(m_bytes.data(), m_bytes.size());
    if (!layout.valid || !IsWithinPixelBudget(layout.width, layout.height)) return nullptr;
    width = layout.width;
    height = layout.height;
    bitsPerPixel = 32;
    // Rows are stored bottom-up: starting at the last one with a negative stride turns them upright.
    return std::make_shared<Gdiplus::Bitmap>(layout.width, layout.height, layout.stride, PixelFormat32bppPARGB,
                                             m_bytes.data() + layout.topRowOffset);
}
