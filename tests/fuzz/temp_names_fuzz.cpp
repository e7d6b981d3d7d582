// Fuzz target: the data-file name must always be 28 characters for valid time fields,
// whatever the random number.
#include "capture/bytes/TempNames.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4) return 0;
    uint32_t random;
    std::memcpy(&random, data, 4);
    const std::wstring name =
        MakeTempFileName({2000 + data[0] % 100, 1 + data[1] % 12, 1 + data[2] % 28, 0, 0, 0}, random);
    if (name.size() != 28) std::abort();
    const std::wstring joined = JoinPath(std::wstring(data + 4, data + size), name);
    if (joined.size() < name.size() + 1) std::abort();
    return 0;
}
