#include "framework/Format.h"

#include <gtest/gtest.h>

TEST(Format, WideStringsNumbersAndHex)
{
    EXPECT_EQ(fw::Format(L"%ls=%u", L"名前", 42u), L"名前=42");
    EXPECT_EQ(fw::Format(L"%08lx", 0xABCul), L"00000abc");
    EXPECT_EQ(fw::Format(L"%02d:%02d:%02d", 3, 4, 5), L"03:04:05");
    EXPECT_EQ(fw::Format(L"%d", -7), L"-7");
    EXPECT_EQ(fw::Format(L"%llu", 18446744073709551615ull), L"18446744073709551615");
}

TEST(Format, TextLongerThanTheFirstBufferIsKeptWhole)
{
    const std::wstring longText(5000, L'あ');
    const std::wstring result = fw::Format(L"[%ls]", longText.c_str());
    ASSERT_EQ(result.size(), 5002u);
    EXPECT_EQ(result.front(), L'[');
    EXPECT_EQ(result.back(), L']');
    EXPECT_EQ(result.substr(1, 5000), longText);
}
