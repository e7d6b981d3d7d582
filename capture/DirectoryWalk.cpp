// Directories on disk and lists of dropped files: files are copied, directories entered
// in the second phase.
#include "capture/CaptureSettings.h"
#include "capture/ContainerWalk.h"
#include "capture/MediumImport.h"
#include "capture/WalkPhases.h"
#include "capture/bytes/DropFiles.h"
#include "capture/bytes/TempNames.h"

#include <algorithm>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kNotQualifiedRow[] =
    L"警告\tドライブ名（C:\\）か \\\\サーバー\\共有名 で始まる完全なパスではないため、たどりません。";

std::wstring NameText(const std::vector<BYTE>& bytes, const ByteRange& range, bool wide)
{
    if (wide) {
        const std::u16string text = Utf16Text(bytes.data(), bytes.size(), range);
        return std::wstring(text.begin(), text.end());
    }
    return AnsiToWide(reinterpret_cast<const char*>(bytes.data() + range.offset), range.length);
}

std::shared_ptr<CCBData> EnterDirectory(CCBDataCreateContext* context, const std::wstring& path)
{
    return ImportDirectory(context, path);
}

}  // namespace

std::shared_ptr<CCBData> ImportDirectory(CCBDataCreateContext* context, const std::wstring& path)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_type = L"ディレクトリ";
    entry->m_treeIcon = 0;
    entry->m_children = std::make_shared<CCBDataArray>();
    WalkDirectory(*entry->m_children, context, path);
    return entry;
}

void WalkDirectory(CCBDataArray& children, CCBDataCreateContext* context, const std::wstring& path)
{
    if (!context) return;
    WalkLevel level(context);
    WIN32_FIND_DATAW found;
    fw::UniqueFind find(::FindFirstFileW(JoinPath(path, L"*").c_str(), &found));
    if (find) {
        do {
            const std::wstring name = found.cFileName;
            if (StepItem(context, name)) break;
            if (name == L"." || name == L"..") continue;
            if (AtEntryBound(context)) {
                LeaveOutRest(context, [&find, &found] {
                    // "." and ".." are no items.
                    while (::FindNextFileW(find.Get(), &found))
                        if (std::wcscmp(found.cFileName, L".") != 0 && std::wcscmp(found.cFileName, L"..") != 0)
                            return true;
                    return false;
                });
                break;
            }
            std::shared_ptr<CCBData> child;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                child = MakePlaceholder(L"ディレクトリ");
            } else {
                child = ImportDiskFile(context, JoinPath(path, name).c_str());
            }
            child->m_name = name;
            AppendChild(children, context, std::move(child));
        } while (::FindNextFileW(find.Get(), &found));
        find.Reset();
    }
    DescendPlaceholders(children, context, [context, &path](CCBData& placeholder) {
        return EnterDirectory(context, JoinPath(path, placeholder.m_name));
    });
}

void WalkDropFiles(CCBDataArray& children, CCBDataCreateContext* context, const std::vector<BYTE>& dropFiles)
{
    if (!context) return;
    WalkLevel level(context);
    // Names past the room left under the entry bound are only counted.
    const uint64_t bound = CaptureSettings().m_maxEntries;
    const uint64_t room = context->m_entryCount < bound ? bound - context->m_entryCount : 0;
    const NameList list =
        ReadDropFiles(dropFiles.data(), dropFiles.size(), static_cast<size_t>(std::min<uint64_t>(room, SIZE_MAX)));
    bool stopped = false;
    for (size_t i = 0; i < list.count; ++i) {
        if (i >= list.names.size() || AtEntryBound(context)) {
            LeaveOut(context, list.count - i);
            stopped = true;
            break;
        }
        const std::wstring path = NameText(dropFiles, list.names[i], list.wide);
        if (StepItem(context, path)) {
            stopped = true;
            break;
        }
        std::shared_ptr<CCBData> child;
        if (!IsFullyQualifiedPath(std::u16string(path.begin(), path.end()))) {
            // A name relative to our own current directory or drive (a wide list read as
            // ANSI gives one-letter names and "\") would walk our files, not the source's:
            // it is listed, never looked up.
            child = std::make_shared<CCBData>();
            child->m_properties.push_back(kNotQualifiedRow);
        } else if (const DWORD attributes = ::GetFileAttributesW(path.c_str()); attributes == INVALID_FILE_ATTRIBUTES) {
            child = MakeErrorEntry(L"ファイルがありません。");
        } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            child = MakePlaceholder(L"ディレクトリ");
        } else {
            child = ImportDiskFile(context, path.c_str());
        }
        child->m_name = path;
        AppendChild(children, context, std::move(child));
    }
    // The rest of the list cannot be read without reading past the data.
    if (list.damaged && !stopped) {
        if (AtEntryBound(context)) {
            LeaveOut(context, 1);
        } else {
            AppendChild(children, context, MakeErrorEntry(L"ファイル名を取得できません。"));
        }
    }
    DescendPlaceholders(children, context,
                        [context](CCBData& placeholder) { return EnterDirectory(context, placeholder.m_name); });
}

bool CCBData::ExpandDropFiles(CCBDataCreateContext* context, DropFilesMode mode)
{
    std::vector<BYTE> data;
    if (!ReadData(data)) return false;
    if (mode == DropFiles_Walk) {
        m_children = std::make_shared<CCBDataArray>();
        WalkDropFiles(*m_children, context, data);
        return true;
    }
    // A file-name map is a bare list of names, in the order of the dropped files.
    const bool wide = mode == DropFiles_ListWideNames;
    const NameList list = ReadNameList(data.data(), data.size(), 0, wide);
    std::vector<std::wstring> names;
    for (const ByteRange& range : list.names) names.push_back(NameText(data, range, wide));
    if (list.damaged) names.push_back(L"(取得できません)");
    for (size_t i = 0; i < names.size(); ++i) m_properties.push_back((i == 0 ? L"ファイル一覧\t" : L"\t") + names[i]);
    return true;
}
