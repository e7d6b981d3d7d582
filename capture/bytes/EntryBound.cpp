#include "capture/bytes/EntryBound.h"

std::wstring GroupDigits(uint64_t value)
{
    const std::wstring digits = std::to_wstring(value);
    std::wstring out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += L',';
        out += digits[i];
    }
    return out;
}

std::wstring MakeEntryBoundText(uint64_t bound, uint64_t leftOut, bool atLeast)
{
    return L"エラー\t項目の数が上限の" + GroupDigits(bound) + L"個に達したため、残りの" + GroupDigits(leftOut) +
           (atLeast ? L"個以上" : L"個") + L"を取り込みませんでした。";
}

std::wstring MakeEntryBoundAbortText(uint64_t bound)
{
    return L"エラー\t項目の数が上限の" + GroupDigits(bound) + L"個に達したため取得を中止しました。";
}
