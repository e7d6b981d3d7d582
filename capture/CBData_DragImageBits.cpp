#include "capture/CBData_DragImageBits.h"

const fw::CRuntimeClass CCBData_DragImageBits::classCCBData_DragImageBits = {"CCBData_DragImageBits", &CCBData::classCCBData};

CCBData_DragImageBits::CCBData_DragImageBits()
{
    m_defaultViewTab = 2;  // image
}

CCBData_DragImageBits::~CCBData_DragImageBits()
{}
