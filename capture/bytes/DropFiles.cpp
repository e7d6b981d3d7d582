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
