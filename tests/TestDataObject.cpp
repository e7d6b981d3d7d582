#include "tests/TestDataObject.h"

#include "framework/Handles.h"
#include "tests/TestSupport.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>

namespace testing_support {

namespace {

HGLOBAL GlobalCopy(const std::vector<uint8_t>& bytes)
{
    HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (global && !bytes.empty()) {
        fw::GlobalLockView view(global);
        std::memcpy(view.Data(), bytes.data(), bytes.size());
    }
    return global;
}

class FaultyStream : public fw::ComObject<IStream> {
public:
    FaultyStream(uint64_t reported, uint64_t readable, bool statFails)
        : m_reported(reported), m_readable(readable), m_statFails(statFails)
    {
    }
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override
    {
        const uint64_t left = m_position < m_readable ? m_readable - m_position : 0;
        const ULONG n = static_cast<ULONG>(std::min<uint64_t>(size, left));
        std::memset(buffer, 0x5A, n);
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
        if (m_statFails) return E_FAIL;
        std::memset(stat, 0, sizeof *stat);
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_reported;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

protected:
    void* QueryMore(REFIID iid) override
    {
        return iid == IID_ISequentialStream ? static_cast<ISequentialStream*>(this) : nullptr;
    }

private:
    uint64_t m_reported, m_readable, m_position = 0;
    bool m_statFails;
};

}  // namespace

FORMATETC Fmt(UINT format, DWORD tymed, DWORD aspect, LONG index)
{
    return FORMATETC{static_cast<CLIPFORMAT>(format), nullptr, aspect, index, tymed};
}

MediumMaker GlobalMedium(std::vector<uint8_t> bytes)
{
    return [bytes](const FORMATETC&, STGMEDIUM* medium) {
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = GlobalCopy(bytes);
        return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
    };
}

MediumMaker NullGlobalMedium()
{
    return [](const FORMATETC&, STGMEDIUM* medium) {
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = nullptr;
        return S_OK;
    };
}

MediumMaker FileMedium(std::wstring path)
{
    return [path](const FORMATETC&, STGMEDIUM* medium) {
        medium->tymed = TYMED_FILE;
        const size_t bytes = (path.size() + 1) * sizeof(wchar_t);
        medium->lpszFileName = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
        std::memcpy(medium->lpszFileName, path.c_str(), bytes);
        // A release object keeps ReleaseStgMedium from deleting the named file.
        static struct Keeper : IUnknown {
            HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
            {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
            ULONG STDMETHODCALLTYPE Release() override { return 1; }
        } keeper;
        medium->pUnkForRelease = &keeper;
        return S_OK;
    };
}

MediumMaker StreamMedium(std::vector<uint8_t> bytes)
{
    return [bytes](const FORMATETC&, STGMEDIUM* medium) {
        IStream* stream = nullptr;
        if (FAILED(::CreateStreamOnHGlobal(GlobalCopy(bytes), TRUE, &stream))) return E_FAIL;
        LARGE_INTEGER zero = {};
        stream->Seek(zero, STREAM_SEEK_END, nullptr);
        medium->tymed = TYMED_ISTREAM;
        medium->pstm = stream;
        return S_OK;
    };
}

MediumMaker CustomStreamMedium(std::function<IStream*()> make)
{
    return [make](const FORMATETC&, STGMEDIUM* medium) {
        medium->tymed = TYMED_ISTREAM;
        medium->pstm = make();
        return S_OK;
    };
}

IStream* CreateFaultyStream(uint64_t reportedSize, uint64_t readable, bool statFails)
{
    return new FaultyStream(reportedSize, readable, statFails);
}

MediumMaker StorageMedium(IStorage* storage)
{
    return [storage](const FORMATETC&, STGMEDIUM* medium) {
        medium->tymed = TYMED_ISTORAGE;
        medium->pstg = storage;
        storage->AddRef();
        return S_OK;
    };
}

MediumMaker BitmapMedium(HBITMAP bitmap)
{
    return [bitmap](const FORMATETC&, STGMEDIUM* medium) {
        medium->tymed = TYMED_GDI;
        medium->hBitmap = static_cast<HBITMAP>(::OleDuplicateData(bitmap, CF_BITMAP, 0));
        return medium->hBitmap ? S_OK : E_FAIL;
    };
}

MediumMaker TymedMedium(DWORD tymed)
{
    return [tymed](const FORMATETC&, STGMEDIUM* medium) {
        medium->tymed = tymed;
        medium->hGlobal = nullptr;
        return S_OK;
    };
}

MediumMaker FailingMedium()
{
    return [](const FORMATETC&, STGMEDIUM*) { return DV_E_FORMATETC; };
}

MediumMaker OnlyAllMedia(MediumMaker inner)
{
    return [inner](const FORMATETC& asked, STGMEDIUM* medium) {
        if (asked.tymed != 0x7F) return DV_E_TYMED;
        return inner(asked, medium);
    };
}

TestDataObject* TestDataObject::Create()
{
    return new TestDataObject();
}

void TestDataObject::Offer(const FORMATETC& fmt, MediumMaker maker)
{
    m_offered.push_back(fmt);
    Answer(fmt, std::move(maker));
}

void TestDataObject::OfferOnly(const FORMATETC& fmt)
{
    m_offered.push_back(fmt);
}

void TestDataObject::Answer(const FORMATETC& fmt, MediumMaker maker)
{
    m_answers.push_back({fmt, std::move(maker)});
}

HRESULT TestDataObject::GetData(FORMATETC* fmt, STGMEDIUM* medium)
{
    if (!fmt || !medium) return E_INVALIDARG;
    m_requests.push_back(*fmt);
    std::memset(medium, 0, sizeof *medium);
    // An answer for exactly the description asked for wins; otherwise the last one
    // registered for the format, aspect and index, which judges the tymed itself.
    auto same = [fmt](const FORMATETC& a) {
        return a.cfFormat == fmt->cfFormat && a.dwAspect == fmt->dwAspect && a.lindex == fmt->lindex;
    };
    for (auto it = m_answers.rbegin(); it != m_answers.rend(); ++it)
        if (same(it->fmt) && it->fmt.tymed == fmt->tymed) return it->maker(*fmt, medium);
    for (auto it = m_answers.rbegin(); it != m_answers.rend(); ++it)
        if (same(it->fmt)) return it->maker(*fmt, medium);
    return DV_E_FORMATETC;
}

HRESULT TestDataObject::QueryGetData(FORMATETC* fmt)
{
    for (const Answerer& a : m_answers)
        if (a.fmt.cfFormat == fmt->cfFormat) return S_OK;
    return DV_E_FORMATETC;
}

HRESULT TestDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT TestDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out)
{
    if (direction != DATADIR_GET) return E_NOTIMPL;
    return ::SHCreateStdEnumFmtEtc(static_cast<UINT>(m_offered.size()), m_offered.data(), out);
}

}  // namespace testing_support

namespace testing_support {

HRESULT SetOleClipboard(IDataObject* object)
{
    HRESULT hr = E_FAIL;
    for (int attempt = 0; attempt < 50; ++attempt) {
        hr = ::OleSetClipboard(object);
        if (hr != CLIPBRD_E_CANT_OPEN) break;
        // The holder may be waiting for this thread to render the previous data.
        PumpMessagesFor(100);
    }
    return hr;
}

}  // namespace testing_support
