#include "capture/bytes/FormatWords.h"

#include <gtest/gtest.h>

TEST(FormatWords, AspectWordsInBitOrderEachFollowedByASpace)
{
    EXPECT_EQ(GetAspectText(0), L"");
    EXPECT_EQ(GetAspectText(1), L"CONTENT ");
    EXPECT_EQ(GetAspectText(5), L"CONTENT ICON ");
    EXPECT_EQ(GetAspectText(15), L"CONTENT THUMBNAIL ICON DOCPRINT ");
}

TEST(FormatWords, AspectAboveFifteenAddsTheWholeValueInLowerCaseHex)
{
    EXPECT_EQ(GetAspectText(0x20), L"0x20? ");
    EXPECT_EQ(GetAspectText(0x11), L"CONTENT 0x11? ");
    EXPECT_EQ(GetAspectText(0xFFFFFFFFu), L"CONTENT THUMBNAIL ICON DOCPRINT 0xffffffff? ");
    EXPECT_EQ(GetAspectText(0xAB), L"CONTENT THUMBNAIL DOCPRINT 0xab? ");
}

TEST(FormatWords, TymedWordsIgnoreBitsAboveEnhancedMetafile)
{
    EXPECT_EQ(GetTymedText(0), L"");
    EXPECT_EQ(GetTymedText(0x41), L"HGLOBAL ENHMF ");
    EXPECT_EQ(GetTymedText(0x80), L"");
    EXPECT_EQ(GetTymedText(0x7F), L"HGLOBAL FILE ISTREAM ISTORAGE GDI MFPICT ENHMF ");
    EXPECT_EQ(GetTymedText(0xFFFFFF04u), L"ISTREAM ");
}
