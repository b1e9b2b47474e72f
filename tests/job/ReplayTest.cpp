// The simulation's replay of a cut, as a list of steps, and the path the
// drawing merge captures from it.
#include "app/MathUtil.h"
#include "app/Settings.h"
#include "job/CutState.h"
#include "job/Geometry.h"
#include "job/Job.h"
#include "job/Planner.h"
#include "job/Replay.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/WireSelection.h"
#include "tests/job/PlannerTestSupport.h"
#include "tests/support/CommandFile.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <numbers>
#include <string>
#include <vector>

using namespace plan_test;

namespace {
constexpr double kRight = std::numbers::pi / 2;

// A step as a short word: "T f:v" travel, "C f:v" cut, "P" pause, "W" wire.
std::vector<std::string> Words(const JobReplay& r)
{
    std::vector<std::string> out;
    for (const ReplayStep& s : r.steps) {
        switch (s.kind) {
        case ReplayStep::Kind::Travel:
            out.push_back("T" + std::to_string(s.figure) + ":" + std::to_string(s.vertex));
            break;
        case ReplayStep::Kind::Cut:
            out.push_back("C" + std::to_string(s.figure) + ":" + std::to_string(s.vertex));
            break;
        case ReplayStep::Kind::Pause:
            out.push_back("P");
            break;
        case ReplayStep::Kind::Wire:
            out.push_back("W");
            break;
        }
    }
    return out;
}

using W = std::vector<std::string>;

// The words of the steps of one figure only (its cuts, in order).
W CutsOf(const JobReplay& r, int32_t figure)
{
    W out;
    for (const ReplayStep& s : r.steps)
        if (s.kind == ReplayStep::Kind::Cut && s.figure == figure)
            out.push_back(std::to_string(s.vertex));
    return out;
}

// The pen never jumps: every step starts where the one before ended, and a
// step that reaches a vertex reaches that vertex's point.
void ExpectContinuous(const TJob& job, const JobReplay& r)
{
    TFigPoint pen = r.start;
    for (size_t i = 0; i < r.steps.size(); ++i) {
        const ReplayStep& s = r.steps[i];
        if (s.kind == ReplayStep::Kind::Wire)
            continue;
        EXPECT_EQ(s.from, pen) << "step " << i;
        if (s.figure >= 0) {
            EXPECT_EQ(s.to, job.FigureList[static_cast<size_t>(s.figure)]->Points[static_cast<size_t>(s.vertex)]) << "step " << i;
        }
        pen = s.to;
    }
}

// A figure placed by hand, with the planner's links.
tfigura& Put(TJob& job, const Points& p, bool closed, int32_t parent, int32_t parentVertex, int32_t entry,
             const std::vector<double>& angles = {})
{
    auto f = std::make_unique<tfigura>();
    f->Points = p;
    job.AddFigure(std::move(f));
    tfigura& g = *job.FigureList.back();
    g.Closed = closed;
    g.ConnParent = parent;
    g.ConnParentVertex = parentVertex;
    g.EntryVertex = entry;
    g.NotConnected = 0;
    for (size_t k = 0; k < p.size(); ++k)
        g.VertexInfo.push_back({k < angles.size() ? angles[k] : kRight, 5, 1});
    return g;
}

// Everything about the job that a replay could change.
struct Snapshot {
    std::vector<Points> points;
    std::vector<std::vector<double>> angles;
    std::vector<int32_t> links;
    std::vector<int32_t> ints;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const TJob& job)
{
    Snapshot s;
    for (const auto& f : job.FigureList) {
        s.points.push_back(f->Points);
        std::vector<double> a;
        for (const auto& v : f->VertexInfo)
            a.push_back(v.Angle);
        s.angles.push_back(a);
        s.links.insert(s.links.end(), {f->ConnParent, f->ConnParentVertex, f->EntryVertex});
    }
    s.ints = {job.StartFigure, job.SingleOpenFigure, job.FeedSign[0], job.FeedSign[1], job.SelectedFigure};
    return s;
}

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PointTolerance = 10.0;
        Settings().Reset();
        options.cornerPause = 200;
    }
    void TearDown() override { Settings().Reset(); }

    JobReplay Run() { return ComputeReplay(job, options); }
    void ReplayVisitsWhatTheCutWritesIn(int mode);

    TJob job;
    ReplayOptions options;
};
}  // namespace

TEST_F(ReplayTest, SquareWithAHoleFollowsTheConnectorTree)
{
    Add(job, Rect(0, 0, 1000, 1000));
    Add(job, Rect(400, 400, 600, 600));
    Finish(job);
    PlainPlanner planner(job, 0, true);
    ASSERT_EQ(planner.Run(), PlainPlanner::Result::Planned);
    // The plan: the square is the material (the start, entered at its corner
    // (0,0)); one connector (figure 2) leaves that corner for the hole's
    // corner (400,400).
    ASSERT_EQ(job.StartFigure, 0);
    ASSERT_EQ(job.FigureList.size(), 3u);
    ASSERT_EQ(job.FigureList[1]->ConnParent, 2);
    ASSERT_EQ(job.FigureList[2]->ConnParent, 0);
    ASSERT_EQ(job.FigureList[2]->ConnParentVertex, 0);
    const Snapshot before = Take(job);

    const JobReplay r = Run();
    EXPECT_EQ(r.kind, ReplayKind::Plain);
    EXPECT_EQ(r.start, (TFigPoint{0, 0}));
    // The connector hangs at the entry: it is cut first, the hole at its far
    // end, back along the connector, then round the square. Both squares
    // leave their corner upwards (towards the higher neighbour), so each
    // starts with the step to its last vertex, which is its first point
    // again. Every corner is sharp and pauses; each figure begins with one.
    EXPECT_EQ(Words(r), (W{"T0:0", "P",                                                    // the square begins
                           "P", "C2:1", "P",                                               // connector
                           "P", "C1:4", "P", "C1:3", "P", "C1:2", "P", "C1:1", "P", "C1:0", "P",  // hole
                           "C2:0", "P",                                                    // back
                           "C0:4", "P", "C0:3", "P", "C0:2", "P", "C0:1", "P", "C0:0", "P"}));
    for (const ReplayStep& s : r.steps) {
        if (s.kind == ReplayStep::Kind::Pause) {
            EXPECT_EQ(s.wait, 50.0) << "a quarter of the corner pause";
        }
    }
    ExpectContinuous(job, r);
    EXPECT_TRUE(Take(job) == before) << "the replay changes nothing of the job";
}

TEST_F(ReplayTest, OpenFigureGoesBackAlongItself)
{
    Put(job, Rect(0, 0, 1000, 1000), true, -1, -1, 0);
    job.StartFigure = 0;
    // An open figure hanging at the square's corner; its second vertex is
    // nearly straight, its third a sharp corner.
    Put(job, {{0, 0}, {300, 200}, {600, 200}, {900, 500}}, false, 0, 0, 0, {kRight, 0.1, 1.0, kRight});
    Finish(job);

    const JobReplay r = Run();
    EXPECT_EQ(Words(r), (W{"T0:0", "P", "P",
                           "C1:1", "C1:2", "P", "C1:3", "P",          // to its end
                           "C1:3", "P", "C1:2", "P", "C1:1",          // and back...
                           "P", "C1:0", "P",                          // ...to its start, pausing there first
                           "C1:0", "P",                               // the step round to vertex 0 is no move
                           "C0:4", "P", "C0:3", "P", "C0:2", "P", "C0:1", "P", "C0:0", "P"}));
    ExpectContinuous(job, r);

    // Serial cutting leaves the open figure at its end, as the cut does.
    options.mode = 2;
    const JobReplay serial = Run();
    EXPECT_EQ(CutsOf(serial, 1), (W{"1", "2", "3"}));
    EXPECT_EQ(CutsOf(serial, 0), (W{"4", "3", "2", "1", "0"}));
}

TEST_F(ReplayTest, OpenFigureEnteredAtItsLastVertexIsCutFromThere)
{
    Put(job, Rect(0, 0, 1000, 1000), true, -1, -1, 0);
    job.StartFigure = 0;
    // Entered at its last vertex, which touches the square's top corner; a
    // small square hangs at its physical vertex 1.
    Put(job, {{100, 1500}, {400, 1500}, {700, 1200}, {1000, 1000}}, false, 0, 2, 3, {kRight, 0.1, 0.1, kRight});
    Put(job, Rect(400, 1500, 500, 1600), true, 1, 1, 0);
    Finish(job);
    const Snapshot before = Take(job);

    const JobReplay r = Run();
    // From vertex 3 to 0 and back; the small square is cut when the wire
    // reaches (400,1500), whatever the numbering.
    EXPECT_EQ(CutsOf(r, 1), (W{"2", "1", "0", "0", "1", "2", "3", "3"}));
    const W words = Words(r);
    const auto at = std::find(words.begin(), words.end(), "C1:1");
    ASSERT_NE(at, words.end());
    ASSERT_LT(at + 2, words.end());
    EXPECT_EQ(*(at + 1), "P") << "a figure begins with a pause";
    EXPECT_EQ(*(at + 2), "C2:4") << "the square hanging there is cut next";
    ExpectContinuous(job, r);
    EXPECT_TRUE(Take(job) == before) << "the figure is not turned round in the job";
}

TEST_F(ReplayTest, OpenFigureEnteredBetweenItsEndsCoversItWhole)
{
    Put(job, Rect(0, 0, 1000, 1000), true, -1, -1, 0);
    job.StartFigure = 0;
    // Entered at vertex 2; vertex 3 is higher than vertex 1, so it goes that way first.
    Put(job, {{-400, 1100}, {-200, 1100}, {0, 1000}, {200, 1300}, {400, 1400}}, false, 0, 3, 2);
    Finish(job);

    const JobReplay r = Run();
    EXPECT_EQ(CutsOf(r, 1), (W{"3", "4", "3", "2", "1", "0", "1", "2"}));
    ExpectContinuous(job, r);
}

TEST_F(ReplayTest, SingleOpenFigureEntersAtTheEndOfTheFeedSign)
{
    Put(job, {{100, 0}, {200, 100}, {300, 0}, {400, 100}}, false, -1, -1, 0, {kRight, 0.2, 0.2, kRight});
    job.StartFigure = 0;
    job.SingleOpenFigure = 1;
    Finish(job);

    job.FeedSign[0] = 1;  // from the left
    JobReplay r = Run();
    EXPECT_EQ(Words(r), (W{"T0:0", "P", "C0:1", "C0:2", "C0:3", "P"})) << "no way back, no closing edge";
    ExpectContinuous(job, r);

    job.FeedSign[0] = -1;  // from the right
    r = Run();
    EXPECT_EQ(Words(r), (W{"T0:3", "P", "C0:2", "C0:1", "C0:0", "P"}));
    ExpectContinuous(job, r);
    EXPECT_EQ(job.FigureList[0]->EntryVertex, 0) << "the job keeps its own entry";

    // A single straight line entered at its far end is still cut.
    job.FigureList[0]->Points = {{0, 0}, {500, 0}};
    job.FigureList[0]->VertexInfo.resize(2);
    r = Run();
    EXPECT_EQ(CutsOf(r, 0), (W{"0"}));
    job.FeedSign[0] = 1;
    r = Run();
    EXPECT_EQ(CutsOf(r, 0), (W{"1"}));
}

TEST_F(ReplayTest, TwoProfileJobDrawsTheWireBetweenVertexPairs)
{
    Put(job, {{0, 0}, {100, 0}, {100, 100}}, true, -1, -1, 0);
    Put(job, {{10, 10}, {90, 10}, {90, 90}, {10, 90}}, true, -1, -1, 0);
    job.TwoProfile = 1;
    Finish(job);

    JobReplay r = Run();
    EXPECT_EQ(r.kind, ReplayKind::TwoProfile);
    EXPECT_EQ(Words(r), (W{"W", "W", "W"})) << "as many lines as the shorter profile has vertices";
    for (size_t k = 0; k < r.steps.size(); ++k) {
        EXPECT_EQ(r.steps[k].from, job.FigureList[0]->Points[k]);
        EXPECT_EQ(r.steps[k].to, job.FigureList[1]->Points[k]);
        EXPECT_EQ(r.steps[k].wait, kWireUnits);
    }

    // A planned two-profile job first goes to its entry.
    job.StartFigure = 0;
    job.FigureList[0]->EntryVertex = 1;
    r = Run();
    EXPECT_EQ(Words(r), (W{"T0:1", "W", "W", "W"}));
}

TEST_F(ReplayTest, RotaryAndTurningFollowTheFeedDirection)
{
    // The axis, then two figures that may be oriented: one running to the
    // right and up, one to the left.
    Put(job, {{0, 0}, {2000, 0}}, false, -1, -1, 0).MayOrient = 0;
    tfigura& a = Put(job, {{100, 0}, {300, 200}, {500, 800}}, false, -1, -1, 0);
    tfigura& b = Put(job, {{900, 100}, {700, 100}, {550, 300}}, false, -1, -1, 0);
    a.MayOrient = b.MayOrient = 1;
    Finish(job);
    const TFigPoint corner{job.JobMinX, job.JobMinY};

    options.mode = 1;
    options.catDir = 0;
    JobReplay r = Run();
    EXPECT_EQ(r.kind, ReplayKind::Rotary);
    EXPECT_EQ(Words(r), (W{"T1:0", "C1:1", "C1:2", "T2:0", "C2:1", "C2:2", "T-1:-1"}));
    EXPECT_EQ(r.start, corner);
    EXPECT_EQ(r.steps.back().to, corner) << "back to the job's corner at the end";
    ExpectContinuous(job, r);

    options.catDir = 1;
    r = Run();
    EXPECT_EQ(Words(r), (W{"T1:2", "C1:1", "C1:0", "T2:2", "C2:1", "C2:0", "T-1:-1"}));

    // Nearer end first, measured from (0,0) and then from the end of the
    // figure before: figure 1 from its first point (100 away, the other end
    // 943); from its end (500,800) figure 2's last point (550,300) is 503
    // away, its first 806.
    options.catDir = 2;
    r = Run();
    EXPECT_EQ(Words(r), (W{"T1:0", "C1:1", "C1:2", "T2:2", "C2:1", "C2:0", "T-1:-1"}));

    // Turning measures the first figure from far above the axis: its upper
    // end (500,800) is the nearer one.
    options.mode = 3;
    options.rotaryAxis = true;
    r = Run();
    EXPECT_EQ(r.kind, ReplayKind::Turning);
    const W words = Words(r);
    ASSERT_GE(words.size(), 3u);
    EXPECT_EQ(W(words.begin(), words.begin() + 3), (W{"T1:2", "C1:1", "C1:0"}));
    ExpectContinuous(job, r);

    // Without a rotary axis, turning is a plain cut.
    options.rotaryAxis = false;
    EXPECT_EQ(ReplayKindFor(job, options), ReplayKind::Plain);
}

TEST_F(ReplayTest, CapturedPathHoldsEveryVertexReachedOnce)
{
    Add(job, Rect(0, 0, 1000, 1000));
    Add(job, Rect(400, 400, 600, 600));
    Finish(job);
    PlainPlanner planner(job, 0, true);
    ASSERT_EQ(planner.Run(), PlainPlanner::Result::Planned);
    ASSERT_EQ(job.FigureList.size(), 3u);

    // The entry, the connector's far end, round the hole (its first step
    // reaches the point already captured), back, round the square.
    using R = std::vector<TCapturedPoint>;
    EXPECT_EQ(CapturePlannedPath(job, options), (R{{10001, 0, 0, 0},
                                                   {10003, 1, 400, 400},
                                                   {10002, 3, 400, 600},
                                                   {10002, 2, 600, 600},
                                                   {10002, 1, 600, 400},
                                                   {10002, 0, 400, 400},
                                                   {10003, 0, 0, 0},
                                                   {10001, 3, 0, 1000},
                                                   {10001, 2, 1000, 1000},
                                                   {10001, 1, 1000, 0},
                                                   {10001, 0, 0, 0}}));

    // A pen-6 hole is left out, and the five vertices skipped move every
    // later tag on by five.
    job.FigureList[1]->Pen = 6;
    EXPECT_EQ(CapturePlannedPath(job, options), (R{{10001, 0, 0, 0},
                                                   {10003, 1, 400, 400},
                                                   {10008, 0, 0, 0},
                                                   {10006, 3, 0, 1000},
                                                   {10006, 2, 1000, 1000},
                                                   {10006, 1, 1000, 0},
                                                   {10006, 0, 0, 0}}));
}

TEST_F(ReplayTest, UnplannedOrEmptyJobsReplayNothing)
{
    EXPECT_TRUE(Run().steps.empty());
    Add(job, Rect(0, 0, 100, 100));
    Finish(job);
    job.StartFigure = -1;
    EXPECT_TRUE(Run().steps.empty());
    job.StartFigure = 7;
    EXPECT_TRUE(Run().steps.empty());
    EXPECT_TRUE(CapturePlannedPath(job, options).empty());
}

TEST_F(ReplayTest, BrokenLinksDoNotLoopForever)
{
    Put(job, Rect(0, 0, 100, 100), true, 1, 0, 0);
    Put(job, Rect(200, 0, 300, 100), true, 0, 0, 0);
    job.StartFigure = 0;
    Finish(job);
    const JobReplay r = Run();
    EXPECT_EQ(CutsOf(r, 0).size(), 5u);
    EXPECT_EQ(CutsOf(r, 1).size(), 5u) << "each figure is cut once";
}

TEST_F(ReplayTest, TurningAFigureRoundKeepsWhatHangsFromIt)
{
    tfigura& start = Put(job, {{0, 0}, {100, 0}, {300, 0}, {600, 0}}, false, -1, -1, 1);
    Put(job, {{300, 0}, {300, 300}}, false, 0, 2, 0);
    Put(job, {{600, 0}, {600, 300}}, false, 0, 3, 0);
    Put(job, {{600, 300}, {900, 300}}, false, 2, 1, 0);
    start.VertexInfo[0].Angle = 0.5;
    job.StartFigure = 0;
    Finish(job);

    job.OdwrocKierunek(0);
    EXPECT_EQ(start.Points, (Points{{600, 0}, {300, 0}, {100, 0}, {0, 0}}));
    EXPECT_EQ(start.VertexInfo.back().Angle, 0.5) << "the vertex records go with their points";
    EXPECT_EQ(start.EntryVertex, 2) << "still entered at (100,0)";
    // The connectors still leave from (300,0) and (600,0).
    EXPECT_EQ(job.FigureList[1]->ConnParentVertex, 1);
    EXPECT_EQ(job.FigureList[2]->ConnParentVertex, 0);
    EXPECT_EQ(job.FigureList[3]->ConnParentVertex, 1) << "links to figures not turned stay";
    for (size_t i = 1; i < job.FigureList.size(); ++i) {
        const tfigura& g = *job.FigureList[i];
        EXPECT_EQ(job.FigureList[static_cast<size_t>(g.ConnParent)]->Points[static_cast<size_t>(g.ConnParentVertex)], g.Points[0]);
    }

    // Every figure at once, twice: all as before.
    job.OdwrocKierunek(0);
    const Snapshot once = Take(job);
    job.OdwrocKierunek(-1);
    job.OdwrocKierunek(-1);
    EXPECT_TRUE(Take(job) == once);
}

TEST_F(ReplayTest, OrientingFiguresForTheFeed)
{
    tfigura& right = Put(job, {{0, 0}, {500, 100}}, false, -1, -1, 1);
    tfigura& left = Put(job, {{900, 0}, {600, 300}, {700, 400}}, false, -1, -1, 2);
    tfigura& fixed = Put(job, {{900, 500}, {100, 500}}, false, -1, -1, 1);
    Put(job, {{700, 400}, {700, 500}}, false, 1, 2, 0);
    right.MayOrient = left.MayOrient = 1;
    fixed.MayOrient = 0;
    Finish(job);

    job.UstawKierunek(1);
    EXPECT_EQ(right.Points.front().x, 0);
    EXPECT_EQ(left.Points, (Points{{700, 400}, {600, 300}, {900, 0}})) << "now from left to right";
    EXPECT_EQ(fixed.Points.front().x, 900) << "a figure that may not be oriented stays";
    EXPECT_EQ(right.EntryVertex, 0);
    EXPECT_EQ(left.EntryVertex, 0);
    EXPECT_EQ(fixed.EntryVertex, 1);
    EXPECT_EQ(job.FigureList[3]->ConnParentVertex, 0) << "still at (700,400)";

    job.UstawKierunek(0);
    EXPECT_EQ(right.Points.front().x, 500);
    EXPECT_EQ(left.Points.front().x, 900);
    EXPECT_EQ(job.FigureList[3]->ConnParentVertex, 2);
}

// The simulation shows what is cut: for a planned job whose start figure is
// cut too, the replay reaches the same points in the same order as the
// moves of the command file.
TEST_F(ReplayTest, ReplayVisitsWhatTheCutWrites)
{
    for (const int mode : {0, 2}) {
        SCOPED_TRACE(mode);
        ReplayVisitsWhatTheCutWritesIn(mode);
        job.FigureList.clear();
    }
}

void ReplayTest::ReplayVisitsWhatTheCutWritesIn(int mode)
{
    using namespace cmdfile;
    Settings().SetItemIndex("Mode", mode);
    options.mode = mode;
    Settings().SetItemIndex("StolikSwitch", 2);
    ResetMachineConstants();
    PlotState = tplotstate();
    WireSelection() = TsterModel();
    WireSelection().KeyBack = true;
    JobFileMode = 32;
    ScriptedPresenter boxes;
    TempProgramDir dir(false);

    // Material with a round hole, a C-shaped hole, and an open line inside
    // (open figures are entered at an end or between their ends).
    Add(job, Rect(0, 0, 8000, 6000));
    Add(job, Circle(2000, 3000, 800, 24));
    Add(job, CShape(4000, 1000, 2500, 3500, 600));
    Add(job, {{1000, 5000}, {2500, 5500}, {4000, 5000}, {5500, 5500}});
    Finish(job);
    PlainPlanner planner(job, mode, false);
    ASSERT_EQ(planner.Run(), PlainPlanner::Result::Planned);
    job.CutStartFigure = 1;

    // Where the writer puts a point of the job, in its units.
    auto writer = [&](const TFigPoint& p) {
        const double sx = RoundEven(static_cast<double>(p.x) - job.JobMinX), sy = RoundEven(static_cast<double>(p.y) - job.JobMinY);
        return std::array<int64_t, 2>{static_cast<int64_t>(std::nearbyint(StepsPerUnitX * (sx / 40.0) * 100.0)),
                                      static_cast<int64_t>(std::nearbyint(StepsPerUnitY * (sy / 40.0) * 100.0))};
    };
    std::vector<std::array<int64_t, 2>> shown;
    const JobReplay r = Run();  // before the save, which may turn figures round
    for (const ReplayStep& s : r.steps) {
        if (s.kind == ReplayStep::Kind::Pause || (s.kind == ReplayStep::Kind::Travel && !shown.empty()))
            continue;
        const auto at = writer(s.to);
        if (shown.empty() || shown.back() != at)
            shown.push_back(at);
    }

    ASSERT_TRUE(job.save_ciecie(dir.File("out.cn"), 0));
    Positions start{};
    start[FrontX] = start[BackX] = shown.front()[0];
    start[FrontY] = start[BackY] = shown.front()[1];
    std::vector<std::array<int64_t, 2>> written{shown.front()};
    for (const Positions& p : cmdfile::Replay(Decode(ReadFile(dir.File("out.cn"))), start))
        written.push_back({p[FrontX], p[FrontY]});
    EXPECT_GT(written.size(), 40u);
    EXPECT_EQ(shown, written);
}
