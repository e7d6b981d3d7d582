// Finding a piece of text in the text page's decoded UTF-16 text: forward from a
// position or backward up to one, exactly or through a case-folding table that maps
// every 16-bit unit to the unit it compares as. Linear in the text and the pattern.
// No <windows.h>: built natively too; the folding table is the caller's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Forward: the first match that starts at `from` or later. Backward: the last match
// that ends at `from` or before. An empty pattern or one longer than the text finds
// nothing; `from` past the end counts as the end. `fold` (65,536 units) or none.
template <typename Char>
std::optional<size_t> FindInText(const Char* text, size_t length, const Char* pattern, size_t patternLength,
                                 size_t from, bool forward, const char16_t* fold)
{
    static_assert(sizeof(Char) >= 2);
    if (!text || !pattern || patternLength == 0 || patternLength > length) return std::nullopt;
    const auto key = [fold](Char c) {
        const auto unit = static_cast<char16_t>(c);
        return fold ? fold[unit] : unit;
    };
    // The pattern in the order it is met (reversed for a backward search) and its
    // Knuth-Morris-Pratt table: the longest proper border of each prefix.
    std::vector<char16_t> p(patternLength);
    for (size_t i = 0; i < patternLength; ++i) p[i] = key(pattern[forward ? i : patternLength - 1 - i]);
    std::vector<size_t> border(patternLength, 0);
    for (size_t i = 1, k = 0; i < patternLength; ++i) {
        while (k > 0 && p[i] != p[k]) k = border[k - 1];
        if (p[i] == p[k]) ++k;
        border[i] = k;
    }
    if (from > length) from = length;
    const size_t steps = forward ? length - from : from;
    size_t matched = 0;
    for (size_t step = 0; step < steps; ++step) {
        const size_t at = forward ? from + step : from - 1 - step;
        const char16_t c = key(text[at]);
        while (matched > 0 && c != p[matched]) matched = border[matched - 1];
        if (c == p[matched]) ++matched;
        if (matched == patternLength) return forward ? at + 1 - patternLength : at;
    }
    return std::nullopt;
}
