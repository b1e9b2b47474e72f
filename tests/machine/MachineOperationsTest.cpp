#include "app/Settings.h"
#include "app/Translator.h"
#include "machine/BasePoints.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/JobState.h"
#include "machine/JogMoves.h"
#include "machine/MachineConstants.h"
#include "machine/MachineOperations.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"
#include "machine/MoveWindow.h"
#include "machine/SimulatedController.h"
#include "machine/WireSelection.h"
#include "tests/support/HookedLink.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {
// The operator's input decided at each poll.
class InputBy : public OperatorInput {
public:
    PendingInput TakePending() override { return decide ? decide() : PendingInput::None; }
    std::function<PendingInput()> decide;
};

class MachineOperationsTest : public MachineWorldTest {
protected:
    void SetUp() override
    {
        MachineWorldTest::SetUp();
        WireSelection() = TsterModel();
        JobRunning = JobStopped = false;
        Attach(setup);
    }
    void TearDown() override
    {
        WireSelection() = TsterModel();
        JobRunning = JobStopped = false;
        MachineWorldTest::TearDown();
    }
    void Attach(const SimulatedMachineSetup& s, bool noXSide = false)
    {
        ops.reset();
        m.SetLink(none);
        hooked.reset();
        link.reset();
        sim = std::make_unique<SimulatedController>(clock, s);
        link = std::make_unique<SimulatedLink>(*sim);
        hooked = std::make_unique<HookedLink>(*link);
        m.SetLink(*hooked);
        IdentifyMachine(m);
        OperationHooks hooks;
        hooks.statusTimer = [this](bool on) { timerStates.push_back(on); };
        ops = std::make_unique<MachineOperations>(m, Settings(), noXSide, hooks);
    }
    void Send(const QByteArray& c) { ASSERT_TRUE(SendCommand(m, c)) << c.toHex().toStdString(); }
    // A job of one front X move of `steps` at 100 mm/min, running.
    void RunJob(int32_t steps)
    {
        RunOneMoveJob(m, steps);
    }
    uint32_t Status()
    {
        EXPECT_TRUE(ReadStatus(m));
        return PlotState.StatusFlags;
    }
    // The reports from `from` on whose letter is `letter`.
    std::vector<std::array<uint8_t, 16>> Sent(char letter, size_t from = 0)
    {
        std::vector<std::array<uint8_t, 16>> out;
        for (size_t i = from; i < sim->Reports().size(); ++i)
            if (sim->Reports()[i][0] == static_cast<uint8_t>(letter))
                out.push_back(sim->Reports()[i]);
        return out;
    }
    std::vector<int> HomingMasks()
    {
        std::vector<int> masks;
        for (const auto& r : Sent('B'))
            masks.push_back(r[1]);
        return masks;
    }

    VirtualClock clock;
    SimulatedMachineSetup setup;
    std::unique_ptr<SimulatedController> sim;
    std::unique_ptr<SimulatedLink> link;
    std::unique_ptr<HookedLink> hooked;
    NoMachineLink none;
    InputBy input;
    Machine m{none, clock, input};
    ScriptedPresenter boxes;
    std::unique_ptr<MachineOperations> ops;
    std::vector<bool> timerStates;
};
}  // namespace

TEST_F(MachineOperationsTest, PauseKeepsThePositionAndContinueReturnsToItBeforeK)
{
    // The side wire parked 10 mm under the front wire's zero.
    ASSERT_TRUE(ops->gotopointKreuz(true, 2, 0, 0, 0, 0, 0, -10, 0, 0));
    RunJob(10000);
    Send(Bytes({'R', 1, 1}));
    clock.Advance(30000);
    ASSERT_TRUE(Status() & 0x4u) << "the heater is on while the job cuts";

    EXPECT_TRUE(ops->wstrzymaj());
    EXPECT_FALSE(JobRunning);
    EXPECT_EQ(Status() & 0x47u, 0x40u) << "paused, nothing moving, the heater off";
    EXPECT_EQ(ops->PausePositions[0], 5000);
    EXPECT_EQ(ops->PausedWireSet, 0);
    ReadSpeedSlots(m);
    EXPECT_EQ(PlotState.SpeedSlot, 2);

    // The operator drives away; continue brings the wires back before "K".
    ASSERT_TRUE(ops->gotopoint(true, 2, 20, 30, 10, 10, 0, 0));
    EXPECT_EQ(sim->Counter(0), 2000);
    EXPECT_EQ(sim->Counter(4), 3000);
    const size_t before = sim->Reports().size();
    ops->kontynuuj();
    EXPECT_TRUE(JobRunning);
    EXPECT_EQ(sim->Count(SimEvent::ResumeRefused), 0);
    const auto moves = Sent('A', before);
    const auto resumes = Sent('K', before);
    ASSERT_EQ(resumes.size(), 1u);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(Status() & 0x43u, 0x03u) << "the job cuts again";
    clock.Advance(40000);
    EXPECT_EQ(Status() & 0x2u, 0u);
    EXPECT_EQ(sim->Counter(0), 10000);
    EXPECT_EQ(sim->Counter(1), 0);
    EXPECT_EQ(sim->Counter(4), 0);
}

TEST_F(MachineOperationsTest, NothingToPauseOrContinueSendsNothing)
{
    JobRunning = true;
    const size_t before = sim->Reports().size();
    EXPECT_FALSE(ops->wstrzymaj());
    EXPECT_FALSE(JobRunning);
    ops->kontynuuj();
    EXPECT_FALSE(JobRunning) << "continue sent neither G nor K";
    EXPECT_EQ(sim->Reports().size(), before);
}

TEST_F(MachineOperationsTest, AJobEndingJustBeforeThePauseEndsTheWaitAfterTwoSeconds)
{
    RunJob(1000);
    Send(Bytes({'R', 1, 1}));
    int64_t motionEnded = -1;
    hooked->beforeWrite = [&](const QByteArray& c) {
        if (c == "Q") {
            clock.Advance(60000);
            motionEnded = clock.NowMs();
        }
    };
    EXPECT_FALSE(ops->wstrzymaj());
    ASSERT_GE(motionEnded, 0);
    EXPECT_GE(clock.NowMs() - motionEnded, 2000);
    EXPECT_LT(clock.NowMs() - motionEnded, 2200);
    EXPECT_FALSE(JobRunning);
    EXPECT_EQ(Status() & 0x4u, 0u) << "the heater is off all the same";
    ReadSpeedSlots(m);
    EXPECT_EQ(PlotState.SpeedSlot, 2);
}

TEST_F(MachineOperationsTest, HomingMasksOfEachModel)
{
    struct Case {
        const char* model;
        bool noXSide;
        std::vector<int> masks;
    };
    // Ky/Qa: 0+4+side A, 0, side A, 1+5+side B; Ve: side A+0, 0, side A,
    // side B+1; Jy's side axes are 4 and 5; Ro ends with the table (mode 1).
    const Case cases[] = {{"Ky", false, {0x19, 0x01, 0x08, 0x62}}, {"Ky", true, {0x11, 0x01, 0x62}},
                          {"Qa", false, {0x19, 0x01, 0x08, 0x62}}, {"Ve", false, {0x09, 0x01, 0x08, 0x42}},
                          {"Jy", false, {0x10, 0x20, 0x03}},       {"Ro", false, {0x01, 0x08, 0x04}}};
    for (const Case& c : cases) {
        Settings().SetItemIndex("Mode", QLatin1String(c.model) == QLatin1String("Ro") ? 1 : 0);
        Settings().SetItemIndex("StolikSwitch", 1);
        const bool ro = QLatin1String(c.model) == QLatin1String("Ro");
        // The link takes only two-wire machines: a one-wire model is played
        // by one of them.
        setup.modelCode = ro ? "Ky" : c.model;
        Attach(setup, c.noXSide);
        if (ro)
            PlotState.ModelCode = PlotState.ProductName = "Ro";
        ops->bazujClick();
        EXPECT_EQ(HomingMasks(), c.masks) << c.model << (c.noXSide ? " noXside" : "");
        EXPECT_EQ(timerStates, (std::vector<bool>{false, true}));
        timerStates.clear();
    }

    // Homed away from zero: back to zero first, then only the paired groups.
    setup.modelCode = "Ky";
    Attach(setup);
    ops->bazujClick();
    ASSERT_TRUE(ops->gotopoint(true, 2, 50, 50, 40, 40, 0, 0));
    const size_t before = Sent('B').size();
    ops->bazujClick();
    const auto masks = Sent('B', 0);
    ASSERT_EQ(masks.size(), before + 2);
    EXPECT_EQ(masks[before][1], 0x19);
    EXPECT_EQ(masks[before + 1][1], 0x62);
}

TEST_F(MachineOperationsTest, AKeyDuringHomingEndsTheWholeHoming)
{
    Settings().SetItemIndex("Mode", 1);
    Settings().SetItemIndex("StolikSwitch", 1);
    ASSERT_TRUE(ops->gotopoint(true, 2, 100, 100, 100, 100, 0, 0));
    input.decide = [this] { return Sent('B').size() == 2 ? PendingInput::Abort : PendingInput::None; };
    std::vector<bool> movingAtStop;
    hooked->beforeWrite = [&](const QByteArray& r) {
        if (r.at(0) == 'Y')
            movingAtStop.push_back(sim->Status() & 0x1u);
    };
    ops->bazujClick();
    hooked->beforeWrite = nullptr;
    EXPECT_EQ(HomingMasks(), (std::vector<int>{0x19, 0x01})) << "no further group, no table";
    EXPECT_EQ(sim->Reports().back()[0], 'Y');
    EXPECT_EQ(movingAtStop, (std::vector<bool>{true})) << "the key stops the axis on its way";
    EXPECT_FALSE(Status() & 0x1u);
    EXPECT_EQ(timerStates, (std::vector<bool>{false, true}));
}

TEST_F(MachineOperationsTest, GoToPointTakesTheShorterWayRoundAndMovesTheSideAlone)
{
    setup.stepsPerTurn[0] = 6000;  // the spindle
    Attach(setup);
    ASSERT_EQ(StepsPerTurn2, 8000);
    // Table from 0: +4001 is 3999 back, +4000 stays, -4001 is 3999 forward.
    ASSERT_TRUE(ops->gotopoint(true, 2, 0, 0, 0, 0, 4001, 0));
    EXPECT_EQ(sim->Counter(2), -3999);
    ASSERT_TRUE(ops->gotopoint(true, 2, 0, 0, 0, 0, PlotState.TableTurnSteps + 4000, 0));
    EXPECT_EQ(sim->Counter(2), 1);
    ASSERT_TRUE(ops->gotopoint(true, 2, 0, 0, 0, 0, PlotState.TableTurnSteps - 4001, 0));
    EXPECT_EQ(sim->Counter(2), 4000);
    // On this model id 6 is the side wire's Y: a spindle target turns nothing there.
    ASSERT_TRUE(ops->gotopoint(true, 2, 0, 0, 0, 0, PlotState.TableTurnSteps, 3001));
    EXPECT_EQ(sim->Counter(6), 0);

    // Down, as the side wire keeps 10 mm under the front wire.
    ASSERT_TRUE(ops->gotopointKreuz(true, 2, 0, 0, 12, 0, 0, -10, PlotState.TableTurnSteps,
                                    PlotState.SpindleTurnSteps));
    EXPECT_EQ(sim->Counter(SideAxisA), 1200);
    EXPECT_EQ(sim->Counter(SideAxisB), -1000);

    // Heavy: the rotary move first, alone, then the linear one.
    Settings().SetChecked("Heavy", true);
    const size_t before = sim->Reports().size();
    ASSERT_TRUE(ops->gotopoint(true, 2, 5, 5, 0, 0, PlotState.TableTurnSteps + 100, PlotState.SpindleTurnSteps));
    const auto heavy = Sent('S', before);
    ASSERT_EQ(heavy.size(), 1u);
    EXPECT_EQ(heavy[0][1], 2);
    const auto records = Sent('A', before);
    ASSERT_EQ(records.size(), 3u + 4u) << "a rotary move of one axis, a linear one of two";
    EXPECT_EQ(records[1][1], 2);
    EXPECT_EQ(sim->Counter(2), 4100);
    EXPECT_EQ(sim->Counter(0), 500);

    // A go-to while the carriages move is refused.
    Send(Bytes({'V', 2}) + Int16ToBytes(3750));
    int64_t length = 0;
    Send(BuildMove4('A', 2, 100000, 0, 0, 0, 0, 0, 0, 0, length));
    EXPECT_FALSE(ops->gotopoint(true, 2, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(MachineOperationsTest, TheFactoryImageFitsTheParameterMemoryOrIsRefused)
{
    TempProgramDir dir;
    QByteArray image;
    for (int i = 0; i < 256; ++i)
        image.append(static_cast<char>(255 - i));
    dir.Write("eprom.bin", image);
    EXPECT_TRUE(ops->btnRestoreEPROMClick(dir.Path()));
    EXPECT_EQ(Sent('S').size(), 256u);
    EXPECT_EQ(sim->Parameter(0), 255);
    EXPECT_EQ(sim->Parameter(255), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Information);

    dir.Write("eprom.bin", image + QByteArray(1, '\x7F'));
    const size_t before = sim->Reports().size();
    EXPECT_FALSE(ops->btnRestoreEPROMClick(dir.Path()));
    EXPECT_EQ(sim->Reports().size(), before) << "nothing of a longer image is sent";
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].kind, MessageKind::Error);

    // A lost link ends the restore at the first failed byte, without success.
    link->SetPresent(false);
    EXPECT_FALSE(ops->btnRestoreEPROMClick(dir.Path()));
    dir.Write("eprom.bin", image);
    EXPECT_FALSE(ops->btnRestoreEPROMClick(dir.Path()));
    ASSERT_EQ(boxes.shown.size(), 4u) << "one box for the first failed byte, none after it";
    for (size_t i = 2; i < boxes.shown.size(); ++i)
        EXPECT_EQ(boxes.shown[i].kind, MessageKind::Error);
}

TEST_F(MachineOperationsTest, AGoToFromAPositionThatWasNotReadSendsNothing)
{
    ASSERT_TRUE(ops->gotopoint(true, 2, 300, 300, 200, 200, 0, 0));
    const size_t before = sim->Reports().size();
    // The status read of the go-to answers, the position read after it fails.
    int reads = 0;
    hooked->beforeRead = [&] {
        if (++reads == 2)
            link->Bus().FailReads(link->Bus().MachineId(), SimulatedBus::kForever);
    };
    EXPECT_FALSE(ops->gotopoint(true, 2, 100, 100, 50, 50, 0, 0));
    ASSERT_EQ(sim->Reports().size(), before + 1) << "nothing is sent but the heater off";
    EXPECT_EQ(sim->Reports().back()[0], 'R');
    EXPECT_EQ(sim->Reports().back()[1], 0);
    EXPECT_EQ(sim->Counter(0), 30000);
    EXPECT_EQ(sim->Counter(1), 20000);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Control", "ploterBrakLacznosci"));
}

TEST_F(MachineOperationsTest, AControllerThatNeverPausesKeepsItsHeatSpeedAndRunningJob)
{
    // A job of dwells: it works without moving, so the pause's wait for the
    // motion ends at once and only the paused bit is missing.
    Send(Bytes({'f', 0}));
    for (int i = 0; i < 60; ++i)
        Send(Bytes({'p', 250}));
    Send("G");
    JobRunning = true;
    Send(Bytes({'R', 1, 1}));
    clock.Advance(500);
    ASSERT_EQ(Status() & 0x7u, 0x6u) << "working, heating, not moving";
    hooked->swallow = [](const QByteArray& c) { return c == "Q"; };
    const size_t before = sim->Reports().size();
    EXPECT_FALSE(ops->wstrzymaj());
    EXPECT_TRUE(JobRunning) << "its end must still be seen";
    EXPECT_EQ(sim->Reports().size(), before) << "no heater off, no speed slot";
    EXPECT_TRUE(Status() & 0x4u);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Control", "ploterNieWstrzymany"));
}

TEST_F(MachineOperationsTest, DownFiveMillimetresAboveTheSideWireMovesNothingUp)
{
    ops->bazujClick();
    ASSERT_TRUE(Status() & 0x40000u) << "homed";
    ASSERT_TRUE(ops->gotopointKreuz(true, 2, 100, 100, 0, 55, 55, 50, 0, 0));
    EXPECT_TRUE(ReadStatus(m));
    EXPECT_TRUE(ReadPositions(m));
    const size_t before = sim->Reports().size();
    JogByKey(m, Settings(), 40, true, true);
    clock.Advance(5000);
    EXPECT_TRUE(Sent('A', before).empty());
    EXPECT_EQ(sim->Counter(1), 5500);
    EXPECT_EQ(sim->Counter(5), 5500);
    // Nor does a go-to take the back wire closer.
    EXPECT_FALSE(ops->gotopoint(true, 2, 100, 100, 60, 54.99, 0, 0));
    EXPECT_TRUE(Sent('A', before).empty());
}

TEST_F(MachineOperationsTest, OnJyAMoveOfTheFrontWireToCoordinatesLeavesTheSideWire)
{
    // The side wire runs on the back carriage's ids 4 and 5 here.
    setup.modelCode = "Jy";
    Attach(setup);
    ASSERT_TRUE(SideAxesRemapped);
    MoveWindowExecute(m, Settings(), {true, true, false}, 0, 12, 320, 0);
    clock.Advance(600000);
    EXPECT_EQ(sim->Counter(0), 1200);
    EXPECT_EQ(sim->Counter(1), 32000);
    EXPECT_EQ(sim->Counter(4), 0) << "the side wire stood still";
    EXPECT_EQ(sim->Counter(5), 0);

    // The side wire, to coordinates and by a distance, stays 10 mm under it.
    MoveWindowExecute(m, Settings(), {false, false, true}, 0, 0, 400, 0);
    clock.Advance(600000);
    EXPECT_TRUE(ReadPositions(m));
    EXPECT_EQ(PlotState.SideY, 31000);
    MoveWindowExecute(m, Settings(), {false, false, true}, 1, 0, 5, 0);
    clock.Advance(600000);
    EXPECT_TRUE(ReadPositions(m));
    EXPECT_EQ(PlotState.SideY, 31000);
    EXPECT_EQ(PlotState.FrontY, 32000);
}

TEST_F(MachineOperationsTest, APausePointThatWasNotReadIsNeverDrivenBackTo)
{
    RunJob(10000);
    Send(Bytes({'R', 1, 1}));
    clock.Advance(30000);
    // The pause's status reads answer up to the paused bit; the position read
    // after it fails.
    bool sawPaused = false;
    hooked->beforeRead = [&] {
        if (sawPaused)
            link->Bus().FailReads(link->Bus().MachineId(), 10);
        sawPaused = sim->Status() & 0x40u;
    };
    EXPECT_FALSE(ops->wstrzymaj());
    hooked->beforeRead = nullptr;
    EXPECT_FALSE(JobRunning);
    EXPECT_EQ(Status() & 0x44u, 0x40u) << "paused, and the heater off before the box";
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Control", "ploterBrakLacznosci"));

    // CONTINUE with the link back: no way to a place never read, no "K".
    const size_t before = sim->Reports().size();
    ops->kontynuuj();
    EXPECT_TRUE(Sent('A', before).empty());
    EXPECT_TRUE(Sent('K', before).empty());
    for (const auto& r : Sent('R', before))
        EXPECT_EQ(r[1], 0) << "the heater stays off";
    EXPECT_EQ(sim->Counter(0), 5000);
    EXPECT_FALSE(JobRunning);
    EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_F(MachineOperationsTest, ContinueWhosePositionReadFailsSendsNothing)
{
    RunJob(10000);
    clock.Advance(30000);
    ASSERT_TRUE(ops->wstrzymaj());
    // Continue's two status reads answer, its position read fails.
    int reads = 0;
    hooked->beforeRead = [&] {
        if (++reads == 3)
            link->Bus().FailReads(link->Bus().MachineId(), 10);
    };
    const size_t before = sim->Reports().size();
    ops->kontynuuj();
    hooked->beforeRead = nullptr;
    EXPECT_TRUE(Sent('F', before).empty());
    EXPECT_TRUE(Sent('A', before).empty());
    EXPECT_TRUE(Sent('K', before).empty());
    for (const auto& r : Sent('R', before))
        EXPECT_EQ(r[1], 0) << "no heat";
    EXPECT_FALSE(JobRunning);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Control", "ploterBrakLacznosci"));

    // Heated for the way back, whose own position read then fails: the
    // heater is off before the box, not after it.
    struct HeaterAtBox : ScriptedPresenter {
        explicit HeaterAtBox(SimulatedController& s) : sim(s) {}
        void Show(const MessageRequest& request) override
        {
            on.push_back(sim.Status() & 0x4u);
            ScriptedPresenter::Show(request);
        }
        SimulatedController& sim;
        std::vector<bool> on;
    } heaterAtBox{*sim};
    reads = 0;
    hooked->beforeRead = [&] {
        if (++reads == 5)
            link->Bus().FailReads(link->Bus().MachineId(), 10);
    };
    const size_t again = sim->Reports().size();
    ops->kontynuuj();
    hooked->beforeRead = nullptr;
    ASSERT_FALSE(Sent('R', again).empty()) << "the heat-up was switched on";
    EXPECT_TRUE(Sent('A', again).empty());
    EXPECT_TRUE(Sent('K', again).empty());
    EXPECT_EQ(heaterAtBox.on, std::vector<bool>{false});
}

TEST_F(MachineOperationsTest, OnJyAGoToOntoTheSideWireIsRefusedColdAndUnsent)
{
    setup.modelCode = "Jy";
    Attach(setup);
    // The side wire at Y 50 mm, the front wire 50 mm above it.
    ASSERT_TRUE(ops->gotopointKreuz(true, 2, 0, 0, 0, 100, 100, 50, 0, 0));
    ASSERT_EQ(sim->Counter(1), 10000);
    TempProgramDir dir;
    BasePoints points(dir.File("base.txt"));
    points.lista = {BasePointLine(100, 1, 0)};
    points.listaClick(0);
    // A wire left hot by an earlier move goes off before the box; nothing else is sent.
    ASSERT_TRUE(SendCommand(m, Bytes({'R', 1, 2})));
    ASSERT_TRUE(ReadStatus(m));
    ASSERT_TRUE(sim->Status() & 0x4u);
    const size_t hot = sim->Reports().size();
    EXPECT_EQ(points.ustawClick(m, *ops, 0), BasePoints::Go::Close);
    ASSERT_EQ(sim->Reports().size(), hot + 1);
    EXPECT_EQ(sim->Reports().back()[0], 'R');
    EXPECT_FALSE(sim->Status() & 0x4u);
    ASSERT_TRUE(ReadStatus(m));
    const size_t before = sim->Reports().size();
    EXPECT_FALSE(ops->gotopoint(true, 2, 0, 0, 59.99, 59.99, 0, 0));
    EXPECT_EQ(sim->Reports().size(), before);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(Tr("Main_window", "VeKolizjaDrutow")));
    // Taking the side wire down along, the front wire may go low.
    EXPECT_TRUE(ops->gotopointKreuz(true, 2, 0, 0, 0, 1, 1, -9, 0, 0));
    EXPECT_EQ(sim->Counter(1), 100);
    EXPECT_EQ(boxes.shown.size(), 2u);

    // A cut paused at Y 100 mm; meanwhile the side wire went up to 105 mm
    // with the front wire above it. The way back down onto it is refused
    // before the wire is heated.
    ASSERT_TRUE(ops->gotopointKreuz(true, 2, 0, 0, 0, 100, 100, 50, 0, 0));
    RunJob(10000);
    clock.Advance(30000);
    ASSERT_TRUE(ops->wstrzymaj());
    ASSERT_TRUE(ops->gotopointKreuz(true, 2, 50, 50, 0, 120, 120, 105, 0, 0));
    const size_t paused = sim->Reports().size();
    ops->kontynuuj();
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_TRUE(boxes.shown[2].text.startsWith(Tr("Main_window", "VeKolizjaDrutow")));
    for (const auto& r : Sent('R', paused))
        EXPECT_EQ(r[1], 0) << "no heat";
    EXPECT_TRUE(Sent('A', paused).empty());
    EXPECT_TRUE(Sent('K', paused).empty());
    EXPECT_FALSE(JobRunning);
}
