#include "app/CommandLine.h"
#include "app/Translator.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/ControlPanel.h"
#include "machine/JobState.h"
#include "machine/MoveCommands.h"
#include "machine/SimulatedController.h"
#include "machine/Transmission.h"
#include "machine/WireSelection.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/joystick.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace {
class ControlPanelTest : public MachineWorldTest {
protected:
    void SetUp() override
    {
        MachineWorldTest::SetUp();
        WireSelection() = TsterModel();
        JobRunning = JobStopped = false;
        sim = std::make_unique<SimulatedController>(clock, SimulatedMachineSetup{});
        link = std::make_unique<SimulatedLink>(*sim);
        m.SetLink(*link);
        panel = std::make_unique<ControlPanel>(m, Settings(), false);
        // Each call the main window gets, with the number of "Y" sent before it.
        auto note = [this](const char* what) {
            return [this, what] { calls.push_back(what + std::to_string(Sent('Y'))); };
        };
        panel->SetHooks({note("start"), note("stop"), note("continue"), note("menus"), {}});
        panel->Create();
    }
    void TearDown() override
    {
        panel.reset();
        WireSelection() = TsterModel();
        JobRunning = JobStopped = false;
        MachineWorldTest::TearDown();
    }
    int Sent(char letter) const
    {
        int n = 0;
        for (const auto& r : sim->Reports())
            n += r[0] == static_cast<uint8_t>(letter);
        return n;
    }
    void Send(const QByteArray& c) { ASSERT_TRUE(SendCommand(m, c)); }
    // A job of one front X move of `steps` at 100 mm/min, running.
    void RunJob(int32_t steps)
    {
        RunOneMoveJob(m, steps);
    }

    VirtualClock clock;
    ScriptedInput input;
    Machine m{NoMachineLinkInstance(), clock, input};
    std::unique_ptr<SimulatedController> sim;
    std::unique_ptr<SimulatedLink> link;
    std::unique_ptr<ControlPanel> panel;
    std::vector<std::string> calls;

    static NoMachineLink& NoMachineLinkInstance()
    {
        static NoMachineLink none;
        return none;
    }
};

TEST_F(ControlPanelTest, MachineKeysActOncePerPressEachAfterItsOwnStop)
{
    const int y0 = Sent('Y');
    const std::string y1 = std::to_string(y0 + 1), y2 = std::to_string(y0 + 2);
    // START and STOP in the same status: both, in this order, each after its "Y".
    sim->PressKey(MachineKey::Start);
    sim->PressKey(MachineKey::Stop);
    clock.Advance(ControlPanel::kLinkIntervalMs);
    EXPECT_EQ(calls, (std::vector<std::string>{"start" + y1, "stop" + y2}));

    // A key held over three ticks acts on the first of them only.
    clock.Advance(ControlPanel::kLinkIntervalMs);  // a tick sees the keys up
    calls.clear();
    sim->HoldKey(MachineKey::Start, true);
    clock.Advance(3 * ControlPanel::kLinkIntervalMs);
    sim->HoldKey(MachineKey::Start, false);
    clock.Advance(ControlPanel::kLinkIntervalMs);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].rfind("start", 0), 0u);

    // CONTINUE while the cut runs is ignored, and the controller keeps it
    // latched; after a pause from the program the operator's own press
    // continues, and only it.
    calls.clear();
    RunJob(100000);
    JobRunning = false;  // a paused job reports no work: no end of job here
    int y = Sent('Y');
    sim->PressKey(MachineKey::Continue);
    clock.Advance(3 * ControlPanel::kLinkIntervalMs);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(Sent('Y'), y) << "an ignored key stops nothing";
    Send("Q");
    clock.Advance(500);
    EXPECT_TRUE(ReadStatus(m));
    ASSERT_TRUE(PlotState.Paused());
    EXPECT_TRUE(calls.empty()) << "the press from the cut does not continue the pause";
    y = Sent('Y');
    sim->PressKey(MachineKey::Continue);
    clock.Advance(ControlPanel::kLinkIntervalMs);
    EXPECT_EQ(calls, (std::vector<std::string>{"continue" + std::to_string(y + 1)}));
}

TEST_F(ControlPanelTest, TheEndOfAJobIsNoticedOnceAndRepeatRestartsItUnlessStopped)
{
    SetCommandLine({"REPEAT"});
    RunJob(2000);  // 20 mm at 100 mm/min: 12 s
    clock.Advance(5000);
    EXPECT_TRUE(calls.empty()) << "the job still runs";
    EXPECT_TRUE(JobRunning);
    clock.Advance(20000);
    EXPECT_FALSE(JobRunning);
    // Menus once at the end; the restart 10 s after it, once.
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].rfind("menus", 0), 0u);
    EXPECT_EQ(calls[1].rfind("start", 0), 0u);
    EXPECT_FALSE(panel->RepeatPending());

    // The next end waits again; STOP at the machine during the wait cancels it.
    calls.clear();
    RunJob(100);
    clock.Advance(2000);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(panel->RepeatPending());
    sim->PressKey(MachineKey::Stop);
    clock.Advance(ControlPanel::kRepeatDelayMs + 1000);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].rfind("stop", 0), 0u);
    EXPECT_FALSE(panel->RepeatPending());
}

TEST_F(ControlPanelTest, NoTickWorksOnTheMachineWhileAWindowPlansOrAnotherTickRuns)
{
    bool planning = true;
    m.SetTicksHeldOff([&] { return planning; });
    RunJob(100);  // 1 mm at 100 mm/min: 0.6 s
    size_t reports = sim->Reports().size();
    clock.Advance(3000);
    EXPECT_EQ(sim->Reports().size(), reports) << "the status timer read or sent something while a window plans";
    EXPECT_TRUE(JobRunning);
    EXPECT_TRUE(calls.empty());
    planning = false;
    clock.Advance(ControlPanel::kLinkIntervalMs);
    EXPECT_FALSE(JobRunning) << "the end of the job is noticed once the planner is done";
    EXPECT_EQ(calls, (std::vector<std::string>{"menus0"}));

    // The transfer waits too, and so does it inside a status tick (whose box
    // lets timers fire): the machine key START starts it from there.
    QTemporaryDir dir;
    const QString path = dir.path() + "/out.cn";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("G"));
    file.close();
    Transmission transfer(m);
    planning = true;
    ASSERT_TRUE(transfer.Start(path));
    reports = sim->Reports().size();
    clock.Advance(500);
    EXPECT_EQ(sim->Reports().size(), reports) << "the transfer sent something while a window plans";
    planning = false;
    clock.Advance(100);
    EXPECT_TRUE(transfer.GoSent()) << "the transfer went once the planner was done";
    size_t insideTick = 0;
    PanelHooks hooks;
    hooks.Start1Click = [&] {
        ASSERT_TRUE(transfer.Start(path));
        reports = sim->Reports().size();
        clock.Advance(500);
        insideTick = sim->Reports().size() - reports;
    };
    panel->SetHooks(hooks);
    sim->PressKey(MachineKey::Start);
    clock.Advance(ControlPanel::kLinkIntervalMs);
    EXPECT_EQ(insideTick, 0u) << "the transfer sent something inside the status tick";
    clock.Advance(100);
    EXPECT_FALSE(transfer.Running()) << "the transfer went once the tick was done";
    EXPECT_TRUE(transfer.GoSent());
}

TEST_F(ControlPanelTest, TheTimerSlowsWithoutALinkAndKeepsRunning)
{
    EXPECT_TRUE(panel->TimerEnabled());
    clock.Advance(ControlPanel::kLinkIntervalMs);
    EXPECT_EQ(panel->Interval(), ControlPanel::kLinkIntervalMs);
    link->SetPresent(false);
    clock.Advance(ControlPanel::kLinkIntervalMs);
    EXPECT_EQ(panel->Interval(), ControlPanel::kNoLinkIntervalMs);
    EXPECT_TRUE(panel->TimerEnabled());
    // The machine keys work again once the link is back, at the slow poll's
    // next tick and not sooner.
    link->SetPresent(true);
    sim->PressKey(MachineKey::Start);
    clock.Advance(ControlPanel::kNoLinkIntervalMs - 1);
    EXPECT_TRUE(calls.empty());
    clock.Advance(1);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(panel->Interval(), ControlPanel::kLinkIntervalMs);

    // A panel created without a machine runs its timer all the same.
    ScriptedPresenter boxes;
    Machine alone(NoMachineLinkInstance(), clock, input);
    ControlPanel lonely(alone, Settings(), false);
    lonely.Create();
    ASSERT_EQ(boxes.shown.size(), 1u);
    clock.Advance(ControlPanel::kLinkIntervalMs);
    EXPECT_TRUE(lonely.TimerEnabled());
    EXPECT_EQ(lonely.Interval(), ControlPanel::kNoLinkIntervalMs);
}
}  // namespace

namespace {
TEST_F(ControlPanelTest, WireBoxesSwitchTheMachineAndFollowTheEndOfAJob)
{
    // Created on a two-wire model: front and back selected.
    EXPECT_TRUE(WireSelection().KeyFront && WireSelection().KeyBack && !WireSelection().KeySide);
    // A front jog heats on the manual channel ("R", 1, 2); ticking Side moves
    // the manual heater to the side wire, and the panel's refresh keeps it
    // there, through the next "R", 1, 2 too (a side jog, a base point's Go),
    // while an output switched at the machine is followed.
    panel->SetWindow({[] { return true; }, {}, {}});
    Send(Bytes({'R', 1, 2}));
    Send(Bytes({'R', 0, 2}));
    panel->SetWireBox(ControlPanel::WireBox::Side, true);
    clock.Advance(3 * ControlPanel::kLinkIntervalMs);
    EXPECT_TRUE(WireSelection().KeySide);
    Send(Bytes({'R', 1, 2}));
    Send(Bytes({'R', 0, 2}));
    clock.Advance(3 * ControlPanel::kLinkIntervalMs);
    EXPECT_TRUE(WireSelection().KeySide);
    Send(Bytes({'S', 4}) + Int32ToBytes(0));
    clock.Advance(3 * ControlPanel::kLinkIntervalMs);
    EXPECT_TRUE(WireSelection().KeyFront && WireSelection().KeyBack && !WireSelection().KeySide);
    panel->SetWindow({});
    panel->SetWireBox(ControlPanel::WireBox::Side, true);
    EXPECT_FALSE(WireSelection().KeyFront || WireSelection().KeyBack);
    EXPECT_EQ(sim->PowerOutput(), 5);
    panel->SetWireBox(ControlPanel::WireBox::Front, true);
    EXPECT_FALSE(WireSelection().KeySide);
    EXPECT_EQ(sim->PowerOutput(), 0);

    // Cutting with "MoveAfter": the side wire after the front job, and back
    // to the front and back wires after the side job.
    Settings().SetChecked("MoveAfter", true);
    RunJob(100);
    clock.Advance(2000);
    EXPECT_TRUE(WireSelection().KeySide && !WireSelection().KeyFront && !WireSelection().KeyBack);
    EXPECT_EQ(sim->PowerOutput(), 5);
    RunJob(100);
    clock.Advance(2000);
    EXPECT_TRUE(WireSelection().KeyFront && WireSelection().KeyBack && !WireSelection().KeySide);
    EXPECT_EQ(calls, (std::vector<std::string>{"menus" + std::to_string(Sent('Y')), "menus" + std::to_string(Sent('Y'))}));

    // A model with one wire: the boxes send nothing.
    const size_t reports = sim->Reports().size();
    PlotState.ModelCode = "Ro";
    panel->SetWireBox(ControlPanel::WireBox::Side, true);
    EXPECT_EQ(sim->Reports().size(), reports);
}
}  // namespace

namespace {
struct ScriptedJoystick : Joystick {
    bool Read(JoystickPosition& position) override
    {
        position = at;
        return plugged;
    }
    JoystickPosition at;
    bool plugged = true;
};

TEST_F(ControlPanelTest, AJoystickJogStopsOnceInTheDeadBandAndWhenTheStickIsNoLongerRead)
{
    bool shown = true;
    panel->SetWindow({[&] { return shown; }, {}, {}});
    auto owned = std::make_unique<ScriptedJoystick>();
    ScriptedJoystick& stick = *owned;
    panel->SetJoystick(std::move(owned));
    auto ticks = [&](int n) { clock.Advance(n * ControlPanel::kLinkIntervalMs); };
    auto jogs = [&] {  // a jog heats the wire on channel 2 first
        int n = 0;
        for (const auto& r : sim->Reports())
            n += r[0] == 'R' && r[1] == 1 && r[2] == 2;
        return n;
    };
    auto moving = [&] {
        EXPECT_TRUE(ReadStatus(m));
        return PlotState.Moving();
    };
    // Full right, then the edge of the dead band; then the stick unplugged,
    // the panel deactivated, the panel no longer the active window.
    for (int way = 0; way < 4; ++way) {
        stick.at.x = 65535;
        stick.plugged = shown = true;
        panel->Activate();
        ticks(3);
        const int j = jogs(), y = Sent('Y');
        EXPECT_TRUE(moving()) << way;
        if (way == 0)
            stick.at.x = 32768 + 5000;
        else if (way == 1)
            stick.plugged = false;
        else if (way == 2) {
            panel->PanelDeactivated();
            EXPECT_EQ(Sent('Y'), y + 1) << "at once";
        } else
            shown = false;
        ticks(3);
        EXPECT_EQ(Sent('Y'), y + 1) << way;
        EXPECT_EQ(jogs(), j) << way;
        EXPECT_FALSE(moving()) << way;
    }
}

TEST(LinuxJoystickTest, TakesTheEventsWithoutWaitingAndNoticesTheDeviceGone)
{
    QTemporaryDir dir;
    const QByteArray path = (dir.path() + "/js0").toLocal8Bit();
    ASSERT_EQ(mkfifo(path.constData(), 0600), 0);
    const int device = ::open(path.constData(), O_RDWR | O_NONBLOCK);
    const js_event events[] = {{0, 32767, JS_EVENT_AXIS | JS_EVENT_INIT, 0}, {0, -32767, JS_EVENT_AXIS, 1},
                               {0, 1, JS_EVENT_BUTTON, 3}, {0, 1, JS_EVENT_BUTTON, 0}, {0, 0, JS_EVENT_BUTTON, 0}};
    ASSERT_EQ(::write(device, events, sizeof events), static_cast<ssize_t>(sizeof events));
    LinuxJoystick stick(QString::fromLocal8Bit(path));
    JoystickPosition p;
    for (int read = 0; read < 2; ++read) {  // the second finds nothing new and does not wait
        ASSERT_TRUE(stick.Read(p));
        EXPECT_EQ(std::vector<uint32_t>({p.x, p.y, p.z, p.buttons}), std::vector<uint32_t>({65535, 0, 32768, 8}));
    }
    ::close(device);
    EXPECT_FALSE(stick.Read(p)) << "unplugged";
}
}  // namespace

TEST_F(ControlPanelTest, ASerialRepetitionLowersTheFrontWiresAndLeavesTheSideWire)
{
    // The side wire at 50 mm on id 6, which a spindle turn would drive here.
    Send(Bytes({'V', 2}) + Int16ToBytes(3750));
    Send(Bytes({'F', 2}));
    int64_t length = 0;
    Send(BuildMove10('A', 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5000, length));
    clock.Advance(60000);
    ASSERT_EQ(sim->Counter(6), 5000);
    double offsetX = 10, offsetY = 100;
    panel = std::make_unique<ControlPanel>(m, Settings(), false, AxisOffsetRefs{&offsetX, &offsetY});
    panel->SetWindow({[] { return true; }, {}, {}});
    panel->Create();
    SerialRepeats = 1;
    SerialShiftDown = 5;
    RepeatReturnX = 0;
    SerialRepeatActive = true;
    const int runs = Sent('G');
    clock.Advance(ControlPanel::kLinkIntervalMs);
    EXPECT_EQ(sim->Counter(1), 9500) << "the front wire went down by the shift";
    EXPECT_EQ(sim->Counter(6), 5000) << "the side wire stood still";
    EXPECT_EQ(offsetY, 95.0);
    EXPECT_EQ(Sent('G'), runs + 1) << "the job in memory runs again from there";
    // The last repetition done: the next idle ticks end the series, run nothing more.
    clock.Advance(3 * ControlPanel::kLinkIntervalMs);
    EXPECT_FALSE(SerialRepeatActive);
    EXPECT_EQ(Sent('G'), runs + 1);
    EXPECT_EQ(offsetY, 95.0);
    // A repetition that would lower the front wires to 5 mm above the side
    // wire is refused with nothing sent, and the series ends there.
    ScriptedPresenter boxes;
    SerialRepeats = 2;
    SerialShiftDown = 40;
    SerialRepeatActive = true;
    const size_t reports = sim->Reports().size();
    clock.Advance(3 * ControlPanel::kLinkIntervalMs);
    EXPECT_EQ(sim->Reports().size(), reports);
    EXPECT_FALSE(SerialRepeatActive);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(Tr("Main_window", "VeKolizjaDrutow")));
    SerialRepeatActive = false;
    SerialRepeats = 0;
}
