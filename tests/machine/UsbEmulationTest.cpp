// The real bus (libudev and libusb, unmodified) against USB devices that
// umockdev emulates: run under umockdev-wrapper.
#include "app/Translator.h"
#include "machine/Bytes.h"
#include "machine/Clocks.h"
#include "machine/CommandLayer.h"
#include "machine/LibusbBus.h"
#include "machine/Machine.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/OperatorInput.h"
#include "machine/SimulatedController.h"
#include "machine/UsbLink.h"
#include "tests/support/EmulatedUsbDevice.h"
#include "tests/support/TestHidDevice.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>

namespace {
UsbTestbed* g_testbed = nullptr;

// Runs the event loop until `done` holds (the udev monitor and the settle
// timer live there) or a generous limit passes.
template <typename Condition>
bool WaitFor(Condition done)
{
    QDeadlineTimer limit(5000);
    while (!done()) {
        if (limit.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// The event loop for a while, to let notices that should not come show up.
void Settle()
{
    QDeadlineTimer limit(400);
    while (!limit.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
}

class UsbEmulationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!g_testbed->Mocked())
            GTEST_SKIP() << "needs umockdev-wrapper";
    }
    EmulatedUsbDevice::Setup Machine(const std::string& product = "Ky-5")
    {
        return {"Dravinor", product, "0001"};
    }
    std::unique_ptr<UsbLink> Link(LibusbBus& bus)
    {
        return std::make_unique<UsbLink>(bus, linkClock, [this](const QString& t) { status = t; });
    }

    ScopedTranslator translator;
    RealClock busClock;
    VirtualClock linkClock;  // the link's pauses take no real time
    QString status;
};
}  // namespace

TEST_F(UsbEmulationTest, TheMachineIsFoundGreetedAndAnsweredWhileTheDeviceBesideItIsNeverOpened)
{
    TestHidDevice answers, keyboardAnswers;
    EmulatedUsbDevice machine(*g_testbed, 1, Machine(), answers);
    EmulatedUsbDevice keyboard(*g_testbed, 2, {"Logitech", "USB Keyboard", "K1", 0x046D, 0xC31C, 0x6400, false},
                               keyboardAnswers);
    const HidIdentity keyboardId = keyboard.Plug();
    const HidIdentity id = machine.Plug();
    LibusbBus bus(busClock);

    const std::vector<HidDeviceInfo> listed = bus.List();
    ASSERT_EQ(listed.size(), 2u);
    const auto& m = listed[0].id == id ? listed[0] : listed[1];
    const auto& k = listed[0].id == id ? listed[1] : listed[0];
    EXPECT_EQ(m.id, id);
    EXPECT_EQ(m.manufacturer, "Dravinor");
    EXPECT_EQ(m.product, "Ky-5");
    EXPECT_EQ(m.serial, "0001");
    EXPECT_EQ(m.vendorId, 0x1209);
    EXPECT_EQ(m.version, 0x0100);
    EXPECT_EQ(k.id, keyboardId);
    EXPECT_EQ(k.productId, 0xC31C);
    EXPECT_EQ(k.product, "USB Keyboard");

    auto link = Link(bus);
    EXPECT_EQ(status, Tr("Control", "polaczony"));
    EXPECT_EQ(answers.CommandsSeen('X'), 1);

    // Replies come byte for byte: zero words, lone surrogate halves, odd
    // lengths, and no more than the reply block holds.
    const std::vector<uint8_t> odd = BinaryReplyBody(27, 11), longer = BinaryReplyBody(180, 200);
    answers.SetString(10, odd);
    answers.SetString(15, longer);
    ASSERT_EQ(link->ReadString(15), 0);
    EXPECT_TRUE(std::equal(link->Reply().begin(), link->Reply().end(), longer.begin()));
    ASSERT_EQ(link->ReadString(10), 0);
    EXPECT_TRUE(std::equal(odd.begin(), odd.end(), link->Reply().begin()));
    EXPECT_EQ(link->Reply()[27], 0);
    const int failures = UsbReadFailures;
    EXPECT_EQ(link->ReadString(42), 9) << "a string the device stalls: libusb's pipe error";
    EXPECT_EQ(UsbReadFailures, failures + 10);

    // A 20-byte command: two reports of 16 payload bytes on the interrupt endpoint.
    QByteArray command;
    for (int i = 0; i < 20; ++i)
        command.append(static_cast<char>(0x30 + i));
    ASSERT_EQ(link->Write(command), 0);
    const auto reports = answers.Reports();
    ASSERT_GE(reports.size(), 2u);
    const std::array<uint8_t, 16> second = {0x40, 0x41, 0x42, 0x43, 0x34, 0x35, 0x36, 0x37,
                                            0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F};
    EXPECT_EQ(reports.back(), second);
    EXPECT_EQ(reports[reports.size() - 2][0], 0x30);
    const auto seen = machine.Seen();
    EXPECT_EQ(seen.interruptOut, 3);
    EXPECT_EQ(seen.reportLengths, (std::vector<int>{16, 16, 16}));

    EXPECT_EQ(keyboard.Seen().requests, 0) << "the other device was never opened";
    link.reset();
    EXPECT_EQ(keyboard.Seen().requests, 0);
}

TEST_F(UsbEmulationTest, WithoutAnOutEndpointReportsGoAsSetReport)
{
    TestHidDevice answers;
    EmulatedUsbDevice machine(*g_testbed, 3, {"Dravinor", "Jy-1", "7", 0x1209, 0x0001, 0x0100, false}, answers);
    const HidIdentity id = machine.Plug();
    LibusbBus bus(busClock);
    int error = -1;
    auto handle = bus.Open(id, error);
    ASSERT_NE(handle, nullptr) << error;
    std::array<uint8_t, 17> report{};
    report[1] = 'F';
    report[2] = 2;
    report[16] = 0xEE;
    ReportDelivery delivered = ReportDelivery::Nothing;
    ASSERT_EQ(handle->WriteReport(report.data(), report.size(), delivered), 0);
    EXPECT_EQ(delivered, ReportDelivery::Whole);
    EXPECT_EQ(machine.Seen().setReport, 1);
    ASSERT_EQ(answers.Reports().size(), 1u);
    EXPECT_EQ(answers.Reports()[0][0], 'F');
    EXPECT_EQ(answers.Reports()[0][15], 0xEE);
}

TEST_F(UsbEmulationTest, UnpluggedMidCommandTheLinkSaysSoAndAReplugIsGreetedAsNew)
{
    TestHidDevice answers, otherAnswers;
    EmulatedUsbDevice machine(*g_testbed, 4, Machine("Qa-2"), answers);
    EmulatedUsbDevice other(*g_testbed, 5, {"Acme", "Pad", "9"}, otherAnswers);
    const HidIdentity id = machine.Plug();
    LibusbBus bus(busClock);
    auto link = Link(bus);
    std::vector<bool> changes;
    link->SetLinkChanged([&changes](bool found) { changes.push_back(found); });
    ASSERT_EQ(answers.CommandsSeen('X'), 1);

    // An unrelated arrival: one notice, the machine's handle untouched.
    other.Plug();
    ASSERT_TRUE(WaitFor([&] { return !changes.empty(); }));
    EXPECT_EQ(changes, std::vector<bool>{true});
    EXPECT_EQ(answers.CommandsSeen('X'), 1);
    EXPECT_EQ(link->ActiveDevice()->DevInst, id);
    answers.SetString(10, BinaryReplyBody(9, 1));
    EXPECT_EQ(link->ReadString(10), 0);

    // Gone in the middle of an exchange: the command fails and reaches nothing.
    machine.Unplug();
    QByteArray command(20, 'a');
    const size_t before = answers.Reports().size();
    EXPECT_EQ(link->Write(command), 4) << "libusb's no-device error";
    EXPECT_EQ(answers.Reports().size(), before);
    ASSERT_TRUE(WaitFor([&] { return changes.size() == 2; }));
    EXPECT_FALSE(changes.back());
    EXPECT_EQ(status, Tr("Control", "brakLacznosci"));
    EXPECT_EQ(link->Write("Y"), -1);

    const HidIdentity again = machine.Plug();
    EXPECT_NE(again, id);
    ASSERT_TRUE(WaitFor([&] { return changes.size() == 3; }));
    EXPECT_TRUE(changes.back());
    EXPECT_EQ(link->ActiveDevice()->DevInst, again);
    EXPECT_EQ(answers.CommandsSeen('X'), 2);
    EXPECT_EQ(status, Tr("Control", "polaczony"));
    Settle();
    EXPECT_EQ(changes.size(), 3u) << "one notice per arrival or removal";
    EXPECT_EQ(other.Seen().requests, 0);
}

TEST_F(UsbEmulationTest, TheSimulatedControllerAnswersTheCommandLayerThroughLibusb)
{
    SimulatedMachineSetup setup;
    setup.product = "Ky-5";
    SimulatedController controller(linkClock, setup);
    EmulatedUsbDevice machine(*g_testbed, 6, Machine(), controller);
    machine.Plug();
    LibusbBus bus(busClock);
    auto link = Link(bus);
    ScriptedInput input;
    ::Machine m(*link, linkClock, input);
    ASSERT_EQ(controller.Hellos(), 1);

    PlotState = tplotstate();
    IdentifyMachine(m);
    EXPECT_EQ(PlotState.ModelCode, "Ky");
    EXPECT_EQ(PlotState.ProductName, "Ky-5");
    ASSERT_TRUE(SendCommand(m, QByteArray("U") + Int32ToBytes(-4321) + Int32ToBytes(987)));
    EXPECT_TRUE(ReadPositions(m));
    EXPECT_EQ(PlotState.AxisCounters[0], -4321);
    EXPECT_EQ(PlotState.AxisCounters[1], 987);
    PlotState = tplotstate();
    ResetMachineConstants();
}

int main(int argc, char** argv)
{
    // The testbed comes first: umockdev decides once whether it runs mocked.
    UsbTestbed testbed;
    g_testbed = &testbed;
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
