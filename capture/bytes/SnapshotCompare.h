// The comparison of two snapshots: their trees of entries matched by the entries' texts
// (the k-th entry of a text in A with the k-th of the same text in B, level by level), and
// the bytes of each matched pair compared in 1 MiB steps through a reader, so that memory
// stays bounded whatever the sizes and a stop is noticed between steps. No <windows.h>:
// built natively too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One entry as the comparison sees it.
struct CompareNode {
    std::wstring text;   // as the tree shows it
    std::wstring media;  // the medium delivered, as text; a difference makes the pair changed
    bool hasData = false;
    uint64_t size = 0;             // of the bytes the reader gives
    const void* source = nullptr;  // handed back to the reader
    std::vector<CompareNode> children;
};

// Reads the bytes of a node and tells a stop.
class ICompareReader {
public:
    virtual ~ICompareReader() = default;
    // Fills `buffer` with `size` bytes of `source` from `offset`; false when they cannot be read.
    virtual bool Read(const void* source, uint64_t offset, uint8_t* buffer, size_t size) = 0;
    virtual bool IsStopRequested() = 0;
    // The pair being compared, for a progress window.
    virtual void Comparing(const std::wstring& path) { (void)path; }
};

enum class CompareKind { Same, OnlyA, OnlyB, Changed };

struct CompareItem {
    CompareKind kind = CompareKind::Same;
    std::wstring path;  // the texts from the top level down, joined by "/"
    const CompareNode* a = nullptr;
    const CompareNode* b = nullptr;
    // Changed pairs: the first offset whose bytes differ (the shorter size when one is the
    // other's beginning; none when only the medium differs) and the count of positions
    // that differ, the longer one's surplus included.
    std::optional<uint64_t> firstDifference;
    uint64_t differingBytes = 0;
    bool unreadable = false;  // the bytes of one side could not be read
};

struct CompareResult {
    std::vector<CompareItem> items;  // A's order, each level's entries only in B after A's
    bool stopped = false;
    bool Same() const;  // same formats and bytes everywhere
};

inline constexpr size_t kCompareStep = 1u << 20;

CompareResult CompareSnapshots(const std::vector<CompareNode>& a, const std::vector<CompareNode>& b,
                               ICompareReader& reader);

// The bytes of two sources from offset 0 on: the first difference and the count of
// differing positions over the longer size. Exposed for the hex view's jump.
struct ByteDifference {
    std::optional<uint64_t> first;
    uint64_t count = 0;
    bool unreadable = false;
    bool stopped = false;
};
ByteDifference CompareBytes(const void* a, uint64_t sizeA, const void* b, uint64_t sizeB, ICompareReader& reader);
