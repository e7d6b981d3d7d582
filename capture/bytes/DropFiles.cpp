#include "capture/bytes/DropFiles.h"

NameList ReadNameList(const uint8_t* data, size_t size, size_t offset, bool wide, size_t maxNames)
{
    NameList list;
    list.wide = wide;
    if (!data || offset > size) {
        list.damaged = true;
        return list;
    }
    const size_t unit = wide ? 2 : 1;
    size_t start = offset;
    size_t pos = offset;
    // Every step reads one whole character that lies inside the data.
    while (size - pos >= unit) {
        const bool nul = wide ? (data[pos] == 0 && data[pos + 1] == 0) : data[pos] == 0;
        if (nul) {
            if (pos == start) return list;  // the empty name ends the list
            if (list.names.size() < maxNames) list.names.push_back({start, pos - start});
            ++list.count;
            start = pos + unit;
        }
        pos += unit;
    }
    // Bytes left over belong to a name that has no terminator inside the data.
    if (start < size) list.damaged = true;
    return list;
}

NameList ReadDropFiles(const uint8_t* data, size_t size, size_t maxNames)
{
    if (!data || size < kDropFilesHeaderSize) {
        NameList list;
        list.damaged = true;
        return list;
    }
    const uint32_t namesOffset = ReadU32(data, 0);
    const bool wide = ReadU32(data, 16) != 0;
    return ReadNameList(data, size, namesOffset, wide, maxNames);
}

namespace {

bool IsSeparator(char16_t c)
{
    return c == u'\\' || c == u'/';
}

}  // namespace

bool IsFullyQualifiedPath(std::u16string_view name)
{
    if (name.size() >= 3 && ((name[0] >= u'A' && name[0] <= u'Z') || (name[0] >= u'a' && name[0] <= u'z')) &&
        name[1] == u':' && IsSeparator(name[2]))
        return true;
    if (name.size() < 2 || !IsSeparator(name[0]) || !IsSeparator(name[1])) return false;
    // "\\?\" and what follows it is taken as it stands; "\\.\" names devices.
    if (name.size() > 4 && name[2] == u'?' && IsSeparator(name[3])) return true;
    const size_t serverEnd = [&] {
        size_t i = 2;
        while (i < name.size() && !IsSeparator(name[i])) ++i;
        return i;
    }();
    const std::u16string_view server = name.substr(2, serverEnd - 2);
    if (server.empty() || server == u"." || server == u"?" || serverEnd >= name.size()) return false;
    // The share's name follows the server's separator.
    return serverEnd + 1 < name.size() && !IsSeparator(name[serverEnd + 1]);
}
