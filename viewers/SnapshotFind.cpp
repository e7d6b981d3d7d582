#include "viewers/SnapshotFind.h"

#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "framework/Format.h"
#include "framework/Handles.h"

#include <algorithm>

namespace {

// The text in `codePage`; empty when a character has no exact form there.
std::vector<uint8_t> CodePageBytes(const std::wstring& text, UINT codePage)
{
    if (codePage == CP_UTF8) return Utf8PatternBytes(text);
    if (codePage == 1200) return Utf16LePatternBytes(text);
    if (codePage == 1201) {
        std::vector<uint8_t> bytes = Utf16LePatternBytes(text);
        for (size_t k = 0; k + 1 < bytes.size(); k += 2) std::swap(bytes[k], bytes[k + 1]);
        return bytes;
    }
    const int length = static_cast<int>(std::min<size_t>(text.size(), kMaxSearchPatternLength + 1));
    BOOL usedDefault = FALSE;
    const int size =
        ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), length, reinterpret_cast<char*>(bytes.data()),
                          size, nullptr, &usedDefault);
    if (usedDefault) return {};
    return bytes;
}

void AddDistinct(std::vector<SearchPattern>& patterns, std::vector<uint8_t> bytes, bool ignoreCase,
                 std::wstring encoding)
{
    if (bytes.empty()) return;
    for (const SearchPattern& p : patterns)
        if (p.bytes == bytes) return;
    patterns.push_back(SearchPattern{std::move(bytes), ignoreCase, std::move(encoding)});
}

uint64_t TotalBytes(const CCBDataArray& snapshot)
{
    uint64_t total = 0;
    for (const auto& entry : snapshot) {
        if (!entry) continue;
        if (!entry->m_tempFile.empty()) total += entry->m_dataSize;
        if (entry->m_children) total += TotalBytes(*entry->m_children);
    }
    return total;
}

struct SnapshotWalk {
    const FindQuery& query;
    UINT codePage;
    const std::function<void(const SnapshotFindHit&)>& onHit;
    const SearchProgress& progress;
    uint64_t done = 0, total = 0;
    std::vector<const CCBData*> path;

    // False once stopped.
    bool Entry(const CCBData& entry)
    {
        if (!entry.m_tempFile.empty() && entry.m_dataSize > 0) {
            std::wstring error;
            const std::vector<SearchPattern> patterns =
                BuildFindPatterns(query, codePage ? codePage : FindCodePageOf(entry), error);
            fw::UniqueFile file(::CreateFileW(entry.m_tempFile.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
            if (file && !patterns.empty()) {
                const ByteSource source{&FileReadProc, file.Get(), 0, entry.m_dataSize};
                const uint64_t before = done;
                const SearchEnd end = FindAllInSource(
                    source, patterns,
                    [&](const SearchHit& hit) {
                        onHit(SnapshotFindHit{path, hit.offset, patterns[hit.pattern].bytes.size(),
                                              patterns[hit.pattern].encoding});
                        return true;
                    },
                    [&](uint64_t examined, uint64_t) { return !progress || progress(before + examined, total); });
                if (end == SearchEnd::Stopped) return false;
            }
            done += entry.m_dataSize;
        }
        return !entry.m_children || Children(*entry.m_children);
    }

    bool Children(const CCBDataArray& entries)
    {
        for (const auto& child : entries) {
            if (!child) continue;
            path.push_back(child.get());
            const bool going = Entry(*child);
            path.pop_back();
            if (!going) return false;
        }
        return true;
    }
};

}  // namespace

std::vector<SearchPattern> BuildFindPatterns(const FindQuery& query, UINT codePage, std::wstring& error)
{
    error.clear();
    std::vector<SearchPattern> patterns;
    if (query.hex) {
        std::vector<uint8_t> bytes = ParseHexPattern(query.text, error);
        if (!error.empty()) return {};
        patterns.push_back(SearchPattern{std::move(bytes), false, L"HEX"});
    } else {
        if (query.text.empty()) {
            error = L"検索する文字列を入力してください。";
            return {};
        }
        if (!query.codePage && !query.utf8 && !query.utf16) {
            error = L"検索する文字コードを選んでください。";
            return {};
        }
        if (query.utf8) AddDistinct(patterns, Utf8PatternBytes(query.text), query.ignoreCase, L"UTF-8");
        if (query.utf16) AddDistinct(patterns, Utf16LePatternBytes(query.text), query.ignoreCase, L"UTF-16LE");
        if (query.codePage)
            AddDistinct(patterns, CodePageBytes(query.text, codePage), query.ignoreCase,
                        fw::Format(L"CP%u", static_cast<unsigned>(codePage)));
        if (patterns.empty()) {
            error = fw::Format(L"この文字列はコードページ %u で表せません。", static_cast<unsigned>(codePage));
            return {};
        }
    }
    for (const SearchPattern& p : patterns) {
        // Only the length limit here: how long the data is, the caller knows.
        error = CheckPatternLength(p.bytes.size(), UINT64_MAX);
        if (!error.empty()) return {};
    }
    return patterns;
}

UINT FindCodePageOf(const CCBData& entry)
{
    const int codePage = entry.GetDefaultCodePage();
    return codePage > 0 ? static_cast<UINT>(codePage) : ::GetACP();
}

uint32_t FileReadProc(uint64_t offset, uint32_t count, void* destination, void* file, uintptr_t)
{
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!file || !::SetFilePointerEx(static_cast<HANDLE>(file), position, nullptr, FILE_BEGIN)) return 0;
    uint32_t delivered = 0;
    while (delivered < count) {
        DWORD read = 0;
        if (!::ReadFile(static_cast<HANDLE>(file), static_cast<uint8_t*>(destination) + delivered, count - delivered,
                        &read, nullptr) ||
            read == 0)
            break;
        delivered += read;
    }
    return delivered;
}

bool FindInSnapshot(const CCBDataArray& snapshot, const FindQuery& query, UINT codePage,
                    const std::function<void(const SnapshotFindHit&)>& onHit, const SearchProgress& progress,
                    std::wstring& error)
{
    // A bad query is reported once, before anything is read.
    BuildFindPatterns(query, codePage ? codePage : ::GetACP(), error);
    if (!error.empty()) return false;
    SnapshotWalk walk{query, codePage, onHit, progress, 0, TotalBytes(snapshot), {}};
    return walk.Children(snapshot);
}

std::wstring FindHitEntryText(const SnapshotFindHit& hit)
{
    std::wstring text;
    for (const CCBData* entry : hit.path) {
        if (!text.empty()) text += L'/';
        text += entry->GetDisplayText();
    }
    return text;
}
