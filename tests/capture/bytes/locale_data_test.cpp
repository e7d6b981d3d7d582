#include "capture/bytes/LocaleData.h"

#include <gtest/gtest.h>

TEST(LocaleData, FirstFourBytesLittleEndianOnlyWhenPresent)
{
    const uint8_t japanese[] = {0x11, 0x04, 0x00, 0x00, 0xFF};
    EXPECT_EQ(ReadLocaleId(japanese, sizeof japanese), std::optional<uint32_t>(0x411));
    EXPECT_EQ(ReadLocaleId(japanese, 4), std::optional<uint32_t>(0x411));
    EXPECT_EQ(ReadLocaleId(japanese, 3), std::nullopt);
    EXPECT_EQ(ReadLocaleId(nullptr, 4), std::nullopt);
    const uint8_t high[] = {0x01, 0x02, 0x03, 0x84};
    EXPECT_EQ(ReadLocaleId(high, 4), std::optional<uint32_t>(0x84030201u));
}
