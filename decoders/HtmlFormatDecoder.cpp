// "HTML Format": a header of "Key:Value" lines (Version, StartHTML, EndHTML,
// StartFragment, EndFragment, optionally StartSelection, EndSelection, SourceURL), whose
// offsets count UTF-8 bytes from the start of the block, then the HTML with the fragment
// between "<!--StartFragment-->" and "<!--EndFragment-->".
#include "decoders/DecodeSupport.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr std::string_view kStartMarker = "<!--StartFragment-->";
constexpr std::string_view kEndMarker = "<!--EndFragment-->";

struct HeaderLine {
    std::string key;
    std::string value;
    size_t offset = 0;
    size_t length = 0;  // with the line end
    size_t fieldIndex = 0;
};

std::optional<int64_t> ParseOffset(const std::string& text)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size() || text.size() - i > 18) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

// Where `needle` first occurs in [begin, end), or npos.
size_t FindText(const ByteView& view, size_t begin, size_t end, std::string_view needle)
{
    if (end > view.size || begin > end || end - begin < needle.size()) return std::string::npos;
    const auto* first = view.data + begin;
    const auto* last = view.data + end;
    const auto* found = std::search(first, last, needle.begin(), needle.end(),
                                    [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
    return found == last ? std::string::npos : static_cast<size_t>(found - view.data);
}

// Code points (UTF-8 lead bytes) and UTF-16 units in [0, end): what a program that
// counted characters or UTF-16 units instead of bytes would have written.
void CountUnits(const ByteView& view, size_t end, uint64_t& codePoints, uint64_t& utf16Units)
{
    codePoints = 0;
    utf16Units = 0;
    for (size_t i = 0; i < end && i < view.size; ++i) {
        const uint8_t b = view.data[i];
        if ((b & 0xC0) == 0x80) continue;
        ++codePoints;
        utf16Units += b >= 0xF0 ? 2 : 1;
    }
}

}  // namespace

DecodedTree DecodeHtmlFormat(const DecodeInput& input)
{
    DecodedTree tree;
    tree.decoder = "HTML Format";
    const ByteView view{input.data, input.size};

    // The header: lines of "Key:Value" up to the first line that is not one.
    std::vector<HeaderLine> lines;
    size_t pos = 0;
    while (pos < view.size && lines.size() < 64) {
        size_t end = pos;
        while (end < view.size && view.data[end] != '\r' && view.data[end] != '\n' && view.data[end] != 0) ++end;
        const std::string line(reinterpret_cast<const char*>(view.data + pos), end - pos);
        const size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0 || line[0] == '<') break;
        bool keyChars = true;
        for (size_t k = 0; k < colon; ++k) {
            const char c = line[k];
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) keyChars = false;
        }
        if (!keyChars) break;
        size_t next = end;
        if (next < view.size && view.data[next] == '\r') ++next;
        if (next < view.size && view.data[next] == '\n') ++next;
        lines.push_back({line.substr(0, colon), line.substr(colon + 1), pos, next - pos, 0});
        if (next == end) break;
        pos = next;
    }
    const size_t headerEnd = lines.empty() ? 0 : lines.back().offset + lines.back().length;

    for (HeaderLine& line : lines) {
        line.fieldIndex = tree.fields.size();
        tree.fields.push_back(MakeField(line.key, line.offset, line.length, Shorten(line.value, 200)));
    }
    auto find = [&](std::string_view key) -> HeaderLine* {
        for (HeaderLine& line : lines)
            if (line.key == key) return &line;
        return nullptr;
    };
    auto warn = [&](HeaderLine* line, std::string text) {
        if (line)
            tree.fields[line->fieldIndex].warnings.push_back(std::move(text));
        else
            tree.warnings.push_back(std::move(text));
    };

    if (lines.empty()) {
        tree.warnings.push_back("ヘッダー (Version:…) がありません");
        return tree;
    }
    if (lines[0].key != "Version") warn(&lines[0], "ヘッダーは Version で始まるはずです");
    if (HeaderLine* version = find("Version")) tree.fields[version->fieldIndex].meaning = "形式のバージョン";

    static const char* const kRequired[] = {"StartHTML", "EndHTML", "StartFragment", "EndFragment"};
    static const char* const kKnown[] = {"Version",     "StartHTML",      "EndHTML",      "StartFragment",
                                         "EndFragment", "StartSelection", "EndSelection", "SourceURL"};
    for (const char* key : kRequired)
        if (!find(key)) tree.warnings.push_back(std::string(key) + " がありません");
    for (HeaderLine& line : lines) {
        if (std::find_if(std::begin(kKnown), std::end(kKnown), [&](const char* k) { return line.key == k; }) ==
            std::end(kKnown))
            tree.fields[line.fieldIndex].meaning = "未知のキー";
    }
    // The offsets' keys in the order the format gives them.
    {
        int last = -1;
        for (HeaderLine& line : lines) {
            const auto known =
                std::find_if(std::begin(kKnown), std::end(kKnown), [&](const char* k) { return line.key == k; });
            if (known == std::end(kKnown)) continue;
            const int rank = static_cast<int>(known - std::begin(kKnown));
            if (rank < last) warn(&line, "キーの順序が違います (" + line.key + " が前のキーより後ろにあるはずです)");
            last = std::max(last, rank);
        }
    }

    // Each offset: a number, inside the block, at a UTF-8 byte count.
    std::optional<int64_t> value[4];
    static const char* const kOffsets[] = {"StartHTML", "EndHTML", "StartFragment", "EndFragment"};
    for (int i = 0; i < 4; ++i) {
        HeaderLine* line = find(kOffsets[i]);
        if (!line) continue;
        DecodedField& field = tree.fields[line->fieldIndex];
        value[i] = ParseOffset(line->value);
        if (!value[i]) {
            field.warnings.push_back("数値ではありません");
            continue;
        }
        field.value = DecSigned(*value[i]);
        // StartHTML and EndHTML may be -1 when there is no context.
        if (*value[i] == -1 && i < 2) {
            field.meaning = "なし (-1)";
            value[i].reset();
            continue;
        }
        if (*value[i] < 0 || static_cast<uint64_t>(*value[i]) > view.size) {
            field.warnings.push_back("データの外を指しています (データは " + Dec(view.size) + " バイト)");
            value[i].reset();
            continue;
        }
        field.meaning = "オフセット (UTF-8 のバイト数)";
    }
    for (const char* key : {"StartSelection", "EndSelection"}) {
        if (HeaderLine* line = find(key)) {
            DecodedField& field = tree.fields[line->fieldIndex];
            const auto v = ParseOffset(line->value);
            if (!v)
                field.warnings.push_back("数値ではありません");
            else if (*v != -1 && (*v < 0 || static_cast<uint64_t>(*v) > view.size))
                field.warnings.push_back("データの外を指しています");
            else
                field.meaning = "オフセット (UTF-8 のバイト数)";
        }
    }
    if (HeaderLine* source = find("SourceURL")) tree.fields[source->fieldIndex].meaning = "コピー元の URL";

    // StartHTML ≤ StartFragment ≤ EndFragment ≤ EndHTML, and the HTML after the header.
    const int order[] = {0, 2, 3, 1};
    for (int k = 0; k + 1 < 4; ++k) {
        const int a = order[k], b = order[k + 1];
        if (value[a] && value[b] && *value[a] > *value[b])
            warn(find(kOffsets[b]), std::string(kOffsets[b]) + " が " + kOffsets[a] + " より前にあります");
    }
    if (value[0] && static_cast<size_t>(*value[0]) < headerEnd)
        warn(find("StartHTML"), "ヘッダーの中を指しています (ヘッダーは " + Dec(headerEnd) + " バイト)");

    // The markers where the fragment offsets point; if they are elsewhere, tell where and
    // whether the offset looks like a count of characters or UTF-16 units.
    auto checkMarker = [&](int index, std::string_view marker, bool offsetAfterMarker) {
        if (!value[index]) return;
        HeaderLine* line = find(kOffsets[index]);
        const size_t at = static_cast<size_t>(*value[index]);
        const size_t markerStart = offsetAfterMarker ? at - std::min(at, marker.size()) : at;
        const bool there = (!offsetAfterMarker || at >= marker.size()) && view.Has(markerStart, marker.size()) &&
                           std::memcmp(view.data + markerStart, marker.data(), marker.size()) == 0;
        if (there) return;
        const size_t found = FindText(view, headerEnd, view.size, marker);
        if (found == std::string::npos) {
            warn(line, "ここに " + std::string(marker) + " がありません");
            return;
        }
        const size_t expected = offsetAfterMarker ? found + marker.size() : found;
        uint64_t points = 0, units = 0;
        CountUnits(view, expected, points, units);
        std::string text = std::string(marker) + " はここではなく " + Dec(expected) + " を指すはずです";
        if (points != expected && static_cast<uint64_t>(at) == points)
            text += " (文字数で数えています。オフセットは UTF-8 のバイト数です)";
        else if (units != expected && static_cast<uint64_t>(at) == units)
            text += " (UTF-16 の単位で数えています。オフセットは UTF-8 のバイト数です)";
        warn(line, text);
    };
    checkMarker(2, kStartMarker, true);
    checkMarker(3, kEndMarker, false);

    // EndHTML against the block's length: the HTML ends where the data does, before an
    // optional terminating NUL.
    size_t textEnd = view.size;
    while (textEnd > 0 && view.data[textEnd - 1] == 0) --textEnd;
    if (value[1]) {
        const size_t endHtml = static_cast<size_t>(*value[1]);
        if (endHtml < textEnd)
            warn(find("EndHTML"), "EndHTML の後ろにまだ " + Dec(textEnd - endHtml) + " バイトの HTML があります");
        else if (endHtml > textEnd)
            warn(find("EndHTML"), "EndHTML が HTML の終わり (" + Dec(textEnd) + ") を越えています");
    }

    // The HTML, the fragment and the terminator as fields of their own.
    const size_t htmlStart = value[0] ? static_cast<size_t>(*value[0]) : headerEnd;
    const size_t htmlEnd = value[1] ? std::max(htmlStart, static_cast<size_t>(*value[1])) : textEnd;
    if (htmlEnd >= htmlStart && htmlEnd <= view.size) {
        DecodedField html = MakeField(
            "HTML", htmlStart, htmlEnd - htmlStart,
            Shorten(std::string_view(reinterpret_cast<const char*>(view.data + htmlStart), htmlEnd - htmlStart), 120),
            "StartHTML から EndHTML まで");
        const size_t bad = FindInvalidUtf8(view.data, htmlStart, htmlEnd);
        if (bad != htmlEnd)
            html.warnings.push_back("UTF-8 として正しくないバイトがオフセット " + Dec(bad) + " にあります");
        tree.fields.push_back(std::move(html));
    }
    if (value[2] && value[3] && *value[2] <= *value[3]) {
        const size_t from = static_cast<size_t>(*value[2]), to = static_cast<size_t>(*value[3]);
        tree.fields.push_back(
            MakeField("Fragment", from, to - from,
                      Shorten(std::string_view(reinterpret_cast<const char*>(view.data + from), to - from), 120),
                      "StartFragment から EndFragment まで"));
    }
    if (textEnd < view.size) {
        tree.fields.push_back(
            MakeField("NUL", textEnd, view.size - textEnd, Dec(view.size - textEnd) + " バイト", "終端の NUL"));
    } else {
        tree.warnings.push_back("終端の NUL がありません");
    }
    return tree;
}
