// Capture throughput: a 1 GiB stream and a 256 MiB global block imported through
// ImportMedium, against a plain loop that writes the same number of bytes to a file in
// 1 MiB WriteFile calls, in the same run. Prints the median of several rounds, the ratio
// and the peak working set.
#include "capture/CBDataCreateContext.h"
#include "capture/MediumImport.h"
#include "capture/TempStore.h"
#include "capture/bytes/TempNames.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"

#include "bench/BenchSupport.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using namespace bench_support;

constexpr uint64_t kStep = 0x100000;

// A stream that makes its bytes up as it is read, so that the source holds no memory.
class GeneratedStream : public IStream {
public:
    explicit GeneratedStream(uint64_t size) : m_size(size) {}
    virtual ~GeneratedStream() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IStream && riid != IID_ISequentialStream) return E_NOINTERFACE;
        *ppv = static_cast<IStream*>(this);
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
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override
    {
        const ULONG n = static_cast<ULONG>(std::min<uint64_t>(size, m_size - m_position));
        std::memset(buffer, static_cast<int>(m_position >> 20), n);
        m_position += n;
        if (read) *read = n;
        return n == size ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override
    {
        if (origin == STREAM_SEEK_SET) m_position = move.QuadPart;
        if (position) position->QuadPart = m_position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override
    {
        std::memset(stat, 0, sizeof *stat);
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    ULONG m_refs = 1;
    uint64_t m_size, m_position = 0;
};

// The baseline: the same bytes written with 1 MiB WriteFile calls.
double PlainLoop(const std::wstring& folder, uint64_t size)
{
    std::vector<BYTE> buffer(kStep, 0x42);
    const std::wstring path = JoinPath(folder, L"plain.bin");
    const auto start = std::chrono::steady_clock::now();
    {
        fw::UniqueFile file(
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        for (uint64_t done = 0; done < size; done += kStep) {
            std::memset(buffer.data(), static_cast<int>(done >> 20), kStep);  // as the source makes its bytes
            DWORD written = 0;
            ::WriteFile(file.Get(), buffer.data(), static_cast<DWORD>(std::min(kStep, size - done)), &written, nullptr);
        }
    }
    const double t = Seconds(start);
    ::DeleteFileW(path.c_str());
    return t;
}

double ImportStreamOnce(uint64_t size)
{
    CCBDataCreateContext context;
    IStream* stream = new GeneratedStream(size);
    const auto start = std::chrono::steady_clock::now();
    auto entry = ImportStream(&context, stream);
    const double t = Seconds(start);
    stream->Release();
    if (!entry->m_properties.empty() || entry->m_dataSize != size) std::printf("stream import failed\n");
    return t;
}

double ImportGlobalOnce(HGLOBAL global, uint64_t size)
{
    CCBDataCreateContext context;
    const auto start = std::chrono::steady_clock::now();
    auto entry = ImportHGlobal(&context, global);
    const double t = Seconds(start);
    if (!entry->m_properties.empty() || entry->m_dataSize < size) std::printf("global import failed\n");
    return t;
}

void Compare(const char* what, uint64_t size, int rounds, const std::wstring& folder, double (*import)(void*, uint64_t),
             void* arg)
{
    std::vector<double> plain, imported;
    // Alternating the order keeps the file system's after-effects of one run (freeing the
    // previous file) from always falling on the same side.
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            plain.push_back(PlainLoop(folder, size));
            imported.push_back(import(arg, size));
        } else {
            imported.push_back(import(arg, size));
            plain.push_back(PlainLoop(folder, size));
        }
    }
    const double p = Median(plain), m = Median(imported);
    std::printf("%-26s %8.0f MiB  plain loop %7.3f s  import %7.3f s  ratio %.3f  (median of %d)\n", what,
                size / 1048576.0, p, m, m / p, rounds);
}

}  // namespace

int wmain()
{
    fw::MessageBoxRecorder boxes;
    fw::OleInit ole;
    CTempStore& store = TheTempStore();
    if (!SetUpTempStore(store, L"")) return 1;
    const int rounds = 7;
    const double before = PeakWorkingSetMiB();
    std::printf("peak working set before: %.1f MiB\n", before);

    Compare(
        "IStream -> temporary file", 1ull << 30, rounds, store.m_tempFolder,
        [](void*, uint64_t size) { return ImportStreamOnce(size); }, nullptr);
    std::printf("peak working set after the stream rounds: %.1f MiB (the copy moves 1 MiB at a time)\n",
                PeakWorkingSetMiB());

    const uint64_t globalSize = 256ull << 20;
    HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, globalSize);
    if (!global) return 1;
    {
        fw::GlobalLockView view(global);
        std::memset(view.Data(), 0x42, globalSize);
    }
    Compare(
        "HGLOBAL -> temporary file", globalSize, rounds, store.m_tempFolder,
        [](void* g, uint64_t size) { return ImportGlobalOnce(static_cast<HGLOBAL>(g), size); }, global);
    ::GlobalFree(global);
    std::printf("peak working set at the end: %.1f MiB (includes the source's own 256 MiB block)\n",
                PeakWorkingSetMiB());
    store.CleanUpTempFolder();
    return 0;
}
