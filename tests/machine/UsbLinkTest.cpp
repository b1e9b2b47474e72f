#include "app/Translator.h"
#include "machine/Clocks.h"
#include "machine/SimulatedBus.h"
#include "machine/UsbLink.h"
#include "tests/support/TestHidDevice.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
using Report = std::array<uint8_t, 17>;

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

QByteArray Counting(int first, int count)
{
    QByteArray b;
    for (int i = 0; i < count; ++i)
        b.append(static_cast<char>(first + i));
    return b;
}

class UsbLinkTest : public ::testing::Test {
protected:
    HidIdentity Plug(const QString& maker, const QString& product, EmulatedHidDevice& device, bool access = true)
    {
        SimulatedBus::Strings s{maker, product, "0001"};
        s.accessible = access;
        const HidIdentity id = bus.Plug(s, device);
        clock.Advance(0);
        return id;
    }
    std::unique_ptr<UsbLink> Make()
    {
        auto link = std::make_unique<UsbLink>(bus, clock, [this](const QString& t) { status = t; });
        link->SetLinkChanged([this](bool found) { changes.push_back(found); });
        return link;
    }
    std::vector<Report> WireTo(const HidIdentity& id, size_t from = 0) const
    {
        std::vector<Report> out;
        for (size_t i = from; i < bus.Wire().size(); ++i)
            if (bus.Wire()[i].to == id)
                out.push_back(bus.Wire()[i].bytes);
        return out;
    }

    ScopedTranslator translator;
    VirtualClock clock;
    SimulatedBus bus{clock};
    TestHidDevice machine, other;
    QString status;
    std::vector<bool> changes;
};
}  // namespace

TEST_F(UsbLinkTest, OnlyTheExactMakerWithAModelCodeIsTheMachineAndTheFirstListedWins)
{
    Plug("dravinor", "Ky-5", other);
    Plug("Dravinor ", "Ky-5", other);
    Plug("Dravinor", "Ro-1", other);
    Plug("Dravinor", "K", other);
    Plug("Logitech", "Ky", other);
    auto link = Make();
    EXPECT_FALSE(link->DravinorRoExist());
    EXPECT_EQ(link->DeviceList().size(), 5u);
    EXPECT_EQ(link->Write("Y"), -1);
    EXPECT_EQ(status, Tr("Control", "brakLacznosci"));
    EXPECT_TRUE(bus.Wire().empty()) << "nothing is sent to a near miss";

    const HidIdentity first = Plug("Dravinor", "Jy-2 wide", machine);
    Plug("Dravinor", "Ve", other);
    ASSERT_TRUE(link->MachineFoundFlag());
    EXPECT_EQ(link->ActiveDevice()->DevInst, first);
    EXPECT_EQ(machine.CommandsSeen('X'), 1) << "a machine newly found is greeted";
    EXPECT_EQ(other.CommandsSeen('X'), 0);
    EXPECT_EQ(status, Tr("Control", "polaczony"));
    EXPECT_EQ(changes, (std::vector<bool>{true, true}));
}

TEST_F(UsbLinkTest, AMachineWithoutAccessIsNamedSoAndNeverOpened)
{
    const HidIdentity locked = Plug("Dravinor", "Ky-5", machine, false);
    auto link = Make();
    EXPECT_FALSE(link->DravinorRoExist());
    EXPECT_EQ(status, Tr("Control", "brakDostepu"));
    EXPECT_NE(status, Tr("Control", "brakLacznosci"));
    EXPECT_EQ(bus.Opens(locked), 0);
    EXPECT_EQ(link->ReadString(10), -1);
}

TEST_F(UsbLinkTest, CommandsReachTheWireWithTheStaleBytesOfEarlierReports)
{
    const HidIdentity id = Plug("Dravinor", "Ky-5", machine);
    auto link = Make();
    const size_t start = bus.Wire().size();  // after the hello
    const QByteArray c16 = Counting(0x10, 16), c6 = Bytes({'A', 1, 2, 3, 4, 5}), c20 = Counting(0x30, 20);
    ASSERT_EQ(link->Write(c16), 0);
    ASSERT_EQ(link->Write(c6), 0);
    EXPECT_EQ(link->BytesWritten(), 17u);
    ASSERT_EQ(link->Write(c20), 0);

    const std::vector<Report> expected = {
        {0, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F},
        {0, 'A', 1, 2, 3, 4, 5, 0, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F},
        {0, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F},
        {0, 0x40, 0x41, 0x42, 0x43, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F}};
    EXPECT_EQ(WireTo(id, start), expected);
    EXPECT_EQ(machine.Reports().size(), 5u);
}

TEST_F(UsbLinkTest, RepliesArriveByteForByteAndTenFailedReadsDropTheLinkUntilTheNextSearch)
{
    const HidIdentity id = Plug("Dravinor", "Zu-3", machine);
    auto link = Make();
    const std::vector<uint8_t> longBody = BinaryReplyBody(200, 3), oddBody = BinaryReplyBody(27, 90);
    machine.SetString(15, longBody);
    machine.SetString(10, oddBody);
    ASSERT_EQ(link->ReadString(15), 0);
    EXPECT_TRUE(std::equal(link->Reply().begin(), link->Reply().end(), longBody.begin()));
    ASSERT_EQ(link->ReadString(10), 0);
    EXPECT_TRUE(std::equal(oddBody.begin(), oddBody.end(), link->Reply().begin()));
    EXPECT_TRUE(std::all_of(link->Reply().begin() + 27, link->Reply().end(), [](uint8_t b) { return b == 0; }))
        << "no byte of the longer reply before is left";

    const int failures = UsbReadFailures;
    bus.FailReads(id, 1);
    EXPECT_EQ(link->ReadString(10), 0) << "one lost reply is read again at once";
    EXPECT_EQ(UsbReadFailures, failures + 1);

    bus.FailReads(id, 10, SimulatedBus::kPipeError);
    EXPECT_EQ(link->ReadString(10), SimulatedBus::kPipeError);
    EXPECT_EQ(UsbReadFailures, failures + 11);
    EXPECT_TRUE(std::all_of(link->Reply().begin(), link->Reply().end(), [](uint8_t b) { return b == 0; }));
    EXPECT_FALSE(link->MachineFound()) << "no search makes a failed read look answered";
    EXPECT_FALSE(link->MachineFound());
    EXPECT_EQ(link->Write("Y"), 0) << "the next write searches again";
    EXPECT_TRUE(link->MachineFoundFlag());
    EXPECT_EQ(machine.Reports().back()[0], 'Y');
}

TEST_F(UsbLinkTest, OnlyAReportThatReachedNothingIsSentAgainAndOnlyOnce)
{
    const HidIdentity id = Plug("Dravinor", "Qa", machine);
    auto link = Make();
    const int retries = UsbWriteRetries;
    bus.LoseWrites(id, 1);
    const int64_t t0 = clock.NowMs();
    EXPECT_EQ(link->Write("Q"), 0);
    EXPECT_EQ(clock.NowMs() - t0, 500);
    EXPECT_EQ(UsbWriteRetries, retries + 1);
    EXPECT_EQ(machine.Reports().back()[0], 'Q');
    EXPECT_EQ(machine.Reports().size(), 2u) << "the hello and one Q";

    bus.LoseWrites(id, SimulatedBus::kForever, 7);
    EXPECT_EQ(link->Write("K"), 7);
    EXPECT_EQ(UsbWriteRetries, retries + 2);
    const size_t sent = bus.Wire().size();
    EXPECT_EQ(link->Write(Counting(0x30, 20)), 7);
    ASSERT_EQ(bus.Wire().size(), sent + 2) << "the first report tried twice, the second never";
    EXPECT_EQ(bus.Wire().back().bytes[1], 0x30);

    // A report the device took whole but the bus called failed counts as
    // sent: sent again, it would run twice.
    bus.ClearFaults(id);
    bus.FailDeliveredWrites(id, 1);
    EXPECT_EQ(link->Write("C"), 0);
    EXPECT_EQ(machine.Reports().size(), 3u);
    EXPECT_EQ(machine.CommandsSeen('C'), 1);
    EXPECT_EQ(UsbWriteRetries, retries + 4) << "counted as the retries are";

    // Over SET_REPORT nothing tells whether it arrived: taken as sent, once.
    bus.FailWritesUntold(id, 1, true);
    const size_t wire = bus.Wire().size();
    EXPECT_EQ(link->Write("Y"), 0);
    EXPECT_EQ(bus.Wire().size(), wire + 1);
    EXPECT_EQ(UsbWriteRetries, retries + 5);
    bus.FailWritesUntold(id, 1, false);
    EXPECT_EQ(link->Write("K"), 0);
    EXPECT_EQ(bus.Wire().size(), wire + 2) << "never repeated";

    // Cut short, the command is damaged: the failure is told, nothing repeated.
    bus.CutWrites(id, 1, 5);
    EXPECT_EQ(link->Write("Y"), 5);
    EXPECT_EQ(bus.Wire().size(), wire + 3);
    EXPECT_EQ(UsbWriteRetries, retries + 6);
}

TEST_F(UsbLinkTest, UnplugReplugAndAnUnrelatedDeviceChange)
{
    const HidIdentity id = Plug("Dravinor", "Ky-5", machine);
    auto link = Make();
    ASSERT_EQ(status, Tr("Control", "polaczony")) << "creation shows what its enumeration found";
    ASSERT_EQ(link->Write("Y"), 0);
    EXPECT_EQ(machine.CommandsSeen('X'), 1);

    Plug("Logitech", "Mouse", other);
    EXPECT_EQ(machine.CommandsSeen('X'), 1) << "the machine stayed: no second hello";
    EXPECT_EQ(bus.Opens(id), 1) << "its interface stayed open";
    EXPECT_EQ(link->ActiveDevice()->DevInst, id);
    link->JvHidDeviceController1DeviceChange();
    EXPECT_EQ(machine.CommandsSeen('X'), 1);

    // Gone in the middle of an exchange: the link says so and sends nothing.
    machine.SetString(10, BinaryReplyBody(20, 1));
    bus.Unplug(id);
    EXPECT_EQ(link->ReadString(10), SimulatedBus::kNoDevice);
    clock.Advance(0);
    EXPECT_EQ(status, Tr("Control", "brakLacznosci"));
    EXPECT_EQ(link->ActiveDevice(), nullptr);
    EXPECT_EQ(link->Write("Y"), -1);
    EXPECT_EQ(link->JvHidDeviceController1().Count(), 1) << "the unplugged record was let go";

    const HidIdentity again = Plug("Dravinor", "Ky-5", machine);
    EXPECT_NE(again, id);
    EXPECT_EQ(machine.CommandsSeen('X'), 2) << "back again: greeted again";
    EXPECT_EQ(status, Tr("Control", "polaczony"));
    EXPECT_EQ(changes, (std::vector<bool>{true, true, false, true}));
}

TEST_F(UsbLinkTest, AMachineThatStoppedAnsweringButStayedIsNotGreetedAgainAtAnUnrelatedChange)
{
    const HidIdentity id = Plug("Dravinor", "Ky-5", machine);
    auto link = Make();
    ASSERT_EQ(link->Write("Y"), 0);
    bus.FailReads(id, 10);
    ASSERT_NE(link->ReadString(10), 0);
    ASSERT_FALSE(link->MachineFoundFlag());

    Plug("Logitech", "Mouse", other);
    EXPECT_TRUE(link->MachineFoundFlag());
    EXPECT_EQ(machine.CommandsSeen('X'), 1) << "the same machine, still attached: no second hello";
    EXPECT_EQ(bus.Opens(id), 1) << "its interface stayed open";
}

TEST_F(UsbLinkTest, AReportIsSentAgainOnlyToTheDeviceItWasMeantFor)
{
    const HidIdentity id = Plug("Dravinor", "Ky-5", machine);
    auto link = Make();
    bus.LoseWrites(id, 1, 7);
    clock.Schedule(100, [&] { bus.Replug(id); });  // back during the pause
    EXPECT_EQ(link->Write("Q"), 7);
    EXPECT_EQ(machine.CommandsSeen('X'), 2) << "the machine back is greeted";
    EXPECT_EQ(machine.CommandsSeen('Q'), 0) << "and given no report of a command begun before";
}
