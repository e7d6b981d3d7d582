// Fuzz target: every name of a dropped-file list or a bare name list lies inside the
// input, in order, and never holds a terminator.
#include "capture/bytes/DropFiles.h"

#include <cstdlib>

namespace {

void Check(const uint8_t* data, size_t size, const NameList& list)
{
    size_t previousEnd = 0;
    const size_t unit = list.wide ? 2 : 1;
    for (const ByteRange& name : list.names) {
        if (!IsInside(name, size) || name.length == 0 || name.length % unit != 0) std::abort();
        if (name.offset < previousEnd) std::abort();
        for (size_t i = 0; i < name.length; i += unit) {
            const bool nul =
                list.wide ? data[name.offset + i] == 0 && data[name.offset + i + 1] == 0 : data[name.offset + i] == 0;
            if (nul) std::abort();
        }
        previousEnd = name.offset + name.length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Check(data, size, ReadDropFiles(data, size));
    Check(data, size, ReadNameList(data, size, 0, true));
    Check(data, size, ReadNameList(data, size, 0, false));
    return 0;
}
