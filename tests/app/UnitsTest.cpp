#include "app/Units.h"

#include <gtest/gtest.h>

TEST(Units, ConvertBothWaysAndRefuseUnknownUnits)
{
    EXPECT_DOUBLE_EQ(MmToUnit(1, 25.4), 1);
    EXPECT_DOUBLE_EQ(MmToUnit(2, 304.8), 1);
    EXPECT_DOUBLE_EQ(UnitToMm(1, 2), 50.8);
    EXPECT_DOUBLE_EQ(UnitToMm(2, -1), -304.8);
    for (int32_t unit = 0; unit < UnitCount; ++unit)
        EXPECT_NEAR(UnitToMm(unit, MmToUnit(unit, 123.456)), 123.456, 1e-12) << unit;
    // Never a value in the wrong unit.
    for (int32_t unit : {-1, 3}) {
        EXPECT_EQ(MmToUnit(unit, 1000), 0.0) << unit;
        EXPECT_EQ(UnitToMm(unit, -5), 0.0) << unit;
    }
}

TEST(Units, NamesAndDecimalsFollowTheUnit)
{
    EXPECT_STREQ(UnitNames[1], "in");
    EXPECT_EQ(UnitName(2), "ft");
    EXPECT_TRUE(UnitName(3).isEmpty());
    const int32_t saved = CurrentLengthUnit;
    const int32_t expected[] = {1, 2, 3, 1};
    for (int32_t unit = 0; unit <= UnitCount; ++unit) {
        CurrentLengthUnit = unit;
        EXPECT_EQ(UnitDecimals(), expected[unit]) << unit;
    }
    CurrentLengthUnit = saved;
}
