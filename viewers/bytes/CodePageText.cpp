#include "viewers/bytes/CodePageText.h"

#include <algorithm>
#include <climits>

const char16_t kDefaultCodePages[] = u"ISO-2022-JP=50220;EUC-JP=51932;Windows-1252=1252;";

namespace {

bool IsSpace(char16_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace

std::vector<std::u16string> SplitString(const std::u16string& text, const std::u16string& separator)
{
    std::vector<std::u16string> pieces;
    if (separator.empty()) {
        if (!text.empty()) pieces.push_back(text);
        return pieces;
    }
    size_t start = 0;
    for (size_t found; (found = text.find(separator, start)) != std::u16string::npos; start = found + separator.size())
        pieces.push_back(text.substr(start, found - start));
    if (start < text.size()) pieces.push_back(text.substr(start));
    return pieces;
}

std::u16string TrimSpace(const std::u16string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && IsSpace(text[begin])) ++begin;
    while (end > begin && IsSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

int32_t ParseCodePageNumber(const std::u16string& text)
{
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    // Accumulated as a magnitude that stops growing past the range of a 32-bit long.
    int64_t magnitude = 0;
    constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        magnitude = std::min<int64_t>(magnitude * 10 + (text[i] - u'0'), kLimit + 1);
    if (negative) return magnitude >= kLimit ? INT32_MIN : static_cast<int32_t>(-magnitude);
    return magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
}

std::vector<CodePageItem> CodePageItemsFromStored(const std::u16string& stored)
{
    std::vector<CodePageItem> builtIn = {
        {u"CP_ACP", 0}, {u"CP_OEMCP", 1}, {u"CP_UTF8", 65001}, {u"UTF-16LE", -1}, {u"UTF-16BE", -2},
    };
    std::vector<CodePageItem> pending;
    for (const std::u16string& piece : SplitString(stored, u";")) {
        std::u16string name, value;
        const size_t equals = piece.find(u'=');
        if (!piece.empty() && equals != std::u16string::npos) {
            name = TrimSpace(piece.substr(0, equals));
            value = TrimSpace(piece.substr(equals + 1));
        } else {
            name = value = TrimSpace(piece);
        }
        if (name.empty() || value.empty()) continue;
        const int32_t codePage = ParseCodePageNumber(value);
        const auto same = std::find_if(builtIn.begin(), builtIn.end(),
                                       [codePage](const CodePageItem& item) { return item.codePage == codePage; });
        if (same != builtIn.end()) builtIn.erase(same);
        pending.push_back({std::move(name), codePage});
    }
    builtIn.insert(builtIn.end(), pending.begin(), pending.end());
    return builtIn;
}

std::u16string LinesForEditing(const std::u16string& stored)
{
    std::u16string lines;
    for (const std::u16string& piece : SplitString(stored, u";")) lines += piece + u"\r\n";
    return lines;
}

std::u16string StoredFromLines(const std::u16string& lines)
{
    std::u16string stored;
    for (const std::u16string& line : SplitString(lines, u"\r\n")) {
        const std::u16string trimmed = TrimSpace(line);
        if (!trimmed.empty()) stored += trimmed + u";";
    }
    return stored;
}
