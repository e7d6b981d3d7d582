#include "capture/bytes/FreeSpaceFloor.h"

#include <gtest/gtest.h>

TEST(FreeSpaceFloor, OneGibibyteOrFivePercentWhicheverIsLarger)
{
    constexpr uint64_t GiB = uint64_t{1} << 30;
    EXPECT_EQ(FreeSpaceFloor(0), GiB);
    EXPECT_EQ(FreeSpaceFloor(20 * GiB), GiB);
    EXPECT_EQ(FreeSpaceFloor(100 * GiB), 5 * GiB);
    EXPECT_EQ(FreeSpaceFloor(uint64_t{16} << 50), (uint64_t{16} << 50) / 20);  // no overflow on 16 PiB
    EXPECT_EQ(RoomAboveFloor(3 * GiB, 20 * GiB), 2 * GiB);
    EXPECT_EQ(RoomAboveFloor(GiB, 20 * GiB), 0u);
    EXPECT_EQ(RoomAboveFloor(GiB / 2, 20 * GiB), 0u);
}
