// The enumerator of a replay data object's descriptions. Clones share the list and keep a
// position of their own; target devices are always null.
#pragma once

#include "framework/ComObject.h"

#include <windows.h>
#include <objidl.h>

#include <memory>
#include <vector>

class CReplayFormatEnum : public fw::ComObject<IEnumFORMATETC> {
public:
    CReplayFormatEnum(std::shared_ptr<const std::vector<FORMATETC>> formats, size_t position = 0)
        : m_formats(std::move(formats)), m_position(position)
    {
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* out, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** clone) override;

private:
    std::shared_ptr<const std::vector<FORMATETC>> m_formats;
    size_t m_position;
};
