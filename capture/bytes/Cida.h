// The item ID lists of a Shell IDList Array (CIDA): a 32-bit item count, then count + 1
// 32-bit offsets from the start of the block; offset 0 locates the parent folder's
// absolute ID list, the others the items' ID lists relative to it. An ID list is a run
// of items, each starting with its 16-bit size (the size field included), ended by a
// 16-bit zero. No <windows.h>: built natively too.
#pragma once

#include "capture/bytes/ByteRange.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct CidaLayout {
    uint32_t claimedItems = 0;  // cidl as stored; 0 when the data cannot hold it
    // The parent's ID list with its terminator, when it lies wholly inside the data.
    std::optional<ByteRange> parent;
    // The items that lie wholly inside the data (their terminator included), in order,
    // with their position in the array (counted from 0).
    struct Item {
        uint32_t index;
        ByteRange idList;
    };
    std::vector<Item> items;
    // Some item, the parent, or the offsets themselves did not fit inside the data.
    bool damaged = false;
};

// The most items an ID list may have: far deeper than any path. A shell binds such a
// list one level after another, so that a few megabytes of two-byte items would hold it
// for hours.
inline constexpr size_t kMaxIdListLevels = 512;

// The ID list that starts at `offset`, with its terminator, if it ends inside the data
// and has at most kMaxIdListLevels items.
std::optional<ByteRange> ReadIdList(const uint8_t* data, size_t size, size_t offset);

// All the lists of one array are walked within this many times the data's size; items
// past that are left out and the array counts as damaged.
inline constexpr size_t kCidaWalkFactor = 4;

CidaLayout ReadCida(const uint8_t* data, size_t size);
