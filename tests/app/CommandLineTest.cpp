#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {
class CommandLineTest : public ::testing::Test {
protected:
    void TearDown() override { SetCommandLine({}); }
};
}  // namespace

TEST_F(CommandLineTest, SwitchMatchesWholeParameterIgnoringCase)
{
    SetCommandLine({"TOUCHPANEL", "touchPanel=1", "xshowAll"});
    EXPECT_TRUE(HasSwitch("touchPanel"));
    EXPECT_FALSE(HasSwitch("showAll"));
    SetCommandLine({"touchPanel=1"});
    EXPECT_FALSE(HasSwitch("touchPanel"));
    SetCommandLine({});
    EXPECT_FALSE(HasSwitch("touchPanel"));
}

TEST_F(CommandLineTest, SwitchValueTakesNameEqualsValueWithOptionalQuotes)
{
    QString value;
    SetCommandLine({"fcwidth='2000'"});
    EXPECT_TRUE(SwitchValue("fcWidth", value));
    EXPECT_EQ(value, "2000");

    SetCommandLine({"fcWidth=2000"});
    EXPECT_TRUE(SwitchValue("fcWidth", value));
    EXPECT_EQ(value, "2000");

    SetCommandLine({"fcWidth=\"1500\"", "fcWidth=9"});
    EXPECT_TRUE(SwitchValue("fcWidth", value));
    EXPECT_EQ(value, "1500") << "the first matching parameter wins";
}

TEST_F(CommandLineTest, SwitchValueNeverMatchesInsideAnotherWord)
{
    QString value = "stale";
    SetCommandLine({"limitXFrontier=12", "xlimitXFront=5", "limitXFront"});
    EXPECT_FALSE(SwitchValue("limitXFront", value));
    EXPECT_TRUE(value.isEmpty());
}

TEST_F(CommandLineTest, DealerBrandIsTheLastDParameterUpperCased)
{
    QString brand;
    SetCommandLine({"D:first", "PL", "d:Second", "D:"});
    DealerBrand(brand);
    EXPECT_EQ(brand, "SECOND");

    SetCommandLine({"D:acme"});
    brand = "VOSKAR";
    DealerBrand(brand);
    EXPECT_EQ(brand, "VOSKAR") << "a brand set by the language choice stays";

    SetCommandLine({"PL"});
    brand = "OLD";
    DealerBrand(brand);
    EXPECT_TRUE(brand.isEmpty());
}
