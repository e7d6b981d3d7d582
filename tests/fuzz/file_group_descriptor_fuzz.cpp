// Fuzz target: only whole records inside the input are read, and each name stays in its
// record's name field.
#include "capture/bytes/FileGroupDescriptor.h"

#include <cstdlib>

namespace {

void Check(size_t size, bool wide, const FileGroupNames& result)
{
    const size_t record = wide ? kFileDescriptorWSize : kFileDescriptorASize;
    if (result.names.size() > result.claimedItems) std::abort();
    if (result.truncated != (result.names.size() < result.claimedItems || size < 4)) std::abort();
    for (size_t i = 0; i < result.names.size(); ++i) {
        const ByteRange& name = result.names[i];
        if (!IsInside(name, size)) std::abort();
        if (4 + (i + 1) * record > size) std::abort();
        const size_t field = 4 + i * record + kFileDescriptorNameOffset;
        if (name.offset != field || name.length > kFileDescriptorNameUnits * (wide ? 2 : 1)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Check(size, true, ReadFileGroupNames(data, size, true));
    Check(size, false, ReadFileGroupNames(data, size, false));
    return 0;
}
