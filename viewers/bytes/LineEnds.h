// Line ends of decoded text: which conventions it uses, the text rewritten so that an
// edit control breaks every line (it breaks only at CR LF), and the page's status line.
// No <windows.h>: built natively too.
#pragma once

#include <cstddef>
#include <string>

struct LineEndCounts {
    size_t crlf = 0;
    size_t loneLf = 0;
    size_t loneCr = 0;
    bool NeedsRewrite() const { return loneLf != 0 || loneCr != 0; }
};

// Counts up to the first NUL: CR LF is one line end, any other CR or LF a lone one.
template <typename Char>
LineEndCounts CountLineEnds(const Char* text, size_t length)
{
    LineEndCounts counts;
    for (size_t i = 0; i < length && text[i] != 0; ++i) {
        if (text[i] == '\r') {
            if (i + 1 < length && text[i + 1] == '\n') {
                ++counts.crlf;
                ++i;
            } else {
                ++counts.loneCr;
            }
        } else if (text[i] == '\n') {
            ++counts.loneLf;
        }
    }
    return counts;
}

// Every lone CR and lone LF becomes CR LF; everything else stays as it is.
template <typename Char>
std::basic_string<Char> RewriteLineEnds(const std::basic_string<Char>& text, const LineEndCounts& counts)
{
    std::basic_string<Char> out;
    out.reserve(text.size() + counts.loneCr + counts.loneLf);
    const size_t length = text.size();
    for (size_t i = 0; i < length; ++i) {
        const Char c = text[i];
        if (c == '\r') {
            out.push_back('\r');
            out.push_back('\n');
            if (i + 1 < length && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out.push_back('\r');
            out.push_back('\n');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// "CR+LF", "*LFのみ*", "*CRのみ*", "なし", or "*謎*" when two kinds are mixed.
std::u16string LineEndWord(const LineEndCounts& counts);
// "終端NUL: あり|なし  改行コード: " followed by the word.
std::u16string TextStatus(bool nul, const LineEndCounts& counts);
