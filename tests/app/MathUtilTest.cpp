#include "app/MathUtil.h"

#include <gtest/gtest.h>

TEST(RoundEven, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(RoundEven(0.5), 0.0);
    EXPECT_EQ(RoundEven(1.5), 2.0);
    EXPECT_EQ(RoundEven(2.5), 2.0);
    EXPECT_EQ(RoundEven(-0.5), 0.0);
    EXPECT_EQ(RoundEven(-1.5), -2.0);
    EXPECT_EQ(RoundEven(-2.5), -2.0);
    EXPECT_EQ(RoundEven(12.5), 12.0);
    EXPECT_EQ(RoundEven(2.4999999), 2.0);
    EXPECT_EQ(RoundEven(-2.5000001), -3.0);
    EXPECT_EQ(RoundEven(0.49999999999999994), 0.0);
}

TEST(RoundEven, Int32RangeIsChecked)
{
    int32_t v = 0;
    EXPECT_TRUE(RoundToInt32(2147483647.4, v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(RoundToInt32(-2147483648.0, v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_FALSE(RoundToInt32(2147483647.5, v));
    EXPECT_FALSE(RoundToInt32(1e300, v));
    EXPECT_FALSE(RoundToInt32(std::nan(""), v));
    EXPECT_EQ(RoundToInt64Sat(1e300), INT64_MAX);
}
