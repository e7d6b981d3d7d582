#include "capture/SnapshotFile.h"

#include "capture/CBData.h"
#include "capture/CBDataCreateContext.h"
#include "capture/CBData_DIB.h"
#include "capture/CBData_DragImageBits.h"
#include "capture/CBData_FileDescriptor.h"
#include "capture/CBData_HBITMAP.h"
#include "capture/CBData_HENHMF.h"
#include "capture/CBData_HMETAFILEPICT.h"
#include "capture/CaptureSettings.h"
#include "capture/ContainerWalk.h"
#include "capture/FreeSpaceGuard.h"
#include "capture/TempStore.h"
#include "capture/bytes/DibLayout.h"
#include "capture/bytes/EntryBound.h"
#include "capture/bytes/SnapshotManifest.h"
#include "framework/CoTaskMem.h"
#include "framework/Format.h"
#include "framework/Handles.h"
#include "framework/Utf8.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>

#ifndef ORVETTA_VERSION
#define ORVETTA_VERSION "1.0.0.2"
#endif

static_assert(kMaxManifestDepth == kMaxWalkDepth + 1, "a snapshot file nests as deep as a capture walks");

namespace {

constexpr DWORD kStep = 0x100000;  // bytes move at most 1 MiB at a time
constexpr wchar_t kUnreadable[] = L"スナップショットを読み込めません。";
constexpr wchar_t kUnwritable[] = L"ファイルに書き込めません";
constexpr wchar_t kStopped[] = L"中止しました。";

std::vector<std::string> Utf8All(const std::vector<std::wstring>& texts)
{
    std::vector<std::string> out;
    for (const std::wstring& t : texts) out.push_back(fw::ToUtf8(t));
    return out;
}

std::vector<std::wstring> WideAll(const std::vector<std::string>& texts)
{
    std::vector<std::wstring> out;
    for (const std::string& t : texts) out.push_back(fw::FromUtf8(t));
    return out;
}

bool WriteStream(IStream* stream, const void* data, ULONG size)
{
    ULONG written = 0;
    return SUCCEEDED(stream->Write(data, size, &written)) && written == size;
}

bool ReadStream(IStream* stream, void* data, ULONG size)
{
    ULONG got = 0;
    return SUCCEEDED(stream->Read(data, size, &got)) && got == size;
}

// A bitmap as a packed DIB at its own depth (header, colour table, bottom-up rows). The
// palette, when there is one, is selected so that the colour table shows its colours.
bool PackBitmap(HBITMAP bitmap, HPALETTE palette, std::vector<BYTE>& out)
{
    BITMAP bm = {};
    if (::GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm || bm.bmWidth <= 0 || bm.bmHeight <= 0) return false;
    int bpp = bm.bmPlanes * bm.bmBitsPixel;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24) bpp = 32;
    const uint64_t colours = bpp <= 8 ? (1u << bpp) : 0;
    const uint64_t stride = (static_cast<uint64_t>(bm.bmWidth) * bpp + 31) / 32 * 4;
    const uint64_t header = sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD);
    const uint64_t total = header + stride * static_cast<uint64_t>(bm.bmHeight);
    if (total > kMaxGdiBytes) return false;
    out.assign(static_cast<size_t>(total), 0);
    auto* info = reinterpret_cast<BITMAPINFO*>(out.data());
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = bm.bmWidth;
    info->bmiHeader.biHeight = bm.bmHeight;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = static_cast<WORD>(bpp);
    info->bmiHeader.biCompression = BI_RGB;
    fw::UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    if (!dc) return false;
    HPALETTE previous = palette ? ::SelectPalette(dc.Get(), palette, FALSE) : nullptr;
    if (palette) ::RealizePalette(dc.Get());
    const int rows =
        ::GetDIBits(dc.Get(), bitmap, 0, static_cast<UINT>(bm.bmHeight), out.data() + header, info, DIB_RGB_COLORS);
    if (palette) ::SelectPalette(dc.Get(), previous, FALSE);
    // GetDIBits may have rewritten the header; the stored one says what the rows are.
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biCompression = BI_RGB;
    info->bmiHeader.biClrUsed = 0;
    return rows == bm.bmHeight;
}

// A DIB section holding the packed DIB's rows; null when the bytes are not a plain DIB.
HBITMAP UnpackBitmap(const std::vector<BYTE>& packed)
{
    const DibLayout layout = ReadDibLayout(packed.data(), packed.size());
    if (!layout.valid || layout.stride == 0 || layout.width <= 0 || layout.height == 0 ||
        (layout.compression != kDibRgb && layout.compression != kDibBitFields))
        return nullptr;
    void* pixels = nullptr;
    fw::UniqueBitmap section(::CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(packed.data()),
                                                DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!section || !pixels) return nullptr;
    std::memcpy(pixels, packed.data() + layout.bitsOffset, static_cast<size_t>(layout.bitsSize));
    return section.Release();
}

std::vector<BYTE> PaletteEntries(HPALETTE palette)
{
    const UINT count = ::GetPaletteEntries(palette, 0, 0, nullptr);
    std::vector<BYTE> out(count * sizeof(PALETTEENTRY));
    if (count) ::GetPaletteEntries(palette, 0, count, reinterpret_cast<PALETTEENTRY*>(out.data()));
    return out;
}

HPALETTE MakePalette(const std::vector<BYTE>& entries)
{
    const size_t count = entries.size() / sizeof(PALETTEENTRY);
    if (count == 0 || count > 0xFFFF) return nullptr;
    std::vector<BYTE> block(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(count);
    std::memcpy(logical->palPalEntry, entries.data(), count * sizeof(PALETTEENTRY));
    return ::CreatePalette(logical);
}

std::vector<BYTE> EnhMetaFileBits(HENHMETAFILE metafile)
{
    std::vector<BYTE> out(::GetEnhMetaFileBits(metafile, 0, nullptr));
    if (!out.empty() && ::GetEnhMetaFileBits(metafile, static_cast<UINT>(out.size()), out.data()) != out.size())
        out.clear();
    return out;
}

std::vector<BYTE> MetaFileBits(HMETAFILE metafile)
{
    std::vector<BYTE> out(::GetMetaFileBitsEx(metafile, 0, nullptr));
    if (!out.empty() && ::GetMetaFileBitsEx(metafile, static_cast<UINT>(out.size()), out.data()) != out.size())
        out.clear();
    return out;
}

ManifestKind KindOf(const CCBData& entry)
{
    if (entry.IsKindOf(&CCBData_HBITMAP::classCCBData_HBITMAP)) return ManifestKind::Bitmap;
    if (entry.IsKindOf(&CCBData_HENHMF::classCCBData_HENHMF)) return ManifestKind::EnhMetaFile;
    if (entry.IsKindOf(&CCBData_HMETAFILEPICT::classCCBData_HMETAFILEPICT)) return ManifestKind::MetaFilePict;
    if (entry.IsKindOf(&CCBData_DIB::classCCBData_DIB)) return ManifestKind::Dib;
    if (entry.IsKindOf(&CCBData_DragImageBits::classCCBData_DragImageBits)) return ManifestKind::DragImageBits;
    if (entry.IsKindOf(&CCBData_FileDescriptor::classCCBData_FileDescriptor)) return ManifestKind::FileDescriptor;
    return ManifestKind::Generic;
}

// What writing and reading a file share: the storage, the capture's message pump and
// progress, whether the user stopped, and the first problem met.
class SnapshotFileStep {
public:
    bool m_stopped = false;
    std::wstring m_problem;

protected:
    SnapshotFileStep(IStorage* storage, ICaptureProgress& progress) : m_storage(storage)
    {
        m_context.m_progress = &progress;
    }

    bool Fail(const std::wstring& problem)
    {
        if (m_problem.empty()) m_problem = problem;
        return false;
    }

    bool Stopped()
    {
        if (m_context.PumpMessages()) m_stopped = true;
        return m_stopped;
    }

    IStorage* m_storage;
    CCBDataCreateContext m_context;
};

class SnapshotWriter : public SnapshotFileStep {
public:
    SnapshotWriter(IStorage* storage, ICaptureProgress& progress) : SnapshotFileStep(storage, progress) {}

    bool WriteEntries(const CCBDataArray& snapshot, std::vector<ManifestEntry>& out)
    {
        for (const auto& entry : snapshot) {
            out.emplace_back();
            if (!WriteEntry(*entry, out.back())) return false;
        }
        return true;
    }

    bool WriteManifest(const SnapshotManifest& manifest)
    {
        const std::string text = WriteSnapshotManifest(manifest);
        // A file whose manifest no reader takes would be saved for nothing.
        if (text.size() > kMaxManifestBytes)
            return Fail(
                fw::Format(L"マニフェストが大きすぎます（%llu MiB。上限は%llu MiBです）。エントリを減らしてください。",
                           static_cast<unsigned long long>((text.size() + (1 << 20) - 1) >> 20),
                           static_cast<unsigned long long>(kMaxManifestBytes >> 20)));
        fw::ComPtr<IStream> stream;
        if (!Create(L"Snapshot", stream)) return false;
        for (size_t done = 0; done < text.size(); done += kStep) {
            if (!WriteStream(stream.Get(), text.data() + done,
                             static_cast<ULONG>(std::min<size_t>(kStep, text.size() - done))))
                return Fail(L"");
        }
        return true;
    }

private:
    bool Create(const std::wstring& name, fw::ComPtr<IStream>& stream)
    {
        if (FAILED(
                m_storage->CreateStream(name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream)))
            return Fail(L"");
        return true;
    }

    std::string NextName(wchar_t prefix) { return fw::ToUtf8(fw::Format(L"%c%u", prefix, m_entryNumber)); }

    // The entry's temporary file, m_dataSize bytes, into a stream of its own.
    bool WriteData(const CCBData& entry, ManifestStream& out)
    {
        out = {NextName(L'E'), entry.m_dataSize};
        fw::UniqueFile file(::CreateFileW(entry.m_tempFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file) return Fail(L"一時ファイルを読めません");
        fw::ComPtr<IStream> stream;
        if (!Create(fw::FromUtf8(out.name), stream)) return false;
        std::vector<BYTE> buffer(static_cast<size_t>(std::min<uint64_t>(kStep, entry.m_dataSize)));
        for (uint64_t done = 0; done < entry.m_dataSize;) {
            if (Stopped()) return false;
            const DWORD want = static_cast<DWORD>(std::min<uint64_t>(kStep, entry.m_dataSize - done));
            DWORD got = 0;
            if (!::ReadFile(file.Get(), buffer.data(), want, &got, nullptr) || got != want)
                return Fail(L"一時ファイルを読めません");
            if (!WriteStream(stream.Get(), buffer.data(), want)) return Fail(L"");
            done += want;
        }
        return true;
    }

    bool WriteBytes(const std::vector<BYTE>& bytes, wchar_t prefix, ManifestStream& out)
    {
        out = {NextName(prefix), bytes.size()};
        fw::ComPtr<IStream> stream;
        if (!Create(fw::FromUtf8(out.name), stream)) return false;
        for (size_t done = 0; done < bytes.size(); done += kStep) {
            if (Stopped()) return false;
            if (!WriteStream(stream.Get(), bytes.data() + done,
                             static_cast<ULONG>(std::min<size_t>(kStep, bytes.size() - done))))
                return Fail(L"");
        }
        return true;
    }

    bool WriteGdi(const CCBData& entry, ManifestEntry& out)
    {
        const auto& gdi = static_cast<const CCBData_GDI&>(entry);
        out.width = gdi.m_width;
        out.height = gdi.m_height;
        out.bitsPerPixel = gdi.m_bitsPerPixel;
        std::vector<BYTE> bits;
        if (out.kind == ManifestKind::Bitmap) {
            const auto& bitmap = static_cast<const CCBData_HBITMAP&>(entry);
            if (bitmap.m_hPalette && !WriteBytes(PaletteEntries(bitmap.m_hPalette.Get()), L'P', out.palette))
                return false;
            if (bitmap.m_hBitmap && !PackBitmap(bitmap.m_hBitmap.Get(), bitmap.m_hPalette.Get(), bits))
                return Fail(L"ビットマップを保存できません");
        } else if (out.kind == ManifestKind::EnhMetaFile) {
            const auto& emf = static_cast<const CCBData_HENHMF&>(entry);
            if (emf.m_hEnhMetaFile) bits = EnhMetaFileBits(emf.m_hEnhMetaFile.Get());
        } else {
            const auto& pict = static_cast<const CCBData_HMETAFILEPICT&>(entry);
            fw::GlobalLockView block(pict.m_hMetaFilePict.Get());
            if (block && block.Size() >= sizeof(METAFILEPICT)) {
                const auto* header = block.As<METAFILEPICT>();
                out.hasPicture = true;
                out.mapMode = header->mm;
                out.xExt = header->xExt;
                out.yExt = header->yExt;
            }
            if (out.hasPicture && pict.m_hMetaFile) bits = MetaFileBits(pict.m_hMetaFile.Get());
        }
        if (!bits.empty() && !WriteBytes(bits, L'B', out.bits)) return false;
        return true;
    }

    bool WriteEntry(const CCBData& entry, ManifestEntry& out)
    {
        if (Stopped()) return false;
        if (auto* progress = m_context.m_progress) progress->SetItemText(entry.GetDisplayText());
        ++m_entryNumber;
        out.kind = KindOf(entry);
        out.format.number = entry.m_fmt.cfFormat;
        if (entry.m_fmt.cfFormat >= 0xC000) {
            wchar_t name[256] = {};
            const int length = ::GetClipboardFormatNameW(entry.m_fmt.cfFormat, name, 256);
            if (length > 0) out.format.name = fw::ToUtf8(std::wstring(name, length));
        }
        out.format.hadTargetDevice = entry.m_fmt.ptd != nullptr;
        out.format.aspect = entry.m_fmt.dwAspect;
        out.format.index = entry.m_fmt.lindex;
        out.format.tymed = entry.m_fmt.tymed;
        out.realTymed = entry.m_realTymed;
        out.type = fw::ToUtf8(entry.m_type);
        out.name = fw::ToUtf8(entry.m_name);
        out.displayName = fw::ToUtf8(entry.m_displayName);
        out.treeIcon = std::clamp(entry.m_treeIcon, 0, 3);
        out.rows = Utf8All(entry.m_properties);
        out.size = entry.m_dataSize;
        out.viewTab = std::clamp(entry.m_defaultViewTab, 0, 3);
        out.codePage = entry.m_defaultCodePage;
        if (!entry.m_tempFile.empty() && !WriteData(entry, out.data)) return false;
        if (out.kind == ManifestKind::FileDescriptor)
            out.fileNames = Utf8All(static_cast<const CCBData_FileDescriptor&>(entry).FileNames);
        if (IsGdiKind(out.kind) && !WriteGdi(entry, out)) return false;
        if (entry.m_children) {
            out.hasChildren = true;
            if (!WriteEntries(*entry.m_children, out.children)) return false;
        }
        return true;
    }

    unsigned m_entryNumber = 0;
};

class SnapshotReader : public SnapshotFileStep {
public:
    SnapshotReader(IStorage* storage, ICaptureProgress& progress) : SnapshotFileStep(storage, progress) {}

    // Every element of the file is a stream the manifest names, of the size it says.
    bool CheckStreams(const std::vector<ManifestStream>& streams)
    {
        std::map<std::wstring, uint64_t> present;
        fw::ComPtr<IEnumSTATSTG> elements;
        if (FAILED(m_storage->EnumElements(0, nullptr, 0, &elements))) return Fail(L"ファイルの中身を一覧できません。");
        STATSTG stat;
        while (elements->Next(1, &stat, nullptr) == S_OK) {
            fw::UniqueCoTaskMem<wchar_t> name(stat.pwcsName);
            if (stat.type != STGTY_STREAM) return Fail(L"ストリームの数がマニフェストと合いません。");
            if (name && std::wstring(name.get()) != L"Snapshot") present[name.get()] = stat.cbSize.QuadPart;
        }
        for (const ManifestStream& s : streams) {
            const auto it = present.find(fw::FromUtf8(s.name));
            if (it == present.end()) return Fail(L"ストリーム " + fw::FromUtf8(s.name) + L" がありません。");
            if (it->second != s.size)
                return Fail(L"ストリーム " + fw::FromUtf8(s.name) + L" の大きさがマニフェストと合いません。");
        }
        if (present.size() != streams.size()) return Fail(L"ストリームの数がマニフェストと合いません。");
        return true;
    }

    bool ReadEntries(const std::vector<ManifestEntry>& entries, CCBDataArray& out)
    {
        for (const ManifestEntry& e : entries) {
            std::shared_ptr<CCBData> entry = ReadEntry(e);
            if (!entry) return false;
            out.push_back(std::move(entry));
        }
        return true;
    }

    // The registered formats' names given their numbers here. A registration lasts until
    // logoff whatever happens to the file, so this comes after everything else was read.
    bool RegisterNames()
    {
        std::map<std::string, UINT> numbers;
        for (const auto& [entry, name] : m_named) {
            UINT& number = numbers[name];
            if (!number) number = ::RegisterClipboardFormatW(fw::FromUtf8(name).c_str());
            if (!number) return Fail(L"形式名 " + fw::FromUtf8(name) + L" を登録できません。");
            entry->m_fmt.cfFormat = static_cast<CLIPFORMAT>(number);
        }
        return true;
    }

private:
    bool Open(const std::string& name, fw::ComPtr<IStream>& stream)
    {
        if (FAILED(m_storage->OpenStream(fw::FromUtf8(name).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                         &stream)))
            return Fail(L"ストリーム " + fw::FromUtf8(name) + L" を開けません。");
        return true;
    }

    bool Truncated(const std::string& name)
    {
        return Fail(L"ストリーム " + fw::FromUtf8(name) + L" が途中で切れています。");
    }

    // The stream's bytes into a new file of the temporary store, owned by the entry.
    bool ReadData(const ManifestStream& data, CCBData& entry)
    {
        fw::ComPtr<IStream> stream;
        if (!Open(data.name, stream)) return false;
        entry.m_tempFile = CreateTempFile();
        fw::UniqueFile file;
        if (!entry.m_tempFile.empty())
            file.Reset(::CreateFileW(entry.m_tempFile.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return Fail(L"一時ファイルに書き込めません。");
        std::vector<BYTE> buffer(static_cast<size_t>(std::min<uint64_t>(kStep, data.size)));
        for (uint64_t done = 0; done < data.size;) {
            if (Stopped()) return false;
            const DWORD want = static_cast<DWORD>(std::min<uint64_t>(kStep, data.size - done));
            // The file's streams go into the temporary folder as a capture's copies do.
            if (!m_context.m_freeSpace.Allows(want)) return Fail(kFreeSpaceFloorText);
            if (!ReadStream(stream.Get(), buffer.data(), want)) return Truncated(data.name);
            DWORD written = 0;
            if (!::WriteFile(file.Get(), buffer.data(), want, &written, nullptr) || written != want)
                return Fail(L"一時ファイルに書き込めません。");
            done += want;
        }
        return true;
    }

    bool ReadBytes(const ManifestStream& source, std::vector<BYTE>& out)
    {
        fw::ComPtr<IStream> stream;
        if (!Open(source.name, stream)) return false;
        out.resize(static_cast<size_t>(source.size));
        for (size_t done = 0; done < out.size();) {
            if (Stopped()) return false;
            const ULONG want = static_cast<ULONG>(std::min<size_t>(kStep, out.size() - done));
            if (!ReadStream(stream.Get(), out.data() + done, want)) return Truncated(source.name);
            done += want;
        }
        return true;
    }

    std::shared_ptr<CCBData> MakeKind(const ManifestEntry& e)
    {
        switch (e.kind) {
            case ManifestKind::FileDescriptor: {
                auto entry = std::make_shared<CCBData_FileDescriptor>();
                entry->FileNames = WideAll(e.fileNames);
                return entry;
            }
            case ManifestKind::Dib:
                return std::make_shared<CCBData_DIB>();
            case ManifestKind::DragImageBits:
                return std::make_shared<CCBData_DragImageBits>();
            case ManifestKind::Bitmap:
                return std::make_shared<CCBData_HBITMAP>();
            case ManifestKind::EnhMetaFile:
                return std::make_shared<CCBData_HENHMF>();
            case ManifestKind::MetaFilePict:
                return std::make_shared<CCBData_HMETAFILEPICT>();
            case ManifestKind::Generic:
                break;
        }
        return std::make_shared<CCBData>();
    }

    // The GDI object made again from its stored bits.
    bool ReadGdi(const ManifestEntry& e, CCBData& entry)
    {
        auto& gdi = static_cast<CCBData_GDI&>(entry);
        gdi.m_width = e.width;
        gdi.m_height = e.height;
        gdi.m_bitsPerPixel = e.bitsPerPixel;
        std::vector<BYTE> bits;
        if (e.bits.Present() && !ReadBytes(e.bits, bits)) return false;
        if (e.kind == ManifestKind::Bitmap) {
            auto& bitmap = static_cast<CCBData_HBITMAP&>(entry);
            if (e.palette.Present()) {
                std::vector<BYTE> palette;
                if (!ReadBytes(e.palette, palette)) return false;
                bitmap.m_hPalette.Reset(MakePalette(palette));
            }
            if (e.bits.Present()) {
                bitmap.m_hBitmap.Reset(UnpackBitmap(bits));
                if (!bitmap.m_hBitmap)
                    return Fail(L"ストリーム " + fw::FromUtf8(e.bits.name) + L" はビットマップではありません。");
            }
        } else if (e.kind == ManifestKind::EnhMetaFile) {
            if (e.bits.Present()) {
                auto& emf = static_cast<CCBData_HENHMF&>(entry);
                emf.m_hEnhMetaFile.Reset(::SetEnhMetaFileBits(static_cast<UINT>(bits.size()), bits.data()));
                if (!emf.m_hEnhMetaFile)
                    return Fail(L"ストリーム " + fw::FromUtf8(e.bits.name) + L" は拡張メタファイルではありません。");
            }
        } else if (e.hasPicture) {
            auto& pict = static_cast<CCBData_HMETAFILEPICT&>(entry);
            fw::UniqueMetaFile metafile;
            if (e.bits.Present()) {
                metafile.Reset(::SetMetaFileBitsEx(static_cast<UINT>(bits.size()), bits.data()));
                if (!metafile)
                    return Fail(L"ストリーム " + fw::FromUtf8(e.bits.name) + L" はメタファイルではありません。");
            }
            fw::UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(METAFILEPICT)));
            {
                fw::GlobalLockView view(block.Get());
                if (!view) throw std::bad_alloc();
                auto* header = view.As<METAFILEPICT>();
                header->mm = e.mapMode;
                header->xExt = e.xExt;
                header->yExt = e.yExt;
                header->hMF = metafile.Get();
            }
            // The block names the metafile; the entry owns both, as after a capture.
            pict.m_hMetaFilePict = std::move(block);
            pict.m_hMetaFile = std::move(metafile);
        }
        return true;
    }

    std::shared_ptr<CCBData> ReadEntry(const ManifestEntry& e)
    {
        if (Stopped()) return nullptr;
        std::shared_ptr<CCBData> entry = MakeKind(e);
        FORMATETC& fmt = entry->m_fmt;
        fmt.cfFormat = static_cast<CLIPFORMAT>(e.format.number);
        // Registered numbers differ from one session to the next: the name decides, once
        // the whole file has been read (RegisterNames).
        if (!e.format.name.empty()) m_named.emplace_back(entry, e.format.name);
        // A target device pointer of another process means nothing here.
        fmt.ptd = nullptr;
        fmt.dwAspect = e.format.aspect;
        fmt.lindex = e.format.index;
        fmt.tymed = e.format.tymed;
        entry->m_realTymed = e.realTymed;
        entry->m_type = fw::FromUtf8(e.type);
        entry->m_name = fw::FromUtf8(e.name);
        entry->m_displayName = fw::FromUtf8(e.displayName);
        entry->m_treeIcon = e.treeIcon;
        entry->m_properties = WideAll(e.rows);
        entry->m_dataSize = e.size;
        entry->m_defaultViewTab = e.viewTab;
        entry->m_defaultCodePage = e.codePage;
        if (auto* progress = m_context.m_progress) progress->SetItemText(entry->GetDisplayText());
        if (e.data.Present() && !ReadData(e.data, *entry)) return nullptr;
        if (IsGdiKind(e.kind) && !ReadGdi(e, *entry)) return nullptr;
        if (e.hasChildren) {
            entry->m_children = std::make_shared<CCBDataArray>();
            if (!ReadEntries(e.children, *entry->m_children)) return nullptr;
        }
        return entry;
    }

    std::vector<std::pair<std::shared_ptr<CCBData>, std::string>> m_named;  // entries and their format names
};

uint64_t CountEntries(const std::vector<ManifestEntry>& entries)
{
    uint64_t count = entries.size();
    for (const ManifestEntry& e : entries) count += CountEntries(e.children);
    return count;
}

// The folder part of a path, for a sibling file; "." for a bare name.
std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L".";
    if (slash == 0 || path[slash - 1] == L':') return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

// Closes the progress window on every way out, as the capture does.
class ProgressScope {
public:
    explicit ProgressScope(ICaptureProgress& progress) : m_progress(progress) { m_progress.Open(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    ~ProgressScope() { m_progress.Close(); }

private:
    ICaptureProgress& m_progress;
};

SnapshotFileResult Stopped()
{
    return {SnapshotFileStatus::Stopped, kStopped};
}

}  // namespace

std::wstring SnapshotTimeNow()
{
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    return fw::Format(L"%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                      now.wSecond);
}

SnapshotFileResult SaveSnapshotFile(const std::wstring& path, const CSnapshotInfo& info, const CCBDataArray& snapshot,
                                    ICaptureProgress& progress)
{
    ProgressScope scope(progress);
    const auto failed = [&path](const std::wstring& problem) {
        std::wstring message = std::wstring(kUnwritable) + L"\r\n" + path;
        if (!problem.empty()) message += L"\r\n" + problem;
        return SnapshotFileResult{SnapshotFileStatus::Failed, message};
    };
    // Written beside the target under a name of its own, and put in place only when complete.
    wchar_t partial[MAX_PATH * 4] = {};
    if (!::GetTempFileNameW(FolderOf(path).c_str(), L"kav", 0, partial)) return failed(L"");
    struct PartialFile {
        const wchar_t* path;
        bool keep = false;
        ~PartialFile()
        {
            if (!keep) ::DeleteFileW(path);
        }
    } partialFile{partial};

    {
        STGOPTIONS options = {};
        options.usVersion = 1;
        // 4096-byte sectors: the version of the format whose streams may exceed 2 GiB.
        options.ulSectorSize = 4096;
        fw::ComPtr<IStorage> storage;
        const HRESULT hr = ::StgCreateStorageEx(
            partial, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT, STGFMT_DOCFILE, 0, &options,
            nullptr, IID_IStorage, reinterpret_cast<void**>(storage.GetAddressOf()));
        if (FAILED(hr)) return failed(L"");
        SnapshotWriter writer(storage.Get(), progress);
        SnapshotManifest manifest;
        manifest.program = "Orvetta " ORVETTA_VERSION;
        manifest.title = fw::ToUtf8(info.title);
        manifest.taken = fw::ToUtf8(info.taken);
        manifest.how = fw::ToUtf8(info.how);
        manifest.offered = Utf8All(info.offered);
        if (info.owner) {
            ManifestOwner& owner = manifest.owner.emplace();
            if (info.owner->image) owner.image = fw::ToUtf8(*info.owner->image);
            owner.pid = info.owner->pid;
            if (info.owner->windowClass) owner.windowClass = fw::ToUtf8(*info.owner->windowClass);
        }
        manifest.allowedEffects = info.allowedEffects;
        for (const size_t index : snapshot.m_enumeration) manifest.enumeration.push_back(static_cast<uint32_t>(index));
        bool ok = false;
        try {
            ok = writer.WriteEntries(snapshot, manifest.entries) && writer.WriteManifest(manifest) &&
                 SUCCEEDED(storage->Commit(STGC_DEFAULT));
        } catch (const std::bad_alloc&) {
            return failed(L"メモリが足りません。");
        }
        if (writer.m_stopped) return Stopped();
        if (!ok) return failed(writer.m_problem);
    }
    if (!::MoveFileExW(partial, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return failed(L"");
    partialFile.keep = true;
    return {SnapshotFileStatus::Done, L""};
}

SnapshotFileResult OpenSnapshotFile(const std::wstring& path, CSnapshotInfo& info,
                                    std::shared_ptr<CCBDataArray>& snapshot, ICaptureProgress& progress)
{
    ProgressScope scope(progress);
    const auto failed = [](const std::wstring& problem) {
        return SnapshotFileResult{SnapshotFileStatus::Failed, std::wstring(kUnreadable) + L"\r\n" + problem};
    };
    fw::ComPtr<IStorage> storage;
    const HRESULT hr = ::StgOpenStorageEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, STGFMT_DOCFILE, 0, nullptr,
                                          nullptr, IID_IStorage, reinterpret_cast<void**>(storage.GetAddressOf()));
    if (FAILED(hr)) {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return failed(L"ファイルを開けません: " + path);
        return failed(L"複合ファイルではありません。");
    }

    std::string text;
    {
        fw::ComPtr<IStream> stream;
        if (FAILED(storage->OpenStream(L"Snapshot", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream)))
            return failed(L"マニフェスト（\"Snapshot\" ストリーム）がありません。");
        STATSTG stat = {};
        if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return failed(L"マニフェストを読めません。");
        if (stat.cbSize.QuadPart > kMaxManifestBytes) return failed(L"マニフェストが大きすぎます。");
        text.resize(static_cast<size_t>(stat.cbSize.QuadPart));
        if (!text.empty() && !ReadStream(stream.Get(), text.data(), static_cast<ULONG>(text.size())))
            return failed(L"マニフェストが途中で切れています。");
    }
    const ManifestReadResult manifest = ReadSnapshotManifest(text);
    if (!manifest.ok) return failed(fw::FromUtf8(manifest.problem));
    // The same bound as a capture's, before anything is copied.
    const uint64_t entries = CountEntries(manifest.manifest.entries);
    if (entries > CaptureSettings().m_maxEntries)
        return failed(L"エントリが多すぎます（" + GroupDigits(entries) + L"個。上限は" +
                      GroupDigits(CaptureSettings().m_maxEntries) + L"個です）。");

    SnapshotReader reader(storage.Get(), progress);
    auto opened = std::make_shared<CCBDataArray>();
    bool ok = false;
    try {
        ok = reader.CheckStreams(manifest.streams) && reader.ReadEntries(manifest.manifest.entries, *opened) &&
             reader.RegisterNames();
    } catch (const std::bad_alloc&) {
        return failed(L"メモリが足りません。");
    }
    if (reader.m_stopped) return Stopped();
    if (!ok) return failed(reader.m_problem);

    info.title = fw::FromUtf8(manifest.manifest.title);
    info.offered = WideAll(manifest.manifest.offered);
    info.taken = fw::FromUtf8(manifest.manifest.taken);
    info.how = fw::FromUtf8(manifest.manifest.how);
    info.program = fw::FromUtf8(manifest.manifest.program);
    info.owner.reset();
    if (const std::optional<ManifestOwner>& owner = manifest.manifest.owner) {
        CClipboardOwner& kept = info.owner.emplace();
        if (owner->image) kept.image = fw::FromUtf8(*owner->image);
        kept.pid = owner->pid;
        if (owner->windowClass) kept.windowClass = fw::FromUtf8(*owner->windowClass);
    }
    info.allowedEffects = manifest.manifest.allowedEffects;
    opened->m_enumeration.assign(manifest.manifest.enumeration.begin(), manifest.manifest.enumeration.end());
    snapshot = std::move(opened);
    return {SnapshotFileStatus::Done, L""};
}
