#pragma once

#include "capture/CBData.h"

class CCBData_DIB : public CCBData {
public:
    static const fw::CRuntimeClass classCCBData_DIB;

    CCBData_DIB();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_DIB; }
    ~CCBData_DIB() override;

    std::vector<BYTE> m_bytes;  // the stored bytes once read; empty before
};
