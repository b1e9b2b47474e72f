// START, STOP and continue against the simulated controller on virtual time:
// a drawing opened and planned, cut through the program's own USB link.
#include "app/MainStatus.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/CutState.h"
#include "job/Job.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/ControlPanel.h"
#include "machine/CutStart.h"
#include "machine/JobState.h"
#include "machine/MachineConstants.h"
#include "machine/MachineOperations.h"
#include "machine/MachineState.h"
#include "machine/SideWire.h"
#include "machine/SimulatedController.h"
#include "machine/Transmission.h"
#include "machine/WireSelection.h"
#include "tests/support/CommandFile.h"
#include "tests/support/FakeLink.h"
#include "tests/support/HookedLink.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstring>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <array>

using namespace cmdfile;

namespace {
// A many-sided polygon: a file far longer than the controller's job memory.
std::string Polygon(int sides, double cx, double cy, double r)
{
    std::string s = "PU" + std::to_string(int(cx + r)) + "," + std::to_string(int(cy)) + ";PD";
    for (int i = 1; i <= sides; ++i) {
        const double a = 2 * M_PI * i / sides;
        s += std::to_string(int(std::lround(cx + r * std::cos(a)))) + "," +
             std::to_string(int(std::lround(cy + r * std::sin(a))));
        s += i == sides ? ";" : ",";
    }
    return s + "PU;";
}

// Answers as scripted, noting whether the heater was on at each question.
struct HeaterAtQuestion : ScriptedPresenter {
    explicit HeaterAtQuestion(SimulatedController& s) : sim(s) {}
    int Ask(const MessageRequest& request) override
    {
        on.push_back(sim.Status() & 0x4u);
        return ScriptedPresenter::Ask(request);
    }
    SimulatedController& sim;
    std::vector<bool> on;
};

class CutStartTest : public MachineWorldTest, protected SimulatedRig {
protected:
    void SetUp() override
    {
        MachineWorldTest::SetUp();
        Settings().SetChecked("AddFrame", false);
        PointTolerance = 10.0;
        WireSelection() = TsterModel();
        JobRunning = JobStopped = false;
        JobFileMode = 32;
        IdentifyMachine(m);
    }
    void TearDown() override
    {
        WireSelection() = TsterModel();
        JobRunning = JobStopped = false;
        MachineWorldTest::TearDown();
    }
    void Load(const std::string& drawing)
    {
        ASSERT_TRUE(job.Load(dir.Write("part.plt", QByteArray::fromStdString(drawing)), 255));
        // Rotary cuts and turning order their figures without the plain planner.
        if (Settings().Mode() != 1 && Settings().Mode() != 3) {
            ASSERT_TRUE(job.PathPlanned);
        }
    }
    // The reports from `from` on with the letter.
    std::vector<size_t> Indexes(char letter, size_t from = 0) const
    {
        std::vector<size_t> out;
        for (size_t i = from; i < sim.Reports().size(); ++i)
            if (sim.Reports()[i][0] == static_cast<uint8_t>(letter))
                out.push_back(i);
        return out;
    }
    bool Start() { return cut.Start1Click({&job}, &job, StartSource::MenuOrButton, false); }

    ScopedTranslator translator;
    TempProgramDir dir{false};
    ScriptedPresenter boxes;
    TJob job;
    Transmission tx{m};
    MachineOperations ops{m, Settings(), false};
    CutStart cut{m, Settings(), WireSelection(), ops, tx};
};
}  // namespace

TEST_F(CutStartTest, MainRoadStartStopGoAwayContinueToTheEnd)
{
    Load(Polygon(600, 4000, 4000, 1600));
    tx.SetSettlePause([this] { return ops.SettlePause(); });
    // START while the wires still travel to their place, the back one higher:
    // the controller is told the front wire's place once it stands there.
    ASSERT_TRUE(ops.gotopoint(true, 2, 300, 300, 50, 60, 0, 0));
    ASSERT_TRUE(ops.gotopoint(false, 2, 100, 100, 50, 60, 0, 0));
    const size_t before = sim.Reports().size();
    SerialRepeatActive = true;  // left from a serial start
    ASSERT_TRUE(Start());
    EXPECT_FALSE(SerialRepeatActive) << "no repetition moves the wires after this job";
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(JobFileMode, 32) << "the job type is set back after the save";
    ASSERT_TRUE(tx.Running());

    // "Q" and "C" clear what the controller held; "U" tells it where the front wire is.
    const auto q = Indexes('Q', before), c = Indexes('C', before), u = Indexes('U', before);
    ASSERT_EQ(q.size(), 1u);
    ASSERT_EQ(c.size(), 1u);
    ASSERT_EQ(u.size(), 1u);
    EXPECT_LT(q[0], c[0]);
    EXPECT_LT(c[0], u[0]);
    const auto& ur = sim.Reports()[u[0]];
    int32_t ux = 0, uy = 0;
    std::memcpy(&ux, &ur[1], 4);
    std::memcpy(&uy, &ur[5], 4);
    EXPECT_EQ(ux, 10000);
    EXPECT_EQ(uy, 5000);

    const QByteArray file = ReadFile(dir.File("out.cn"));
    const std::vector<Item> items = Decode(file);
    Positions start{};
    start[FrontX] = start[BackX] = 10000;
    start[FrontY] = start[BackY] = 5000;
    const std::vector<Positions> path = Replay(items, start);
    ASSERT_GT(path.size(), 500u);
    ASSERT_GT(Split(file).size(), 1000u) << "longer than the job memory";

    // Some way into the cut, STOP pauses it with the heater off.
    clock.Advance(6000);
    const auto firstJobCommand = Indexes('a', before);
    ASSERT_FALSE(firstJobCommand.empty());
    EXPECT_LT(u[0], firstJobCommand[0]) << "the position is set before the job arrives";
    ASSERT_TRUE(JobRunning);
    ASSERT_TRUE(sim.Status() & 0x4u) << "the wire heats while cutting";
    EXPECT_TRUE(cut.Wstrzymaj1Click());
    EXPECT_TRUE(JobStopped);
    EXPECT_FALSE(JobRunning);
    EXPECT_EQ(sim.Status() & 0x47u, 0x40u) << "paused, still, the heater off";
    // The wire stopped on the path the file describes.
    const double px = ops.PausePositions[0], py = ops.PausePositions[1];
    double nearest = 1e18;
    for (size_t i = 1; i < path.size(); ++i) {
        const double ax = double(path[i - 1][FrontX]), ay = double(path[i - 1][FrontY]);
        const double dx = double(path[i][FrontX]) - ax, dy = double(path[i][FrontY]) - ay;
        const double len2 = dx * dx + dy * dy;
        const double t = len2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0) : 0.0;
        nearest = std::min(nearest, std::hypot(ax + t * dx - px, ay + t * dy - py));
    }
    EXPECT_LT(nearest, 2.0) << "paused at " << px << ", " << py;
    EXPECT_FALSE(px == 10000 && py == 5000) << "the cut had moved on";

    // The operator drives away; continue comes back to the pause point before "K".
    ASSERT_TRUE(ops.gotopoint(true, 2, 150, 150, 120, 120, 0, 0));
    const size_t beforeContinue = sim.Reports().size();
    cut.Kontynuacja1Click();
    EXPECT_FALSE(JobStopped);
    EXPECT_TRUE(JobRunning);
    const auto moves = Indexes('A', beforeContinue), resumes = Indexes('K', beforeContinue);
    ASSERT_EQ(resumes.size(), 1u);
    ASSERT_FALSE(moves.empty());
    EXPECT_LT(moves.back(), resumes[0]);
    EXPECT_EQ(sim.Count(SimEvent::ResumeRefused), 0) << "not back at the pause point";

    for (int i = 0; i < 2000 && (tx.Running() || (sim.Status() & 0x2u)); ++i)
        clock.Advance(1000);
    EXPECT_FALSE(tx.Running());
    EXPECT_EQ(sim.Status() & 0x3u, 0u) << "the job ran to its end";
    EXPECT_EQ(MainStatusText(), "Transmisja zakonczona");
    EXPECT_EQ(sim.Count(SimEvent::Starvation), 0);
    EXPECT_EQ(sim.Count(SimEvent::Overrun), 0);
    EXPECT_EQ(sim.Count(SimEvent::TravelLimit), 0);

    // The controller received the file, command by command, and ended where it leads.
    const std::vector<Command> commands = Split(file);
    EXPECT_EQ(CommandsReceived(sim.Reports(), before, commands), commands.size());
    for (int axis : {FrontX, FrontY, BackX, BackY})
        EXPECT_EQ(sim.Counter(axis), path.back()[static_cast<size_t>(axis)]) << "axis " << axis;
}

TEST_F(CutStartTest, RefusalsAndAFailedSaveSendNoJob)
{
    Load(Polygon(8, 4000, 4000, 1600));
    // A window still planning: nothing happens.
    size_t before = sim.Reports().size();
    EXPECT_FALSE(cut.Start1Click({&job}, &job, StartSource::MenuOrButton, true));
    EXPECT_EQ(sim.Reports().size(), before);

    // A controller holding a job it may go on with gets "G" and no new file.
    for (const QByteArray& c : {QByteArray("C"), QByteArray("p") + char(5)})
        ASSERT_TRUE(SendCommand(m, c));
    EXPECT_TRUE(ReadStatus(m));
    ASSERT_TRUE(PlotState.JobWorking() && PlotState.WaitsForGo());
    before = sim.Reports().size();
    EXPECT_FALSE(Start());
    EXPECT_FALSE(QFile::exists(dir.File("out.cn")));
    // Only the positioning speed and "G" go out.
    std::string letters;
    for (size_t i = before; i < sim.Reports().size(); ++i)
        letters += static_cast<char>(sim.Reports()[i][0]);
    EXPECT_EQ(letters, "VG");
    EXPECT_EQ(sim.Reports()[before][1], 0) << "the positioning slot";
    EXPECT_TRUE(JobRunning);

    // The save can't write "out.cn": nothing is cleared, positioned or sent.
    ASSERT_TRUE(SendCommand(m, "C"));
    tx.Stop();
    QFile::remove(dir.File("out.cn"));
    ASSERT_TRUE(QDir().mkpath(dir.File("out.cn")));
    before = sim.Reports().size();
    boxes.shown.clear();
    EXPECT_FALSE(Start());
    EXPECT_FALSE(tx.Running());
    EXPECT_FALSE(boxes.shown.empty());
    for (char letter : {'Q', 'C', 'U', 'a', 'G'})
        EXPECT_TRUE(Indexes(letter, before).empty()) << letter;
    EXPECT_EQ(JobFileMode, 32);

    // "test" as the first parameter: no "Q"/"C" exchange; "TEST" does not count.
    QDir(dir.File("out.cn")).removeRecursively();
    for (const char* p : {"TEST", "test"}) {
        SetCommandLine({p});
        before = sim.Reports().size();
        ASSERT_TRUE(Start()) << p;
        EXPECT_EQ(Indexes('C', before).empty(), std::string(p) == "test") << p;
        tx.Stop();
        ASSERT_TRUE(SendCommand(m, "C"));
    }
}

TEST_F(CutStartTest, TransverseStartChecksTheFrontAndBackBoxesAsTheirClicksWould)
{
    Load(Polygon(8, 4000, 4000, 1600));
    Settings().SetItemIndex("Mode", 5);
    ASSERT_TRUE(IsTwoWireModel());
    // The panel's operations: their box hook runs the click handlers, which
    // switch the machine to the wires.
    std::vector<std::pair<OperationHooks::WireBox, bool>> clicks;
    OperationHooks hooks;
    hooks.setWireBox = [&](OperationHooks::WireBox box, bool checked) { clicks.emplace_back(box, checked); };
    MachineOperations panelOps{m, Settings(), false, hooks};
    CutStart start{m, Settings(), WireSelection(), panelOps, tx};
    start.Start1Click({&job}, &job, StartSource::MenuOrButton, false);
    using Box = OperationHooks::WireBox;
    EXPECT_EQ(clicks, (std::vector<std::pair<Box, bool>>{{Box::Front, true}, {Box::Back, true}}));
    clicks.clear();
    start.Start1Click({&job}, &job, StartSource::MachineKey, false);
    EXPECT_TRUE(clicks.empty()) << "the machine's START key leaves the boxes";
}

TEST_F(CutStartTest, RotaryOriginsAndTheirRefusal)
{
    // A spindle job standing above the axis: origin and offset over the
    // spindle height; a flat one below it, refused when it does not fit.
    Settings().SetItemIndex("Mode", 1);
    Settings().SetItemIndex("StolikSwitch", 0);
    Settings().SetValue("Ywrzeciona", 300);  // within the machine's height
    job.HasSpindleAxis = 1;
    job.JobHeight = 4000;  // 100 mm
    job.FlatProfile = 0;
    SetCommandLine({"test"});
    cut.tnij(job, 0, 0, 1);
    const double axisY = Settings().Value("Ywrzeciona");
    const double half = Settings().Value("Srednicamaterialu") / 2.0;
    EXPECT_DOUBLE_EQ(CutOriginY, axisY + 100.0 * Settings().Skala() / 100.0);
    EXPECT_DOUBLE_EQ(AxisOffsetY, axisY + std::max(100.0 * Settings().Skala() / 100.0, half));

    job.FlatProfile = 1;
    job.JobHeight = static_cast<int32_t>((axisY + 1.0) * 40.0 * 100.0 / Settings().Skala());
    boxes.shown.clear();
    EXPECT_FALSE(cut.tnij(job, 0, 0, 1));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Main_window", "projektZaDuzaWysokosc"));
    EXPECT_EQ(JobFileMode, 32);

    // The wire may stand 0.05 mm under the spindle's height, at any height:
    // whole hundredths, not a difference of doubles.
    SetCommandLine({});
    Load("PU0,0;PD4000,0;PU400,400;PD2000,800,3600,400;PU;");  // the axis and a profile over it
    ASSERT_EQ(job.HasSpindleAxis, 1);
    job.FlatProfile = 0;
    ops.bazujClick();
    for (double y : {299.94, 299.95}) {
        ASSERT_TRUE(ops.gotopoint(true, 2, 100, 100, y, y, 0, 0));
        boxes.shown.clear();
        cut.tnij(job, 0, 0, 1);
        const bool refused = std::any_of(boxes.shown.begin(), boxes.shown.end(), [](const MessageRequest& r) {
            return r.text == Tr("Main_window", "ploterPonizejPunktuStart");
        });
        EXPECT_EQ(refused, y < 299.95) << y;
        StopMotion(m);
        EXPECT_TRUE(WaitWhileBusy(m));
    }
}

namespace {
// Serial cutting on the table: three numbered windows, open profiles that a
// change of feed direction turns round.
class SerialStartTest : public CutStartTest {
protected:
    void SetUp() override
    {
        CutStartTest::SetUp();
        Settings().SetItemIndex("Mode", 2);
        Settings().SetItemIndex("StolikSwitch", 1);
        Settings().SetItemIndex("CatDir", 2);
        Settings().SetValue("Xstolika", 300);
        Settings().SetValue("Ystolika", 50);
        Settings().SetValue("Srednicamaterialu", 100);
        CutOffModel = true;
        SerialRepeats = 3;
        // Window order 7, 1, 5: the cut goes by number, not by window.
        for (int n : {7, 1, 5}) {
            windows.push_back(std::make_unique<TJob>());
            const std::string d = "PU0,0;PD1200," + std::to_string(200 * n) + ",2400,0;PU;";
            ASSERT_TRUE(windows.back()->Load(dir.Write(QString("s%1.plt").arg(n), QByteArray::fromStdString(d)), 255));
            windows.back()->SerialIndex = n;
        }
        ops.bazujClick();
        EXPECT_TRUE(ReadStatus(m));
        ASSERT_TRUE(PlotState.Homed());
    }
    void TearDown() override
    {
        CutOffModel = false;
        SerialRepeats = 0;
        CutStartTest::TearDown();
    }
    std::vector<TJob*> Windows() const
    {
        std::vector<TJob*> out;
        for (const auto& w : windows)
            out.push_back(w.get());
        return out;
    }
    TJob& Numbered(int n) const
    {
        for (const auto& w : windows)
            if (w->SerialIndex == n)
                return *w;
        throw std::logic_error("no window");
    }
    // The piece's own file as its window writes it in the given direction.
    QByteArray Piece(int n, int direction)
    {
        TJob& w = Numbered(n);
        w.UstawKierunek(direction);
        JobFileMode = 33;
        const QString name = dir.File("piece.cn");
        EXPECT_TRUE(w.save_ciecie(name, 0.5 / 3, 7));
        JobFileMode = 32;
        return ReadFile(name);
    }
    std::vector<std::unique_ptr<TJob>> windows;
};
}  // namespace

TEST_F(SerialStartTest, JoinsTheNumberedWindowsInOrderAlternatingAndEntersHot)
{
    // The heater left on must not turn the heated entry into a cold one.
    ASSERT_TRUE(SendCommand(m, Bytes({'R', 1, PlotState.HeaterChannel})));
    EXPECT_TRUE(ReadStatus(m));
    const uint8_t channel = PlotState.HeaterChannel;
    ASSERT_TRUE(dir.Write("out.cn", "stale") != QString());
    const size_t before = sim.Reports().size();
    ASSERT_TRUE(cut.Start1Click(Windows(), windows[0].get(), StartSource::MenuOrButton, false));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(tx.Running());
    EXPECT_EQ(SerialRepeats, 0);
    EXPECT_FALSE(QFile::exists(dir.File("out.cntmp")));
    EXPECT_EQ(Numbered(7).FeedSign[1], -1) << "the last window's feed sign flips";

    // Heater on, the slot-1 entry move, heater off; all before the job.
    clock.Advance(100);
    const auto r = Indexes('R', before), a = Indexes('A', before), jobCmds = Indexes('v', before);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(sim.Reports()[r[0]][1], 1);
    EXPECT_EQ(sim.Reports()[r[0]][2], channel);
    EXPECT_EQ(sim.Reports()[r[1]][1], 0);
    EXPECT_EQ(sim.Reports()[r[1]][2], channel);
    EXPECT_TRUE(std::any_of(a.begin(), a.end(), [&](size_t i) { return i > r[0] && i < r[1]; }));
    ASSERT_FALSE(jobCmds.empty());
    EXPECT_LT(r[1], jobCmds[0]);

    const QByteArray joined = ReadFile(dir.File("out.cn"));
    const QByteArray forward5 = Piece(5, 1);
    const QByteArray expected = Piece(1, 1) + Piece(5, -1) + Piece(7, 1);
    ASSERT_NE(Piece(5, -1), forward5) << "the direction must show in the file";
    EXPECT_EQ(Decode(joined).size(), Decode(expected).size());
    EXPECT_TRUE(joined == expected) << "joined by number: 1 forward, 5 reverse, 7 forward";

    for (int i = 0; i < 600 && (tx.Running() || (sim.Status() & 0x2u)); ++i)
        clock.Advance(1000);
    EXPECT_FALSE(tx.Running());
    EXPECT_EQ(sim.Count(SimEvent::TravelLimit), 0);
    EXPECT_EQ(sim.Count(SimEvent::Overrun), 0);
    EXPECT_FALSE(sim.Status() & 0x4u) << "the series ends with the wire cold";
}

TEST_F(SerialStartTest, ARefusedWindowStartsNothingAndLeavesNoJoinedFile)
{
    // Window 5 can't write its file: window 1's is already joined by then.
    CutStartHooks hooks;
    hooks.activate = [this](TJob& w) {
        if (w.SerialIndex != 5)
            return;
        QFile::remove(dir.File("out.cn"));
        ASSERT_TRUE(QDir().mkpath(dir.File("out.cn")));
    };
    CutStart serial{m, Settings(), WireSelection(), ops, tx, hooks};
    const size_t before = sim.Reports().size();
    EXPECT_FALSE(serial.Start1Click(Windows(), windows[0].get(), StartSource::MenuOrButton, false));
    EXPECT_FALSE(tx.Running());
    EXPECT_FALSE(QFile::exists(dir.File("out.cntmp")));
    EXPECT_FALSE(boxes.shown.empty());
    for (char letter : {'v', 'a', 'G'})
        EXPECT_TRUE(Indexes(letter, before).empty()) << letter;
    EXPECT_EQ(Numbered(7).FeedSign[1], 1);
}

// A 300 mm job entered at its left edge, the wire at x = 100 mm.
TEST_F(CutStartTest, TheJobMustFitTheTravelFromTheWiresPosition)
{
    Load("PU0,0;PD12000,0,12000,400;PU;");
    ASSERT_EQ(job.JobMaxX - job.JobMinX, 12000);
    ASSERT_TRUE(ops.gotopoint(true, 2, 100, 100, 50, 50, 0, 0));
    for (int32_t limit : {350, 400}) {
        // The travel as the machine's switch gives it.
        SetCommandLine({"limitXFront=" + QString::number(limit)});
        boxes.shown.clear();
        EXPECT_EQ(cut.CheckBeforeCut(job), limit == 400) << limit;
        EXPECT_EQ(FrontLimitX, limit);
        EXPECT_EQ(job.EntryToLeft, 0);
        EXPECT_EQ(job.SingleOpenFigure, 1);
        if (limit == 350) {
            ASSERT_EQ(boxes.shown.size(), 1u);
            EXPECT_EQ(boxes.shown[0].text, Tr("Main_window", "projektPozaObszaremMaszyny") + "\r\n" +
                                               Tr("Main_window", "zmienPunktStartowy"));
            EXPECT_EQ(boxes.shown[0].caption,
                      Tr("Configuration", "CatDir.caption") + " : " + Tr("Configuration", "catdir.Item0"));
        } else {
            EXPECT_TRUE(boxes.shown.empty());
            EXPECT_DOUBLE_EQ(FrontStartPoint.x, 100.0);
        }
    }
}

// Front and back wires cutting down towards the side wire at y = 50 mm.
TEST_F(CutStartTest, TheFrontWiresKeepTenMillimetresAboveTheSideWire)
{
    Load("PU0,0;PD4000,0,4000,400;PU;");
    WireSelection().KeyBack = true;
    for (double y : {59.99, 60.0}) {
        ASSERT_TRUE(ops.gotopointKreuz(true, 2, 100, 100, 200, y, y, 50, 0, 0));
        EXPECT_TRUE(ReadPositions(m));
        ASSERT_EQ(PlotState.SideY, 5000);
        boxes.shown.clear();
        EXPECT_EQ(cut.CheckBeforeCut(job), y == 60.0) << y;
        if (y < 60.0) {
            ASSERT_EQ(boxes.shown.size(), 1u);
            EXPECT_EQ(boxes.shown[0].text,
                      Tr("Main_window", "VeKolizjaDrutow") + "\r\n" + Tr("Main_window", "VePrzesunBocznyDrut"));
        }
    }
}

TEST_F(CutStartTest, TheBrokenWireTestAsksUntilCancelAndSendsAClampedCurrent)
{
    Load("PU0,0;PD4000,0,4000,400;PU;");
    ASSERT_TRUE(ops.gotopoint(true, 2, 100, 100, 50, 50, 0, 0));
    Settings().SetValue("work_power", 1.5);
    size_t before = sim.Reports().size();
    EXPECT_TRUE(cut.CheckBeforeCut(job));
    auto t = Indexes('T', before);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(sim.Reports()[t[0]][1], 1);
    EXPECT_EQ(sim.Reports()[t[0]][2], 15);
    EXPECT_TRUE(boxes.asked.empty());

    // Broken: OK and Retry test again, Cancel refuses.
    sim.SetWireBroken(true);
    boxes.answers = {mrOk, mrRetry};
    before = sim.Reports().size();
    EXPECT_FALSE(cut.CheckBeforeCut(job));
    EXPECT_EQ(Indexes('T', before).size(), 3u);
    ASSERT_EQ(boxes.asked.size(), 3u);
    EXPECT_EQ(boxes.asked[2].text, Tr("Control", "zerwanyDrut"));
    EXPECT_EQ(Indexes('R', before).size(), 6u) << "heater on and off each time";

    // The wire breaks under the pulse and the read after it fails: no cut
    // starts on a wire that was not read, and the heater is off before the box.
    sim.SetWireBroken(false);
    HookedLink hooked{link};
    m.SetLink(hooked);
    hooked.beforeWrite = [&](const QByteArray& c) {
        if (c == Bytes({'R', 1, 1})) {
            sim.SetWireBroken(true);
            link.Bus().FailReads(link.Bus().MachineId(), 10);
        }
    };
    const size_t shown = boxes.shown.size();
    EXPECT_FALSE(cut.CheckBeforeCut(job));
    m.SetLink(link);
    EXPECT_EQ(boxes.asked.size(), 3u);
    ASSERT_EQ(boxes.shown.size(), shown + 1);
    EXPECT_EQ(boxes.shown.back().text, Tr("Control", "ploterBrakLacznosci"));
    EXPECT_FALSE(sim.Status() & 0x4u);
    sim.SetWireBroken(false);

    Settings().SetValue("work_power", 0.0);
    before = sim.Reports().size();
    EXPECT_TRUE(cut.CheckBeforeCut(job));
    EXPECT_TRUE(Indexes('T', before).empty());

    EXPECT_EQ(TestCurrentByte(25.5), 255);
    EXPECT_EQ(TestCurrentByte(100.0), 255) << "clamped, not wrapped";
}

TEST_F(CutStartTest, NoWireSelectedOnATwoWireMachineIsRefused)
{
    Load("PU0,0;PD4000,0,4000,400;PU;");
    ASSERT_TRUE(IsTwoWireModel());
    WireSelection().KeyFront = false;
    const size_t before = sim.Reports().size();
    EXPECT_FALSE(cut.CheckBeforeCut(job));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Main_window", "brakWybranegoDrutu"));
    EXPECT_TRUE(Indexes('T', before).empty());
}

TEST_F(CutStartTest, ModelsModesHomingAndTheSideWiresClearanceRefuseTheStart)
{
    Load("PU0,0;PD4000,0,4000,400;PU;");
    auto refusedWith = [this](CutStart& start, const QString& text, int windows = 1) {
        const bool refused = !start.tnij(job, 0, 0, 1, windows);
        const bool told = boxes.shown.size() == 1 && boxes.shown[0].text == text;
        boxes.shown.clear();
        return refused && told;
    };
    // Independent wires need a model that has them; transverse cuts a second wire.
    for (const auto& [model, mode, key] : {std::tuple{"Ve", 4, "RoniezalezneNiedostepne"},
                                           std::tuple{"Ro", 5, "VePoprzeczneNiedostepne"}}) {
        FakeLink other;
        other.product = QString(model) + "100";
        other.replies[10] = other.replies[14] = {};
        Machine machine{other, clock, input};
        MachineOperations otherOps{machine, Settings(), false};
        CutStart start{machine, Settings(), WireSelection(), otherOps, tx};
        Settings().SetItemIndex("Mode", mode);
        EXPECT_TRUE(refusedWith(start, Tr("Main_window", key))) << model;
    }
    IdentifyMachine(m);
    Settings().SetItemIndex("Mode", 1);
    EXPECT_TRUE(refusedWith(cut, Tr("Control", "wykonajBazowanie")));
    ops.bazujClick();
    Settings().SetItemIndex("Mode", 5);
    EXPECT_TRUE(refusedWith(cut, Tr("Main_window", "wymagane2plt")));

    // The side wire cutting up towards the front wire at y = 100 mm: the
    // job's top, 10 mm above the side wire, must stay 10 mm under it.
    Settings().SetItemIndex("Mode", 0);
    WireSelection() = {false, false, true};
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 100, 100, 200, 100, 100, 80, 0, 0));
    EXPECT_TRUE(cut.CheckBeforeCut(job));
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 100, 100, 200, 100, 100, 80.01, 0, 0));
    EXPECT_TRUE(refusedWith(cut, Tr("Main_window", "VeKolizjaDrutow") + "\r\n" +
                                     Tr("Main_window", "VePrzesunFrontowyDrut")));
}

TEST_F(CutStartTest, SideWireButtonsAndParkingKeepTheSideWireUnderTheFrontWire)
{
    auto at = [this](double fx, double fy, double sx, double sy) {
        EXPECT_TRUE(WaitWhileBusy(m));
        EXPECT_TRUE(ReadPositions(m));
        const tplotstate& p = PlotState;
        return p.FrontX == fx * 100 && p.FrontY == fy * 100 && p.SideX == sx * 100 && p.SideY == sy * 100;
    };
    // Up: the raise distance, at most the side travel.
    SetCommandLine({"limitYSide=300"});
    IdentifyMachine(m);
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 100, 100, 200, 500, 500, 50, 0, 0));
    Settings().SetValue("feuDystansYside", 400);
    sbSideUpClick(m, Settings(), ops);
    EXPECT_TRUE(at(100, 500, 0, 300));
    sbSideDownClick(m, Settings(), ops);
    EXPECT_TRUE(at(100, 500, 0, 0));
    EXPECT_TRUE(WireSelection().KeySide);

    // The front wire to start at 5 mm: the side wire under it through its park point first.
    FrontStartPoint = {150, 5};
    SideStartPoint = {120, 40};
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 100, 100, 200, 300, 300, 100, 0, 0));
    EXPECT_TRUE(ParkSideWire(m, Settings(), ops));
    EXPECT_TRUE(at(150, 5, 0, -10)) << "the front move leaves the side wire where it is";
    // The side wire already low: the front wire first, then the side wire up to 10 mm under it.
    FrontStartPoint = {150, 100};
    SideStartPoint = {120, 95};
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 100, 100, 200, 30, 30, 20, 0, 0));
    EXPECT_TRUE(ParkSideWire(m, Settings(), ops));
    EXPECT_TRUE(at(150, 100, 120, 90));
    EXPECT_TRUE(boxes.shown.empty());

    // A homed machine can't take the side wire below its zero: no front cut over it.
    ops.bazujClick();
    FrontStartPoint = {150, 5};
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 100, 100, 200, 300, 300, 100, 0, 0));
    EXPECT_FALSE(ParkSideWire(m, Settings(), ops));
    EXPECT_EQ(boxes.shown.size(), 1u);
}

// A transverse job on the simulated machine: the side wire parked under the
// front wire, the front cut, both wires taken clear of each other to the
// side wire's start, and the side cut.
TEST_F(CutStartTest, ATransverseJobCutsTheFrontThenTheSideDrawing)
{
    Settings().SetItemIndex("Mode", 5);
    Load("PU0,0;PD1600,0;PU;");  // the front drawing: 40 mm along X
    TJob side;
    side.SideDrawing = side.SerialIndex = 1;
    // The side drawing, entered at its foot: 20 mm along, 20 mm up.
    ASSERT_TRUE(side.Load(dir.Write("side.plt", "PU0,0;PD800,0,800,800;PU;"), 255));
    using Where = std::array<int32_t, 4>;  // front X, Y, side X, Y in 0.01 mm
    auto where = [this] {
        EXPECT_TRUE(WaitWhileBusy(m));
        EXPECT_TRUE(ReadPositions(m));
        return Where{PlotState.FrontX, PlotState.FrontY, PlotState.SideX, PlotState.SideY};
    };
    ControlPanel panel{m, Settings(), false};
    MachineOperations& panelOps = panel.Operations();
    Where parked{}, frontCut{}, sideStart{};
    CutStartHooks hooks;
    int dialogs = 0, keyStarts = 0, keyStarted = 0;
    hooks.startPointsDialog = [&] {
        // The machine's START key pressed while the first start waits here:
        // the panel's timer runs on and must start nothing over it.
        if (++dialogs == 1) {
            sim.PressKey(MachineKey::Start);
            clock.Advance(2000);
        }
        FrontStartPoint = {100, 60};
        SideStartPoint = {100, 40};
        return true;
    };
    hooks.parkSideWire = [&] { return ParkSideWire(m, Settings(), panelOps) && (parked = where(), true); };
    CutStart start{m, Settings(), WireSelection(), panelOps, tx, hooks};
    bool sideStarted = false;
    PanelHooks panelHooks;
    panelHooks.ContinueSideCut = [&] {
        frontCut = where();
        ContinueSideCut(m, Settings(), panelOps, &side, [&] { sideStart = where(); }, [&] {
            sideStarted = start.Start1Click({&job, &side}, &side, StartSource::MachineKey, false);
        });
    };
    panelHooks.Start1Click = [&] {
        ++keyStarts;
        keyStarted += start.Start1Click({&job, &side}, &job, StartSource::MachineKey, false);
    };
    panel.SetHooks(panelHooks);
    panel.Create();
    panelOps.bazujClick();
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 300, 300, 300, 200, 200, 100, 0, 0));

    // The parking heats the wires; the operator places the material by a cold one.
    HeaterAtQuestion heaterAsked{sim};
    ASSERT_FALSE(start.Start1Click({&job, &side}, &job, StartSource::MenuOrButton, false));  // Cancel
    EXPECT_EQ(heaterAsked.on, (std::vector<bool>{false}));
    EXPECT_FALSE(sim.Status() & 0x4u);
    EXPECT_EQ(keyStarts, 1) << "the panel saw the key";
    EXPECT_EQ(keyStarted, 0);
    EXPECT_EQ(dialogs, 1) << "no second start reached its dialogs";
    heaterAsked.answers = {mrOk};  // the material is in place
    ASSERT_TRUE(start.Start1Click({&job, &side}, &job, StartSource::MenuOrButton, false));
    EXPECT_EQ(heaterAsked.asked.size(), 2u);
    EXPECT_EQ(parked, (Where{10000, 6000, 10000, 4000}));
    for (int i = 0; i < 600 && (tx.Running() || JobRunning); ++i)
        clock.Advance(1000);
    EXPECT_EQ(frontCut, (Where{14000, 6000, 10000, 4000})) << "the front wire cut, the side wire stayed";
    // Clear of the side drawing: its 20 mm above the side start and 10 mm more.
    EXPECT_EQ(sideStart, (Where{0, 7000, 10000, 4000}));
    EXPECT_TRUE(sideStarted);
    EXPECT_EQ(where(), (Where{0, 7000, 12000, 6000})) << "the side wire cut, the front wire stayed";
    EXPECT_TRUE(WireSelection().KeyFront && WireSelection().KeyBack && !WireSelection().KeySide);
    EXPECT_TRUE(heaterAsked.shown.empty());
    EXPECT_EQ(sim.Count(SimEvent::TravelLimit), 0);
}

TEST_F(CutStartTest, StartOnAPausedCutAnsweredNoKeepsThePauseAndSendsNothing)
{
    RunOneMoveJob(m, 100000);
    clock.Advance(1000);
    ASSERT_TRUE(SendCommand(m, "Q"));
    clock.Advance(1000);
    ASSERT_TRUE(sim.Status() & 0x40u) << "paused";
    boxes.answers = {mrNo};
    const size_t before = sim.Reports().size();
    EXPECT_FALSE(Start());
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].keepsWorkByDefault) << "Enter must not throw the paused cut away";
    EXPECT_EQ(sim.Reports().size(), before) << "nothing is sent";
    EXPECT_TRUE(sim.Status() & 0x40u) << "the cut stays paused";
}

// The side wire parks at most 10 mm under the front wire's start; a front
// drawing that dips further under its start would cut through it.
TEST_F(CutStartTest, ATransverseFrontDrawingDippingToTheParkedSideWireIsRefused)
{
    Settings().SetItemIndex("Mode", 5);
    Load("PU0,0;PD1600,0,1600,-440;PU;");  // 11 mm under its start
    ASSERT_EQ(job.EntryToBottom, 440);
    ops.bazujClick();
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 300, 300, 300, 200, 200, 100, 0, 0));
    for (double sideY : {39.01, 39.0}) {
        int parkings = 0;
        CutStartHooks hooks;
        hooks.startPointsDialog = [sideY] {
            FrontStartPoint = {100, 60};
            SideStartPoint = {100, sideY};
            return true;
        };
        hooks.parkSideWire = [&] { return ++parkings, false; };
        CutStart start{m, Settings(), WireSelection(), ops, tx, hooks};
        boxes.shown.clear();
        EXPECT_FALSE(start.Start1Click({&job, &job}, &job, StartSource::MenuOrButton, false));
        EXPECT_EQ(parkings, sideY == 39.0 ? 1 : 0) << sideY;
        if (sideY != 39.0) {
            ASSERT_EQ(boxes.shown.size(), 1u);
            EXPECT_EQ(boxes.shown[0].text,
                      Tr("Main_window", "VeKolizjaDrutow") + "\r\n" + Tr("Main_window", "VePrzesunBocznyDrut"));
        }
    }
}

// Turning: on the spindle the wire enters along X at the drawing's first
// point, on the table along Y; without a rotary axis it is a plain job
// started where the wire stands.
TEST_F(CutStartTest, TurningStartsEnterTheMaterialFromTheToolOffsets)
{
    Settings().SetItemIndex("Mode", 3);
    Settings().SetValue("Srednicamaterialu", 100);
    Settings().SetValue("Xwrzeciona", 150);
    Settings().SetValue("Ywrzeciona", 200);
    Settings().SetValue("Xstolika", 300);
    Settings().SetValue("Ystolika", 50);
    Settings().SetValue("Xnarzedzia", 3);
    Settings().SetValue("Ynarzedzia", 5);
    ops.bazujClick();
    const double scale = Settings().Skala() / 100.0;
    for (int rotary : {0, 1, 2}) {
        Settings().SetItemIndex("StolikSwitch", rotary);
        // The axis (along X on the spindle, along Y on the table) and a profile beside it.
        Load(rotary == 1 ? "PU0,0;PD0,4000;PU400,400;PD800,2000,400,3600;PU;"
                         : "PU0,0;PD4000,0;PU400,400;PD2000,800,3600,400;PU;");
        const double entry = job.DajPoz1szegoWjazduWmat();
        ASSERT_TRUE(ops.gotopoint(true, 2, 100, 100, 100, 100, 0, 0));
        boxes.shown.clear();
        ASSERT_TRUE(cut.tnij(job, 0, 0, 1)) << rotary << " " << (boxes.shown.empty() ? "" : boxes.shown[0].text.toStdString());
        EXPECT_TRUE(ReadPositions(m));
        const double x = PlotState.FrontX / 100.0, y = PlotState.FrontY / 100.0;
        if (rotary == 0) {
            EXPECT_NEAR(x, 150 + entry - 3, 0.01);
            EXPECT_NEAR(y, 200 + std::max(job.JobHeight / 40.0 * scale, 50.0) - 5, 0.01);
        } else if (rotary == 1) {
            EXPECT_NEAR(x, 300 - std::max(job.JobWidth / 40.0 * scale, 50.0) - 3, 0.01);
            EXPECT_NEAR(y, 50 + entry - 5, 0.01);
        } else {
            EXPECT_EQ(x, 100.0);
            EXPECT_EQ(y, 100.0);
        }
        StopMotion(m);
        tx.Stop();
        JobRunning = false;
        EXPECT_TRUE(WaitWhileBusy(m));
    }

    // The side wire 5 mm under the spindle entry's height: refused before
    // the wires go down to it, not once they stand there.
    Settings().SetItemIndex("StolikSwitch", 0);
    Load("PU0,0;PD4000,0;PU400,400;PD2000,800,3600,400;PU;");
    const double entryY = 200 + std::max(job.JobHeight / 40.0 * scale, 50.0) - 5;
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 100, 100, 0, 300, 300, entryY - 5, 0, 0));
    boxes.shown.clear();
    EXPECT_FALSE(cut.tnij(job, 0, 0, 1));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              Tr("Main_window", "VeKolizjaDrutow") + "\r\n" + Tr("Main_window", "VePrzesunBocznyDrut"));
    EXPECT_TRUE(ReadPositions(m));
    EXPECT_EQ(PlotState.FrontY, 30000) << "the front wire stayed up";
}

TEST_F(CutStartTest, AStopThatDidNotPauseLeavesTheJobNotStopped)
{
    // A job of dwells, working without moving; its "Q" never arrives.
    ASSERT_TRUE(SendCommand(m, Bytes({'f', 0})));
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(SendCommand(m, Bytes({'p', 250})));
    ASSERT_TRUE(SendCommand(m, "G"));
    JobRunning = true;
    HookedLink hooked{link};
    m.SetLink(hooked);
    hooked.swallow = [](const QByteArray& c) { return c == "Q"; };
    EXPECT_FALSE(cut.Wstrzymaj1Click());
    m.SetLink(link);
    EXPECT_FALSE(JobStopped);
    EXPECT_TRUE(JobRunning);
}
