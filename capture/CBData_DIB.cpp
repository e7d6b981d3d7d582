#include "capture/CBData_DIB.h"

const fw::CRuntimeClass CCBData_DIB::classCCBData_DIB = {"CCBData_DIB", &CCBData::classCCBData};

CCBData_DIB::CCBData_DIB()
{
    m_defaultViewTab = 2;  // image
}

CCBData_DIB::~CCBData_DIB()
{}
