#include "capture/bytes/AbortText.h"

#include <gtest/gtest.h>

TEST(AbortText, StopByTheUserWithinTheLimit)
{
    EXPECT_EQ(MakeAbortText(128, 0), L"エラー\t取得を中止しました。");
    // Exactly the limit is not over it.
    EXPECT_EQ(MakeAbortText(128, 128ull * 1048576), L"エラー\t取得を中止しました。");
}

TEST(AbortText, OverTheLimitNamesTheSize)
{
    EXPECT_EQ(MakeAbortText(128, 128ull * 1048576 + 1), L"エラー\tサイズが限界を超えたため取得を中止しました。");
    EXPECT_EQ(MakeAbortText(0, 1), L"エラー\tサイズが限界を超えたため取得を中止しました。");
}

TEST(AbortText, LimitIsComputedIn64Bits)
{
    // 4096 MB does not fit in 32 bits once multiplied; 5000 MB of data is over it, 3 GB is not.
    EXPECT_FALSE(IsOverSizeLimit(4096, 3ull << 30));
    EXPECT_TRUE(IsOverSizeLimit(4096, 5000ull * 1048576));
    EXPECT_FALSE(IsOverSizeLimit(INT32_MAX, UINT64_C(1) << 50));
    // A negative limit is below any amount, even none.
    EXPECT_TRUE(IsOverSizeLimit(-1, 0));
    EXPECT_FALSE(IsOverSizeLimit(0, 0));
}

TEST(AbortText, ByteTotalsSaturateAndStayOverTheLimit)
{
    EXPECT_EQ(SaturatingAdd(1, 2), 3u);
    EXPECT_EQ(SaturatingAdd(UINT64_MAX - 1, 1), UINT64_MAX);
    EXPECT_EQ(SaturatingAdd(UINT64_MAX - 1, 10), UINT64_MAX);
    EXPECT_EQ(SaturatingAdd(UINT64_MAX, UINT64_MAX), UINT64_MAX);
    // Two halves that would wrap to zero are still over any limit.
    EXPECT_TRUE(IsOverSizeLimit(INT32_MAX, SaturatingAdd(UINT64_C(1) << 63, UINT64_C(1) << 63)));
}

TEST(AbortText, NestingLimitHasItsOwnRow)
{
    EXPECT_EQ(MakeTooDeepText(), L"エラー\t入れ子が深すぎるため取得を中止しました。");
}
