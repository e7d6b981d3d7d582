// The bound on the entries of one snapshot, whatever the source offers: a list of
// millions of dropped names or a folder that never ends cannot fill the memory. No
// <windows.h>: built natively too.
#pragma once

#include <cstdint>
#include <string>

// Entries one snapshot holds at most, counted over every nesting level and every format.
inline constexpr uint64_t kMaxSnapshotEntries = 1000000;

// The format's row when its walk stopped at the bound: "エラー\t項目の数が上限の
// 1,000,000個に達したため、残りの12,345個を取り込みませんでした。"; with `atLeast`,
// "残りの12,345個以上" (a source whose rest was not counted to its end).
std::wstring MakeEntryBoundText(uint64_t bound, uint64_t leftOut, bool atLeast);

// The row of a container left unopened because the bound was reached: "エラー\t項目の数が
// 上限の1,000,000個に達したため取得を中止しました。".
std::wstring MakeEntryBoundAbortText(uint64_t bound);

// A count with a comma between each group of three digits: "1,000,000".
std::wstring GroupDigits(uint64_t value);
