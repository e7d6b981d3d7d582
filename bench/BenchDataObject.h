// A drop source for the benchmarks: offers a fixed list of formats, each a global block
// of chosen bytes, as a drag source or the clipboard would.
#pragma once

#include "framework/Handles.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <utility>
#include <vector>

namespace bench_support {

class OfferedBlocks : public IDataObject {
public:
    struct Block {
        CLIPFORMAT format;
        std::vector<BYTE> bytes;
    };
    explicit OfferedBlocks(std::vector<Block> blocks) : m_blocks(std::move(blocks)) {}
    virtual ~OfferedBlocks() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDataObject) return E_NOINTERFACE;
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0) delete this;
        return refs;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* fmt, STGMEDIUM* medium) override
    {
        std::memset(medium, 0, sizeof *medium);
        const Block* block = Find(fmt);
        if (!block) return DV_E_FORMATETC;
        HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, block->bytes.size());
        if (!global) return E_OUTOFMEMORY;
        std::memcpy(fw::GlobalLockView(global).Data(), block->bytes.data(), block->bytes.size());
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = global;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* fmt) override { return Find(fmt) ? S_OK : DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override
    {
        if (direction != DATADIR_GET) return E_NOTIMPL;
        std::vector<FORMATETC> formats;
        for (const Block& block : m_blocks)
            formats.push_back({block.format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
        return ::SHCreateStdEnumFmtEtc(static_cast<UINT>(formats.size()), formats.data(), out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    const Block* Find(const FORMATETC* fmt) const
    {
        if (!(fmt->tymed & TYMED_HGLOBAL)) return nullptr;
        for (const Block& block : m_blocks)
            if (block.format == fmt->cfFormat) return &block;
        return nullptr;
    }

    ULONG m_refs = 1;
    std::vector<Block> m_blocks;
};

}  // namespace bench_support
