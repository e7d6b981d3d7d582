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

// An entry's file opened once for reading and shared by everything a replay hands out
// over it. A read that goes on where the last one ended is a plain sequential read (the
// file pointer is where it should be), so a target's read loop costs what a read loop
// over the file costs; any other read moves the pointer first. One thread: the
// replay's apartment.
class CReplayFile {
public:
    // Null when the file cannot be opened (it vanished).
    static std::shared_ptr<CReplayFile> Open(const std::wstring& path);
    CReplayFile(fw::UniqueFile file, uint64_t size) : m_file(std::move(file)), m_size(size) {}

    uint64_t Size() const { return m_size; }
    // Up to `size` bytes at `offset` into `buffer`; false on a failed read. `read` is 0
    // at the end of the file.
    bool ReadAt(uint64_t offset, void* buffer, DWORD size, DWORD& read);

private:
    fw::UniqueFile m_file;
    uint64_t m_size;
    uint64_t m_pointer = 0;  // where the file pointer stands; UINT64_MAX when not known
};

class CReplayStream : public fw::ComObject<IStream> {
public:
    // A stream at position 0 over `path`; null when the file cannot be opened (it vanished).
    // `name` is what Stat reports unless asked for no name.
    static fw::ComPtr<IStream> Open(const std::wstring& path, const std::wstring& name);
    // A stream at position 0 over a file already open.
    static fw::ComPtr<IStream> Over(std::shared_ptr<CReplayFile> file, const std::wstring& name);

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
    CReplayStream(std::shared_ptr<CReplayFile> file, uint64_t size, std::wstring name, uint64_t position);

private:
    std::shared_ptr<CReplayFile> m_file;
    uint64_t m_size;
    std::wstring m_name;
    uint64_t m_position;
};
