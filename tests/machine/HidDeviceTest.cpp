#include "machine/Clocks.h"
#include "machine/HidDevice.h"
#include "machine/SimulatedBus.h"
#include "tests/support/TestHidDevice.h"

#include <gtest/gtest.h>

namespace {
class HidControllerTest : public ::testing::Test {
protected:
    HidIdentity PlugNow(const QString& product)
    {
        const HidIdentity id = bus.Plug({"Maker", product, "1"}, device);
        clock.Advance(0);
        return id;
    }

    VirtualClock clock;
    SimulatedBus bus{clock};
    TestHidDevice device;
};
}  // namespace

TEST_F(HidControllerTest, FirstAssignmentOfTheChangeHandlerCallsItOnceAndOneControllerMayLive)
{
    TJvHidDeviceController controller(bus);
    int first = 0, second = 0;
    controller.SetOnDeviceChange([&](TJvHidDeviceController&) { ++first; });
    EXPECT_EQ(first, 1) << "called at once though nothing changed";
    controller.SetOnDeviceChange([&](TJvHidDeviceController&) { ++second; });
    EXPECT_EQ(second, 0);
    controller.DeviceChange();
    EXPECT_EQ(second, 0) << "an enumeration equal to the last fires nothing";

    try {
        TJvHidDeviceController another(bus);
        ADD_FAILURE() << "a second controller was made";
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "Only one TJvHidDeviceController allowed per program");
    }
}

TEST_F(HidControllerTest, EnumerateWithoutHandlerStopsAtTheFirstDeviceAndCheckOutRefusesBadIndexes)
{
    {
        TJvHidDeviceController empty(bus);
        EXPECT_EQ(empty.Enumerate(), 0);
    }
    PlugNow("a");
    PlugNow("b");
    TJvHidDeviceController controller(bus);
    EXPECT_EQ(controller.Enumerate(), 1);
    int calls = 0;
    controller.SetOnEnumerate([&](TJvHidDevice& d, int index) {
        EXPECT_TRUE(d.IsEnumerated);
        EXPECT_TRUE(d.OpenFile()) << "a record may be opened while it is enumerated";
        EXPECT_EQ(&controller.Device(index), &d);
        return ++calls < 5;
    });
    EXPECT_EQ(controller.Enumerate(), 2);
    EXPECT_FALSE(controller.Device(0).OpenFile()) << "neither lent nor enumerated";
    EXPECT_EQ(controller.Device(0).Handle(), nullptr) << "closed after the enumeration";

    EXPECT_EQ(controller.CheckOutByIndex(-1), nullptr);
    EXPECT_EQ(controller.CheckOutByIndex(2), nullptr);
    auto lent = controller.CheckOutByIndex(1);
    ASSERT_NE(lent, nullptr);
    EXPECT_TRUE(lent->IsCheckedOut);
    EXPECT_EQ(controller.CheckOutByIndex(1), nullptr) << "already lent";
    controller.CheckIn(lent);
    EXPECT_EQ(lent, nullptr);
    EXPECT_NE(controller.CheckOutByIndex(1), nullptr) << "back with the controller";
}

TEST_F(HidControllerTest, UnpluggedWhileLentTheRecordWaitsForItsBorrowerAndReplugIsANewRecord)
{
    const HidIdentity machine = PlugNow("m");
    const HidIdentity other = PlugNow("o");
    TJvHidDeviceController controller(bus);
    int changes = 0, unplugs = 0;
    controller.SetOnDeviceUnplug([&](TJvHidDevice&) { ++unplugs; });
    controller.Loaded();
    controller.SetOnDeviceChange([&](TJvHidDeviceController&) { ++changes; });
    changes = 0;
    auto lent = controller.CheckOutByIndex(0);
    ASSERT_TRUE(lent->OpenFile());

    bus.Unplug(machine);
    bus.Unplug(other);
    clock.Advance(0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(unplugs, 2);
    ASSERT_EQ(controller.Count(), 1) << "the free record goes, the lent one stays";
    EXPECT_EQ(&controller.Device(0), lent.get());
    EXPECT_FALSE(lent->IsPluggedIn);
    EXPECT_EQ(lent->Handle(), nullptr);
    EXPECT_FALSE(lent->OpenFile());
    const uint8_t report[17] = {0, 'Y'};
    uint32_t written = 99;
    EXPECT_FALSE(lent->WriteFile(report, sizeof report, written));
    EXPECT_EQ(written, 0u);
    EXPECT_NE(lent->LastError(), 0) << "a write to a device that left fails with a reason, never as sent";

    const HidIdentity again = PlugNow("m");
    ASSERT_EQ(controller.Count(), 2) << "the device plugged in again is a new record beside the old";
    EXPECT_EQ(controller.Device(1).DevInst, again);
    EXPECT_NE(again, machine);
    lent.reset();
    ASSERT_EQ(controller.Count(), 1) << "freeing the unplugged record drops it";
    EXPECT_EQ(controller.Device(0).DevInst, again);

    // Freeing a lent record of a present device leaves a fresh free one in its place.
    auto relent = controller.CheckOutByIndex(0);
    relent.reset();
    ASSERT_EQ(controller.Count(), 1);
    EXPECT_FALSE(controller.Device(0).IsCheckedOut);
    EXPECT_EQ(controller.Device(0).DevInst, again);
    EXPECT_NE(controller.CheckOutByIndex(0), nullptr);
}
