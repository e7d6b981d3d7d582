#include "capture/ReplayDataObject.h"

#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CBData_HBITMAP.h"
#include "capture/CBData_HENHMF.h"
#include "capture/CBData_HMETAFILEPICT.h"
#include "capture/FormatCatalogue.h"
#include "capture/FreeSpaceGuard.h"
#include "capture/RegisteredFormats.h"
#include "capture/ReplayFormatEnum.h"
#include "capture/ReplayStream.h"
#include "capture/TempStore.h"
#include "capture/bytes/DropEffect.h"
#include "framework/Clipboard.h"
#include "framework/Format.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr DWORD kByteMedia = TYMED_HGLOBAL | TYMED_FILE | TYMED_ISTREAM;
constexpr DWORD kStep = 0x100000;
// The order the capture tests the delivered medium's bits in, and the order a medium is
// chosen in when a request allows several.
constexpr DWORD kMediumOrder[] = {TYMED_HGLOBAL, TYMED_FILE,   TYMED_ISTREAM, TYMED_ISTORAGE,
                                  TYMED_GDI,     TYMED_MFPICT, TYMED_ENHMF};

DWORD DeliveredMedium(DWORD realTymed)
{
    for (DWORD bit : kMediumOrder)
        if (realTymed & bit) return bit;
    return 0;
}

bool IsStorageEntry(const CCBData& entry)
{
    return entry.m_type == L"IStorage" && entry.m_children;
}

// The media an entry can be rendered in, whatever was offered.
DWORD RenderableMedia(const CCBData& entry)
{
    if (entry.IsKindOf(&CCBData_HBITMAP::classCCBData_HBITMAP))
        return static_cast<const CCBData_HBITMAP&>(entry).m_hBitmap ? TYMED_GDI : 0;
    if (entry.IsKindOf(&CCBData_HENHMF::classCCBData_HENHMF))
        return static_cast<const CCBData_HENHMF&>(entry).m_hEnhMetaFile ? TYMED_ENHMF : 0;
    if (entry.IsKindOf(&CCBData_HMETAFILEPICT::classCCBData_HMETAFILEPICT))
        return static_cast<const CCBData_HMETAFILEPICT&>(entry).m_hMetaFilePict ? TYMED_MFPICT : 0;
    if (IsStorageEntry(entry)) return TYMED_ISTORAGE;
    // An empty global block keeps its (empty) file; a copy that failed or was stopped keeps none.
    return entry.m_tempFile.empty() ? 0 : kByteMedia;
}

DWORD ChooseMedium(DWORD possible, DWORD preferred)
{
    if (possible & preferred) return preferred;
    for (DWORD bit : kMediumOrder)
        if (possible & bit) return bit;
    return 0;
}

HRESULT LastError()
{
    const DWORD error = ::GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// Reads `size` bytes of the file from its start into `out` in 1 MiB steps.
bool ReadInSteps(CReplayFile& file, BYTE* out, uint64_t size)
{
    uint64_t done = 0;
    while (done < size) {
        const DWORD want = static_cast<DWORD>(std::min<uint64_t>(kStep, size - done));
        DWORD got = 0;
        if (!file.ReadAt(done, out + done, want, got) || got != want) return false;
        done += want;
    }
    return true;
}

// The entry's bytes (its file, open) into `global`, which must hold them; a new block when
// `global` is null.
HRESULT GlobalFromFile(const CCBData& entry, CReplayFile* file, HGLOBAL& global)
{
    if (!file) return LastError();
    const uint64_t size = file->Size();
    if (size != entry.m_dataSize) return STG_E_READFAULT;  // changed behind the program's back
    if (size > SIZE_MAX) return E_OUTOFMEMORY;
    fw::UniqueGlobal made;
    if (!global) {
        // An empty block stays empty, as the source gave it.
        made.Reset(::GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size)));
        if (!made) return E_OUTOFMEMORY;
    } else if (::GlobalSize(global) < size) {
        return STG_E_MEDIUMFULL;
    }
    HGLOBAL target = global ? global : made.Get();
    if (size) {
        fw::GlobalLockView view(target);
        if (!view) return E_OUTOFMEMORY;
        if (!ReadInSteps(*file, view.As<BYTE>(), size)) return STG_E_READFAULT;
    }
    if (!global) global = made.Release();
    return S_OK;
}

HRESULT CopyFileToStream(const CCBData& entry, IStream* target)
{
    if (!target) return E_INVALIDARG;
    fw::ComPtr<IStream> source = CReplayStream::Open(entry.m_tempFile, L"");
    if (!source) return LastError();
    ULARGE_INTEGER all = {}, read = {}, written = {};
    all.QuadPart = entry.m_dataSize;
    const HRESULT hr = source->CopyTo(target, all, &read, &written);
    if (FAILED(hr)) return hr;
    return read.QuadPart == entry.m_dataSize && written.QuadPart == entry.m_dataSize ? S_OK : STG_E_READFAULT;
}

// The entry's bytes as a file of the temporary store; the receiver's ReleaseStgMedium
// deletes it (no release object is given).
HRESULT FileCopy(const CCBData& entry, LPOLESTR& name)
{
    // A target may ask for copies again and again: they stop at the floor of free space.
    if (!CFreeSpaceGuard().Allows(entry.m_dataSize)) return STG_E_MEDIUMFULL;
    const std::wstring copy = CreateTempFile();
    if (copy.empty()) return STG_E_MEDIUMFULL;
    if (!::CopyFileW(entry.m_tempFile.c_str(), copy.c_str(), FALSE)) {
        const HRESULT hr = LastError();
        ::DeleteFileW(copy.c_str());
        return hr;
    }
    const size_t bytes = (copy.size() + 1) * sizeof(wchar_t);
    name = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
    if (!name) {
        ::DeleteFileW(copy.c_str());
        return E_OUTOFMEMORY;
    }
    std::memcpy(name, copy.c_str(), bytes);
    return S_OK;
}

// The elements of a captured storage written into `target`: sub-storages and streams by
// their names. Elements the capture could not take (error entries, placeholders left
// over the size limit) are left out.
HRESULT FillStorage(IStorage* target, const CCBDataArray& elements)
{
    constexpr DWORD kCreate = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    for (const auto& element : elements) {
        if (IsStorageEntry(*element)) {
            fw::ComPtr<IStorage> sub;
            HRESULT hr = target->CreateStorage(element->m_name.c_str(), kCreate, 0, 0, &sub);
            if (SUCCEEDED(hr)) hr = FillStorage(sub.Get(), *element->m_children);
            if (SUCCEEDED(hr)) hr = sub->Commit(STGC_DEFAULT);
            if (FAILED(hr)) return hr;
        } else if (!element->m_tempFile.empty()) {
            fw::ComPtr<IStream> stream;
            HRESULT hr = target->CreateStream(element->m_name.c_str(), kCreate, 0, 0, &stream);
            if (SUCCEEDED(hr)) hr = CopyFileToStream(*element, stream.Get());
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

// The bytes of a storage's streams, all levels.
uint64_t StorageBytes(const CCBDataArray& elements)
{
    uint64_t bytes = 0;
    for (const auto& element : elements)
        bytes += IsStorageEntry(*element) ? StorageBytes(*element->m_children) : element->m_dataSize;
    return bytes;
}

HRESULT NewStorage(const CCBData& entry, IStorage*& storage)
{
    // A compound file of its own in the temporary store, gone when released. Like the
    // other copies for a target, it stops at the floor of free space.
    if (!CFreeSpaceGuard().Allows(StorageBytes(*entry.m_children))) return STG_E_MEDIUMFULL;
    const std::wstring path = CreateTempFile();
    if (path.empty()) return STG_E_MEDIUMFULL;
    fw::ComPtr<IStorage> made;
    HRESULT hr = ::StgCreateDocfile(
        path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE, 0, &made);
    if (FAILED(hr)) {
        ::DeleteFileW(path.c_str());
        return hr;
    }
    hr = FillStorage(made.Get(), *entry.m_children);
    if (SUCCEEDED(hr)) hr = made->Commit(STGC_DEFAULT);
    if (FAILED(hr)) return hr;  // the release deletes the file
    storage = made.Detach();
    return S_OK;
}

HANDLE Duplicate(HANDLE handle, CLIPFORMAT format)
{
    return handle ? ::OleDuplicateData(handle, format, 0) : nullptr;
}

// `file` is the entry's file, open, for the byte media.
HRESULT RenderEntry(const CCBData& entry, const std::shared_ptr<CReplayFile>& file, DWORD tymed, STGMEDIUM* medium,
                    bool here)
{
    switch (tymed) {
        case TYMED_HGLOBAL: {
            HGLOBAL global = here ? medium->hGlobal : nullptr;
            if (here && !global) return E_INVALIDARG;
            const HRESULT hr = GlobalFromFile(entry, file.get(), global);
            if (SUCCEEDED(hr)) medium->hGlobal = global;
            return hr;
        }
        case TYMED_ISTREAM:
            if (here) return CopyFileToStream(entry, medium->pstm);
            medium->pstm = CReplayStream::Over(file, entry.m_name).Detach();
            return medium->pstm ? S_OK : LastError();
        case TYMED_FILE:
            if (here) {
                if (!medium->lpszFileName) return E_INVALIDARG;
                return ::CopyFileW(entry.m_tempFile.c_str(), medium->lpszFileName, FALSE) ? S_OK : LastError();
            }
            return FileCopy(entry, medium->lpszFileName);
        case TYMED_ISTORAGE:
            if (here) return medium->pstg ? FillStorage(medium->pstg, *entry.m_children) : E_INVALIDARG;
            return NewStorage(entry, medium->pstg);
        default:
            break;
    }
    if (here) return DV_E_TYMED;  // handles cannot be written into
    HANDLE made = nullptr;
    if (tymed == TYMED_GDI)
        made = Duplicate(static_cast<const CCBData_HBITMAP&>(entry).m_hBitmap.Get(), CF_BITMAP);
    else if (tymed == TYMED_ENHMF)
        made = Duplicate(static_cast<const CCBData_HENHMF&>(entry).m_hEnhMetaFile.Get(), CF_ENHMETAFILE);
    else if (tymed == TYMED_MFPICT)
        made = Duplicate(static_cast<const CCBData_HMETAFILEPICT&>(entry).m_hMetaFilePict.Get(), CF_METAFILEPICT);
    else
        return DV_E_TYMED;
    if (!made) return E_OUTOFMEMORY;
    // The handles go to the receiver, who deletes them with ReleaseStgMedium.
    if (tymed == TYMED_GDI) medium->hBitmap = static_cast<HBITMAP>(made);
    if (tymed == TYMED_ENHMF) medium->hEnhMetaFile = static_cast<HENHMETAFILE>(made);
    if (tymed == TYMED_MFPICT) medium->hMetaFilePict = made;
    return S_OK;
}

HRESULT RenderBytes(const std::vector<BYTE>& bytes, DWORD tymed, STGMEDIUM* medium, bool here)
{
    if (tymed == TYMED_HGLOBAL) {
        if (here) {
            fw::GlobalLockView view(medium->hGlobal);
            if (!view) return E_INVALIDARG;
            if (view.Size() < bytes.size()) return STG_E_MEDIUMFULL;
            if (!bytes.empty()) std::memcpy(view.Data(), bytes.data(), bytes.size());
            return S_OK;
        }
        medium->hGlobal = fw::GlobalFromBytes(bytes.data(), bytes.size()).Release();
        return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
    }
    if (tymed == TYMED_ISTREAM) {
        if (here) {
            if (!medium->pstm) return E_INVALIDARG;
            ULONG written = 0;
            const HRESULT hr = medium->pstm->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
            return FAILED(hr) ? hr : written == bytes.size() ? S_OK : STG_E_MEDIUMFULL;
        }
        fw::UniqueGlobal global = fw::GlobalFromBytes(bytes.data(), bytes.size());
        if (!global) return E_OUTOFMEMORY;
        fw::ComPtr<IStream> stream;
        if (FAILED(::CreateStreamOnHGlobal(global.Get(), TRUE, &stream))) return E_OUTOFMEMORY;
        global.Release();  // the stream frees the block
        ULARGE_INTEGER size = {};
        size.QuadPart = bytes.size();
        stream->SetSize(size);
        medium->pstm = stream.Detach();
        return S_OK;
    }
    return DV_E_TYMED;
}

std::wstring SafeFileName(const CCBData& entry)
{
    std::wstring name = entry.m_name;
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    if (name.empty()) name = entry.GetDisplayText();
    for (wchar_t& c : name)
        if (c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c)) c = L'_';
    if (name.empty()) name = L"data";
    if (name.size() >= MAX_PATH) name.resize(MAX_PATH - 1);
    return name;
}

// A one-file group: the descriptor of a nested entry offered on its own.
std::vector<BYTE> OneFileDescriptor(const CCBData& entry)
{
    std::vector<BYTE> bytes(sizeof(FILEGROUPDESCRIPTORW), 0);
    FILEGROUPDESCRIPTORW group = {};
    group.cItems = 1;
    FILEDESCRIPTORW& file = group.fgd[0];
    file.dwFlags = FD_FILESIZE | FD_PROGRESSUI | FD_UNICODE;
    file.nFileSizeHigh = static_cast<DWORD>(entry.m_dataSize >> 32);
    file.nFileSizeLow = static_cast<DWORD>(entry.m_dataSize);
    const std::wstring name = SafeFileName(entry);
    std::memcpy(file.cFileName, name.c_str(), name.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), &group, sizeof group);
    return bytes;
}

FORMATETC Offered(const FORMATETC& captured)
{
    FORMATETC fmt = captured;
    // The captured target device belonged to the source and is gone; descriptions are
    // offered for the screen.
    fmt.ptd = nullptr;
    return fmt;
}

std::shared_ptr<CCBData> PaletteSource(const CCBDataArray& snapshot)
{
    for (const auto& entry : snapshot)
        if (entry->IsKindOf(&CCBData_HBITMAP::classCCBData_HBITMAP) &&
            static_cast<const CCBData_HBITMAP&>(*entry).m_hPalette)
            return entry;
    return nullptr;
}

CReplayDataObject::Item TopLevelItem(const CCBDataArray& snapshot, const std::shared_ptr<CCBData>& entry)
{
    CReplayDataObject::Item item;
    item.fmt = Offered(entry->m_fmt);
    item.entry = entry;
    if (entry->m_fmt.cfFormat == FileContentsFormat() && entry->m_children) {
        item.source = CReplayDataObject::Source::FileGroup;
    } else if (entry->m_fmt.cfFormat == CF_PALETTE && RenderableMedia(*entry) == 0) {
        // The capture takes CF_PALETTE only as the palette of its bitmaps.
        if (auto bitmap = PaletteSource(snapshot)) {
            item.entry = bitmap;
            item.source = CReplayDataObject::Source::Palette;
        }
    }
    return item;
}

std::shared_ptr<CCBData> FindShared(const CCBDataArray& snapshot, const CCBData* wanted)
{
    for (const auto& entry : snapshot) {
        if (entry.get() == wanted) return entry;
        if (entry->m_children)
            if (auto found = FindShared(*entry->m_children, wanted)) return found;
    }
    return nullptr;
}

// The bytes into a new file of the temporary store, owned by the entry; what went wrong
// when they could not be.
const wchar_t* WriteTempCopy(CCBData& entry, const std::vector<BYTE>& bytes)
{
    if (!CFreeSpaceGuard().Allows(bytes.size())) return kFreeSpaceFloorText;
    entry.m_tempFile = CreateTempFile();
    fw::UniqueFile file;
    if (!entry.m_tempFile.empty())
        file.Reset(::CreateFileW(entry.m_tempFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file &&
        (bytes.empty() || (::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                           written == bytes.size())))
        return nullptr;
    file.Reset();
    if (!entry.m_tempFile.empty()) ::DeleteFileW(entry.m_tempFile.c_str());
    entry.m_tempFile.clear();
    return L"一時ファイルに書き込めません。";
}

}  // namespace

std::shared_ptr<CCBData> MakeWriteBackEntry(const CReplayWrite& write)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_fmt = write.m_fmt;
    entry->m_realTymed = write.m_tymed;
    entry->m_dataSize = write.m_bytes.size();
    if (const wchar_t* problem = WriteTempCopy(*entry, write.m_bytes))
        entry->m_properties.push_back(std::wstring(L"エラー\t") + problem);
    // The shell's drop-effect formats hold one DWORD.
    wchar_t name[64] = {};
    const int length = ::GetClipboardFormatNameW(write.m_fmt.cfFormat, name, 64);
    const std::wstring registered(name, length > 0 ? length : 0);
    if (registered == L"Preferred DropEffect" || registered == L"Performed DropEffect" ||
        registered == L"Logical Performed DropEffect" || registered == L"Paste Succeeded") {
        if (auto effect = ReadDropEffect(write.m_bytes.data(), write.m_bytes.size()))
            entry->m_properties.push_back(L"ドロップ効果\t" + DropEffectText(*effect));
    }
    return entry;
}

CReplayDataObject::CReplayDataObject(std::vector<Item> items) : m_items(std::move(items)) {}

fw::ComPtr<CReplayDataObject> CReplayDataObject::ForSnapshot(const std::shared_ptr<CCBDataArray>& snapshot)
{
    std::vector<Item> items;
    if (!snapshot) return fw::MakeComObject<CReplayDataObject>(std::move(items));
    // In the source's own order, exact duplicates included: a duplicate is answered by
    // its first. Entries the enumeration does not name (it was not recorded) follow.
    std::vector<bool> offered(snapshot->size());
    for (const size_t index : snapshot->m_enumeration) {
        if (index >= snapshot->size()) continue;
        items.push_back(TopLevelItem(*snapshot, (*snapshot)[index]));
        offered[index] = true;
    }
    for (size_t i = 0; i < snapshot->size(); ++i)
        if (!offered[i]) items.push_back(TopLevelItem(*snapshot, (*snapshot)[i]));
    return fw::MakeComObject<CReplayDataObject>(std::move(items));
}

fw::ComPtr<CReplayDataObject> CReplayDataObject::ForEntry(const std::shared_ptr<CCBDataArray>& snapshot,
                                                          const CCBData* wanted)
{
    if (!snapshot || !wanted) return nullptr;
    std::vector<Item> items;
    const auto top =
        std::find_if(snapshot->begin(), snapshot->end(), [wanted](const auto& e) { return e.get() == wanted; });
    if (top != snapshot->end()) {
        const std::shared_ptr<CCBData>& entry = *top;
        if (entry->m_fmt.cfFormat == FileContentsFormat()) {
            // Its files are named by a descriptor of the same aspect, the wide one preferred.
            std::shared_ptr<CCBData> wide, ansi;
            for (const auto& other : *snapshot) {
                if (other->m_fmt.dwAspect != entry->m_fmt.dwAspect) continue;
                if (other->m_fmt.cfFormat == FileGroupDescriptorWFormat()) wide = other;
                if (other->m_fmt.cfFormat == FileGroupDescriptorFormat()) ansi = other;
            }
            if (wide || ansi) items.push_back(TopLevelItem(*snapshot, wide ? wide : ansi));
        }
        items.push_back(TopLevelItem(*snapshot, entry));
    } else {
        std::shared_ptr<CCBData> entry = FindShared(*snapshot, wanted);
        if (!entry || (RenderableMedia(*entry) & kByteMedia) == 0) return nullptr;
        Item descriptor;
        descriptor.fmt = {static_cast<CLIPFORMAT>(FileGroupDescriptorWFormat()), nullptr, DVASPECT_CONTENT, -1,
                          TYMED_HGLOBAL};
        descriptor.source = Source::Bytes;
        descriptor.bytes = OneFileDescriptor(*entry);
        items.push_back(std::move(descriptor));
        Item contents;
        contents.fmt = {static_cast<CLIPFORMAT>(FileContentsFormat()), nullptr, DVASPECT_CONTENT, -1,
                        TYMED_HGLOBAL | TYMED_ISTREAM};
        contents.entry = entry;
        contents.source = Source::SingleFile;
        items.push_back(std::move(contents));
    }
    return fw::MakeComObject<CReplayDataObject>(std::move(items));
}

std::vector<FORMATETC> CReplayDataObject::OfferedFormats() const
{
    std::vector<FORMATETC> formats;
    for (const Item& item : m_items) formats.push_back(item.fmt);
    return formats;
}

HRESULT CReplayDataObject::Find(const FORMATETC& fmt, const Item*& found, const CCBData*& entry, DWORD& tymed) const
{
    bool aspectSeen = false, indexSeen = false, refused = false;
    for (const Item& item : m_items) {
        if (item.fmt.cfFormat != fmt.cfFormat || item.fmt.dwAspect != fmt.dwAspect) continue;
        aspectSeen = true;
        const CCBData* rendered = item.entry.get();
        DWORD possible = 0;
        switch (item.source) {
            case Source::FileGroup: {
                const CCBDataArray& files = *item.entry->m_children;
                if (fmt.lindex < 0 || static_cast<size_t>(fmt.lindex) >= files.size()) continue;
                rendered = files[static_cast<size_t>(fmt.lindex)].get();
                break;
            }
            case Source::SingleFile:
                if (fmt.lindex != 0) continue;
                break;
            default:
                if (fmt.lindex != item.fmt.lindex) continue;
                break;
        }
        indexSeen = true;
        DWORD preferred = 0;
        if (item.source == Source::Bytes) {
            possible = item.fmt.tymed & (TYMED_HGLOBAL | TYMED_ISTREAM);
            preferred = TYMED_HGLOBAL;
        } else if (item.source == Source::Palette) {
            possible = TYMED_GDI;
            preferred = TYMED_GDI;
        } else {
            // What was offered, and what the source delivered (possibly to a wider request).
            preferred = DeliveredMedium(rendered->m_realTymed);
            possible = (item.fmt.tymed | preferred) & RenderableMedia(*rendered);
        }
        if (!possible) {
            refused = true;  // its capture failed: refused, as the source refused it
            continue;
        }
        const DWORD chosen = ChooseMedium(possible & fmt.tymed, preferred);
        if (!chosen) continue;
        found = &item;
        entry = rendered;
        tymed = chosen;
        return S_OK;
    }
    if (refused || !aspectSeen) return DV_E_FORMATETC;
    return indexSeen ? DV_E_TYMED : DV_E_LINDEX;
}

HRESULT CReplayDataObject::FindWrite(const FORMATETC& fmt, const CReplayWrite*& write) const
{
    for (const Item& item : m_items)
        if (item.fmt.cfFormat == fmt.cfFormat) return DV_E_FORMATETC;
    // What a target wrote is read back by others (the source's own checks, drop helpers):
    // the latest write of the format and aspect.
    for (auto it = m_writes.rbegin(); it != m_writes.rend(); ++it) {
        if (it->m_fmt.cfFormat != fmt.cfFormat || it->m_fmt.dwAspect != fmt.dwAspect) continue;
        if (!(fmt.tymed & (TYMED_HGLOBAL | TYMED_ISTREAM))) return DV_E_TYMED;
        write = &*it;
        return S_OK;
    }
    return DV_E_FORMATETC;
}

HRESULT CReplayDataObject::Render(const FORMATETC& fmt, STGMEDIUM* medium, bool here)
{
    const Item* item = nullptr;
    const CCBData* entry = nullptr;
    DWORD tymed = 0;
    FORMATETC wanted = fmt;
    if (here) wanted.tymed = medium->tymed;
    HRESULT hr = Find(wanted, item, entry, tymed);
    if (hr == DV_E_FORMATETC) {
        const CReplayWrite* write = nullptr;
        if (SUCCEEDED(FindWrite(wanted, write))) {
            const DWORD chosen = wanted.tymed & TYMED_HGLOBAL ? TYMED_HGLOBAL : TYMED_ISTREAM;
            if (!here) medium->tymed = chosen;
            // A copy: the target's stream may write again while it is given these bytes,
            // and a new write can move every kept one.
            const std::vector<BYTE> bytes = write->m_bytes;
            return RenderBytes(bytes, chosen, medium, here);
        }
    }
    if (FAILED(hr)) return hr;
    if (!here) {
        medium->tymed = tymed;
        medium->pUnkForRelease = nullptr;  // the receiver owns what it gets
    }
    if (item->source == Source::Bytes) {
        hr = RenderBytes(item->bytes, tymed, medium, here);
    } else if (item->source == Source::Palette) {
        const HPALETTE palette = static_cast<const CCBData_HBITMAP&>(*entry).m_hPalette.Get();
        medium->hBitmap = here ? nullptr : static_cast<HBITMAP>(Duplicate(palette, CF_PALETTE));
        hr = here ? DV_E_TYMED : medium->hBitmap ? S_OK : E_OUTOFMEMORY;
    } else {
        const std::shared_ptr<CReplayFile> file =
            tymed == TYMED_HGLOBAL || (tymed == TYMED_ISTREAM && !here) ? FileOf(*entry) : nullptr;
        hr = RenderEntry(*entry, file, tymed, medium, here);
    }
    if (FAILED(hr) && !here) std::memset(medium, 0, sizeof *medium);
    return hr;
}

HRESULT CReplayDataObject::GetData(FORMATETC* fmt, STGMEDIUM* medium)
{
    if (!fmt || !medium) return E_INVALIDARG;
    std::memset(medium, 0, sizeof *medium);
    HRESULT hr;
    try {
        hr = Render(*fmt, medium, false);
    } catch (const std::bad_alloc&) {
        std::memset(medium, 0, sizeof *medium);
        hr = E_OUTOFMEMORY;
    }
    Log(L"GetData", *fmt, hr, SUCCEEDED(hr) ? medium->tymed : 0);
    return hr;
}

HRESULT CReplayDataObject::GetDataHere(FORMATETC* fmt, STGMEDIUM* medium)
{
    if (!fmt || !medium) return E_INVALIDARG;
    // Writing into the target's medium calls the target, which may ask again from inside;
    // each level holds a copy buffer, so the levels are few.
    if (m_hereDepth >= kMaxNestedHere) {
        Log(L"GetDataHere", *fmt, E_UNEXPECTED, 0);
        return E_UNEXPECTED;
    }
    ++m_hereDepth;
    HRESULT hr;
    try {
        hr = Render(*fmt, medium, true);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    --m_hereDepth;
    Log(L"GetDataHere", *fmt, hr, SUCCEEDED(hr) ? medium->tymed : 0);
    return hr;
}

HRESULT CReplayDataObject::QueryGetData(FORMATETC* fmt)
{
    if (!fmt) return E_INVALIDARG;
    const Item* item = nullptr;
    const CCBData* entry = nullptr;
    DWORD tymed = 0;
    HRESULT hr = Find(*fmt, item, entry, tymed);
    if (hr == DV_E_FORMATETC) {
        const CReplayWrite* write = nullptr;
        if (SUCCEEDED(FindWrite(*fmt, write))) hr = S_OK;
    }
    return hr;
}

HRESULT CReplayDataObject::GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out)
{
    if (!out) return E_INVALIDARG;
    if (in) *out = *in;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT CReplayDataObject::SetData(FORMATETC* fmt, STGMEDIUM* medium, BOOL release)
{
    if (!fmt || !medium) return E_INVALIDARG;
    // A target's stream may call back while its bytes are read; a write inside a write is
    // refused, so that nothing here changes under the outer one and the stack stays flat.
    if (m_inSetData) {
        Log(L"SetData", *fmt, E_UNEXPECTED, 0);
        return E_UNEXPECTED;
    }
    m_inSetData = true;
    HRESULT hr = S_OK;
    try {
        CReplayWrite write;
        write.m_fmt = Offered(*fmt);
        write.m_tymed = medium->tymed;
        if (m_writes.size() >= kMaxWrites) {
            hr = E_OUTOFMEMORY;
        } else if (medium->tymed == TYMED_HGLOBAL) {
            fw::GlobalLockView view(medium->hGlobal);
            const SIZE_T size = ::GlobalSize(medium->hGlobal);
            if (size > kMaxWriteBytes)
                hr = E_OUTOFMEMORY;
            else if (size && !view)
                hr = E_INVALIDARG;
            else
                write.m_bytes.assign(view.As<const BYTE>(), view.As<const BYTE>() + (view ? size : 0));
        } else if (medium->tymed == TYMED_ISTREAM && medium->pstm) {
            // Read from the start, at most one byte past what one write may hold.
            LARGE_INTEGER zero = {};
            medium->pstm->Seek(zero, STREAM_SEEK_SET, nullptr);
            std::vector<BYTE> buffer(0x10000);
            for (;;) {
                ULONG got = 0;
                if (FAILED(medium->pstm->Read(buffer.data(), static_cast<ULONG>(buffer.size()), &got)) || got == 0)
                    break;
                got = std::min<ULONG>(got, static_cast<ULONG>(buffer.size()));  // a stream may claim more
                if (write.m_bytes.size() + got > kMaxWriteBytes) {
                    hr = E_OUTOFMEMORY;
                    break;
                }
                write.m_bytes.insert(write.m_bytes.end(), buffer.data(), buffer.data() + got);
            }
        } else {
            hr = DV_E_TYMED;
        }
        // The limits are checked after the target's calls, against what is kept now.
        if (SUCCEEDED(hr) && (m_writes.size() >= kMaxWrites || m_writtenBytes > kMaxWrittenBytes ||
                              write.m_bytes.size() > kMaxWrittenBytes - m_writtenBytes))
            hr = E_OUTOFMEMORY;
        if (SUCCEEDED(hr)) {
            m_writtenBytes += write.m_bytes.size();
            m_writes.push_back(std::move(write));
            // The data object owns the medium now; its bytes are kept.
            if (release) ::ReleaseStgMedium(medium);
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    m_inSetData = false;
    Log(L"SetData", *fmt, hr, 0);
    if (SUCCEEDED(hr) && m_writeListener) {
        try {
            m_writeListener();
        } catch (...) {
            // A listener's failure is the program's, not the target's.
        }
    }
    return hr;
}

HRESULT CReplayDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out)
{
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    try {
        auto formats = std::make_shared<const std::vector<FORMATETC>>(OfferedFormats());
        *out = fw::MakeComObject<CReplayFormatEnum>(std::move(formats)).Detach();
    } catch (const std::bad_alloc&) {
    }
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::shared_ptr<CReplayFile> CReplayDataObject::FileOf(const CCBData& entry)
{
    // Opened once: a target that asks for a small entry again and again does not open its
    // file each time. Only a few are kept open, whatever the number of entries asked for.
    const auto found = m_files.find(&entry);
    if (found != m_files.end()) return found->second;
    std::shared_ptr<CReplayFile> file = CReplayFile::Open(entry.m_tempFile);
    if (!file) return nullptr;
    if (m_files.size() >= kMaxOpenFiles) m_files.clear();
    m_files.emplace(&entry, file);
    return file;
}

void CReplayDataObject::Log(const wchar_t* call, const FORMATETC& fmt, HRESULT hr, DWORD given) const
{
    if (!m_log) return;
    try {
        // The request, then the answer and the medium given: "GetData CF_TEXT lindex -1 HGLOBAL -> 0x00000000 HGLOBAL".
        std::wstring line =
            fw::Format(L"%ls %ls lindex %ld %ls-> 0x%08lX", call, GetFormatEtcText(fmt).c_str(),
                       static_cast<long>(fmt.lindex), GetTymedText(fmt.tymed).c_str(), static_cast<unsigned long>(hr));
        if (given) line += L" " + GetTymedText(given);
        while (!line.empty() && line.back() == L' ') line.pop_back();
        m_log(line);
    } catch (...) {
    }
}
