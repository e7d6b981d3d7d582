// The text page's work on entries too large to decode at once: where a step of bytes
// may end without splitting a character, line ends counted over text that arrives in
// steps, and the status line's words for a page that shows only the start of an entry.
// No <windows.h>: built natively too.
#pragma once

#include "viewers/bytes/LineEnds.h"
#include "viewers/bytes/TextDetect.h"

#include <cstddef>
#include <cstdint>
#include <string>

// How many of the n bytes, which start at a character boundary, form whole characters
// of `codePage`: UTF-8 leaves out a sequence its last bytes do not finish, UTF-16
// (-1, -2) an odd byte, a double-byte code page (its lead-byte table given) a lead
// byte without its second byte. Other code pages cut anywhere.
size_t WholeCharacterLength(const uint8_t* data, size_t n, int codePage, const DoubleByteTable* table);

// Line ends of text handed over in pieces, counted as CountLineEnds counts the text
// in one piece: a CR that ends one piece and an LF that starts the next are one CR LF,
// and nothing after the first NUL counts.
class LineEndCounter {
public:
    template <typename Char>
    void Add(const Char* text, size_t length)
    {
        for (size_t i = 0; i < length && !m_nul; ++i) {
            const Char c = text[i];
            if (m_pendingCr) {
                m_pendingCr = false;
                if (c == '\n') {
                    ++m_counts.crlf;
                    continue;
                }
                ++m_counts.loneCr;
            }
            if (c == 0)
                m_nul = true;
            else if (c == '\r')
                m_pendingCr = true;
            else if (c == '\n')
                ++m_counts.loneLf;
        }
    }
    // The counts so far, a CR at the very end counted as a lone one.
    LineEndCounts Counts() const
    {
        LineEndCounts counts = m_counts;
        if (m_pendingCr) ++counts.loneCr;
        return counts;
    }

private:
    LineEndCounts m_counts;
    bool m_pendingCr = false;
    bool m_nul = false;
};

// A size as the status line writes it: "512 バイト", "1.5 KiB", "16.0 MiB", "1.0 GiB"
// (to the nearest tenth).
std::u16string SizeText(uint64_t bytes);
// What the status line adds when the page shows only the start of an entry:
// "  先頭 1.0 MiB / 16.0 MiB を表示".
std::u16string ShownPartNote(uint64_t shownBytes, uint64_t totalBytes);
// The status line while the whole entry is still being checked for a NUL and its line
// ends: "終端NUL・改行コード: 確認中 25%".
std::u16string PendingStatus(uint64_t doneBytes, uint64_t totalBytes);
