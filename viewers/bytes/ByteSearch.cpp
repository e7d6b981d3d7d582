#include "viewers/bytes/ByteSearch.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kNone = SIZE_MAX;

uint8_t FoldAscii(uint8_t c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + ('a' - 'A')) : c;
}

bool Searchable(const SearchPattern& pattern)
{
    return !pattern.bytes.empty() && pattern.bytes.size() <= kMaxSearchPatternLength;
}

// One pattern's prefix automaton (Knuth-Morris-Pratt): every byte is looked at a bounded
// number of times, so a hostile pattern or hostile data cannot make the search quadratic.
class Matcher {
public:
    explicit Matcher(const SearchPattern& pattern) : m_fold(pattern.ignoreAsciiCase)
    {
        m_bytes = pattern.bytes;
        if (m_fold)
            for (uint8_t& c : m_bytes) c = FoldAscii(c);
        const size_t m = m_bytes.size();
        m_fail.assign(m, 0);
        for (size_t k = 1, j = 0; k < m; ++k) {
            while (j > 0 && m_bytes[k] != m_bytes[j]) j = m_fail[j - 1];
            if (m_bytes[k] == m_bytes[j]) ++j;
            m_fail[k] = j;
        }
        // A first byte with no other case can be skipped to with memchr.
        m_plainFirst = !m_fold || m_bytes[0] < 'a' || m_bytes[0] > 'z';
    }

    size_t Length() const { return m_bytes.size(); }

    // Calls `onMatch(start)` for every match lying wholly in buffer[0, n) that starts in
    // [lo, hi); `onMatch` returns false to end the scan.
    template <typename F>
    void Scan(const uint8_t* buffer, size_t n, size_t lo, size_t hi, F&& onMatch) const
    {
        const size_t m = m_bytes.size();
        if (hi <= lo || n < m || lo > n - m) return;
        const size_t end = std::min(n, hi - 1 + m);
        const uint8_t first = m_bytes[0];
        const uint8_t firstUpper = static_cast<uint8_t>(first - ('a' - 'A'));
        size_t i = lo, j = 0;
        while (i < end) {
            if (j == 0) {
                if (m_plainFirst) {
                    const void* at = std::memchr(buffer + i, first, end - i);
                    if (!at) return;
                    i = static_cast<size_t>(static_cast<const uint8_t*>(at) - buffer);
                } else {
                    while (i < end && buffer[i] != first && buffer[i] != firstUpper) ++i;
                    if (i == end) return;
                }
                j = 1;
                ++i;
            } else {
                const uint8_t c = m_fold ? FoldAscii(buffer[i]) : buffer[i];
                while (j > 0 && c != m_bytes[j]) j = m_fail[j - 1];
                if (c == m_bytes[j]) ++j;
                ++i;
            }
            if (j == m) {
                if (!onMatch(i - m)) return;
                j = m_fail[m - 1];
            }
        }
    }

    size_t First(const uint8_t* buffer, size_t n, size_t lo, size_t hi) const
    {
        size_t found = kNone;
        Scan(buffer, n, lo, hi, [&](size_t start) {
            found = start;
            return false;
        });
        return found;
    }

    size_t Last(const uint8_t* buffer, size_t n, size_t lo, size_t hi) const
    {
        size_t found = kNone;
        Scan(buffer, n, lo, hi, [&](size_t start) {
            found = start;
            return true;
        });
        return found;
    }

private:
    std::vector<uint8_t> m_bytes;
    std::vector<size_t> m_fail;
    bool m_fold;
    bool m_plainFirst = true;
};

struct MatcherSet {
    std::vector<Matcher> matchers;
    std::vector<size_t> index;  // the pattern each matcher stands for
    size_t longest = 0;

    explicit MatcherSet(const std::vector<SearchPattern>& patterns)
    {
        for (size_t k = 0; k < patterns.size(); ++k) {
            if (!Searchable(patterns[k])) continue;
            matchers.emplace_back(patterns[k]);
            index.push_back(k);
            longest = std::max(longest, patterns[k].bytes.size());
        }
    }
};

uint32_t EffectiveStep(uint32_t step)
{
    // Steps stay modest: the buffer is one step plus the carried bytes.
    return step == 0 ? kSearchStep : std::min<uint32_t>(step, 64 * kSearchStep);
}

// Reads [offset, offset + count) into `destination` as far as the source delivers.
size_t ReadInto(const ByteSource& source, uint64_t offset, size_t count, uint8_t* destination)
{
    if (!source.read || count == 0) return 0;
    const uint32_t got =
        source.read(offset, static_cast<uint32_t>(count), destination, source.context1, source.context2);
    return std::min<size_t>(got, count);
}

SearchResult FindForward(const ByteSource& source, const MatcherSet& set, uint64_t from, uint32_t step,
                         const SearchProgress& progress)
{
    SearchResult result;
    if (from >= source.size) return result;
    const size_t carry = set.longest - 1;
    std::vector<uint8_t> buffer(carry + step);
    const uint64_t total = source.size - from;
    uint64_t position = from;  // the offset of buffer[0]
    size_t have = 0;
    for (;;) {
        const uint64_t left = source.size - (position + have);
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size() - have, left));
        const size_t got = ReadInto(source, position + have, want, buffer.data() + have);
        const size_t n = have + got;
        const bool atEnd = got < want || got == left;
        if (got < want) result.sourceShort = true;
        // Matches starting in the carried tail are found by the next step, whole.
        const size_t limit = atEnd ? n : n - carry;
        size_t best = kNone, bestPattern = 0;
        for (size_t k = 0; k < set.matchers.size(); ++k) {
            const size_t at =
                set.matchers[k].First(buffer.data(), n, 0, std::min(limit, best == kNone ? limit : best + 1));
            if (at != kNone && (best == kNone || at < best)) {
                best = at;
                bestPattern = set.index[k];
            }
        }
        if (best != kNone) {
            result.end = SearchEnd::Found;
            result.hit = SearchHit{position + best, bestPattern};
            return result;
        }
        if (atEnd) return result;
        if (progress && !progress(position + n - from, total)) {
            result.end = SearchEnd::Stopped;
            return result;
        }
        std::memmove(buffer.data(), buffer.data() + n - carry, carry);
        position += n - carry;
        have = carry;
    }
}

SearchResult FindBackward(const ByteSource& source, const MatcherSet& set, uint64_t from, uint32_t step,
                          const SearchProgress& progress)
{
    SearchResult result;
    uint64_t below = std::min(from, source.size);  // matches start before it
    if (below == 0) return result;
    const size_t carry = set.longest - 1;
    const uint64_t total = below;
    const uint64_t window = static_cast<uint64_t>(step) + carry;
    std::vector<uint8_t> buffer(static_cast<size_t>(window));
    uint64_t top = below + std::min<uint64_t>(carry, source.size - below);
    for (;;) {
        const uint64_t bottom = top > window ? top - window : 0;
        const size_t want = static_cast<size_t>(top - bottom);
        const size_t n = ReadInto(source, bottom, want, buffer.data());
        if (n < want) result.sourceShort = true;
        const size_t hi = static_cast<size_t>(below - bottom);
        size_t best = kNone, bestPattern = 0;
        for (size_t k = 0; k < set.matchers.size(); ++k) {
            const size_t at = set.matchers[k].Last(buffer.data(), n, best == kNone ? 0 : best, hi);
            if (at != kNone && (best == kNone || at > best)) {
                best = at;
                bestPattern = set.index[k];
            }
        }
        if (best != kNone) {
            result.end = SearchEnd::Found;
            result.hit = SearchHit{bottom + best, bestPattern};
            return result;
        }
        if (bottom == 0) return result;
        if (progress && !progress(total - bottom, total)) {
            result.end = SearchEnd::Stopped;
            return result;
        }
        below = bottom;
        top = bottom + carry;
    }
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0x3000;
}

// The next code point of `text` at `i`, advancing `i`; unpaired surrogates come back as
// themselves (the caller decides what they become).
uint32_t NextCodePoint(std::wstring_view text, size_t& i)
{
    const auto c = static_cast<uint32_t>(text[i++]);
    if (c >= 0xD800 && c <= 0xDBFF && i < text.size()) {
        const auto d = static_cast<uint32_t>(text[i]);
        if (d >= 0xDC00 && d <= 0xDFFF) {
            ++i;
            return 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
        }
    }
    return c;
}

}  // namespace

SearchResult FindInSource(const ByteSource& source, const std::vector<SearchPattern>& patterns,
                          const SearchRequest& request, const SearchProgress& progress)
{
    const MatcherSet set(patterns);
    if (set.matchers.empty()) return {};
    const uint32_t step = EffectiveStep(request.step);
    return request.backward ? FindBackward(source, set, request.from, step, progress)
                            : FindForward(source, set, request.from, step, progress);
}

SearchEnd FindAllInSource(const ByteSource& source, const std::vector<SearchPattern>& patterns,
                          const std::function<bool(const SearchHit&)>& onHit, const SearchProgress& progress,
                          uint32_t step, bool* sourceShort)
{
    if (sourceShort) *sourceShort = false;
    const MatcherSet set(patterns);
    if (set.matchers.empty() || source.size == 0) return SearchEnd::NotFound;
    step = EffectiveStep(step);
    const size_t carry = set.longest - 1;
    std::vector<uint8_t> buffer(carry + step);
    std::vector<SearchHit> hits;
    bool any = false;
    uint64_t position = 0;
    size_t have = 0;
    for (;;) {
        const uint64_t left = source.size - (position + have);
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size() - have, left));
        const size_t got = ReadInto(source, position + have, want, buffer.data() + have);
        const size_t n = have + got;
        const bool atEnd = got < want || got == left;
        if (got < want && sourceShort) *sourceShort = true;
        const size_t limit = atEnd ? n : n - carry;
        hits.clear();
        for (size_t k = 0; k < set.matchers.size(); ++k) {
            set.matchers[k].Scan(buffer.data(), n, 0, limit, [&](size_t start) {
                hits.push_back(SearchHit{position + start, set.index[k]});
                return true;
            });
        }
        std::sort(hits.begin(), hits.end(), [](const SearchHit& a, const SearchHit& b) {
            return a.offset < b.offset || (a.offset == b.offset && a.pattern < b.pattern);
        });
        for (size_t k = 0; k < hits.size(); ++k) {
            if (k > 0 && hits[k].offset == hits[k - 1].offset) continue;
            any = true;
            if (!onHit(hits[k])) return SearchEnd::Stopped;
        }
        if (atEnd) break;
        if (progress && !progress(position + n, source.size)) return SearchEnd::Stopped;
        std::memmove(buffer.data(), buffer.data() + n - carry, carry);
        position += n - carry;
        have = carry;
    }
    return any ? SearchEnd::Found : SearchEnd::NotFound;
}

std::vector<uint8_t> ParseHexPattern(std::wstring_view text, std::wstring& error)
{
    error.clear();
    std::vector<uint8_t> bytes;
    int high = -1;
    size_t digits = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (IsBlank(c)) continue;
        const int value = HexDigit(c);
        if (value < 0) {
            error =
                L"16進数でない文字があります: 「" + std::wstring(1, c) + L"」（" + std::to_wstring(i + 1) + L"文字目）";
            return {};
        }
        ++digits;
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | value));
            high = -1;
        }
    }
    if (digits == 0) {
        error = L"検索するバイト列を入力してください。";
        return {};
    }
    if (high >= 0) {
        error = L"16進数の桁数が奇数です（" + std::to_wstring(digits) + L"桁）。2桁で1バイトです。";
        return {};
    }
    return bytes;
}

std::vector<uint8_t> Utf8PatternBytes(std::wstring_view text)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i < text.size();) {
        uint32_t c = NextCodePoint(text, i);
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
        if (c < 0x80) {
            out.push_back(static_cast<uint8_t>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<uint8_t>(0xC0 | c >> 6));
            out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<uint8_t>(0xE0 | c >> 12));
            out.push_back(static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<uint8_t>(0xF0 | c >> 18));
            out.push_back(static_cast<uint8_t>(0x80 | (c >> 12 & 0x3F)));
            out.push_back(static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::vector<uint8_t> Utf16LePatternBytes(std::wstring_view text)
{
    std::vector<uint8_t> out;
    auto unit = [&](uint32_t u) {
        out.push_back(static_cast<uint8_t>(u & 0xFF));
        out.push_back(static_cast<uint8_t>(u >> 8 & 0xFF));
    };
    for (size_t i = 0; i < text.size();) {
        uint32_t c = NextCodePoint(text, i);
        if (c > 0x10FFFF) c = 0xFFFD;
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);  // an unpaired surrogate stays the unit it is
        }
    }
    return out;
}

std::wstring CheckPatternLength(size_t length, uint64_t dataSize)
{
    if (length == 0) return L"検索するパターンが空です。";
    if (length > kMaxSearchPatternLength)
        return L"検索パターンが長すぎます（" + std::to_wstring(length) + L"バイト、最大" +
               std::to_wstring(kMaxSearchPatternLength) + L"バイト）。";
    if (length > dataSize) return L"検索パターンがデータより長いです。";
    return {};
}

bool ParseOffsetText(std::wstring_view text, bool decimal, uint64_t& value)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        text.remove_prefix(2);
        decimal = false;
    } else if (!text.empty() && text[0] == L'#') {
        text.remove_prefix(1);
        decimal = true;
    }
    if (text.empty()) return false;
    const uint64_t base = decimal ? 10 : 16;
    uint64_t result = 0;
    for (const wchar_t c : text) {
        const int digit = HexDigit(c);
        if (digit < 0 || static_cast<uint64_t>(digit) >= base) return false;
        if (__builtin_mul_overflow(result, base, &result) ||
            __builtin_add_overflow(result, static_cast<uint64_t>(digit), &result))
            return false;
    }
    value = result;
    return true;
}
