#pragma once

#include "capture/CBData.h"

class CCBData_DragImageBits : public CCBData {
public:
    static const fw::CRuntimeClass classCCBData_DragImageBits;

    CCBData_DragImageBits();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_DragImageBits; }
    ~CCBData_DragImageBits() override;

    std::vector<BYTE> m_bytes;  // the stored bytes once read; empty before
};
