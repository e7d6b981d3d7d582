#include "capture/bytes/TempNames.h"

#include <gtest/gtest.h>

TEST(TempNames, JoinPathAddsOneBackslashOnlyWhenMissing)
{
    EXPECT_EQ(JoinPath(L"C:\\temp", L"a.cvtmp"), L"C:\\temp\\a.cvtmp");
    EXPECT_EQ(JoinPath(L"C:\\temp\\", L"a.cvtmp"), L"C:\\temp\\a.cvtmp");
    EXPECT_EQ(JoinPath(L"", L"a.cvtmp"), L"\\a.cvtmp");
    // A forward slash is not a separator of its own here.
    EXPECT_EQ(JoinPath(L"C:/temp/", L"x"), L"C:/temp/\\x");
}

TEST(TempNames, DataFileNameIsFourteenTimeDigitsEightHexDigitsAndExtension)
{
    const std::wstring name = MakeTempFileName({2025, 1, 2, 3, 4, 5}, 0xABCDEF);
    EXPECT_EQ(name,
              L"20250102030405"
              L"00abcdef"
              L".cvtmp");
    EXPECT_EQ(name.size(), 28u);
    EXPECT_EQ(MakeTempFileName({2099, 12, 31, 23, 59, 59}, 0xFFFFFFFFu), L"20991231235959ffffffff.cvtmp");
}
