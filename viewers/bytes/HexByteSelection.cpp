#include "viewers/bytes/HexByteSelection.h"

#include <algorithm>

std::pair<HexPos, HexPos> HexPositionsOfBytes(uint64_t dataSize, int bytesPerLine, uint64_t begin, uint64_t end)
{
    if (bytesPerLine <= 0) return {};
    const auto perLine = static_cast<uint64_t>(bytesPerLine);
    const int hexStart = HexOffsetDigits(dataSize) + 2;
    begin = std::min(begin, dataSize);
    end = std::clamp(end, begin, dataSize);
    auto at = [&](uint64_t byte, int extra) {
        return HexPos{byte / perLine, hexStart + 3 * static_cast<int>(byte % perLine) + extra};
    };
    const HexPos start = at(begin, 0);
    if (end == begin) return {start, start};
    return {start, at(end - 1, 2)};
}
