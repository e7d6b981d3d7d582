#include "capture/bytes/FormatWords.h"

namespace {

struct BitWord {
    uint32_t bit;
    const wchar_t* word;
};

std::wstring BitWords(uint32_t value, const BitWord* words, size_t count)
{
    std::wstring text;
    for (size_t i = 0; i < count; ++i) {
        if (value & words[i].bit) {
            text += words[i].word;
            text += L' ';
        }
    }
    return text;
}

std::wstring LowerHex(uint32_t value)
{
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring s;
    do {
        s.insert(s.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value);
    return s;
}

}  // namespace

std::wstring GetAspectText(uint32_t aspect)
{
    static const BitWord words[] = {{1, L"CONTENT"}, {2, L"THUMBNAIL"}, {4, L"ICON"}, {8, L"DOCPRINT"}};
    std::wstring text = BitWords(aspect, words, std::size(words));
    if (aspect > 15) text += L"0x" + LowerHex(aspect) + L"? ";
    return text;
}

std::wstring GetTymedText(uint32_t tymed)
{
    static const BitWord words[] = {{0x01, L"HGLOBAL"}, {0x02, L"FILE"},   {0x04, L"ISTREAM"}, {0x08, L"ISTORAGE"},
                                    {0x10, L"GDI"},     {0x20, L"MFPICT"}, {0x40, L"ENHMF"}};
    return BitWords(tymed, words, std::size(words));
}
