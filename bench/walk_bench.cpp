// Walk throughput: a directory of 10,000 small files dropped as CF_HDROP and captured,
// against a plain loop that finds, reads and writes the same files, in the same run.
// Prints the median of several rounds of each and their ratio.
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CaptureProgress.h"
#include "capture/TempStore.h"
#include "capture/bytes/TempNames.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"

#include "bench/BenchSupport.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace bench_support;

constexpr int kFiles = 10000;

// Offers one CF_HDROP block, as a drop source does.
class DropSource : public IDataObject {
public:
    explicit DropSource(std::vector<BYTE> dropFiles) : m_dropFiles(std::move(dropFiles)) {}
    virtual ~DropSource() = default;
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
        if (fmt->cfFormat != CF_HDROP || !(fmt->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
        HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, m_dropFiles.size());
        if (!global) return E_OUTOFMEMORY;
        std::memcpy(fw::GlobalLockView(global).Data(), m_dropFiles.data(), m_dropFiles.size());
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = global;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* fmt) override
    {
        return fmt->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override
    {
        if (direction != DATADIR_GET) return E_NOTIMPL;
        FORMATETC fmt = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return ::SHCreateStdEnumFmtEtc(1, &fmt, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ULONG m_refs = 1;
    std::vector<BYTE> m_dropFiles;
};

class SilentProgress : public ICaptureProgress {
public:
    void Open() override {}
    void Close() override {}
    void SetItemText(const std::wstring&) override {}
    BOOL IsStopRequested() const override { return FALSE; }
    HWND GetDialogWindow() const override { return nullptr; }
};

std::vector<BYTE> DropFilesOf(const std::wstring& path)
{
    DROPFILES header = {};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    std::vector<BYTE> bytes(sizeof header + (path.size() + 2) * sizeof(wchar_t), 0);
    std::memcpy(bytes.data(), &header, sizeof header);
    std::memcpy(bytes.data() + sizeof header, path.c_str(), path.size() * sizeof(wchar_t));
    return bytes;
}

bool MakeFiles(const std::wstring& folder)
{
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) return false;
    std::vector<BYTE> bytes;
    for (int i = 0; i < kFiles; ++i) {
        bytes.assign(200 + i % 1800, static_cast<BYTE>(i));
        const std::wstring path = JoinPath(folder, L"file" + std::to_wstring(i) + L".dat");
        fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        DWORD written = 0;
        if (!file || !::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return false;
    }
    return true;
}

void RemoveFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    fw::UniqueFind find(::FindFirstFileW(JoinPath(folder, L"*").c_str(), &found));
    if (find) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileW(JoinPath(folder, found.cFileName).c_str());
        } while (::FindNextFileW(find.Get(), &found));
    }
    find.Reset();
    ::RemoveDirectoryW(folder.c_str());
}

// The baseline: every file found, read whole and written to a new file of its own.
double PlainLoop(const std::wstring& source, const std::wstring& target)
{
    ::CreateDirectoryW(target.c_str(), nullptr);
    std::vector<BYTE> buffer;
    int copied = 0;
    const auto start = std::chrono::steady_clock::now();
    WIN32_FIND_DATAW found;
    fw::UniqueFind find(::FindFirstFileW(JoinPath(source, L"*").c_str(), &found));
    if (find) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            fw::UniqueFile in(::CreateFileW(JoinPath(source, found.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
            buffer.resize(found.nFileSizeLow);
            DWORD got = 0;
            if (!in || !::ReadFile(in.Get(), buffer.data(), found.nFileSizeLow, &got, nullptr)) continue;
            fw::UniqueFile out(::CreateFileW(JoinPath(target, found.cFileName).c_str(), GENERIC_WRITE, 0, nullptr,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            if (out && ::WriteFile(out.Get(), buffer.data(), got, &written, nullptr)) ++copied;
        } while (::FindNextFileW(find.Get(), &found));
    }
    const double t = Seconds(start);
    if (copied != kFiles) std::printf("plain loop copied %d files\n", copied);
    RemoveFolder(target);
    return t;
}

size_t CountFiles(const CCBDataArray& snapshot)
{
    size_t count = 0;
    for (const auto& entry : snapshot) {
        if (entry->HasData()) ++count;
        if (entry->m_children) count += CountFiles(*entry->m_children);
    }
    return count;
}

double CaptureDrop(const std::wstring& source)
{
    COleDataObject object;
    DropSource* drop = new DropSource(DropFilesOf(source));
    object.Attach(drop);
    drop->Release();
    SilentProgress progress;
    auto snapshot = std::make_shared<CCBDataArray>();
    const auto start = std::chrono::steady_clock::now();
    std::vector<FORMATETC> formats;
    ListFormats(object, formats);
    snapshot->Capture(object, formats, progress);
    const double t = Seconds(start);
    // The entry for CF_HDROP holds the block itself; the files are its grandchildren.
    if (CountFiles(*snapshot) != kFiles + 1) std::printf("capture took %zu files\n", CountFiles(*snapshot) - 1);
    return t;  // the snapshot and its temporary files go here, outside the timing
}

}  // namespace

int wmain()
{
    fw::MessageBoxRecorder boxes;
    fw::OleInit ole;
    CTempStore& store = TheTempStore();
    if (!SetUpTempStore(store, L"")) return 1;
    const std::wstring source = JoinPath(store.m_tempFolder, L"walk-source");
    const std::wstring target = JoinPath(store.m_tempFolder, L"walk-plain");
    if (!MakeFiles(source)) {
        std::printf("cannot make the source files\n");
        RemoveFolder(source);
        return 1;
    }
    const int rounds = 5;
    std::vector<double> plain, captured;
    // Alternating the order keeps the after-effects of one run (freeing its files) from
    // always falling on the same side.
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            plain.push_back(PlainLoop(source, target));
            captured.push_back(CaptureDrop(source));
        } else {
            captured.push_back(CaptureDrop(source));
            plain.push_back(PlainLoop(source, target));
        }
    }
    const double p = Median(plain), c = Median(captured);
    std::printf("%d small files dropped as CF_HDROP  plain loop %7.3f s  capture %7.3f s  ratio %.3f  (median of %d)\n",
                kFiles, p, c, c / p, rounds);
    for (int i = 0; i < rounds; ++i)
        std::printf("  round %d: plain %.3f s, capture %.3f s\n", i + 1, plain[i], captured[i]);
    RemoveFolder(source);
    store.CleanUpTempFolder();
    return 0;
}
