#include "capture/ReplayStream.h"

#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr ULONG kCopyStep = 0x100000;

}  // namespace

std::shared_ptr<CReplayFile> CReplayFile::Open(const std::wstring& path)
{
    if (path.empty()) return nullptr;
    fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.Get(), &size)) return nullptr;
    try {
        return std::make_shared<CReplayFile>(std::move(file), static_cast<uint64_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool CReplayFile::ReadAt(uint64_t offset, void* buffer, DWORD size, DWORD& read)
{
    read = 0;
    if (offset != m_pointer) {
        LARGE_INTEGER to = {};
        to.QuadPart = static_cast<LONGLONG>(offset);
        m_pointer = UINT64_MAX;
        if (!::SetFilePointerEx(m_file.Get(), to, nullptr, FILE_BEGIN)) return false;
        m_pointer = offset;
    }
    if (!::ReadFile(m_file.Get(), buffer, size, &read, nullptr)) {
        m_pointer = UINT64_MAX;
        return false;
    }
    m_pointer += read;
    return true;
}

CReplayStream::CReplayStream(std::shared_ptr<CReplayFile> file, uint64_t size, std::wstring name, uint64_t position)
    : m_file(std::move(file)), m_size(size), m_name(std::move(name)), m_position(position)
{
}

fw::ComPtr<IStream> CReplayStream::Open(const std::wstring& path, const std::wstring& name)
{
    return Over(CReplayFile::Open(path), name);
}

fw::ComPtr<IStream> CReplayStream::Over(std::shared_ptr<CReplayFile> file, const std::wstring& name)
{
    if (!file) return nullptr;
    try {
        const uint64_t size = file->Size();
        return fw::MakeComObject<CReplayStream>(std::move(file), size, name, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* CReplayStream::QueryMore(REFIID iid)
{
    return iid == __uuidof(ISequentialStream) ? static_cast<ISequentialStream*>(this) : nullptr;
}

HRESULT CReplayStream::Read(void* buffer, ULONG size, ULONG* read)
{
    if (read) *read = 0;
    if (!buffer && size) return STG_E_INVALIDPOINTER;
    const ULONG want = static_cast<ULONG>(std::min<uint64_t>(size, m_position < m_size ? m_size - m_position : 0));
    ULONG done = 0;
    while (done < want) {
        // Clones share the file, each with a position of its own.
        DWORD got = 0;
        if (!m_file->ReadAt(m_position + done, static_cast<BYTE*>(buffer) + done, want - done, got) || got == 0) break;
        done += got;
    }
    m_position += done;
    if (read) *read = done;
    if (done < want) return STG_E_READFAULT;  // the file is shorter than it was when opened
    return done == size ? S_OK : S_FALSE;
}

HRESULT CReplayStream::Write(const void*, ULONG, ULONG* written)
{
    if (written) *written = 0;
    return STG_E_ACCESSDENIED;
}

HRESULT CReplayStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position)
{
    int64_t base = 0;
    switch (origin) {
        case STREAM_SEEK_SET:
            base = 0;
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<int64_t>(m_position);
            break;
        case STREAM_SEEK_END:
            base = static_cast<int64_t>(m_size);
            break;
        default:
            return STG_E_INVALIDFUNCTION;
    }
    // Before the start is an error; past the end is allowed, where reads give nothing.
    if (move.QuadPart < 0 && -move.QuadPart > base) return STG_E_INVALIDFUNCTION;
    m_position = static_cast<uint64_t>(base + move.QuadPart);
    if (position) position->QuadPart = m_position;
    return S_OK;
}

HRESULT CReplayStream::CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read, ULARGE_INTEGER* written)
{
    if (read) read->QuadPart = 0;
    if (written) written->QuadPart = 0;
    if (!target) return STG_E_INVALIDPOINTER;
    std::vector<BYTE> buffer;
    try {
        buffer.resize(static_cast<size_t>(std::min<uint64_t>(kCopyStep, size.QuadPart)));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    uint64_t readTotal = 0, writtenTotal = 0;
    HRESULT hr = S_OK;
    while (readTotal < size.QuadPart) {
        const ULONG want = static_cast<ULONG>(std::min<uint64_t>(buffer.size(), size.QuadPart - readTotal));
        ULONG got = 0;
        hr = Read(buffer.data(), want, &got);
        if (FAILED(hr)) break;
        readTotal += got;
        ULONG put = 0;
        const HRESULT wrote = got ? target->Write(buffer.data(), got, &put) : S_OK;
        writtenTotal += put;
        if (FAILED(wrote)) {
            hr = wrote;
            break;
        }
        if (got < want) break;
    }
    if (read) read->QuadPart = readTotal;
    if (written) written->QuadPart = writtenTotal;
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CReplayStream::Stat(STATSTG* stat, DWORD flags)
{
    if (!stat) return STG_E_INVALIDPOINTER;
    std::memset(stat, 0, sizeof *stat);
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = m_size;
    stat->grfMode = STGM_READ | STGM_SHARE_DENY_WRITE;
    if (!(flags & STATFLAG_NONAME) && !m_name.empty()) {
        const size_t bytes = (m_name.size() + 1) * sizeof(wchar_t);
        // The caller frees the name with CoTaskMemFree.
        stat->pwcsName = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
        if (!stat->pwcsName) return E_OUTOFMEMORY;
        std::memcpy(stat->pwcsName, m_name.c_str(), bytes);
    }
    return S_OK;
}

HRESULT CReplayStream::Clone(IStream** clone)
{
    if (!clone) return STG_E_INVALIDPOINTER;
    *clone = nullptr;
    try {
        fw::ComPtr<IStream> copy = fw::MakeComObject<CReplayStream>(m_file, m_size, m_name, m_position);
        if (!copy) return E_OUTOFMEMORY;
        *clone = copy.Detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
