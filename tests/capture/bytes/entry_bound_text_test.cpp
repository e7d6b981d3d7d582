#include "capture/bytes/EntryBound.h"

#include <gtest/gtest.h>

TEST(EntryBoundText, CountsAreGroupedByThousands)
{
    EXPECT_EQ(GroupDigits(0), L"0");
    EXPECT_EQ(GroupDigits(999), L"999");
    EXPECT_EQ(GroupDigits(1000), L"1,000");
    EXPECT_EQ(GroupDigits(123456), L"123,456");
    EXPECT_EQ(GroupDigits(kMaxSnapshotEntries), L"1,000,000");
    EXPECT_EQ(GroupDigits(UINT64_MAX), L"18,446,744,073,709,551,615");
    EXPECT_EQ(MakeEntryBoundText(kMaxSnapshotEntries, 8288594, false),
              L"エラー\t項目の数が上限の1,000,000個に達したため、残りの8,288,594個を取り込みませんでした。");
}
