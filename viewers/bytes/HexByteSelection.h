// The hex view's selection that covers given bytes: the way from a byte range back to
// displayed positions, so that another page can point at bytes in the hex page. No
// <windows.h>.
#pragma once

#include "viewers/bytes/HexLayout.h"

#include <cstdint>
#include <utility>

// (start, end) positions whose selection covers exactly bytes [begin, end) of the hex
// pairs: start at the first byte's high digit, end after the last byte's low digit. The
// range is clipped to the data; an empty one gives the same position twice, at `begin`.
std::pair<HexPos, HexPos> HexPositionsOfBytes(uint64_t dataSize, int bytesPerLine, uint64_t begin, uint64_t end);
