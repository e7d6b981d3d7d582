// Finding bytes in entries: the patterns a find query stands for (hex bytes, or a text in
// the chosen encodings), the reader over an entry's temporary file, and the search of every
// entry of a snapshot, nested ones too. The search itself is the stepped byte search.
#pragma once

#include "viewers/bytes/ByteSearch.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CCBData;
class CCBDataArray;

// What the user asks to find. A text is tried in every encoding chosen; at least one must be.
struct FindQuery {
    std::wstring text;
    bool hex = false;
    bool codePage = true;  // the entry's code page (the ANSI code page when it has none)
    bool utf8 = true;
    bool utf16 = true;
    bool ignoreCase = false;  // ASCII letters only
};

// The patterns of `query`, `codePage` standing for "the entry's code page"; each list holds
// distinct byte strings (an ASCII text is the same in UTF-8 and most code pages: it is
// searched once, as the first encoding listed). Empty with `error` set when the query
// cannot be searched (empty, a bad hex digit, too long, no encoding chosen).
std::vector<SearchPattern> BuildFindPatterns(const FindQuery& query, UINT codePage, std::wstring& error);

// The code page a text of `entry` is searched in: its default, else the ANSI code page.
UINT FindCodePageOf(const CCBData& entry);

// A reader over an open file: `file` is its HANDLE.
uint32_t FileReadProc(uint64_t offset, uint32_t count, void* destination, void* file, uintptr_t);

struct SnapshotFindHit {
    std::vector<const CCBData*> path;  // from the top-level entry to the one hit
    uint64_t offset = 0;
    uint64_t length = 0;  // of the pattern that matched
    std::wstring encoding;
};

// Every hit in every entry with bytes, depth first in the snapshot's order, the hits of an
// entry in ascending order. `codePage` 0 uses each entry's own (FindCodePageOf). `progress`
// gets the bytes searched so far and the bytes of all entries together; returning false
// stops. False when the query is bad (`error` says why) or the search was stopped.
bool FindInSnapshot(const CCBDataArray& snapshot, const FindQuery& query, UINT codePage,
                    const std::function<void(const SnapshotFindHit&)>& onHit, const SearchProgress& progress,
                    std::wstring& error);

// "parent/child" texts of a hit's entries, as the console prints them.
std::wstring FindHitEntryText(const SnapshotFindHit& hit);
