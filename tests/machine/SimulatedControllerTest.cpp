#include "app/Globals.h"
#include "app/Settings.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"
#include "machine/SimulatedController.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
// A move of the front X axis: steps, with the end record's length as the
// writer gives it (scale 2).
QByteArray MoveX(char letter, int32_t steps)
{
    int64_t length = 0;
    return BuildMove4(letter, 2, steps, 0, 0, 0, 0, 0, 0, 0, length);
}

// 100 mm/min as a step period (scale 2): 100 mm take one minute.
const QByteArray kSlot0Speed = Bytes({'V', 0}) + Int16ToBytes(3750);

class SimulatedControllerTest : public MachineWorldTest {
protected:
    // Sends each command through the command layer; every one must go.
    void Send(std::initializer_list<QByteArray> commands)
    {
        for (const QByteArray& c : commands)
            ASSERT_TRUE(SendCommand(m, c)) << c.toHex().toStdString();
    }
    // Streams a job into the memory: every record of a move is one command.
    void Stream(const QByteArray& job)
    {
        for (qsizetype at = 0; at < job.size();) {
            const int n = CommandLength(job[at]);
            ASSERT_GT(n, 0);
            Send({job.mid(at, n)});
            at += n;
        }
    }
    uint32_t Status()
    {
        EXPECT_TRUE(ReadStatus(m));
        return PlotState.StatusFlags;
    }

    void SetUp() override
    {
        MachineWorldTest::SetUp();
        Attach(setup);
    }
    // A new controller of `s` on its own bus; the program has one USB link at a
    // time, so the old link goes first, then the controller its bus carried.
    void Attach(const SimulatedMachineSetup& s)
    {
        m.SetLink(none);
        link.reset();
        sim = std::make_unique<SimulatedController>(clock, s);
        link = std::make_unique<SimulatedLink>(*sim);
        m.SetLink(*link);
    }

    VirtualClock clock;
    SimulatedMachineSetup setup;
    std::unique_ptr<SimulatedController> sim;
    std::unique_ptr<SimulatedLink> link;
    NoMachineLink none;
    ScriptedInput input;
    Machine m{none, clock, input};
    ScriptedPresenter boxes;
};
}  // namespace

TEST_F(SimulatedControllerTest, CommandsAreReadByTheirOwnFieldsOnly)
{
    // A long report leaves bytes behind; the next, shorter one is read only
    // as far as its letter says.
    Send({QByteArray("U") + Int32ToBytes(12345) + Int32ToBytes(-77) + QByteArray(7, '\x7F')});
    Send({Bytes({'F', 2})});
    // The link greeted the machine with "X" when it found it.
    ASSERT_EQ(sim->Reports().size(), 3u);
    EXPECT_EQ(sim->Reports()[0][0], 'X');
    EXPECT_EQ(sim->Reports()[2][2], 0) << "the byte after the command is zero";
    EXPECT_EQ(sim->Reports()[2][9], 0x7F) << "stale bytes stay";
    EXPECT_EQ(sim->Counter(0), 12345);
    EXPECT_EQ(sim->Counter(4), 12345);
    EXPECT_EQ(sim->Counter(1), -77);
    ReadSpeedSlots(m);
    EXPECT_EQ(PlotState.SpeedSlot, 2);

    Send({Bytes({'Z'}), Bytes({'S', 99})});
    EXPECT_EQ(sim->Count(SimEvent::UnknownCommand), 2);

    // Upper case acts at once; lower case waits in the job memory for "G".
    Send({Bytes({'V', 1, 0x00, 0xD8}), Bytes({'v', 1, 0x34, 0x12})});
    EXPECT_EQ(sim->SlotPeriod(1), 0xD800);
    EXPECT_EQ(Status() & 0x00100002u, 0x00100002u) << "a job is loaded and waits for G";
    Send({"G"});
    EXPECT_EQ(sim->SlotPeriod(1), 0x1234);
    EXPECT_EQ(Status() & 0x2u, 0u) << "the job has run to its end";
    ReadSpeedSlots(m);
    EXPECT_EQ(PlotState.SlotSpeeds[1], static_cast<uint16_t>(0x1234 * 2));
}

TEST_F(SimulatedControllerTest, FullBitOverrunAndStarvation)
{
    setup.jobMemory = 150;
    Attach(setup);
    for (int i = 0; i < 50; ++i)
        Send({Bytes({'f', 0})});
    EXPECT_FALSE(Status() & 0x200u) << "100 slots free";
    Send({Bytes({'f', 0})});
    EXPECT_TRUE(Status() & 0x200u) << "99 slots free";
    for (int i = 0; i < 99; ++i)
        Send({Bytes({'f', 0})});
    EXPECT_EQ(sim->Count(SimEvent::Overrun), 0);
    Send({Bytes({'f', 0})});
    EXPECT_EQ(sim->Count(SimEvent::Overrun), 1) << "no slot left";

    Send({"G"});
    EXPECT_FALSE(Status() & 0x200u);
    EXPECT_EQ(sim->Count(SimEvent::Starvation), 0);
    Send({Bytes({'f', 1})});
    EXPECT_EQ(sim->Count(SimEvent::Starvation), 1) << "the stream went on after the memory ran empty";
    Send({"C", Bytes({'f', 1})});
    EXPECT_EQ(sim->Count(SimEvent::Starvation), 1) << "after C a new job begins";
}

TEST_F(SimulatedControllerTest, PauseResumesOnlyFromThePausedPosition)
{
    Send({kSlot0Speed, Bytes({'F', 0})});
    Stream(QByteArray("f\x00", 2) + MoveX('a', 10000));
    Send({"G"});
    clock.Advance(30000);
    EXPECT_EQ(Status() & 0x43u, 0x03u) << "moving, job working";
    EXPECT_EQ(sim->Counter(0), 5000) << "half of 100 mm at 100 mm/min";

    Send({"Q"});
    EXPECT_EQ(Status() & 0x43u, 0x40u) << "paused: job bit and motion clear";
    clock.Advance(10000);
    EXPECT_EQ(sim->Counter(0), 5000);

    // Away and not quite back: the controller stays paused.
    Send({MoveX('A', -1000)});
    EXPECT_TRUE(WaitWhileBusy(m));
    Send({MoveX('A', 998)});
    EXPECT_TRUE(WaitWhileBusy(m));
    Send({"K"});
    EXPECT_EQ(sim->Count(SimEvent::ResumeRefused), 1);
    EXPECT_TRUE(Status() & 0x40u);

    Send({MoveX('A', 2)});
    EXPECT_TRUE(WaitWhileBusy(m));
    const int64_t resumedAt = clock.NowMs();
    Send({"K"});
    EXPECT_EQ(Status() & 0x43u, 0x03u);
    clock.Advance(29999);
    EXPECT_TRUE(Status() & 0x1u) << "the rest of the move takes the rest of its time";
    clock.Advance(1);
    EXPECT_EQ(Status() & 0x3u, 0u);
    EXPECT_EQ(sim->Counter(0), 10000);
    EXPECT_EQ(clock.NowMs() - resumedAt, 30000);

    // A job held whole runs again on "G".
    Send({Bytes({'U', 0, 0, 0, 0, 0, 0, 0, 0})});
    Send({"G"});
    clock.Advance(60000);
    EXPECT_EQ(sim->Counter(0), 10000);
    EXPECT_EQ(sim->Count(SimEvent::RerunRefused), 0);
}

TEST_F(SimulatedControllerTest, AJobLongerThanTheMemoryIsNotRunAgain)
{
    setup.jobMemory = 120;
    Attach(setup);
    Send({Bytes({'f', 0}), "G"});
    for (int i = 0; i < 200; ++i)
        Send({Bytes({'f', 0})});
    clock.Advance(1000);
    EXPECT_EQ(Status() & 0x2u, 0u);
    Send({"G"});
    EXPECT_EQ(sim->Count(SimEvent::RerunRefused), 1);
}

TEST_F(SimulatedControllerTest, StopEndsManualMovesAndHomingButNeverTheJob)
{
    Send({kSlot0Speed, MoveX('A', 10000)});
    clock.Advance(6000);
    Send({"Y"});
    EXPECT_EQ(Status() & 0x1u, 0u);
    EXPECT_EQ(sim->Counter(0), 1000);

    Send({Bytes({'V', 2}) + Int16ToBytes(3750), Bytes({'B', 0x01})});
    clock.Advance(100);
    Send({"Y"});
    EXPECT_FALSE(Status() & 0x40000u) << "homing stopped: not homed";
    Send({Bytes({'B', 0x01})});
    clock.Advance(60000);
    EXPECT_TRUE(Status() & 0x40000u);
    EXPECT_EQ(sim->Counter(0), 0);

    // Homed, the travel ends at the machine's limit.
    Send({MoveX('A', setup.frontLimitX * 100 + 500)});
    clock.Advance(2000000);
    EXPECT_EQ(sim->Counter(0), setup.frontLimitX * 100);
    EXPECT_EQ(sim->Count(SimEvent::TravelLimit), 1);

    Send({Bytes({'U', 0, 0, 0, 0, 0, 0, 0, 0})});
    Stream(QByteArray("f\x00", 2) + MoveX('a', 1000));
    Send({"G"});
    clock.Advance(100);
    sim->PressKey(MachineKey::Stop);
    sim->HoldKey(MachineKey::Start, true);
    Send({"Y"});
    EXPECT_EQ(Status() & 0x1803u, 0x0803u) << "the job runs on; the pressed key is gone, the held one shows";
}

TEST_F(SimulatedControllerTest, ProgramMemoryAndReset)
{
    const QByteArray address = Bytes({'S', 8}) + Int32ToBytes(0x02000000);
    Send({address, Bytes({'S', 10, 0x0F, 0xF0, 0, 0})});
    Send({address});
    ReadFirmwareVersion(m);
    EXPECT_EQ(link->Reply()[6] | link->Reply()[7] << 8, sim->FlashWord(0));
    EXPECT_EQ(sim->FlashWord(0) & ~0xF00Fu, 0u) << "a write only clears bits";
    link->ReadString(17);
    EXPECT_EQ(link->Reply()[6] | link->Reply()[7] << 8, sim->FlashWord(1)) << "each read moves on one word";
    EXPECT_EQ(link->Reply()[8] | link->Reply()[9], 0);

    Send({Bytes({'S', 9})});
    clock.Advance(setup.eraseMs - 1);
    EXPECT_NE(sim->FlashWord(5), 0xFFFF);
    clock.Advance(1);
    Send({address});
    link->ReadString(17);
    EXPECT_EQ(link->Reply()[6] | link->Reply()[7] << 8, 0xFFFF) << "erased";

    Send({Bytes({'S', 13, 7, 0xA5})});
    EXPECT_EQ(sim->Parameter(7), 0xA5);

    std::vector<bool> changes;
    link->SetLinkChanged([&](bool found) { changes.push_back(found); });
    Send({Bytes({'S', 11})});
    clock.Advance(0);  // the bus tells of the removal from the event loop
    EXPECT_FALSE(m.Connected());
    clock.Advance(setup.resetMs);
    EXPECT_TRUE(m.Connected());
    EXPECT_EQ(changes, (std::vector<bool>{false, true}));
}

TEST_F(SimulatedControllerTest, WaitWhileBusyEndsWithTheMoveOrTheLink)
{
    Send({kSlot0Speed, MoveX('A', 5000)});
    input.queue = {PendingInput::Abort, PendingInput::Other};
    EXPECT_TRUE(WaitWhileBusy(m));
    EXPECT_GE(clock.NowMs(), 30000);
    EXPECT_LE(clock.NowMs(), 30002);
    EXPECT_EQ(sim->Counter(0), 5000);
    EXPECT_TRUE(input.queue.empty()) << "input during the wait is taken and dropped";
    EXPECT_GT(input.polls, 2);

    Send({MoveX('A', 5000)});
    clock.Schedule(1000, [&] { link->SetPresent(false); });
    EXPECT_FALSE(WaitWhileBusy(m)) << "a lost link ends the wait, unread";
    EXPECT_LE(clock.NowMs(), 30002 + 1002);
}

TEST_F(SimulatedControllerTest, EachIdentificationTakesOnlyTheAttachedModel)
{
    SimulatedMachineSetup jy;
    jy.modelCode = "Jy";
    jy.sideStepsPerUnitX = 2.0;
    jy.sideLimitY = 900;
    Attach(jy);
    IdentifyMachine(m);
    EXPECT_EQ(PlotState.ModelCode, "Jy");
    EXPECT_EQ(PlotState.ProductName, "Jy100");
    EXPECT_TRUE(SideAxesRemapped);
    EXPECT_EQ(SideAxisA, 4);
    EXPECT_EQ(SideLimitY, 900);
    EXPECT_EQ(MaxTravelSpeed, 3000);
    EXPECT_EQ(FirmwareMajor, 2);
    EXPECT_TRUE(FirmwareAtLeast22);
    Send({QByteArray("U") + Int32ToBytes(1000) + Int32ToBytes(0)});
    EXPECT_TRUE(ReadPositions(m));
    EXPECT_EQ(PlotState.BackX, 500) << "the back position in the side resolution";
    EXPECT_EQ(PlotState.SideX, 500) << "the same carriage";

    Attach(setup);  // a Ky machine
    IdentifyMachine(m);
    EXPECT_EQ(PlotState.ModelCode, "Ky");
    EXPECT_FALSE(SideAxesRemapped);
    EXPECT_EQ(SideAxisA, 3);
    EXPECT_EQ(SideAxisB, 6);
    EXPECT_DOUBLE_EQ(SideStepsPerUnitX, 1.0);

    SimulatedMachineSetup single;
    single.modelCode = "Ro";
    single.firmwareMajor = 1;
    Attach(single);
    EXPECT_FALSE(m.Connected()) << "a product of the model line itself is not a machine the link attaches";
}
