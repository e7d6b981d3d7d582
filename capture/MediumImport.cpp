#include "capture/MediumImport.h"

#include "capture/CBData_HBITMAP.h"
#include "capture/CBData_HENHMF.h"
#include "capture/CBData_HMETAFILEPICT.h"
#include "capture/ContainerWalk.h"
#include "capture/FreeSpaceGuard.h"
#include "capture/TempStore.h"
#include "framework/OleDataObject.h"

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kStep = 0x100000;  // copies move at most 1 MiB at a time
constexpr DWORD kAllMedia =
    TYMED_HGLOBAL | TYMED_FILE | TYMED_ISTREAM | TYMED_ISTORAGE | TYMED_GDI | TYMED_MFPICT | TYMED_ENHMF;

void AddError(CCBData& entry, const wchar_t* text)
{
    entry.m_properties.push_back(std::wstring(L"エラー\t") + text);
}

// Opens the entry's new temporary file for writing. On failure the file is removed and
// the entry keeps no path, so that it never claims data it does not hold.
fw::UniqueFile OpenNewTempFile(CCBData& entry)
{
    entry.m_tempFile = CreateTempFile();
    fw::UniqueFile file;
    if (!entry.m_tempFile.empty()) {
        file.Reset(::CreateFileW(entry.m_tempFile.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!file) DropTempFile(entry);
    return file;
}

bool WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return ::WriteFile(file, data, size, &written, nullptr) && written == size;
}

bool Stopped(CCBDataCreateContext* context)
{
    return context && context->PumpMessages();
}

// The row of a copy stopped at the floor of free space.
constexpr const wchar_t* kNoRoomText = kFreeSpaceFloorText;

enum class CopyEnd { Complete, Failed, NoRoom };

// Whether `bytes` more may go into the temporary folder, asked of the capture's guard.
bool HasRoom(CCBDataCreateContext* context, CFreeSpaceGuard& local, uint64_t bytes)
{
    return (context ? context->m_freeSpace : local).Allows(bytes);
}

// Copies the entry's m_dataSize bytes, read by `read(buffer, count)` (false on a failed or
// short read), into the open temporary file in 1 MiB steps, dispatching pending messages
// before each step. Closes the file; Complete when every byte arrived, NoRoom when the
// next step would have taken the temporary folder's volume below its floor.
template <typename Read>
CopyEnd CopyInSteps(CCBDataCreateContext* context, const CCBData& entry, fw::UniqueFile& file, Read read)
{
    // A small file needs no whole step: walks copy thousands of them.
    std::vector<BYTE> buffer(static_cast<size_t>(std::min<uint64_t>(kStep, entry.m_dataSize)));
    CFreeSpaceGuard local;
    uint64_t done = 0;
    CopyEnd end = CopyEnd::Failed;
    while (done < entry.m_dataSize) {
        if (Stopped(context)) break;
        const DWORD want = static_cast<DWORD>(std::min<uint64_t>(kStep, entry.m_dataSize - done));
        if (!HasRoom(context, local, want)) {
            end = CopyEnd::NoRoom;
            break;
        }
        if (!read(buffer.data(), want) || !WriteAll(file.Get(), buffer.data(), want)) break;
        done += want;
    }
    file.Reset();
    return done == entry.m_dataSize ? CopyEnd::Complete : end;
}

}  // namespace

void DropTempFile(CCBData& entry)
{
    if (!entry.m_tempFile.empty()) ::DeleteFileW(entry.m_tempFile.c_str());
    entry.m_tempFile.clear();
}

std::shared_ptr<CCBData> MakeErrorEntry(const std::wstring& text)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_properties.push_back(L"エラー\t" + text);
    return entry;
}

std::shared_ptr<CCBData> ImportHGlobal(CCBDataCreateContext* context, HGLOBAL global)
{
    auto entry = std::make_shared<CCBData>();
    if (!global) {
        AddError(*entry, L"データを取得できません（HGLOBAL=NULL）。");
        return entry;
    }
    fw::GlobalLockView view(global);
    if (!view) {
        AddError(*entry, L"データを取得できません（GlobalLock）。");
        return entry;
    }
    entry->m_dataSize = ::GlobalSize(global);
    fw::UniqueFile file = OpenNewTempFile(*entry);
    if (!file) {
        AddError(*entry, L"一時ファイルに書き込めません。");
        return entry;
    }
    const BYTE* data = view.As<const BYTE>();
    CFreeSpaceGuard local;
    bool noRoom = false;
    uint64_t done = 0;
    while (done < entry->m_dataSize) {
        if (Stopped(context)) break;
        const DWORD size = static_cast<DWORD>(std::min<uint64_t>(kStep, entry->m_dataSize - done));
        if (!HasRoom(context, local, size)) {
            noRoom = true;
            break;
        }
        if (!WriteAll(file.Get(), data + done, size)) break;
        done += size;
    }
    file.Reset();
    if (done < entry->m_dataSize) {
        DropTempFile(*entry);
        // A stop is reported in the same words as a failed write.
        AddError(*entry, noRoom ? kNoRoomText : L"一時ファイルに書き込めません。");
    }
    return entry;
}

std::shared_ptr<CCBData> ImportDiskFile(CCBDataCreateContext* context, const wchar_t* fileName)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_type = L"ディスクファイル";
    if (!fileName) {
        AddError(*entry, L"ファイルを取り込めません。");
        return entry;
    }
    fw::UniqueFile source(
        ::CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source) {
        AddError(*entry, L"ファイルを取り込めません。");
        return entry;
    }
    LARGE_INTEGER size = {};
    entry->m_dataSize = ::GetFileSizeEx(source.Get(), &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
    fw::UniqueFile file = OpenNewTempFile(*entry);
    if (!file) {
        AddError(*entry, L"一時ファイルに書き込めません。");
        return entry;
    }
    const CopyEnd end = CopyInSteps(context, *entry, file, [&source](BYTE* buffer, DWORD want) {
        DWORD got = 0;
        return ::ReadFile(source.Get(), buffer, want, &got, nullptr) && got == want;
    });
    if (end != CopyEnd::Complete) {
        DropTempFile(*entry);
        AddError(*entry, end == CopyEnd::NoRoom ? kNoRoomText : L"一時ファイルに書き込めませんでした。");
    }
    return entry;
}

std::shared_ptr<CCBData> ImportStream(CCBDataCreateContext* context, IStream* stream)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_type = L"IStream";
    if (!stream) {
        AddError(*entry, L"データを取得できません（IStream*がNULL）。");
        return entry;
    }
    STATSTG stat = {};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) {
        AddError(*entry, L"ストリームのサイズを取得できません。");
        return entry;
    }
    entry->m_dataSize = stat.cbSize.QuadPart;
    // The source may have left the position anywhere, often at the end.
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    fw::UniqueFile file = OpenNewTempFile(*entry);
    if (!file) {
        AddError(*entry, L"一時ファイルに書き込めません。");
        return entry;
    }
    const CopyEnd end = CopyInSteps(context, *entry, file, [stream](BYTE* buffer, DWORD want) {
        ULONG got = 0;
        // A source may report more than it was asked for; a count other than the one asked ends the copy.
        return SUCCEEDED(stream->Read(buffer, want, &got)) && got == want;
    });
    if (end != CopyEnd::Complete) {
        DropTempFile(*entry);
        AddError(*entry, end == CopyEnd::NoRoom ? kNoRoomText : L"ストリームを一時ファイルにコピーできません。");
    }
    return entry;
}

std::shared_ptr<CCBData> ImportMedium(CCBDataCreateContext* context, const FORMATETC& fmt)
{
    COleDataObject* source = context ? context->m_source : nullptr;
    auto stopRequested = [context] { return context && context->m_progress && context->m_progress->IsStopRequested(); };
    const bool stoppedBefore = stopRequested();
    fw::StgMedium medium;
    bool ok = source && source->GetData(fmt.cfFormat, &medium, &fmt);
    // A stop pressed while the source kept the call waiting cancels that call, or, where
    // the call cannot be cancelled, leaves what it answers untaken: the capture ends as
    // soon as the call does. The source is not asked again, since it may still be stuck.
    const bool stopped = stopRequested() && (!ok || !stoppedBefore);
    if (stopped) medium.Reset();
    if (!ok && source && !stopped) {
        FORMATETC widened = fmt;
        widened.tymed = kAllMedia;
        ok = source->GetData(fmt.cfFormat, &medium, &widened);
    }
    std::shared_ptr<CCBData> entry;
    if (stopped) {
        entry = MakeErrorEntry(L"取り込みを中止したため、データを受け取っていません。");
    } else if (!ok || medium->tymed == TYMED_NULL) {
        entry = MakeErrorEntry(L"データを取得できません（COleDataObject::GetData()）");
    } else {
        const DWORD tymed = medium->tymed;
        if (tymed & TYMED_HGLOBAL) {
            entry = ImportHGlobal(context, medium->hGlobal);
        } else if (tymed & TYMED_FILE) {
            entry = ImportDiskFile(context, medium->lpszFileName);
        } else if (tymed & TYMED_ISTREAM) {
            entry = ImportStream(context, medium->pstm);
        } else if (tymed & TYMED_ISTORAGE) {
            entry = ImportStorage(context, medium->pstg);
        } else if (tymed & TYMED_GDI) {
            entry = CCBData_HBITMAP::Import(medium->hBitmap, context);
        } else if (tymed & TYMED_MFPICT) {
            entry = CCBData_HMETAFILEPICT::Import(medium->hMetaFilePict);
        } else if (tymed & TYMED_ENHMF) {
            entry = CCBData_HENHMF::Import(medium->hEnhMetaFile);
        } else {
            entry = MakeErrorEntry(L"対応していないtymedです。");
        }
        entry->m_realTymed = tymed;
    }
    // Everything the entry keeps has been copied or duplicated by now. A file the source
    // named stays where it is: ReleaseStgMedium would delete it when no release object
    // came with it, so only the name is freed and the medium left with nothing to release
    // but that object.
    if (medium->tymed == TYMED_FILE && !medium->pUnkForRelease) {
        ::CoTaskMemFree(medium->lpszFileName);
        medium->lpszFileName = nullptr;
        medium->tymed = TYMED_NULL;
    }
    medium.Reset();
    entry->m_fmt = fmt;
    return entry;
}
