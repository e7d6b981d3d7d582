#include "app/FindReport.h"

#include "app/SnapshotReport.h"

namespace {

std::string JsonString(const std::wstring& text)
{
    const std::string utf8 = ToUtf8(text);
    std::string out = "\"";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static const char digits[] = "0123456789abcdef";
            out += "\\u00";
            out += digits[u >> 4];
            out += digits[u & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::string BuildFindTextReport(const std::vector<SnapshotFindHit>& hits)
{
    std::string out;
    for (const SnapshotFindHit& hit : hits)
        out += ToUtf8(FindHitEntryText(hit)) + "\t" + std::to_string(hit.offset) + "\n";
    return out;
}

std::string BuildFindJsonReport(const std::vector<SnapshotFindHit>& hits)
{
    std::string out = "{\"hits\": [";
    for (size_t k = 0; k < hits.size(); ++k) {
        if (k) out += ", ";
        out += "{\"entry\": " + JsonString(FindHitEntryText(hits[k])) +
               ", \"offset\": " + std::to_string(hits[k].offset) + ", \"encoding\": " + JsonString(hits[k].encoding) +
               "}";
    }
    return out + "]}\n";
}
