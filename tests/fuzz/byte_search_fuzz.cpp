// Fuzz target: the stepped search agrees with a naive search over the whole buffer, for
// every step size (so matches cross step borders), one or two patterns, with and without
// case folding, forward, backward and listing every hit; a source cut short ends the search.
#include "viewers/bytes/ByteSearch.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Data {
    const uint8_t* bytes;
    size_t size;
    size_t available;
};

uint32_t Read(uint64_t offset, uint32_t count, void* destination, void* context, uintptr_t)
{
    const auto* data = static_cast<const Data*>(context);
    if (offset >= data->available) return 0;
    const auto n = static_cast<uint32_t>(std::min<uint64_t>(count, data->available - offset));
    std::memcpy(destination, data->bytes + offset, n);
    return n;
}

uint8_t Fold(uint8_t c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + 32) : c;
}

bool MatchesAt(const Data& data, const SearchPattern& p, size_t at)
{
    if (p.bytes.empty() || at + p.bytes.size() > data.available) return false;
    for (size_t k = 0; k < p.bytes.size(); ++k) {
        const uint8_t a = data.bytes[at + k], b = p.bytes[k];
        if (p.ignoreAsciiCase ? Fold(a) != Fold(b) : a != b) return false;
    }
    return true;
}

// The first pattern matching at `at`, or -1.
int NaiveAt(const Data& data, const std::vector<SearchPattern>& patterns, size_t at)
{
    for (size_t k = 0; k < patterns.size(); ++k)
        if (MatchesAt(data, patterns[k], at)) return static_cast<int>(k);
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    if (size < 6) return 0;
    const uint32_t step = bytes[0] % 37 + 1;
    const bool fold = bytes[1] & 1, two = bytes[1] & 2, cut = bytes[1] & 4;
    const size_t firstLength = bytes[2] % 9, secondLength = bytes[3] % 5;
    const size_t from = bytes[4];
    bytes += 5;
    size -= 5;
    if (size < firstLength + secondLength) return 0;
    std::vector<SearchPattern> patterns;
    patterns.push_back(SearchPattern{std::vector<uint8_t>(bytes, bytes + firstLength), fold, L"a"});
    if (two)
        patterns.push_back(
            SearchPattern{std::vector<uint8_t>(bytes + firstLength, bytes + firstLength + secondLength), false, L"b"});
    bytes += firstLength + secondLength;
    size -= firstLength + secondLength;

    Data data{bytes, size, cut ? size / 2 : size};
    const ByteSource source{&Read, &data, 0, size};

    // Every hit, ascending, once per offset.
    std::vector<SearchHit> hits;
    FindAllInSource(
        source, patterns,
        [&](const SearchHit& hit) {
            hits.push_back(hit);
            return true;
        },
        {}, step);
    size_t h = 0;
    for (size_t at = 0; at < data.available; ++at) {
        const int k = NaiveAt(data, patterns, at);
        if (k < 0) continue;
        if (h >= hits.size() || hits[h].offset != at || hits[h].pattern != static_cast<size_t>(k)) std::abort();
        ++h;
    }
    if (h != hits.size()) std::abort();

    // The nearest hit forward from `from` and backward before it.
    const SearchResult forward = FindInSource(source, patterns, {from, false, step});
    const SearchResult backward = FindInSource(source, patterns, {from, true, step});
    int expectForward = -1, expectBackward = -1;
    for (size_t at = from; at < data.available && expectForward < 0; ++at)
        if (NaiveAt(data, patterns, at) >= 0) expectForward = static_cast<int>(at);
    for (size_t at = std::min(from, data.available); at-- > 0 && expectBackward < 0;)
        if (NaiveAt(data, patterns, at) >= 0) expectBackward = static_cast<int>(at);
    if ((forward.end == SearchEnd::Found) != (expectForward >= 0)) std::abort();
    if (expectForward >= 0 && (forward.hit.offset != static_cast<uint64_t>(expectForward) ||
                               static_cast<int>(forward.hit.pattern) != NaiveAt(data, patterns, expectForward)))
        std::abort();
    if ((backward.end == SearchEnd::Found) != (expectBackward >= 0)) std::abort();
    if (expectBackward >= 0 && (backward.hit.offset != static_cast<uint64_t>(expectBackward) ||
                                static_cast<int>(backward.hit.pattern) != NaiveAt(data, patterns, expectBackward)))
        std::abort();
    return 0;
}
