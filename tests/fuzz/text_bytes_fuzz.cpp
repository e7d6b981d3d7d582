// Fuzz target: detection, the UTF-16 and multi-byte input rules, the line-end
// rewriting, the step boundaries and counting of large entries, and text find over any
// bytes. ASan checks that nothing reads past the data; the checks
// below that the answers stay in range and that rewriting leaves only CR LF line ends
// and every other character in order. The code-page list parser gets the bytes as
// UTF-16 text.
#include "tests/viewers/bytes/ShiftJisTable.h"
#include "viewers/bytes/CodePageText.h"
#include "viewers/bytes/LineEnds.h"
#include "viewers/bytes/TextDecode.h"
#include "viewers/bytes/TextDetect.h"
#include "viewers/bytes/TextFind.h"
#include "viewers/bytes/TextSteps.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

void CheckRewrite(const std::u16string& text)
{
    const LineEndCounts counts = CountLineEnds(text.data(), text.size());
    const std::u16string out = RewriteLineEnds(text, counts);
    size_t in = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == u'\n') std::abort();  // every LF is consumed right after its CR
        if (out[i] == u'\r') {
            if (i + 1 >= out.size() || out[i + 1] != u'\n') std::abort();
            if (text[in] == u'\r' && in + 1 < text.size() && text[in + 1] == u'\n')
                in += 2;
            else if (text[in] == u'\r' || text[in] == u'\n')
                in += 1;
            else
                std::abort();
            ++i;
            continue;
        }
        if (in >= text.size() || text[in] != out[i]) std::abort();
        ++in;
    }
    if (in != text.size()) std::abort();
    const LineEndCounts after = CountLineEnds(out.data(), out.size());
    if (after.loneCr != 0 || after.loneLf != 0) std::abort();
}

// Counting in two pieces, cut anywhere, agrees with counting at once.
void CheckPieces(const std::u16string& text, size_t cut)
{
    cut = text.empty() ? 0 : cut % (text.size() + 1);
    LineEndCounter counter;
    counter.Add(text.data(), cut);
    counter.Add(text.data() + cut, text.size() - cut);
    const LineEndCounts pieces = counter.Counts(), whole = CountLineEnds(text.data(), text.size());
    if (pieces.crlf != whole.crlf || pieces.loneCr != whole.loneCr || pieces.loneLf != whole.loneLf) std::abort();
}

// The first units as a pattern, searched both ways, against the obvious search.
void CheckFind(const std::u16string& text)
{
    if (text.empty()) return;
    const size_t m = 1 + text[0] % 4, from = text[0] % (text.size() + 1);
    if (m > text.size()) return;
    const std::u16string pattern = text.substr(0, m);
    for (bool forward : {true, false}) {
        const std::optional<size_t> found =
            FindInText(text.data(), text.size(), pattern.data(), pattern.size(), from, forward, nullptr);
        std::optional<size_t> expected;
        if (forward) {
            const size_t at = text.find(pattern, from);
            if (at != std::u16string::npos) expected = at;
        } else if (from >= m) {
            const size_t at = text.rfind(pattern, from - m);
            if (at != std::u16string::npos) expected = at;
        }
        if (found != expected) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size copy, so that any read past the end is caught.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(bytes.get(), data, size);
    const DoubleByteTable table = ShiftJisTable();

    size_t asked = 0;
    const int codePage = DetectCodePage(bytes.get(), size, table, [&](const uint8_t* p, size_t m) {
        asked = m;
        const std::vector<uint8_t> pairs = DoubleByteCharacters(p, m, table);
        if (pairs.size() % 2 != 0 || pairs.size() > m) std::abort();
        return !pairs.empty() && pairs[0] == 0xFC;
    });
    if (codePage != 0 && codePage != 65001 && codePage != -1 && codePage != -2) std::abort();
    if (asked > kDetectionWindow) std::abort();

    for (int cp : {-1, -2}) {
        std::u16string text;
        const bool nul = DecodeUtf16(bytes.get(), size, cp, text);
        if (text.size() > size / 2) std::abort();
        if (text.find(u'\0') != std::u16string::npos) std::abort();
        if (nul && text.size() == size / 2) std::abort();
        CheckRewrite(text);
    }
    const MultiByteInput input = PrepareMultiByteInput(bytes.get(), size, 65001);
    if (input.offset + input.length > size) std::abort();
    if (std::memchr(bytes.get() + input.offset, 0, input.length)) std::abort();

    // Raw units, NULs and all, through the line-end rules.
    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    CheckRewrite(units);
    CheckPieces(units, size ? bytes[0] : 0);
    CheckFind(units);
    for (int cp : {65001, 932, -1, 1252}) {
        if (WholeCharacterLength(bytes.get(), size, cp, cp == 932 ? &table : nullptr) > size) std::abort();
    }
    for (const CodePageItem& item : CodePageItemsFromStored(units))
        if (item.name.empty() || item.name != TrimSpace(item.name)) std::abort();
    const std::u16string stored = StoredFromLines(units);
    if (!stored.empty() && stored.back() != u';') std::abort();
    return 0;
}
