#include "viewers/bytes/ByteSearch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A source over a byte vector; `context2` is the number of bytes it really has (a cut-short file).
uint32_t VectorRead(uint64_t offset, uint32_t count, void* destination, void* bytes, uintptr_t available)
{
    const auto& data = *static_cast<const std::vector<uint8_t>*>(bytes);
    const uint64_t end = std::min<uint64_t>(available, data.size());
    if (offset >= end) return 0;
    const auto n = static_cast<uint32_t>(std::min<uint64_t>(count, end - offset));
    std::memcpy(destination, data.data() + offset, n);
    return n;
}

ByteSource Over(const std::vector<uint8_t>& data, uint64_t available = UINT64_MAX)
{
    return ByteSource{&VectorRead, const_cast<std::vector<uint8_t>*>(&data), static_cast<uintptr_t>(available),
                      data.size()};
}

// A generated source of any size: zeros, with "MZ\x90" at the offset in context2.
uint32_t GeneratedRead(uint64_t offset, uint32_t count, void* destination, void*, uintptr_t at)
{
    auto* out = static_cast<uint8_t*>(destination);
    std::memset(out, 0, count);
    const uint8_t mark[] = {'M', 'Z', 0x90};
    for (uint64_t k = 0; k < 3; ++k) {
        const uint64_t where = static_cast<uint64_t>(at) + k;
        if (where >= offset && where - offset < count) out[where - offset] = mark[k];
    }
    return count;
}

SearchPattern Bytes(std::string_view text, bool ignoreCase = false)
{
    return SearchPattern{std::vector<uint8_t>(text.begin(), text.end()), ignoreCase, L"UTF-8"};
}

std::vector<uint64_t> AllOffsets(const ByteSource& source, const std::vector<SearchPattern>& patterns,
                                 uint32_t step = kSearchStep)
{
    std::vector<uint64_t> offsets;
    FindAllInSource(
        source, patterns,
        [&](const SearchHit& hit) {
            offsets.push_back(hit.offset);
            return true;
        },
        {}, step);
    return offsets;
}

}  // namespace

TEST(ByteSearch, FindsAtTheFirstAndLastBytesAndAcrossAStepBorder)
{
    std::vector<uint8_t> data(3 * kSearchStep, 'x');
    std::memcpy(data.data(), "abc", 3);
    std::memcpy(data.data() + kSearchStep - 2, "abc", 3);  // straddles the first border
    data.back() = 'q';
    const ByteSource source = Over(data);

    SearchResult r = FindInSource(source, {Bytes("abc")}, {});
    ASSERT_EQ(r.end, SearchEnd::Found);
    EXPECT_EQ(r.hit.offset, 0u);
    r = FindInSource(source, {Bytes("abc")}, {1});
    ASSERT_EQ(r.end, SearchEnd::Found);
    EXPECT_EQ(r.hit.offset, kSearchStep - 2);
    r = FindInSource(source, {Bytes("xq")}, {});
    ASSERT_EQ(r.end, SearchEnd::Found);
    EXPECT_EQ(r.hit.offset, data.size() - 2);
    r = FindInSource(source, {Bytes("q")}, {});
    EXPECT_EQ(r.hit.offset, data.size() - 1);
    EXPECT_EQ(FindInSource(source, {Bytes("abd")}, {}).end, SearchEnd::NotFound);
    EXPECT_EQ(AllOffsets(source, {Bytes("abc")}), (std::vector<uint64_t>{0, kSearchStep - 2}));
}

TEST(ByteSearch, BackwardAndRepeatedFindsStepThroughEveryMatch)
{
    std::vector<uint8_t> data(2 * kSearchStep + 100, 0);
    const uint64_t at[] = {5, kSearchStep - 1, kSearchStep + 7, 2 * kSearchStep + 95};
    for (uint64_t a : at) std::memcpy(data.data() + a, "\x4d\x5a\x90", 3);
    const ByteSource source = Over(data);
    const std::vector<SearchPattern> mz = {Bytes("\x4d\x5a\x90")};

    // F3 from each hit + 1 reaches the next; Shift+F3 from each hit reaches the one before.
    std::vector<uint64_t> forward, backward;
    for (SearchResult r = FindInSource(source, mz, {0}); r.end == SearchEnd::Found;
         r = FindInSource(source, mz, {r.hit.offset + 1}))
        forward.push_back(r.hit.offset);
    for (SearchResult r = FindInSource(source, mz, {data.size(), true}); r.end == SearchEnd::Found;
         r = FindInSource(source, mz, {r.hit.offset, true}))
        backward.insert(backward.begin(), r.hit.offset);
    const std::vector<uint64_t> expected(std::begin(at), std::end(at));
    EXPECT_EQ(forward, expected);
    EXPECT_EQ(backward, expected);
    // A backward match may reach past its starting point; a match ending beyond it is found.
    EXPECT_EQ(FindInSource(source, mz, {kSearchStep, true}).hit.offset, kSearchStep - 1);

    // Overlapping matches are each reported; small steps carry the pattern's tail.
    const std::vector<uint8_t> run(10, 'a');
    EXPECT_EQ(AllOffsets(Over(run), {Bytes("aaa")}, 2), (std::vector<uint64_t>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(ByteSearch, WorksBeyondFourGibibytesUpToTheLargestSize)
{
    const uint64_t fiveGiB = 5ull << 30;
    ByteSource source{&GeneratedRead, nullptr, static_cast<uintptr_t>(fiveGiB + 3), 6ull << 30};
    const std::vector<SearchPattern> mz = {SearchPattern{{'M', 'Z', 0x90}, false, L"HEX"}};
    SearchResult r = FindInSource(source, mz, {fiveGiB - 3 * kSearchStep});
    ASSERT_EQ(r.end, SearchEnd::Found);
    EXPECT_EQ(r.hit.offset, fiveGiB + 3);
    r = FindInSource(source, mz, {fiveGiB + 3 * kSearchStep, true});
    EXPECT_EQ(r.hit.offset, fiveGiB + 3);

    // The last three bytes of a source of 2^64 - 1 bytes.
    const uint64_t last = UINT64_MAX - 3;
    source = ByteSource{&GeneratedRead, nullptr, static_cast<uintptr_t>(last), UINT64_MAX};
    r = FindInSource(source, mz, {last - 2 * kSearchStep});
    ASSERT_EQ(r.end, SearchEnd::Found);
    EXPECT_EQ(r.hit.offset, last);
    r = FindInSource(source, mz, {UINT64_MAX, true});
    EXPECT_EQ(r.hit.offset, last);
}

TEST(ByteSearch, StopsWhenAskedAndEndsWhereAShortSourceEnds)
{
    ByteSource huge{&GeneratedRead, nullptr, 0, 64ull << 30};
    int steps = 0;
    const SearchResult stopped = FindInSource(huge, {Bytes("absent")}, {}, [&](uint64_t done, uint64_t total) {
        EXPECT_EQ(total, 64ull << 30);
        EXPECT_LE(done, total);
        return ++steps < 3;
    });
    EXPECT_EQ(stopped.end, SearchEnd::Stopped);
    EXPECT_EQ(steps, 3);

    std::vector<uint8_t> data(4 * kSearchStep, 'z');
    std::memcpy(data.data() + 3 * kSearchStep, "hit", 3);
    const SearchResult cut = FindInSource(Over(data, kSearchStep + 10), {Bytes("hit")}, {});
    EXPECT_EQ(cut.end, SearchEnd::NotFound);
    EXPECT_TRUE(cut.sourceShort);
    EXPECT_EQ(FindInSource(Over(data, kSearchStep + 10), {Bytes("hit")}, {data.size(), true}).end, SearchEnd::NotFound);
}

TEST(ByteSearch, EncodingsAndCaseFoldingPickTheNearestMatchOnce)
{
    const std::wstring text = L"Path\u00e9";
    const std::vector<uint8_t> utf16 = Utf16LePatternBytes(text);
    EXPECT_EQ(utf16, (std::vector<uint8_t>{'P', 0, 'a', 0, 't', 0, 'h', 0, 0xe9, 0}));
    EXPECT_EQ(Utf8PatternBytes(text), (std::vector<uint8_t>{'P', 'a', 't', 'h', 0xc3, 0xa9}));
    EXPECT_EQ(Utf8PatternBytes(L"\U0001F600"), (std::vector<uint8_t>{0xF0, 0x9F, 0x98, 0x80}));
    EXPECT_EQ(Utf16LePatternBytes(L"\U0001F600"), (std::vector<uint8_t>{0x3D, 0xD8, 0x00, 0xDE}));

    std::vector<uint8_t> data = {'x', 'x'};
    data.insert(data.end(), utf16.begin(), utf16.end());
    const std::string upper = "PATHS path";
    data.insert(data.end(), upper.begin(), upper.end());
    const std::vector<SearchPattern> patterns = {SearchPattern{Utf8PatternBytes(L"path"), true, L"UTF-8"},
                                                 SearchPattern{utf16, false, L"UTF-16LE"}};
    const SearchResult first = FindInSource(Over(data), patterns, {});
    EXPECT_EQ(first.hit.offset, 2u);
    EXPECT_EQ(first.hit.pattern, 1u);
    std::vector<SearchHit> hits;
    FindAllInSource(Over(data), patterns, [&](const SearchHit& hit) {
        hits.push_back(hit);
        return true;
    });
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits[1].offset, 12u);  // "PATH" with case ignored
    EXPECT_EQ(hits[2].offset, 18u);
    // The same bytes under two encodings: reported once, under the first.
    const std::vector<SearchPattern> twice = {Bytes("path"), SearchPattern{Utf8PatternBytes(L"path"), false, L"CP932"}};
    hits.clear();
    FindAllInSource(Over(data), twice, [&](const SearchHit& hit) {
        hits.push_back(hit);
        return true;
    });
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].pattern, 0u);
}

TEST(ByteSearch, BadPatternsSayWhatIsWrong)
{
    std::wstring error;
    EXPECT_EQ(ParseHexPattern(L"4d 5a 90", error), (std::vector<uint8_t>{0x4d, 0x5a, 0x90}));
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(ParseHexPattern(L"4D5a\t90\r\n", error), (std::vector<uint8_t>{0x4d, 0x5a, 0x90}));
    EXPECT_TRUE(ParseHexPattern(L"4d 5a 9", error).empty());
    EXPECT_NE(error.find(L"奇数"), std::wstring::npos);
    EXPECT_TRUE(ParseHexPattern(L"4d 5g", error).empty());
    EXPECT_NE(error.find(L"「g」（5文字目）"), std::wstring::npos);
    EXPECT_TRUE(ParseHexPattern(L"  ", error).empty());
    EXPECT_FALSE(error.empty());

    EXPECT_FALSE(CheckPatternLength(0, 100).empty());
    EXPECT_FALSE(CheckPatternLength(kSearchStep, UINT64_MAX).empty());
    EXPECT_NE(CheckPatternLength(5, 4).find(L"データより長い"), std::wstring::npos);
    EXPECT_TRUE(CheckPatternLength(4, 4).empty());
    // What cannot be searched never matches, whoever calls.
    const std::vector<uint8_t> data(10, 0);
    EXPECT_EQ(FindInSource(Over(data), {SearchPattern{}}, {}).end, SearchEnd::NotFound);
}

TEST(ByteSearch, OffsetsInHexOrDecimal)
{
    uint64_t value = 0;
    EXPECT_TRUE(ParseOffsetText(L" 0x1F ", true, value));
    EXPECT_EQ(value, 31u);
    EXPECT_TRUE(ParseOffsetText(L"1f", false, value));
    EXPECT_EQ(value, 31u);
    EXPECT_TRUE(ParseOffsetText(L"#31", false, value));
    EXPECT_EQ(value, 31u);
    EXPECT_TRUE(ParseOffsetText(L"ffffffffffffffff", false, value));
    EXPECT_EQ(value, UINT64_MAX);
    EXPECT_FALSE(ParseOffsetText(L"10000000000000000", false, value));
    EXPECT_FALSE(ParseOffsetText(L"1f", true, value));
    EXPECT_FALSE(ParseOffsetText(L"0x", false, value));
    EXPECT_FALSE(ParseOffsetText(L"#", false, value));
}
