#include "app/SnapshotReport.h"

#include "capture/CBData.h"
#include "capture/EntryDecoder.h"
#include "decoders/DecodedText.h"
#include "capture/RegisteredFormats.h"
#include "framework/Utf8.h"
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
    // Nothing in the folder is ever written over: a taken name gets a number of its own.
    const std::wstring base = SafeFileName(path + L" " + entry.GetDisplayText());
    for (int n = 1; n <= 1000; ++n) {
        const std::wstring name = n == 1 ? base : base + L" (" + std::to_wstring(n) + L")";
        if (::CopyFileW(entry.m_tempFile.c_str(), JoinPath(folder, name).c_str(), TRUE)) return name;
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    return std::wstring();
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
        out += indent + L"- " + EscapeControls(entry.GetDisplayText(), false) + L"\n";
        for (const std::wstring& row : BuildEntryRows(entry))
            out += indent + L"    " + EscapeControls(row, true) + L"\n";
        if (const auto picture = PictureOf(*snapshot[i]))
            out += indent + L"    [画像] " + std::to_wstring(picture->width) + L" x " +
                   std::to_wstring(picture->height) + L", " + std::to_wstring(picture->bpp) + L" bpp\n";
        if (const std::wstring file = SaveEntry(entry, input.saveFolder, path); !file.empty())
            out += indent + L"    => " + EscapeControls(file, false) + L"\n";
        if (input.decode) out += EscapeControls(fw::FromUtf8(TextDecoded(entry, indent + L"    ")), false, true);
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

std::wstring SafeFileName(const std::wstring& name)
{
    std::wstring safe;
    for (wchar_t c : name) {
        const bool bad = c < 0x20 || (c >= 0x7F && c <= 0x9F) || std::wcschr(L"<>:\"/\\|?*", c) != nullptr;
        safe += bad ? L'_' : c;
    }
    if (safe.size() > 120) safe.resize(120);
    while (!safe.empty() && (safe.back() == L'.' || safe.back() == L' ')) safe.pop_back();
    if (safe.empty()) safe = L"_";
    // Device names are refused with any extension and with spaces before it ("NUL .txt").
    std::wstring stem = safe.substr(0, safe.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    std::transform(stem.begin(), stem.end(), stem.begin(), [](wchar_t c) { return std::towupper(c); });
    static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : devices)
        if (stem == device) return L"_" + safe;
    // COM0 to COM9 and LPT0 to LPT9, with the superscript digits one, two and three too.
    if (stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
        ((stem[3] >= L'0' && stem[3] <= L'9') || stem[3] == L'\u00B9' || stem[3] == L'\u00B2' || stem[3] == L'\u00B3'))
        return L"_" + safe;
    return safe;
}

std::wstring EscapeControls(const std::wstring& text, bool keepTab, bool keepNewline)
{
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
        if (!control || (keepTab && c == L'\t') || (keepNewline && c == L'\n')) {
            out += c;
        } else {
            static const wchar_t hex[] = L"0123456789abcdef";
            out += L"\\x";
            out += hex[(c >> 4) & 0xF];
            out += hex[c & 0xF];
        }
    }
    return out;
}

std::string BuildTextReport(const SnapshotReportInput& input)
{
    std::wstring out = EscapeControls(input.title, false) + L"\n提供された形式:\n";
    for (const std::wstring& text : input.offered) out += L"  " + EscapeControls(text, false) + L"\n";
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
