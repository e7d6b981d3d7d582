#include "capture/bytes/AbortText.h"

bool IsOverSizeLimit(int32_t sizeLimitMegabytes, uint64_t collectedBytes)
{
    const int64_t limit = static_cast<int64_t>(sizeLimitMegabytes) * 1048576;
    if (limit < 0) return true;
    return static_cast<uint64_t>(limit) < collectedBytes;
}

std::wstring MakeAbortText(int32_t sizeLimitMegabytes, uint64_t collectedBytes)
{
    std::wstring text = L"エラー\t";
    if (IsOverSizeLimit(sizeLimitMegabytes, collectedBytes)) text += L"サイズが限界を超えたため";
    text += L"取得を中止しました。";
    return text;
}

std::wstring MakeTooDeepText()
{
    return L"エラー\t入れ子が深すぎるため取得を中止しました。";
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b)
{
    return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}
