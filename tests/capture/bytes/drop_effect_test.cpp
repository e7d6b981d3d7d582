#include "capture/bytes/DropEffect.h"

#include <gtest/gtest.h>

TEST(DropEffect, WordsOfEachBitThenTheValue)
{
    EXPECT_EQ(DropEffectText(0), L"DROPEFFECT_NONE (0)");
    EXPECT_EQ(DropEffectText(2), L"DROPEFFECT_MOVE (2)");
    EXPECT_EQ(DropEffectText(5), L"DROPEFFECT_COPY | DROPEFFECT_LINK (5)");
    EXPECT_EQ(DropEffectText(0x80000001u), L"DROPEFFECT_COPY | DROPEFFECT_SCROLL (2147483649)");
    EXPECT_EQ(DropEffectText(0x18), L"0x18 (24)");
}

TEST(DropEffect, ReadsFourBytesLittleEndianAndNothingShorter)
{
    const uint8_t data[] = {2, 0, 0, 0x80, 9};
    EXPECT_EQ(ReadDropEffect(data, 5), 0x80000002u);
    EXPECT_EQ(ReadDropEffect(data, 4), 0x80000002u);
    EXPECT_FALSE(ReadDropEffect(data, 3));
    EXPECT_FALSE(ReadDropEffect(nullptr, 4));
}
