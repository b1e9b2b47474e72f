#include "app/Translator.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/ControlPanel.h"
#include "machine/JobState.h"
#include "machine/PanelInput.h"
#include "machine/SimulatedController.h"
#include "machine/WireSelection.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
using namespace PanelKey;

// The panel's keys and buttons on a simulated two-wire machine.
class PanelInputTest : public MachineWorldTest {
protected:
    void SetUp() override
    {
        MachineWorldTest::SetUp();
        WireSelection() = TsterModel();
        JobRunning = false;
        sim = std::make_unique<SimulatedController>(clock, SimulatedMachineSetup{});
        link = std::make_unique<SimulatedLink>(*sim);
        m.SetLink(*link);
        Build(false);
    }
    void TearDown() override
    {
        keys.reset();
        panel.reset();
        WireSelection() = TsterModel();
        JobRunning = false;
        MachineWorldTest::TearDown();
    }
    void Build(bool noXSide)
    {
        keys.reset();
        panel = std::make_unique<ControlPanel>(m, Settings(), noXSide);
        panel->SetWindow({[] { return true; }, [] { return false; }, [] {}});
        panel->Create();
        keys = std::make_unique<PanelInput>(m, Settings(), *panel);
    }
    int Sent(char letter) const
    {
        int n = 0;
        for (const auto& r : sim->Reports())
            n += r[0] == static_cast<uint8_t>(letter);
        return n;
    }
    bool Moving()
    {
        EXPECT_TRUE(ReadStatus(m));
        return PlotState.Moving();
    }
    // The jog speed the controller runs now.
    uint16_t SlotPeriod()
    {
        EXPECT_TRUE(ReadStatus(m));
        return sim->SlotPeriod(PlotState.SpeedSlot);
    }

    VirtualClock clock;
    ScriptedInput input;
    NoMachineLink none;
    Machine m{none, clock, input};
    std::unique_ptr<SimulatedController> sim;
    std::unique_ptr<SimulatedLink> link;
    std::unique_ptr<ControlPanel> panel;
    std::unique_ptr<PanelInput> keys;
};

TEST_F(PanelInputTest, AHeldKeyJogsOnceAndEveryEndOfItStopsItOnce)
{
    int moves = Sent('A'), stops = Sent('Y');
    EXPECT_TRUE(keys->KeyDown(Left, {}, false));
    const int jog = Sent('A') - moves;
    EXPECT_GT(jog, 0);
    clock.Advance(500);
    EXPECT_TRUE(Moving());
    // Auto-repeat: presses and releases while the key is held change nothing.
    for (int i = 0; i < 3; ++i) {
        keys->KeyUp(Left, {}, true);
        keys->KeyDown(Left, {}, true);
    }
    EXPECT_EQ(Sent('A') - moves, jog);
    EXPECT_EQ(Sent('Y'), stops);
    keys->KeyUp(Left, {}, false);
    EXPECT_EQ(Sent('Y'), stops + 1);
    EXPECT_FALSE(Moving());
    keys->KeyUp(Left, {}, false);
    EXPECT_EQ(Sent('Y'), stops + 1) << "a release with no jog stops nothing";

    // The panel loses the focus mid-jog.
    keys->KeyDown(Pad1 + 7, {}, false);
    EXPECT_TRUE(keys->Jogging());
    keys->FocusLost();
    EXPECT_EQ(Sent('Y'), stops + 2);
    keys->KeyUp(Pad1 + 7, {}, false);
    EXPECT_EQ(Sent('Y'), stops + 2);

    // A release whose status can't be read still stops the wire, unread.
    {
        ScriptedPresenter boxes;
        keys->KeyDown(Left, {}, false);
        clock.Advance(200);
        link->Bus().FailReads(link->Bus().MachineId(), 10);
        keys->KeyUp(Left, {}, false);
        EXPECT_EQ(Sent('Y'), stops + 3);
        EXPECT_EQ(boxes.shown.size(), 1u);
        EXPECT_FALSE(Moving());
    }
    stops += 1;

    // A wait that drops input took the release of a running button jog: the
    // next look stops it.
    keys->ButtonDown(JogButton::kr, true);
    ASSERT_TRUE(keys->Jogging());
    input.queue = {PendingInput::Other, PendingInput::Release};
    input.TakePending();
    input.TakePending();
    clock.Advance(PanelInput::kReleaseCheckMs);
    EXPECT_EQ(Sent('Y'), stops + 3);
    EXPECT_FALSE(Moving()) << "a lost release jogged on to the end of travel";

    // The jog's own wait for the machine to stand took the release.
    int64_t length = 0;
    ASSERT_TRUE(SendCommand(m, BuildMove4('A', SpeedDivisor, 2000, 2000, 0, 0, 0, 0, 0, 0, length)));
    input.queue = {PendingInput::Release};
    keys->KeyDown(Right, {}, false);
    EXPECT_FALSE(keys->Jogging());
    EXPECT_EQ(Sent('Y'), stops + 4);
    EXPECT_FALSE(Moving());

    // A held heater key switches the heater once.
    const int heater = Sent('R');
    for (bool repeat : {false, true, true})
        keys->KeyDown(Insert, {}, repeat);
    EXPECT_EQ(Sent('R'), heater + 1);
}

TEST_F(PanelInputTest, WhileAJobWorksTheJogAndHeaterKeysSendNothingButCtrlStillSetsTheSpeed)
{
    RunOneMoveJob(m, 100000);
    EXPECT_TRUE(ReadStatus(m));
    ASSERT_TRUE(PlotState.JobWorking());
    const size_t reports = sim->Reports().size();
    for (int key : {Left, Pad9, PageUp, Insert, Pad0}) {
        keys->KeyDown(key, {}, false);
        keys->KeyUp(key, {}, false);
    }
    keys->ButtonDown(JogButton::ksl, true);
    keys->ButtonUp(JogButton::ksl);
    panel->k_zalwylClick();
    EXPECT_EQ(sim->Reports().size(), reports) << "a key reached the machine in the middle of the job";
    keys->KeyDown(Ctrl, {false, false, true}, false);
    EXPECT_EQ(sim->Reports().size(), reports + 1) << "Ctrl sets the cutting speed during a cut";
}

TEST_F(PanelInputTest, AJogKeyOnAStatusThatWasNotReadMovesNothing)
{
    // A job of dwells: it works without moving, so a jog would not wait.
    for (const QByteArray& c : {Bytes({'f', 0}), Bytes({'p', 250}), Bytes({'p', 250}), QByteArray("G")})
        ASSERT_TRUE(SendCommand(m, c));
    ASSERT_TRUE(ReadStatus(m));
    ASSERT_EQ(PlotState.StatusFlags & 0x3u, 0x2u);
    ScriptedPresenter boxes;
    const int moves = Sent('A');
    const size_t reports = sim->Reports().size();
    link->Bus().FailReads(link->Bus().MachineId(), 10);
    keys->KeyDown(Left, {}, false);
    keys->KeyUp(Left, {}, false);
    EXPECT_EQ(Sent('A'), moves);
    for (size_t i = reports; i < sim->Reports().size(); ++i)
        EXPECT_EQ(sim->Reports()[i][0] == 'R' ? sim->Reports()[i][1] : 0, 0) << "no heat";
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Control", "ploterBrakLacznosci"));
}

TEST_F(PanelInputTest, CtrlJogsAtATenthAndGivesTheSpeedBack)
{
    panel->VScrollChange(1500);
    const uint16_t normal = SlotPeriod();
    keys->KeyDown(Ctrl, {false, false, true}, false);
    // 150 mm/min: 10^6 / (150 x 100 / 60) / 0.8 = 5000 periods, by the divisor.
    EXPECT_EQ(SlotPeriod(), 5000 / SpeedDivisor);
    keys->KeyDown(Ctrl, {false, false, true}, true);
    keys->KeyDown(Left, {false, false, true}, false);
    keys->KeyUp(Left, {false, false, true}, false);
    keys->KeyDown(Ctrl, {false, false, true}, true);
    keys->KeyUp(Ctrl, {}, false);
    EXPECT_EQ(SlotPeriod(), normal);
    EXPECT_EQ(normal, 500 / SpeedDivisor);

    // The panel loses the focus with Ctrl held: the speed comes back too.
    keys->KeyDown(Ctrl, {false, false, true}, false);
    keys->FocusLost();
    EXPECT_EQ(SlotPeriod(), normal);
}

TEST_F(PanelInputTest, KeypadPlusAndMinusStepByTheSpeedsDecade)
{
    MaxTravelSpeed = 3000;
    panel->VScrollChange(999);
    keys->KeyDown(PadPlus, {}, false);
    EXPECT_EQ(panel->View().VScrollPosition, 1009);
    panel->VScrollChange(1000);
    keys->KeyDown(PadPlus, {}, false);
    EXPECT_EQ(panel->View().VScrollPosition, 1100);
    panel->VScrollChange(20);
    keys->KeyDown(PadPlus, {}, false);
    EXPECT_EQ(panel->View().VScrollPosition, 21);
    keys->KeyDown(PadMinus, {}, false);
    keys->KeyDown(PadMinus, {}, false);
    EXPECT_EQ(panel->View().VScrollPosition, 20) << "below the slider's minimum";
    panel->VScrollChange(2950);
    keys->KeyDown(PadPlus, {}, false);
    EXPECT_EQ(panel->View().VScrollPosition, 3000);
}

TEST_F(PanelInputTest, WithoutASideXAxisTheXButtonsStandDisabledButTheArrowsJogTheSideWire)
{
    Build(true);
    panel->SetWireBox(ControlPanel::WireBox::Side, true);
    clock.Advance(ControlPanel::kLinkIntervalMs);
    EXPECT_FALSE(panel->View().xButtonsEnabled);
    EXPECT_TRUE(panel->View().idleControlsEnabled);
    keys->KeyDown(Right, {}, false);
    clock.Advance(1000);
    EXPECT_TRUE(ReadPositions(m));
    EXPECT_GT(PlotState.SideX, 0);
    EXPECT_EQ(PlotState.FrontX, 0);
    keys->KeyUp(Right, {}, false);
    EXPECT_FALSE(Moving());
}
}  // namespace

TEST(SpeedSliderTextTest, TheLabelAndStepsFollowTheUnitTable)
{
    struct Row {
        int32_t unit;
        int position;
        const char* label;
        int small, large;
    };
    const Row rows[] = {{0, 99, "99", 1, 10},          {0, 105, "110", 10, 100},    {0, 4950, "5000", 100, 500},
                        {0, 7300, "7500", 500, 1000},  {0, 12600, "13000", 1000, 2000},
                        {1, 200, "7.9", 3, 25},        {1, 1000, "39.0", 25, 254},  {2, 1000, "3.3", 30, 305}};
    for (const Row& r : rows) {
        QString label;
        int small = 0, large = 0;
        SpeedSliderText(r.unit, r.position, label, small, large);
        EXPECT_EQ(label.toStdString(), r.label) << r.unit << " " << r.position;
        EXPECT_EQ(small, r.small) << r.unit << " " << r.position;
        EXPECT_EQ(large, r.large) << r.unit << " " << r.position;
    }
}
