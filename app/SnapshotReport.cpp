#include "app/SnapshotReport.h"

#include "capture/CBData.h"
#include "capture/EntryDecoder.h"
#include "decoders/DecodedText.h"
#include "capture/RegisteredFormats.h"
#include "capture/bytes/TempNames.h"
#include "viewers/PropertyRows.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <optional>
#include <cwctype>

namespace {

using Json = nlohmann::ordered_json;

// A file of a file group: a child of FileContents, fetched by its index and named
// after its descriptor.
bool IsFileOfGroup(const CCBData& entry)
{
    return entry.m_fmt.cfFormat == FileContentsFormat() && entry.m_fmt.lindex >= 0 && !entry.m_name.empty();
}

// Copies the entry's bytes to a file in the save folder; the file's name, or empty.
std::wstring SaveEntry(const CCBData& entry, const std::wstring& folder, const std::wstring& path)
{
    if (folder.empty() || !entry.HasData()) return std::wstring();
    // Files of a group keep their own names; a name already taken falls back to the
    // numbered name below, so that no saved file is written over.
    if (IsFileOfGroup(entry)) {
        const std::wstring own = SafeFileName(entry.m_name);
        if (::CopyFileW(entry.m_tempFile.c_str(), JoinPath(folder, own).c_str(), TRUE)) return own;
    }
    const std::wstring name = SafeFileName(path + L" " + entry.GetDisplayText());
    const std::wstring target = JoinPath(folder, name);
    return ::CopyFileW(entry.m_tempFile.c_str(), target.c_str(), FALSE) ? name : std::wstring();
}

std::wstring FromUtf8(const std::string& text)
{
    if (text.empty()) return std::wstring();
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(size, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

struct Picture {
    int width = 0, height = 0, bpp = 0;
};

// What the image page would caption: the entry's picture size and depth, if it has one.
std::optional<Picture> PictureOf(CCBData& entry)
{
    Picture p;
    if (!entry.CreateImage(p.width, p.height, p.bpp)) return std::nullopt;
    return p;
}

std::wstring PathOf(const std::wstring& parent, size_t index)
{
    const std::wstring own = std::to_wstring(index + 1);
    return parent.empty() ? own : parent + L"." + own;
}

// The decoded tree's fields, lazy children made, as JSON.
Json JsonFields(std::vector<DecodedField>& fields)
{
    Json out = Json::array();
    for (DecodedField& field : fields) {
        Json item;
        item["name"] = field.name;
        item["offset"] = field.offset;
        item["size"] = field.size;
        item["value"] = field.value;
        if (!field.meaning.empty()) item["meaning"] = field.meaning;
        if (!field.warnings.empty()) item["warnings"] = field.warnings;
        field.Children();
        if (!field.children.empty()) item["children"] = JsonFields(field.children);
        out.push_back(std::move(item));
    }
    return out;
}

std::string TextDecoded(const CCBData& entry, const std::wstring& indent)
{
    std::unique_ptr<EntryDecoding> decoding = DecodeEntry(entry);
    return decoding ? DecodedTreeText(decoding->tree, ToUtf8(indent)) : std::string();
}

void TextEntries(const CCBDataArray& snapshot, const SnapshotReportInput& input, const std::wstring& parent, int depth,
                 std::wstring& out)
{
    const std::wstring indent(depth * 2, L' ');
    for (size_t i = 0; i < snapshot.size(); ++i) {
        const CCBData& entry = *snapshot[i];
        const std::wstring path = PathOf(parent, i);
        out += indent + L"- " + entry.GetDisplayText() + L"\n";
        for (const std::wstring& row : BuildEntryRows(entry)) out += indent + L"    " + row + L"\n";
        if (const auto picture = PictureOf(*snapshot[i]))
            out += indent + L"    [画像] " + std::to_wstring(picture->width) + L" x " +
                   std::to_wstring(picture->height) + L", " + std::to_wstring(picture->bpp) + L" bpp\n";
        if (const std::wstring file = SaveEntry(entry, input.saveFolder, path); !file.empty())
            out += indent + L"    => " + file + L"\n";
        if (input.decode) out += FromUtf8(TextDecoded(entry, indent + L"    "));
        if (entry.m_children) TextEntries(*entry.m_children, input, path, depth + 1, out);
    }
}

Json JsonEntries(const CCBDataArray& snapshot, const SnapshotReportInput& input, const std::wstring& parent)
{
    Json entries = Json::array();
    for (size_t i = 0; i < snapshot.size(); ++i) {
        const CCBData& entry = *snapshot[i];
        const std::wstring path = PathOf(parent, i);
        Json item;
        item["text"] = ToUtf8(entry.GetDisplayText());
        Json rows = Json::array();
        for (const std::wstring& row : BuildEntryRows(entry)) rows.push_back(ToUtf8(row));
        item["rows"] = rows;
        item["children"] = entry.m_children ? JsonEntries(*entry.m_children, input, path) : Json::array();
        if (const auto picture = PictureOf(*snapshot[i]))
            item["image"] = {{"width", picture->width}, {"height", picture->height}, {"bpp", picture->bpp}};
        if (const std::wstring file = SaveEntry(entry, input.saveFolder, path); !file.empty())
            item["file"] = ToUtf8(file);
        if (std::unique_ptr<EntryDecoding> decoding = DecodeEntry(entry)) {
            Json decoded;
            decoded["decoder"] = decoding->tree.decoder;
            decoded["fields"] = JsonFields(decoding->tree.fields);
            decoded["warnings"] = decoding->tree.warnings;
            item["decoded"] = std::move(decoded);
        }
        entries.push_back(item);
    }
    return entries;
}

}  // namespace

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    // Unpaired surrogates become U+FFFD, so the result is always valid UTF-8.
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring SafeFileName(const std::wstring& name)
{
    std::wstring safe;
    for (wchar_t c : name) {
        const bool bad = c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c) != nullptr;
        safe += bad ? L'_' : c;
    }
    if (safe.size() > 120) safe.resize(120);
    while (!safe.empty() && (safe.back() == L'.' || safe.back() == L' ')) safe.pop_back();
    if (safe.empty()) safe = L"_";
    // Device names are refused with any extension ("NUL.txt").
    std::wstring stem = safe.substr(0, safe.find(L'.'));
    std::transform(stem.begin(), stem.end(), stem.begin(), [](wchar_t c) { return std::towupper(c); });
    static const wchar_t* const devices[] = {L"CON",  L"PRN",  L"AUX",  L"NUL",  L"COM1", L"COM2", L"COM3", L"COM4",
                                             L"COM5", L"COM6", L"COM7", L"COM8", L"COM9", L"LPT1", L"LPT2", L"LPT3",
                                             L"LPT4", L"LPT5", L"LPT6", L"LPT7", L"LPT8", L"LPT9"};
    for (const wchar_t* device : devices)
        if (stem == device) return L"_" + safe;
    return safe;
}

std::string BuildTextReport(const SnapshotReportInput& input)
{
    std::wstring out = input.title + L"\n提供された形式:\n";
    for (const std::wstring& text : input.offered) out += L"  " + text + L"\n";
    out += L"エントリ:\n";
    if (input.snapshot) TextEntries(*input.snapshot, input, L"", 0, out);
    return ToUtf8(out);
}

std::string BuildJsonReport(const SnapshotReportInput& input)
{
    Json report;
    report["title"] = ToUtf8(input.title);
    Json offered = Json::array();
    for (const std::wstring& text : input.offered) offered.push_back(ToUtf8(text));
    report["offered"] = offered;
    report["owner"] = nullptr;
    if (const auto& owner = input.owner) {
        const auto text = [](const std::optional<std::wstring>& value) {
            return value ? Json(ToUtf8(*value)) : Json(nullptr);
        };
        report["owner"] = {{"image", text(owner->image)},
                           {"pid", owner->pid ? Json(*owner->pid) : Json(nullptr)},
                           {"windowClass", text(owner->windowClass)}};
    }
    if (!input.taken.empty()) report["taken"] = ToUtf8(input.taken);
    report["entries"] = input.snapshot ? JsonEntries(*input.snapshot, input, L"") : Json::array();
    return report.dump(input.oneLine ? -1 : 2, ' ', false, Json::error_handler_t::replace) + "\n";
}
