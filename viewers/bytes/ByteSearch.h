// Finding byte patterns in a source of any size (up to 2^64 - 1 bytes) that is read in
// steps through a reader, never held whole: the hex page's find, the snapshot-wide find
// and the console's --find all go through here. Each step reads 1 MiB behind the last
// (longest pattern - 1) bytes of the step before, so a match across a step's border is
// found once. Matching is linear in the bytes read whatever the pattern (a prefix
// automaton, with memchr to skip to the first byte's next occurrence).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Fills `destination` with up to `count` bytes from `offset` and returns how many it
// delivered; fewer means the source ends there (the hex control's reader has this shape).
using ByteReadProc = uint32_t (*)(uint64_t offset, uint32_t count, void* destination, void* context1,
                                  uintptr_t context2);

struct ByteSource {
    ByteReadProc read = nullptr;
    void* context1 = nullptr;
    uintptr_t context2 = 0;
    uint64_t size = 0;
};

struct SearchPattern {
    std::vector<uint8_t> bytes;
    bool ignoreAsciiCase = false;  // A-Z and a-z match each other; no other byte is folded
    std::wstring encoding;         // what a hit through this pattern reports ("UTF-8", "HEX", ...)
};

constexpr uint32_t kSearchStep = 0x100000;
// Longer patterns are refused: the carried bytes stay small beside the step.
constexpr size_t kMaxSearchPatternLength = 0x10000;

struct SearchHit {
    uint64_t offset = 0;
    size_t pattern = 0;  // index into the patterns searched
};

enum class SearchEnd { Found, NotFound, Stopped };

struct SearchResult {
    SearchEnd end = SearchEnd::NotFound;
    SearchHit hit;
    bool sourceShort = false;  // the reader delivered fewer bytes than the size claims
};

// Called after every step with the bytes examined so far and the bytes to examine in all;
// returning false stops the search.
using SearchProgress = std::function<bool(uint64_t done, uint64_t total)>;

struct SearchRequest {
    uint64_t from = 0;      // forward: matches starting at or after it; backward: before it
    bool backward = false;  // backward finds the match starting last before `from`
    uint32_t step = kSearchStep;
};

// The nearest match of any of `patterns` (at one offset the first pattern listed wins).
// Empty patterns and patterns over the length limit never match.
SearchResult FindInSource(const ByteSource& source, const std::vector<SearchPattern>& patterns,
                          const SearchRequest& request, const SearchProgress& progress = {});

// Every offset where one of `patterns` starts, in ascending order, each offset once (with
// the first pattern listed that matches there); overlapping matches are all reported.
// `onHit` returning false stops the search (the result is then Stopped).
SearchEnd FindAllInSource(const ByteSource& source, const std::vector<SearchPattern>& patterns,
                          const std::function<bool(const SearchHit&)>& onHit, const SearchProgress& progress = {},
                          uint32_t step = kSearchStep, bool* sourceShort = nullptr);

// Hex digits, optionally separated by white space ("4d 5a 90", "4d5a90"). On a fault
// `error` says what is wrong (an odd digit count, the first character that is not a hex
// digit and where it is) and the bytes are empty.
std::vector<uint8_t> ParseHexPattern(std::wstring_view text, std::wstring& error);

// UTF-8 and UTF-16LE bytes of a text; an unpaired surrogate becomes U+FFFD in UTF-8.
std::vector<uint8_t> Utf8PatternBytes(std::wstring_view text);
std::vector<uint8_t> Utf16LePatternBytes(std::wstring_view text);

// The message for a pattern of `length` bytes that cannot be searched in `dataSize` bytes
// (empty, over the limit, longer than the data); empty when it can.
std::wstring CheckPatternLength(size_t length, uint64_t dataSize);

// An offset as the user types it: "0x1f" or plain digits in hex, "#31" in decimal, plain
// digits in decimal when `decimal` is set; white space around it is ignored. False for
// anything else and for values beyond 64 bits.
bool ParseOffsetText(std::wstring_view text, bool decimal, uint64_t& value);
