#include "capture/bytes/DropEffect.h"

#include <cwchar>

std::wstring DropEffectText(uint32_t effect)
{
    static const struct {
        uint32_t bit;
        const wchar_t* word;
    } kWords[] = {
        {1, L"DROPEFFECT_COPY"}, {2, L"DROPEFFECT_MOVE"}, {4, L"DROPEFFECT_LINK"}, {0x80000000u, L"DROPEFFECT_SCROLL"}};
    std::wstring text;
    uint32_t rest = effect;
    for (const auto& word : kWords) {
        if (!(effect & word.bit)) continue;
        if (!text.empty()) text += L" | ";
        text += word.word;
        rest &= ~word.bit;
    }
    if (rest) {
        wchar_t hex[16];
        std::swprintf(hex, 16, L"0x%X", static_cast<unsigned>(rest));
        if (!text.empty()) text += L" | ";
        text += hex;
    }
    if (text.empty()) text = L"DROPEFFECT_NONE";
    return text + L" (" + std::to_wstring(effect) + L")";
}

std::optional<uint32_t> ReadDropEffect(const uint8_t* data, size_t size)
{
    if (!data || size < 4) return std::nullopt;
    return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 | static_cast<uint32_t>(data[2]) << 16 |
           static_cast<uint32_t>(data[3]) << 24;
}
