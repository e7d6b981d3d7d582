#include "capture/CBData_FileDescriptor.h"

const fw::CRuntimeClass CCBData_FileDescriptor::classCCBData_FileDescriptor = {"CCBData_FileDescriptor", &CCBData::classCCBData};

CCBData_FileDescriptor::CCBData_FileDescriptor()
{}

CCBData_FileDescriptor::~CCBData_FileDescriptor()
{
    FileNames.clear();
}
