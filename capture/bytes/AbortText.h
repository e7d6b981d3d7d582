// The row added to an entry whose gathering was cut short. No <windows.h>.
#pragma once

#include <cstdint>
#include <string>

// "エラー\t", then "サイズが限界を超えたため" when the limit (megabytes × 1,048,576, in
// 64 bits) is less than the bytes collected, then "取得を中止しました。".
std::wstring MakeAbortText(int32_t sizeLimitMegabytes, uint64_t collectedBytes);

// Whether the bytes collected exceed the limit given in megabytes. A negative limit
// is exceeded by anything, even zero bytes.
bool IsOverSizeLimit(int32_t sizeLimitMegabytes, uint64_t collectedBytes);

// "エラー\t入れ子が深すぎるため取得を中止しました。": the row of a container left
// unopened at the nesting limit.
std::wstring MakeTooDeepText();

// a + b, or the largest value where the sum would wrap: byte totals only grow.
uint64_t SaturatingAdd(uint64_t a, uint64_t b);
