// Fuzz target: the parent and every item of a Shell IDList Array lie inside the input and
// end with the zero terminator that their size fields lead to.
#include "capture/bytes/Cida.h"

#include <cstdlib>

namespace {

void CheckIdList(const uint8_t* data, size_t size, const ByteRange& list)
{
    if (!IsInside(list, size) || list.length < 2) std::abort();
    size_t pos = list.offset;
    const size_t end = list.offset + list.length;
    while (ReadU16(data, pos) != 0) {
        pos += ReadU16(data, pos);
        if (pos + 2 > end) std::abort();
    }
    if (pos + 2 != end) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const CidaLayout layout = ReadCida(data, size);
    if (layout.parent) CheckIdList(data, size, *layout.parent);
    if (layout.items.size() > layout.claimedItems) std::abort();
    uint32_t previous = 0;
    for (size_t i = 0; i < layout.items.size(); ++i) {
        const auto& item = layout.items[i];
        if (item.index >= layout.claimedItems || (i > 0 && item.index <= previous)) std::abort();
        if (4 + 4 * (static_cast<size_t>(item.index) + 2) > size) std::abort();  // its offset was inside
        CheckIdList(data, size, item.idList);
        previous = item.index;
    }
    if (layout.items.size() < layout.claimedItems && !layout.damaged) std::abort();
    return 0;
}
