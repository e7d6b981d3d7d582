#pragma once

#include "capture/CBData.h"

class CCBData_FileDescriptor : public CCBData {
public:
    static const fw::CRuntimeClass classCCBData_FileDescriptor;

    CCBData_FileDescriptor();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_FileDescriptor; }
    ~CCBData_FileDescriptor() override;

    // The file names of the descriptor, in descriptor order.
    std::vector<std::wstring> FileNames;
};
