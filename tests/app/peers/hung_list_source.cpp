// A program whose data object hangs while its formats are listed, as a hung drag source
// does: the enumerator answers CF_UNICODETEXT, then blocks this program's only thread in
// its next call to Next until GO. The object is not put on the clipboard (setting it
// there lists its formats at once); it is marshalled into FILE, as a drag hands its object
// to the drop target:
//   hung_list_source READY_EVENT GO_EVENT FILE
// FILE.asked appears when the blocking call has begun.
#include "framework/ComObject.h"
#include "framework/Handles.h"
#include "tests/MarshalledObject.h"
#include "tests/PeerServe.h"
#include "tests/TestDataObject.h"

#include <windows.h>
#include <ole2.h>

#include <string>

using namespace testing_support;

namespace {

class HangingFormats : public fw::ComObject<IEnumFORMATETC> {
public:
    HangingFormats(HANDLE release, std::wstring askedMark) : m_release(release), m_askedMark(std::move(askedMark)) {}
    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* out, ULONG* fetched) override
    {
        if (fetched) *fetched = 0;
        if (count == 0 || !out) return E_INVALIDARG;
        if (m_next++ == 0) {
            *out = Fmt(CF_UNICODETEXT);
            if (fetched) *fetched = 1;
            return count == 1 ? S_OK : S_FALSE;
        }
        fw::UniqueFile mark(
            ::CreateFileW(m_askedMark.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
        mark.Reset();
        ::WaitForSingleObject(m_release, 60000);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_next = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC**) override { return E_NOTIMPL; }

private:
    HANDLE m_release;
    std::wstring m_askedMark;
    int m_next = 0;
};

class HangingSource : public fw::ComObject<IDataObject> {
public:
    HangingSource(HANDLE release, std::wstring askedMark) : m_release(release), m_askedMark(std::move(askedMark)) {}
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        auto formats = fw::MakeComObject<HangingFormats>(m_release, m_askedMark);
        if (!formats) return E_OUTOFMEMORY;
        *out = formats.Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    HANDLE m_release;
    std::wstring m_askedMark;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) return 3;
    fw::OleInit ole;
    fw::UniqueHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]));
    fw::UniqueHandle go(::OpenEventW(SYNCHRONIZE, FALSE, argv[2]));
    if (!ready || !go) return 5;
    auto object = fw::MakeComObject<HangingSource>(go.Get(), std::wstring(argv[3]) + L".asked");
    if (!object || !MarshalInto(object.Get(), argv[3])) return 6;
    ::SetEvent(ready.Get());
    testing_support::ServeMessagesUntil(go.Get(), 60000);
    return 0;
}
