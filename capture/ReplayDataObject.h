// A data object of our own over a snapshot, so that captured data can be offered again:
// on the clipboard or as the source of a drag. It offers the entries' descriptions in
// their captured order, as the source offered them, and renders each request from the
// entry: bytes as global memory, as a read-only stream over the entry's file or as a copy
// of the file; storages rebuilt from their elements; GDI kinds as new handles; the files
// of a file group by index. An entry whose capture failed is offered and refuses, as its
// source did. It keeps the entries it offers alive, so replacing the snapshot never frees
// data under a target that still holds the object. What targets write with SetData is
// kept (within the limits below) for the program to show, and is served back on request.
#pragma once

#include "framework/ComObject.h"

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CCBData;
class CCBDataArray;
class CReplayFile;

// One SetData a target made: the description (without target device) and the bytes.
struct CReplayWrite {
    FORMATETC m_fmt;
    DWORD m_tymed = 0;  // the medium the bytes came in
    std::vector<BYTE> m_bytes;
};

// An entry of the program's own for what a target wrote, shown by the same pages as a
// captured one: the description, the medium it came in, the bytes in a temporary file,
// and for the drop-effect formats the effect as a row.
std::shared_ptr<CCBData> MakeWriteBackEntry(const CReplayWrite& write);

class CReplayDataObject : public fw::ComObject<IDataObject> {
public:
    // What a target may write: each write, all writes together, and their number.
    static constexpr size_t kMaxWriteBytes = 0x100000;
    static constexpr size_t kMaxWrittenBytes = 0x1000000;
    static constexpr size_t kMaxWrites = 1024;
    // GetDataHere calls made from inside a GetDataHere (through the target's medium).
    static constexpr int kMaxNestedHere = 4;

    // Offers every top-level entry of the snapshot.
    static fw::ComPtr<CReplayDataObject> ForSnapshot(const std::shared_ptr<CCBDataArray>& snapshot);
    // Offers one entry of the snapshot. A top-level entry is offered with its own
    // description ("FileContents" with the descriptor that names its files); a nested one
    // that holds bytes is offered as one file ("FileGroupDescriptorW" and "FileContents").
    // Null when the entry is not in the snapshot or holds nothing that can be offered.
    static fw::ComPtr<CReplayDataObject> ForEntry(const std::shared_ptr<CCBDataArray>& snapshot, const CCBData* entry);

    // The descriptions EnumFormatEtc gives, in order.
    std::vector<FORMATETC> OfferedFormats() const;
    const std::vector<CReplayWrite>& Writes() const { return m_writes; }
    // Told after every write that was kept.
    void SetWriteListener(std::function<void()> listener) { m_writeListener = std::move(listener); }
    // Told a line for every GetData, GetDataHere and SetData answered (the console's log).
    void SetLog(std::function<void(const std::wstring&)> log) { m_log = std::move(log); }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* fmt, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* fmt, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* fmt) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* fmt, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

    // How an offered description is rendered.
    enum class Source { Entry, Bytes, FileGroup, SingleFile, Palette };
    struct Item {
        FORMATETC fmt;                   // as offered; no target device
        std::shared_ptr<CCBData> entry;  // rendered from, kept alive
        Source source = Source::Entry;
        std::vector<BYTE> bytes;  // Source::Bytes
    };
    explicit CReplayDataObject(std::vector<Item> items);

private:
    // The item a request names, or the error that tells the target why there is none.
    HRESULT Find(const FORMATETC& fmt, const Item*& item, const CCBData*& entry, DWORD& tymed) const;
    HRESULT Render(const FORMATETC& fmt, STGMEDIUM* medium, bool here);
    HRESULT FindWrite(const FORMATETC& fmt, const CReplayWrite*& write) const;
    void Log(const wchar_t* call, const FORMATETC& fmt, HRESULT hr, DWORD given) const;
    // The entry's file, open for reading; null when it cannot be opened.
    std::shared_ptr<CReplayFile> FileOf(const CCBData& entry);
    static constexpr size_t kMaxOpenFiles = 16;

    std::vector<Item> m_items;
    std::vector<CReplayWrite> m_writes;
    size_t m_writtenBytes = 0;
    bool m_inSetData = false;  // a target's stream is being read
    int m_hereDepth = 0;       // GetDataHere calls under way
    // Files of entries asked for (the entries are kept alive by m_items), declared after
    // it so that they close before the entries go.
    std::map<const CCBData*, std::shared_ptr<CReplayFile>> m_files;
    std::function<void()> m_writeListener;
    std::function<void(const std::wstring&)> m_log;
};
