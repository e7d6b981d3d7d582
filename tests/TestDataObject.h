// A data object for the tests: offers chosen format descriptions (duplicates included) and
// answers GetData with chosen media. It stands in for the far side of the interface only.
#pragma once

#include "framework/ComObject.h"

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

using MediumMaker = std::function<HRESULT(const FORMATETC& asked, STGMEDIUM* medium)>;

// Media the source can answer with.
MediumMaker GlobalMedium(std::vector<uint8_t> bytes);
MediumMaker NullGlobalMedium();
MediumMaker FileMedium(std::wstring path);
// A stream over the bytes whose position the source left at its end.
MediumMaker StreamMedium(std::vector<uint8_t> bytes);
MediumMaker StorageMedium(IStorage* storage);
MediumMaker BitmapMedium(HBITMAP bitmap);  // a copy is handed out each time
MediumMaker TymedMedium(DWORD tymed);      // a medium of this tymed holding nothing
MediumMaker FailingMedium();
// Refuses the description as offered; answers only a request for every medium (0x7F).
MediumMaker OnlyAllMedia(MediumMaker inner);
// An IStream whose Stat fails or whose Read stops short after `readable` bytes.
IStream* CreateFaultyStream(uint64_t reportedSize, uint64_t readable, bool statFails);
MediumMaker CustomStreamMedium(std::function<IStream*()> make);

FORMATETC Fmt(UINT format, DWORD tymed = TYMED_HGLOBAL, DWORD aspect = DVASPECT_CONTENT, LONG index = -1);

class TestDataObject : public fw::ComObject<IDataObject> {
public:
    static TestDataObject* Create();  // reference count 1

    // Offers `fmt` in the enumeration and answers requests for its format, aspect and
    // index with `maker`. Offering the same description twice enumerates it twice.
    void Offer(const FORMATETC& fmt, MediumMaker maker);
    // Enumerated but never answered.
    void OfferOnly(const FORMATETC& fmt);
    // Answered but not enumerated (CF_PALETTE, FileContents indices).
    void Answer(const FORMATETC& fmt, MediumMaker maker);

    const std::vector<FORMATETC>& Requests() const { return m_requests; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* fmt, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* fmt) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    TestDataObject() = default;
    ~TestDataObject() override = default;
    struct Answerer {
        FORMATETC fmt;
        MediumMaker maker;
    };
    std::vector<FORMATETC> m_offered;
    std::vector<Answerer> m_answers;
    std::vector<FORMATETC> m_requests;
};

}  // namespace testing_support

namespace testing_support {

// OleSetClipboard, tried for a few seconds while this thread's messages are served: Wine's
// clipboard manager opens the clipboard after every change and may ask this thread to
// render the data it put there before.
HRESULT SetOleClipboard(IDataObject* object);

}  // namespace testing_support
