#include "capture/bytes/SnapshotManifest.h"

#include <nlohmann/json.hpp>

#include <iterator>
#include <limits>
#include <new>
#include <set>

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr const char* kKindNames[] = {
    "CCBData",         "CCBData_FileDescriptor", "CCBData_DIB",          "CCBData_DragImageBits",
    "CCBData_HBITMAP", "CCBData_HENHMF",         "CCBData_HMETAFILEPICT"};
// A palette holds at most 65535 entries of 4 bytes (palNumEntries is 16 bits).
constexpr uint64_t kMaxPaletteBytes = 65535 * 4;
// JSON nesting allowed before the tree is even looked at: two levels per level of
// entries (the entry and its children array) and a few for the members around them.
constexpr int kMaxJsonNesting = 2 * kMaxManifestDepth + 8;

// The deepest nesting of arrays and objects in the text, outside strings; stops counting
// past `limit`. The parser itself is not asked to build arbitrarily deep values.
int JsonNesting(std::string_view text, int limit)
{
    int depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest) deepest = depth;
            if (deepest > limit) return deepest;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

// Stream names as compound files take them: 1 to 31 characters, none of "/\:!", no
// control characters; ASCII only, so that names compare exactly.
bool IsValidStreamName(const std::string& name)
{
    if (name.empty() || name.size() > 31 || name == kManifestStreamName) return false;
    for (const unsigned char c : name)
        if (c < 0x20 || c >= 0x7F || c == '/' || c == '\\' || c == ':' || c == '!') return false;
    return true;
}

// The DOM parser, with the manifest's bounds on strings and other items of arrays applied
// while it parses: a file past them is refused as soon as they are passed, before the rest
// is built (a list of 22 million empty strings costs the DOM about 1.4 GiB).
std::string StringsProblem()
{
    return "マニフェストの文字列（行、ファイル名、形式）が多すぎます（上限 " + std::to_string(kMaxManifestStrings) +
           "）。";
}

class BoundedDomParser {
public:
    using Dom = nlohmann::detail::json_sax_dom_parser<Json>;
    using string_t = Json::string_t;

    explicit BoundedDomParser(Json& root) : m_dom(root, false) {}

    // What was refused; empty when the parse was not stopped by a bound.
    const std::string& Problem() const { return m_problem; }

    bool null() { return Item(false) && m_dom.null(); }
    bool boolean(bool value) { return Item(false) && m_dom.boolean(value); }
    bool number_integer(Json::number_integer_t value) { return Item(false) && m_dom.number_integer(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return Item(false) && m_dom.number_unsigned(value); }
    bool number_float(Json::number_float_t value, const string_t& text)
    {
        return Item(false) && m_dom.number_float(value, text);
    }
    bool string(string_t& value) { return Item(true) && m_dom.string(value); }
    bool binary(Json::binary_t& value) { return Item(false) && m_dom.binary(value); }
    bool start_object(std::size_t size)
    {
        if (!Item(false)) return false;
        m_inArray.push_back(false);
        return m_dom.start_object(size);
    }
    bool key(string_t& name) { return m_dom.key(name); }
    bool end_object()
    {
        m_inArray.pop_back();
        return m_dom.end_object();
    }
    bool start_array(std::size_t size)
    {
        if (!Item(false)) return false;
        m_inArray.push_back(true);
        return m_dom.start_array(size);
    }
    bool end_array()
    {
        m_inArray.pop_back();
        return m_dom.end_array();
    }
    bool parse_error(std::size_t position, const std::string& token, const nlohmann::detail::exception& error)
    {
        return m_dom.parse_error(position, token, error);
    }

private:
    // Counts a value that is an item of an array.
    bool Item(bool isString)
    {
        if (m_inArray.empty() || !m_inArray.back()) return true;
        if (isString ? ++m_strings > kMaxManifestStrings : ++m_otherItems > kMaxManifestOtherItems) {
            m_problem = isString ? StringsProblem()
                                 : "マニフェストの配列の項目（エントリ、列挙）が多すぎます（上限 " +
                                       std::to_string(kMaxManifestOtherItems) + "）。";
            return false;
        }
        return true;
    }

    Dom m_dom;
    std::vector<bool> m_inArray;  // the open arrays and objects, innermost last
    uint64_t m_strings = 0, m_otherItems = 0;
    std::string m_problem;
};

class Reader {
public:
    bool Failed() const { return !m_problem.empty(); }
    const std::string& Problem() const { return m_problem; }

    void Fail(const std::string& problem)
    {
        if (m_problem.empty()) m_problem = problem;
    }
    void FailMember(const std::string& path) { Fail("マニフェストの " + path + " が正しくありません。"); }

    bool String(const Json& object, const char* key, const std::string& path, std::string& out, bool required)
    {
        const auto it = object.find(key);
        if (it == object.end()) {
            if (required) FailMember(path + key);
            return !required;
        }
        if (!it->is_string()) {
            FailMember(path + key);
            return false;
        }
        out = it->get<std::string>();
        return true;
    }

    template <typename T>
    bool Integer(const Json& object, const char* key, const std::string& path, T& out, bool required,
                 int64_t low = std::numeric_limits<T>::min(), uint64_t high = std::numeric_limits<T>::max())
    {
        const auto it = object.find(key);
        if (it == object.end()) {
            if (required) FailMember(path + key);
            return !required;
        }
        if (it->is_number_unsigned()) {
            const uint64_t value = it->get<uint64_t>();
            if (value <= high && (low <= 0 || value >= static_cast<uint64_t>(low))) {
                out = static_cast<T>(value);
                return true;
            }
        } else if (it->is_number_integer()) {
            const int64_t value = it->get<int64_t>();
            if (value >= low && (value < 0 || static_cast<uint64_t>(value) <= high)) {
                out = static_cast<T>(value);
                return true;
            }
        }
        FailMember(path + key);
        return false;
    }

    bool Bool(const Json& object, const char* key, const std::string& path, bool& out)
    {
        const auto it = object.find(key);
        if (it == object.end()) return true;
        if (!it->is_boolean()) {
            FailMember(path + key);
            return false;
        }
        out = it->get<bool>();
        return true;
    }

    // A string or null; absent is null too.
    bool NullableString(const Json& object, const char* key, const std::string& path, std::optional<std::string>& out)
    {
        const auto it = object.find(key);
        if (it == object.end() || it->is_null()) return true;
        std::string value;
        if (!String(object, key, path, value, true)) return false;
        out = std::move(value);
        return true;
    }

    // {"image", "pid", "windowClass"}, each optional and nullable.
    bool Owner(const Json& object, std::optional<ManifestOwner>& out)
    {
        const auto it = object.find("owner");
        if (it == object.end() || it->is_null()) return true;
        if (!it->is_object()) {
            FailMember("owner");
            return false;
        }
        ManifestOwner owner;
        const auto pid = it->find("pid");
        if (pid != it->end() && !pid->is_null()) {
            uint32_t value = 0;
            if (!Integer(*it, "pid", "owner.", value, true)) return false;
            owner.pid = value;
        }
        if (!NullableString(*it, "image", "owner.", owner.image) ||
            !NullableString(*it, "windowClass", "owner.", owner.windowClass))
            return false;
        out = std::move(owner);
        return true;
    }

    bool Strings(const Json& object, const char* key, const std::string& path, std::vector<std::string>& out)
    {
        const auto it = object.find(key);
        if (it == object.end()) return true;
        if (!it->is_array()) {
            FailMember(path + key);
            return false;
        }
        m_stringCount += it->size();
        if (m_stringCount > kMaxManifestStrings) {
            Fail(StringsProblem());
            return false;
        }
        for (size_t i = 0; i < it->size(); ++i) {
            const Json& item = (*it)[i];
            if (!item.is_string()) {
                FailMember(path + key + "[" + std::to_string(i) + "]");
                return false;
            }
            out.push_back(item.get<std::string>());
        }
        return true;
    }

    // {"stream": NAME, "size": N}; the name must be new to the file.
    bool Stream(const Json& object, const char* key, const std::string& path, ManifestStream& out,
                uint64_t maxSize = std::numeric_limits<uint64_t>::max())
    {
        const auto it = object.find(key);
        if (it == object.end()) return true;
        const std::string here = path + key + ".";
        if (!it->is_object()) {
            FailMember(path + key);
            return false;
        }
        if (!String(*it, "stream", here, out.name, true) || !Integer(*it, "size", here, out.size, true, 0, maxSize))
            return false;
        if (!IsValidStreamName(out.name)) {
            FailMember(here + "stream");
            return false;
        }
        if (!m_streamNames.insert(out.name).second) {
            Fail("ストリーム " + out.name + " が二度使われています。");
            return false;
        }
        m_streams.push_back(out);
        return true;
    }

    bool Format(const Json& object, const std::string& path, ManifestFormat& out)
    {
        const auto it = object.find("format");
        if (it == object.end() || !it->is_object()) {
            FailMember(path + "format");
            return false;
        }
        const std::string here = path + "format.";
        if (!Integer(*it, "number", here, out.number, true, 0, 0xFFFF) || !String(*it, "name", here, out.name, false) ||
            !Bool(*it, "targetDevice", here, out.hadTargetDevice) || !Integer(*it, "aspect", here, out.aspect, true) ||
            !Integer(*it, "index", here, out.index, true) || !Integer(*it, "tymed", here, out.tymed, true))
            return false;
        // Only registered formats (0xC000 and up) have a name to remap them by.
        if (!out.name.empty() && (out.number < 0xC000 || out.name.size() > 255 * 3)) {
            FailMember(here + "name");
            return false;
        }
        if (!out.name.empty() && m_formatNames.insert(out.name).second &&
            m_formatNames.size() > kMaxManifestFormatNames) {
            Fail("登録形式名が多すぎます（上限 " + std::to_string(kMaxManifestFormatNames) +
                 " 種類）。形式名の登録はログオフまで取り消せないため、読み込みません。");
            return false;
        }
        return true;
    }

    bool Entries(const Json& array, const std::string& path, int level, std::vector<ManifestEntry>& out)
    {
        if (!array.is_array()) {
            FailMember(path);
            return false;
        }
        if (level > kMaxManifestDepth) {
            Fail("エントリの入れ子が深すぎます。");
            return false;
        }
        out.reserve(array.size());
        for (size_t i = 0; i < array.size(); ++i) {
            out.emplace_back();
            if (!Entry(array[i], path + "[" + std::to_string(i) + "]", level, out.back())) return false;
        }
        return true;
    }

    bool Entry(const Json& object, const std::string& at, int level, ManifestEntry& out)
    {
        if (!object.is_object()) {
            FailMember(at);
            return false;
        }
        ++m_entryCount;
        const std::string path = at + ".";
        std::string kind;
        if (!String(object, "kind", path, kind, true)) return false;
        bool known = false;
        for (size_t k = 0; k < std::size(kKindNames); ++k) {
            if (kind == kKindNames[k]) {
                out.kind = static_cast<ManifestKind>(k);
                known = true;
            }
        }
        if (!known) {
            Fail("エントリの種類 " + kind + " を知りません。");
            return false;
        }
        if (!Format(object, path, out.format) || !Integer(object, "realTymed", path, out.realTymed, false) ||
            !String(object, "type", path, out.type, false) || !String(object, "name", path, out.name, false) ||
            !String(object, "displayName", path, out.displayName, false) ||
            !Integer(object, "treeIcon", path, out.treeIcon, false, 0, 3) || !Strings(object, "rows", path, out.rows) ||
            !Integer(object, "size", path, out.size, true) || !Stream(object, "data", path, out.data) ||
            !Integer(object, "viewTab", path, out.viewTab, false, 0, 3) ||
            !Integer(object, "codePage", path, out.codePage, false))
            return false;
        if (out.data.Present() && out.data.size != out.size) {
            Fail("ストリーム " + out.data.name + " の大きさがエントリの大きさと合いません。");
            return false;
        }
        if (out.kind == ManifestKind::FileDescriptor && !Strings(object, "fileNames", path, out.fileNames))
            return false;
        if (IsGdiKind(out.kind)) {
            const auto gdi = object.find("gdi");
            if (gdi != object.end()) {
                const std::string here = path + "gdi.";
                if (!gdi->is_object()) {
                    FailMember(path + "gdi");
                    return false;
                }
                if (!Integer(*gdi, "width", here, out.width, false) ||
                    !Integer(*gdi, "height", here, out.height, false) ||
                    !Integer(*gdi, "bitsPerPixel", here, out.bitsPerPixel, false))
                    return false;
            }
            if (!Stream(object, "bits", path, out.bits, kMaxGdiBytes)) return false;
        }
        if (out.kind == ManifestKind::Bitmap) {
            if (!Stream(object, "palette", path, out.palette, kMaxPaletteBytes)) return false;
            if (out.palette.Present() && (out.palette.size == 0 || out.palette.size % 4 != 0)) {
                FailMember(path + "palette.size");
                return false;
            }
        }
        if (out.kind == ManifestKind::MetaFilePict) {
            const auto picture = object.find("picture");
            if (picture != object.end()) {
                const std::string here = path + "picture.";
                if (!picture->is_object() || !Integer(*picture, "mapMode", here, out.mapMode, true) ||
                    !Integer(*picture, "xExt", here, out.xExt, true) ||
                    !Integer(*picture, "yExt", here, out.yExt, true)) {
                    FailMember(path + "picture");
                    return false;
                }
                out.hasPicture = true;
            }
            // The metafile lives in the block: there are no bits without one.
            if (out.bits.Present() && !out.hasPicture) {
                FailMember(path + "bits");
                return false;
            }
        }
        const auto children = object.find("children");
        if (children != object.end()) {
            out.hasChildren = true;
            if (!Entries(*children, path + "children", level + 1, out.children)) return false;
        }
        return true;
    }

    // "enumeration": indexes of top-level entries, at most kMaxManifestEnumeration.
    bool Enumeration(const Json& root, size_t entries, std::vector<uint32_t>& out)
    {
        const auto it = root.find("enumeration");
        if (it == root.end()) return true;
        if (!it->is_array() || it->size() > kMaxManifestEnumeration) {
            FailMember("enumeration");
            return false;
        }
        for (size_t i = 0; i < it->size(); ++i) {
            const Json& index = (*it)[i];
            if (!index.is_number_unsigned() || index.get<uint64_t>() >= entries) {
                FailMember("enumeration[" + std::to_string(i) + "]");
                return false;
            }
            out.push_back(static_cast<uint32_t>(index.get<uint64_t>()));
        }
        return true;
    }

    uint64_t m_entryCount = 0;
    uint64_t m_stringCount = 0;
    std::vector<ManifestStream> m_streams;
    std::set<std::string> m_formatNames;

private:
    std::string m_problem;
    std::set<std::string> m_streamNames;
};

ManifestReadResult ReadChecked(std::string_view text)
{
    ManifestReadResult result;
    if (text.size() > kMaxManifestBytes) {
        result.problem = "マニフェストが大きすぎます。";
        return result;
    }
    if (JsonNesting(text, kMaxJsonNesting) > kMaxJsonNesting) {
        result.problem = "マニフェストの入れ子が深すぎます。";
        return result;
    }
    Json root;
    BoundedDomParser parser(root);
    const bool parsed = Json::sax_parse(text.begin(), text.end(), &parser);
    if (!parser.Problem().empty()) {
        result.problem = parser.Problem();
        return result;
    }
    if (!parsed || !root.is_object()) {
        result.problem = "マニフェストが JSON のオブジェクトではありません。";
        return result;
    }
    Reader reader;
    SnapshotManifest& m = result.manifest;
    std::string identity;
    if (!reader.String(root, "document", "", identity, true)) {
        result.problem = reader.Problem();
        return result;
    }
    if (identity != "Kavilo.Document") {
        result.problem = "スナップショットのマニフェストではありません。";
        return result;
    }
    if (!reader.Integer(root, "version", "", m.version, true, 1)) {
        result.problem = reader.Problem();
        return result;
    }
    if (m.version > kSnapshotFormatVersion) {
        result.problem = "形式のバージョン " + std::to_string(m.version) + " には対応していません。";
        return result;
    }
    uint64_t entryCount = 0, streamCount = 0;
    const bool read = reader.String(root, "program", "", m.program, false) &&
                      reader.String(root, "title", "", m.title, false) &&
                      reader.String(root, "taken", "", m.taken, false) &&
                      reader.String(root, "how", "", m.how, false) && reader.Strings(root, "offered", "", m.offered) &&
                      reader.Owner(root, m.owner) && reader.Integer(root, "entryCount", "", entryCount, true) &&
                      reader.Integer(root, "streamCount", "", streamCount, true);
    if (read && root.contains("allowedEffects")) {
        uint32_t allowed = 0;
        if (reader.Integer(root, "allowedEffects", "", allowed, true)) m.allowedEffects = allowed;
    }
    if (read && !reader.Failed()) {
        const auto entries = root.find("entries");
        if (entries == root.end()) {
            reader.FailMember("entries");
        } else {
            reader.Entries(*entries, "entries", 1, m.entries);
        }
    }
    if (!reader.Failed()) reader.Enumeration(root, m.entries.size(), m.enumeration);
    if (!reader.Failed() && reader.m_entryCount != entryCount) reader.Fail("エントリの数がマニフェストと合いません。");
    if (!reader.Failed() && reader.m_streams.size() != streamCount)
        reader.Fail("ストリームの数がマニフェストと合いません。");
    if (reader.Failed()) {
        result.problem = reader.Problem();
        result.manifest = SnapshotManifest();
        return result;
    }
    result.streams = std::move(reader.m_streams);
    result.ok = true;
    return result;
}

OrderedJson StreamJson(const ManifestStream& stream)
{
    return {{"stream", stream.name}, {"size", stream.size}};
}

OrderedJson EntriesJson(const std::vector<ManifestEntry>& entries, uint64_t& entryCount, uint64_t& streamCount)
{
    OrderedJson array = OrderedJson::array();
    for (const ManifestEntry& e : entries) {
        ++entryCount;
        OrderedJson item;
        item["kind"] = ManifestKindName(e.kind);
        OrderedJson format;
        format["number"] = e.format.number;
        if (!e.format.name.empty()) format["name"] = e.format.name;
        format["targetDevice"] = e.format.hadTargetDevice;
        format["aspect"] = e.format.aspect;
        format["index"] = e.format.index;
        format["tymed"] = e.format.tymed;
        item["format"] = format;
        item["realTymed"] = e.realTymed;
        item["type"] = e.type;
        item["name"] = e.name;
        item["displayName"] = e.displayName;
        item["treeIcon"] = e.treeIcon;
        item["rows"] = e.rows;
        item["size"] = e.size;
        if (e.data.Present()) item["data"] = StreamJson(e.data), ++streamCount;
        item["viewTab"] = e.viewTab;
        item["codePage"] = e.codePage;
        if (e.kind == ManifestKind::FileDescriptor) item["fileNames"] = e.fileNames;
        if (IsGdiKind(e.kind)) {
            item["gdi"] = {{"width", e.width}, {"height", e.height}, {"bitsPerPixel", e.bitsPerPixel}};
            if (e.bits.Present()) item["bits"] = StreamJson(e.bits), ++streamCount;
        }
        if (e.kind == ManifestKind::Bitmap && e.palette.Present())
            item["palette"] = StreamJson(e.palette), ++streamCount;
        if (e.kind == ManifestKind::MetaFilePict && e.hasPicture)
            item["picture"] = {{"mapMode", e.mapMode}, {"xExt", e.xExt}, {"yExt", e.yExt}};
        if (e.hasChildren) item["children"] = EntriesJson(e.children, entryCount, streamCount);
        array.push_back(std::move(item));
    }
    return array;
}

}  // namespace

const char* ManifestKindName(ManifestKind kind)
{
    return kKindNames[static_cast<size_t>(kind)];
}

bool IsGdiKind(ManifestKind kind)
{
    return kind == ManifestKind::Bitmap || kind == ManifestKind::EnhMetaFile || kind == ManifestKind::MetaFilePict;
}

ManifestReadResult ReadSnapshotManifest(std::string_view text)
{
    // The parser's exceptions (and running out of memory on a huge manifest) end here.
    try {
        return ReadChecked(text);
    } catch (const nlohmann::json::exception&) {
    } catch (const std::bad_alloc&) {
    }
    ManifestReadResult failed;
    failed.problem = "マニフェストを読めません。";
    return failed;
}

std::string WriteSnapshotManifest(const SnapshotManifest& manifest)
{
    uint64_t entryCount = 0, streamCount = 0;
    OrderedJson entries = EntriesJson(manifest.entries, entryCount, streamCount);
    OrderedJson root;
    root["document"] = "Kavilo.Document";
    root["version"] = manifest.version;
    root["program"] = manifest.program;
    root["title"] = manifest.title;
    root["taken"] = manifest.taken;
    root["how"] = manifest.how;
    root["offered"] = manifest.offered;
    if (manifest.owner) {
        const auto nullable = [](const auto& value) { return value ? OrderedJson(*value) : OrderedJson(nullptr); };
        root["owner"] = {{"image", nullable(manifest.owner->image)},
                         {"pid", nullable(manifest.owner->pid)},
                         {"windowClass", nullable(manifest.owner->windowClass)}};
    }
    if (manifest.allowedEffects) root["allowedEffects"] = *manifest.allowedEffects;
    if (!manifest.enumeration.empty()) root["enumeration"] = manifest.enumeration;
    root["entryCount"] = entryCount;
    root["streamCount"] = streamCount;
    root["entries"] = std::move(entries);
    // Text that is not valid UTF-8 is written with U+FFFD rather than refused.
    return root.dump(1, '\t', false, OrderedJson::error_handler_t::replace);
}
