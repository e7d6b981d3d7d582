// A read-only IStream over an entry's temporary file, handed to a target that asks for a
// stream: it reads the file in place, so the data is never held in memory whole. Clones
// share the open file and keep a position of their own. The file is opened with delete
// sharing, so the entry that owns it can still delete it; the name goes at once and the
// bytes when the last stream is released.
#pragma once

#include "framework/ComObject.h"

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <memory>
#include <string>

class CReplayStream : public fw::ComObject<IStream> {
public:
    // A stream at position 0 over `path`; null when the file cannot be opened (it vanished).
    // `name` is what Stat reports unless asked for no name.
    static fw::ComPtr<IStream> Open(const std::wstring& path, const std::wstring& name);

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override;
    // Nothing is ever changed, so there is nothing to commit or revert.
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override
    {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override
    {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** clone) override;

protected:
    void* QueryMore(REFIID iid) override;

public:
    // Made by Open and Clone.
    CReplayStream(std::shared_ptr<fw::UniqueFile> file, uint64_t size, std::wstring name, uint64_t position);

private:
    std::shared_ptr<fw::UniqueFile> m_file;
    uint64_t m_size;
    std::wstring m_name;
    uint64_t m_position;
};
