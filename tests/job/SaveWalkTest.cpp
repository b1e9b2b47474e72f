// Planned jobs written as command files: the path read back from the file
// against the figures of the job.
#include "app/MathUtil.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/CutState.h"
#include "job/Geometry.h"
#include "job/Hpgl.h"
#include "job/Job.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/WireSelection.h"
#include "tests/job/PlannerTestSupport.h"
#include "tests/support/CommandFile.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <pthread.h>
#include <set>

using namespace cmdfile;
using namespace plan_test;

namespace {
// A point of the front carriage's path, in the writer's units.
struct P {
    int64_t x = 0, y = 0;
    auto operator<=>(const P&) const = default;
};

std::ostream& operator<<(std::ostream& os, const P& p) { return os << "(" << p.x << ", " << p.y << ")"; }

class SaveWalkTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    static void Reset()
    {
        Settings().Reset();
        Settings().SetItemIndex("StolikSwitch", 2);
        ResetMachineConstants();
        PlotState = tplotstate();
        WireSelection() = TsterModel();
        WireSelection().KeyBack = true;
        JobFileMode = 32;
        AxisOffsetX = AxisOffsetY = 0;
        CutOffModel = false;
        SerialPosition = {};
        PointTolerance = 10.0;
    }

    QString Out() const { return dir.File("out.cn"); }

    // Where the writer puts a vertex of the job: scaled, less the job's
    // minimum, in hundredths of a millimetre times the axis factors.
    static P Expected(const TJob& job, const TFigPoint& p)
    {
        const double skala = Settings().Skala();
        const double sx = RoundEven(skala * (static_cast<double>(p.x) - job.JobMinX) / 100.0);
        const double sy = RoundEven(skala * (static_cast<double>(p.y) - job.JobMinY) / 100.0);
        return {static_cast<int64_t>(std::nearbyint(StepsPerUnitX * (sx / 40.0) * 100.0)),
                static_cast<int64_t>(std::nearbyint(StepsPerUnitY * (sy / 40.0) * 100.0))};
    }

    static P StartOf(const TJob& job)
    {
        const tfigura& s = *job.FigureList.at(static_cast<size_t>(job.StartFigure));
        return Expected(job, s.Points.at(static_cast<size_t>(s.EntryVertex)));
    }

    // The file of a plain cut read back: the start point and every point the
    // moves lead to; the back carriage must follow the front one.
    struct Walk {
        std::vector<Item> items;
        std::vector<P> path;          // start first
        std::vector<bool> dwellAfter; // per move: a dwell follows before the next move
    };
    Walk ReadWalk(P start) const
    {
        Walk w;
        w.items = Decode(ReadFile(Out()));
        Positions at{};
        at[FrontX] = at[BackX] = start.x;
        at[FrontY] = at[BackY] = start.y;
        w.path.push_back(start);
        for (size_t i = 0; i < w.items.size(); ++i) {
            if (!w.items[i].isMove)
                continue;
            const Positions d = Deltas(w.items[i].move);
            for (size_t s = 0; s < at.size(); ++s)
                at[s] += d[s];
            EXPECT_EQ(at[FrontX], at[BackX]) << "move " << w.path.size();
            EXPECT_EQ(at[FrontY], at[BackY]) << "move " << w.path.size();
            w.path.push_back({at[FrontX], at[FrontY]});
            bool dwell = false;
            for (size_t k = i + 1; k < w.items.size() && !w.items[k].isMove; ++k)
                dwell = dwell || (w.items[k].command.Letter() == 'p' && w.items[k].command.Byte(1) != 1);
            w.dwellAfter.push_back(dwell);
        }
        return w;
    }
    Walk ReadWalk(const TJob& job) const { return ReadWalk(StartOf(job)); }

    // Every step of the path runs along an edge of a figure of the job (a
    // drawing figure, a connector or the frame): no jump through the material.
    static void ExpectAlongTheFigures(const TJob& job, const std::vector<P>& path)
    {
        std::set<std::pair<P, P>> edges;
        for (const auto& f : job.FigureList)
            for (size_t k = 1; k < f->Points.size(); ++k) {
                const P a = Expected(job, f->Points[k - 1]), b = Expected(job, f->Points[k]);
                edges.insert({a, b});
                edges.insert({b, a});
            }
        for (size_t i = 1; i < path.size(); ++i) {
            EXPECT_NE(path[i - 1], path[i]) << "a move that goes nowhere, step " << i;
            EXPECT_TRUE(edges.count({path[i - 1], path[i]})) << "step " << i << " from " << path[i - 1] << " to " << path[i]
                                                             << " follows no figure";
        }
    }

    // Every edge of the drawing figures is cut, in one direction or the other.
    static void ExpectEveryEdgeCut(const TJob& job, const std::vector<P>& path)
    {
        std::set<std::pair<P, P>> cut;
        for (size_t i = 1; i < path.size(); ++i)
            cut.insert({std::min(path[i - 1], path[i]), std::max(path[i - 1], path[i])});
        for (size_t fi = 0; fi < job.FigureList.size(); ++fi) {
            const tfigura& f = *job.FigureList[fi];
            if (!f.IsFigure)
                continue;
            for (size_t k = 1; k < f.Points.size(); ++k) {
                const P a = Expected(job, f.Points[k - 1]), b = Expected(job, f.Points[k]);
                if (a != b) {
                    EXPECT_TRUE(cut.count({std::min(a, b), std::max(a, b)}))
                        << "edge " << k - 1 << " of figure " << fi << " from " << a << " to " << b << " is not cut";
                }
            }
        }
    }

    std::vector<P> PointsOf(const TJob& job, const std::vector<TFigPoint>& points) const
    {
        std::vector<P> out;
        for (const TFigPoint& p : points)
            out.push_back(Expected(job, p));
        return out;
    }

    static PlainPlanner::Result Plan(TJob& job)
    {
        Finish(job);
        return job.ciecie();
    }

    ScopedTranslator translator;
    ScriptedPresenter boxes;
    TempProgramDir dir{false};
};

// The index of the first occurrence of a run of points in the path.
size_t Find(const std::vector<P>& path, const std::vector<P>& run)
{
    const auto it = std::search(path.begin(), path.end(), run.begin(), run.end());
    return it == path.end() ? std::string::npos : static_cast<size_t>(it - path.begin());
}

const Points kSquare6 = {{0, 0}, {2000, 0}, {4000, 0}, {4000, 4000}, {0, 4000}, {0, 0}};
const Points kZigzag = {{1000, 1000}, {1500, 1800}, {2000, 1000}, {2500, 1800}};
}  // namespace

// ---- plain cuts planned by the planner ----

TEST_F(SaveWalkTest, SquareIsCutAllRoundFromTheFrameAndBack)
{
    struct Scale {
        double skala, fx, fy;
    };
    for (const Scale& sc : {Scale{100, 1, 1}, Scale{50, 2.5, 4}, Scale{137, 0.8, 1.3}}) {
        SCOPED_TRACE("scale " + std::to_string(sc.skala) + ", factors " + std::to_string(sc.fx) + ", " + std::to_string(sc.fy));
        Settings().SetValue("skala", sc.skala);
        StepsPerUnitX = sc.fx;
        StepsPerUnitY = sc.fy;
        TJob job;
        Add(job, kSquare6);  // a midpoint on the bottom side: not taken as the material's outline
        ASSERT_EQ(Plan(job), PlainPlanner::Result::Planned);
        ASSERT_NE(job.StartFigure, 0) << "a frame is the start";
        ASSERT_TRUE(job.save_ciecie(Out(), 0));
        const Walk w = ReadWalk(job);
        ExpectAlongTheFigures(job, w.path);
        ExpectEveryEdgeCut(job, w.path);
        EXPECT_EQ(w.path.back(), w.path.front()) << "the wire comes back to where it started";
        // In through the connector, round the square leaving upwards, out again.
        const std::vector<P> square = PointsOf(job, kSquare6);
        const std::vector<P> expected = {w.path.front(), square[0], square[4], square[3], square[2], square[1], square[0],
                                         w.path.front()};
        EXPECT_EQ(w.path, expected);
        // A dwell after each corner of the square, none on the straight run through its midpoint.
        ASSERT_EQ(w.dwellAfter.size(), 7u);
        EXPECT_TRUE(w.dwellAfter[1] && w.dwellAfter[2] && w.dwellAfter[3]);
        EXPECT_FALSE(w.dwellAfter[4]) << "at the midpoint (2000, 0)";
        EXPECT_TRUE(boxes.shown.empty());
    }
}

TEST_F(SaveWalkTest, RectangleOfMaterialIsCutOnlyWhenAsked)
{
    TJob job;
    Add(job, Rect(0, 0, 4000, 2000));
    ASSERT_EQ(Plan(job), PlainPlanner::Result::Planned);
    ASSERT_EQ(job.StartFigure, 0);
    ASSERT_TRUE(job.save_ciecie(Out(), 0));
    EXPECT_EQ(ReadWalk(job).path.size(), 1u) << "the outline of the material is walked, not cut";

    job.CutStartFigure = 1;
    ASSERT_TRUE(job.save_ciecie(Out(), 0));
    const Walk w = ReadWalk(job);
    ExpectAlongTheFigures(job, w.path);
    ExpectEveryEdgeCut(job, w.path);
    EXPECT_EQ(w.path.size(), 5u);
    EXPECT_EQ(w.path.back(), w.path.front());
}

TEST_F(SaveWalkTest, HoleIsCutWhileTheWireIsAtItsConnector)
{
    TJob job;
    Add(job, kSquare6);
    Add(job, Rect(1000, 1000, 3000, 3000));
    ASSERT_EQ(Plan(job), PlainPlanner::Result::Planned);
    ASSERT_TRUE(job.save_ciecie(Out(), 0));
    const Walk w = ReadWalk(job);
    ExpectAlongTheFigures(job, w.path);
    ExpectEveryEdgeCut(job, w.path);
    EXPECT_EQ(w.path.back(), w.path.front());

    // The hole's cut is one piece that leaves the outer square at one vertex
    // and comes back to the same vertex.
    const tfigura& hole = *job.FigureList[1];
    const std::vector<P> holePoints = PointsOf(job, hole.Points);
    std::vector<size_t> at;
    for (size_t i = 0; i < w.path.size(); ++i)
        if (std::find(holePoints.begin(), holePoints.end(), w.path[i]) != holePoints.end())
            at.push_back(i);
    ASSERT_EQ(at.size(), hole.Points.size() - 1 + 1) << "each vertex once, the entry twice";
    EXPECT_EQ(at.back() - at.front(), at.size() - 1) << "the hole is cut in one go";
    EXPECT_EQ(w.path[at.front() - 1], w.path[at.back() + 1]);
    const std::vector<P> outer = PointsOf(job, kSquare6);
    EXPECT_NE(std::find(outer.begin(), outer.end(), w.path[at.front() - 1]), outer.end());
}

TEST_F(SaveWalkTest, OpenFigureIsCutAndTheWireReturnsAlongIt)
{
    // Also when its vertex 1 lies below its vertex n-1: an end is left
    // forward whatever the heights of its neighbours.
    const Points rising = {{1000, 1000}, {1400, 1200}, {1800, 1800}, {2200, 1900}};
    for (const Points& line : {kZigzag, rising}) {
        TJob job;
        Add(job, Circle(2000, 2000, 1500, 12));
        Add(job, line);
        ASSERT_EQ(Plan(job), PlainPlanner::Result::Planned);
        ASSERT_FALSE(job.FigureList[1]->Closed);
        ASSERT_EQ(job.FigureList[1]->EntryVertex, 0);
        ASSERT_TRUE(job.save_ciecie(Out(), 0));
        const Walk w = ReadWalk(job);
        ExpectAlongTheFigures(job, w.path);
        ExpectEveryEdgeCut(job, w.path);
        EXPECT_EQ(w.path.back(), w.path.front());
        const std::vector<P> z = PointsOf(job, line);
        EXPECT_NE(Find(w.path, {z[0], z[1], z[2], z[3], z[2], z[1], z[0]}), std::string::npos)
            << "forward from its first vertex, back along itself";
    }
}

TEST_F(SaveWalkTest, SingleOpenFigureEndsAtItsLastVertex)
{
    TJob job;
    Add(job, kZigzag);
    ASSERT_EQ(Plan(job), PlainPlanner::Result::Planned);
    ASSERT_TRUE(job.SingleOpenFigure);
    job.CutStartFigure = 1;
    ASSERT_TRUE(job.save_ciecie(Out(), 0));
    const Walk w = ReadWalk(job);
    ExpectAlongTheFigures(job, w.path);
    ExpectEveryEdgeCut(job, w.path);
    EXPECT_EQ(w.path, PointsOf(job, kZigzag)) << "no return pass, no move back to vertex 0";
}

TEST_F(SaveWalkTest, SingleOpenFigureEnteredElsewhereIsStillCutWhole)
{
    // A straight line entered at its far end, a zigzag entered at each vertex.
    for (const Points& line : {Points{{1000, 1000}, {3000, 2000}}, kZigzag}) {
        for (int32_t entry = 1; entry < static_cast<int32_t>(line.size()); ++entry) {
            SCOPED_TRACE(testing::Message() << line.size() << " points, entered at " << entry);
            TJob job;
            Add(job, line);
            ASSERT_EQ(Plan(job), PlainPlanner::Result::Planned);
            ASSERT_TRUE(job.SingleOpenFigure);
            job.FigureList[static_cast<size_t>(job.StartFigure)]->EntryVertex = entry;
            job.CutStartFigure = 1;
            ASSERT_TRUE(job.save_ciecie(Out(), 0));
            const Walk w = ReadWalk(job);
            ExpectAlongTheFigures(job, w.path);
            ExpectEveryEdgeCut(job, w.path);
        }
    }
}

TEST_F(SaveWalkTest, OpenFigureEnteredBetweenItsEndsIsCutWholeAndLeftWhereEntered)
{
    TJob job;
    Add(job, kSquare6);
    Add(job, kZigzag);
    ASSERT_EQ(Plan(job), PlainPlanner::Result::Planned);
    const tfigura& z = *job.FigureList[1];
    ASSERT_GT(z.EntryVertex, 0);
    ASSERT_LT(z.EntryVertex, 3);
    const int32_t k = z.EntryVertex;
    ASSERT_TRUE(job.save_ciecie(Out(), 0));
    const Walk w = ReadWalk(job);
    ExpectAlongTheFigures(job, w.path);
    ExpectEveryEdgeCut(job, w.path);
    EXPECT_EQ(w.path.back(), w.path.front());
    // From the entry to the end the walk leaves towards (the neighbour with
    // the larger y, the following one on a tie), to the other end, back to the entry.
    const std::vector<P> p = PointsOf(job, kZigzag);
    std::vector<P> run;
    for (int32_t v = k; v <= 3; ++v)
        run.push_back(p[static_cast<size_t>(v)]);
    for (int32_t v = 2; v >= 0; --v)
        run.push_back(p[static_cast<size_t>(v)]);
    for (int32_t v = 1; v <= k; ++v)
        run.push_back(p[static_cast<size_t>(v)]);
    EXPECT_NE(Find(w.path, run), std::string::npos);
    EXPECT_EQ(job.FigureList[1]->Points, kZigzag) << "not turned round";
}

TEST_F(SaveWalkTest, SerialModeCutsEachClosedFigureOnceRound)
{
    Settings().SetItemIndex("Mode", 2);
    JobFileMode = 33;
    // A polygon entered between its first and last point, and a square
    // entered at its first point but left backwards: each of them all round,
    // each edge once.
    for (const Points& outline : {Circle(2000, 2000, 1500, 12), kSquare6}) {
        TJob job;
        Add(job, outline);
        ASSERT_EQ(Plan(job), PlainPlanner::Result::Planned);
        ASSERT_EQ(job.StartFigure, 0);
        job.CutStartFigure = 1;
        ASSERT_TRUE(job.save_ciecie(Out(), 0));
        const Walk w = ReadWalk(job);
        SCOPED_TRACE("entered at vertex " + std::to_string(job.FigureList[0]->EntryVertex));
        ExpectAlongTheFigures(job, w.path);
        ExpectEveryEdgeCut(job, w.path);
        EXPECT_EQ(w.path.back(), w.path.front());
        EXPECT_EQ(w.path.size(), outline.size()) << "one move per edge, no more";
    }
}

// Connectors are open figures too: in serial cutting they must still reach
// the figure hanging at their end and bring the wire back.
TEST_F(SaveWalkTest, SerialModeCutsTheFiguresHangingOnConnectors)
{
    Settings().SetItemIndex("Mode", 2);
    JobFileMode = 33;
    TJob job;
    Add(job, kSquare6);
    Add(job, Rect(1000, 1000, 3000, 3000));
    ASSERT_EQ(Plan(job), PlainPlanner::Result::Planned);
    job.CutStartFigure = 1;
    ASSERT_TRUE(job.save_ciecie(Out(), 0));
    const Walk w = ReadWalk(job);
    ExpectAlongTheFigures(job, w.path);
    ExpectEveryEdgeCut(job, w.path);
    EXPECT_EQ(w.path.back(), w.path.front());
}

TEST_F(SaveWalkTest, SerialModeGivesOpenFiguresNoReturnPass)
{
    TJob job;
    Add(job, kZigzag);
    ASSERT_EQ(Plan(job), PlainPlanner::Result::Planned);
    job.SingleOpenFigure = 0;  // one open figure among others, as far as the walk can tell
    job.CutStartFigure = 1;
    const std::vector<P> z = PointsOf(job, kZigzag);

    ASSERT_TRUE(job.save_ciecie(Out(), 0));
    EXPECT_EQ(ReadWalk(job).path, (std::vector<P>{z[0], z[1], z[2], z[3], z[2], z[1], z[0]}));

    Settings().SetItemIndex("Mode", 2);
    ASSERT_TRUE(job.save_ciecie(Out(), 0));
    EXPECT_EQ(ReadWalk(job).path, (std::vector<P>{z[0], z[1], z[2], z[3]}));
}

// ---- plain cuts built in code: the marks the walk reads ----

namespace {
int32_t AddOpen(TJob& job, const Points& points)
{
    auto f = std::make_unique<tfigura>();
    f->Points = points;
    f->TurnParent = -1;
    const int32_t i = job.AddFigure(std::move(f));
    job.FigureList[static_cast<size_t>(i)]->Closed = 0;
    return i;
}

// A figure hanging at `vertex` of `parent`, entered at its vertex `entry`.
void Hang(TJob& job, int32_t figure, int32_t parent, int32_t vertex, int32_t entry)
{
    tfigura& f = *job.FigureList[static_cast<size_t>(figure)];
    f.ConnParent = parent;
    f.ConnParentVertex = vertex;
    f.EntryVertex = entry;
}
}  // namespace

TEST_F(SaveWalkTest, OpenFigureEnteredAtItsLastVertexIsTurnedRoundWithItsAngles)
{
    Settings().SetValue("Pauza_w_kacie", 300);  // "p32 pFA" or "pFA p32"
    TJob job;
    const int32_t frame = job.AddFigure([] {
        auto f = std::make_unique<tfigura>();
        f->Points = Rect(0, 0, 8000, 8000);
        return f;
    }());
    // An open line entered at its last vertex. Its angles say vertex 2 is sharp
    // (on a straight run, so only the angle can ask for a dwell there) and
    // vertex 3 (the real corner); vertex 4 mirrors vertex 2.
    const Points line = {{1000, 1000}, {2000, 1000}, {3000, 1000}, {4000, 1000}, {4000, 2000}, {4000, 3000}, {4000, 4000}};
    const int32_t in = AddOpen(job, {{0, 0}, line.back()});
    const int32_t open = AddOpen(job, line);
    const int32_t stub = AddOpen(job, {line[2], {3000, 0}});
    for (int32_t c : {in, stub})
        job.FigureList[static_cast<size_t>(c)]->IsFigure = 0;
    Hang(job, frame, -1, -1, 0);
    Hang(job, in, frame, 0, 0);
    Hang(job, open, in, 1, 6);
    Hang(job, stub, open, 2, 0);  // hangs at vertex 2
    tfigura& f = *job.FigureList[static_cast<size_t>(open)];
    f.VertexInfo.assign(7, TFigVertexInfo{});
    f.VertexInfo[2].Angle = -std::numbers::pi / 2;
    f.VertexInfo[3].Angle = -std::numbers::pi / 2;
    job.StartFigure = frame;
    job.Ustaw_PPiPK();

    ASSERT_TRUE(job.save_ciecie(Out(), 0));
    // Afterwards the line runs the other way, angles and all, and what hung
    // at vertex 2 still hangs at the same point.
    Points reversed(line.rbegin(), line.rend());
    EXPECT_EQ(f.Points, reversed);
    EXPECT_EQ(f.EntryVertex, 0);
    EXPECT_EQ(std::fabs(f.VertexInfo[4].Angle), std::numbers::pi / 2);
    EXPECT_EQ(f.VertexInfo[2].Angle, 0);
    EXPECT_EQ(job.FigureList[static_cast<size_t>(stub)]->ConnParentVertex, 4);

    const Walk w = ReadWalk(job);
    ExpectAlongTheFigures(job, w.path);
    const std::vector<P> p = PointsOf(job, line), s = PointsOf(job, {line[2], {3000, 0}});
    // From the last vertex to the first, the stub cut at vertex 2 on the way, and back.
    const std::vector<P> expected = {
        PointsOf(job, {{0, 0}})[0], p[6], p[5], p[4], p[3], p[2], s[1], s[0], p[1], p[0],
        p[1], p[2], p[3], p[4], p[5], p[6], PointsOf(job, {{0, 0}})[0]};
    ASSERT_EQ(w.path, expected);
    // A dwell after reaching vertex 2 on the way back (on the way out the
    // stub's entry dwell follows anyway), none after reaching vertex 4.
    int atTwo = 0, atFour = 0;
    for (size_t i = 0; i + 1 < w.path.size(); ++i) {
        if (w.path[i + 1] == p[2] && w.path[i] == p[1]) {
            ++atTwo;
            EXPECT_TRUE(w.dwellAfter[i]) << "move " << i << " to vertex 2 on the way back";
        }
        if (w.path[i + 1] == p[4]) {
            ++atFour;
            EXPECT_FALSE(w.dwellAfter[i]) << "move " << i << " to vertex 4";
        }
    }
    EXPECT_EQ(atTwo, 1);
    EXPECT_EQ(atFour, 2);
}

TEST_F(SaveWalkTest, LinksLeadingBackToTheStartEndTheWalk)
{
    // A job whose links run in a circle (as a broken tool could leave them):
    // each figure is cut once and the walk ends.
    TJob job;
    const int32_t outer = job.AddFigure([] {
        auto f = std::make_unique<tfigura>();
        f->Points = Rect(0, 0, 8000, 8000);
        return f;
    }());
    const int32_t in = AddOpen(job, {{0, 0}, {2000, 2000}});
    const int32_t hole = job.AddFigure([] {
        auto f = std::make_unique<tfigura>();
        f->Points = Rect(2000, 2000, 4000, 4000);
        return f;
    }());
    job.FigureList[static_cast<size_t>(in)]->IsFigure = 0;
    Hang(job, outer, hole, 0, 0);  // the start hangs from its own descendant
    Hang(job, in, outer, 0, 0);
    Hang(job, hole, in, 1, 0);
    job.StartFigure = outer;
    job.CutStartFigure = 1;
    job.Ustaw_PPiPK();
    ASSERT_TRUE(job.save_ciecie(Out(), 0));
    const Walk w = ReadWalk(job);
    ExpectAlongTheFigures(job, w.path);
    ExpectEveryEdgeCut(job, w.path);
    EXPECT_LT(w.path.size(), 20u);
}

TEST_F(SaveWalkTest, FinalRotationByAxisSelection)
{
    Settings().SetItemIndex("Mode", 1);
    Settings().SetItemIndex("StolikSwitch", 1);
    TJob job;
    Add(job, kSquare6);
    ASSERT_EQ(Plan(job), PlainPlanner::Result::Planned);
    ASSERT_TRUE(job.save_ciecie(Out(), 0.25));
    std::vector<Item> items = Decode(ReadFile(Out()));
    auto lastMove = std::find_if(items.rbegin(), items.rend(), [](const Item& i) { return i.isMove; });
    ASSERT_NE(lastMove, items.rend());
    ASSERT_EQ(lastMove->move.records.size(), 1u) << "the table turns, the wire stays";
    EXPECT_EQ(lastMove->move.records[0].id, 2);
    EXPECT_EQ(lastMove->move.records[0].value, 2000);

    // Transverse cutting ends without it.
    Settings().SetItemIndex("Mode", 5);
    ASSERT_TRUE(job.save_ciecie(Out(), 0.25));
    items = Decode(ReadFile(Out()));
    for (const Item& i : items)
        for (const AxisRecord& r : i.move.records)
            EXPECT_NE(r.id, 2);
}

namespace {
struct ChainRun {
    TJob* job;
    QString file;
    bool ok = false;
};

void* SaveOnSmallStack(void* arg)
{
    auto* run = static_cast<ChainRun*>(arg);
    run->ok = run->job->save_ciecie(run->file, 0);
    return nullptr;
}
}  // namespace

TEST_F(SaveWalkTest, ChainOfTenThousandFiguresWalksOnASmallStack)
{
    Settings().SetValue("Pauza_w_kacie", 0);
    // Figure i runs from (4 i, 0) to (4 (i + 1), 0) and hangs at the end of figure i - 1.
    TJob job;
    const int32_t n = 10000;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t f = AddOpen(job, {{4 * i, 0}, {4 * (i + 1), 0}});
        Hang(job, f, i - 1, 1, 0);
    }
    job.StartFigure = 0;
    job.CutStartFigure = 1;
    job.Ustaw_PPiPK();

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 512 * 1024);
    ChainRun run{&job, Out()};
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, SaveOnSmallStack, &run), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    ASSERT_TRUE(run.ok);

    const Walk w = ReadWalk(job);
    ASSERT_EQ(w.path.size(), static_cast<size_t>(2 * n + 1)) << "out along the chain and back";
    EXPECT_EQ(w.path[static_cast<size_t>(n)], (P{4 * n * 250 / 100, 0}));
    EXPECT_EQ(w.path.back(), w.path.front());
}

// ---- turning and rotary jobs ----

namespace {
// A profile along y for a table axis 300 mm long: 100 mm of it, a third of a turn.
std::unique_ptr<tfigura> RotaryProfile()
{
    auto f = std::make_unique<tfigura>();
    f->Points = {{400, 0}, {800, 2000}, {400, 4000}};
    f->VertexInfo = {{0.1, 0, 0}, {0.2, 0, 0}, {0.3, 0, 0}};
    f->MayOrient = 1;
    f->OrderId = 1;
    f->AxisWidth = 12000;
    f->AxisHeight = 12000;
    return f;
}
}  // namespace

TEST_F(SaveWalkTest, PassesAlternateAndStartAQuarterTurnApart)
{
    JobFileMode = 311;
    Settings().SetItemIndex("Mode", 1);
    Settings().SetItemIndex("CatDir", 2);
    Settings().SetValue("ilosckrokow", 4);
    Settings().SetValue("il_obr_rys", 1);
    Settings().SetChecked("Wstrzymaj", true);
    Settings().SetChecked("dopasujKierunek", true);
    TJob job;
    job.FigureList.push_back(RotaryProfile());
    ASSERT_TRUE(job.Save_ciecie_obrotowe(Out(), 0, 0));

    const std::vector<Item> items = Decode(ReadFile(Out()));
    Positions at{};
    std::vector<int64_t> starts, ends;
    std::vector<std::vector<int64_t>> feeds(1);
    bool header = true;
    for (const Item& i : items) {
        if (i.isMove) {
            const Positions d = Deltas(i.move);
            for (size_t s = 0; s < at.size(); ++s)
                at[s] += d[s];
            if (d[TableTurn] != 0 && d[FrontY] != 0)
                feeds.back().push_back(d[FrontY]);
            continue;
        }
        const std::string text = Describe(i);
        if (text == "r0101" && !header)
            starts.push_back(((at[TableTurn] % 8000) + 8000) % 8000);
        if (text == "r0101")
            header = false;
        if (text == "s0300000000") {
            ends.push_back(((at[TableTurn] % 8000) + 8000) % 8000);
            feeds.emplace_back();
        }
    }
    // Each pass turns the table a third of a turn (two moves of 1333 steps),
    // the second and fourth the other way round.
    ASSERT_EQ(ends.size(), 3u) << "a hold between passes, none after the last";
    EXPECT_EQ(ends[0], 2666);
    EXPECT_EQ(ends[1], 2000);
    EXPECT_EQ(ends[2], 6666);
    // Starts: 0; the end before plus a quarter; 2/4; the end before plus a quarter.
    EXPECT_EQ(starts, (std::vector<int64_t>{0, 2666 + 2000, 4000, (6666 + 2000) % 8000}));
    // Forward passes feed up the figure, backward ones down it.
    ASSERT_EQ(feeds.size(), 4u);
    for (size_t k = 0; k < 4; ++k) {
        ASSERT_EQ(feeds[k].size(), 2u) << "pass " << k;
        for (int64_t d : feeds[k])
            EXPECT_EQ(d > 0, k % 2 == 0) << "pass " << k;
    }
    // The figure is as it was.
    EXPECT_EQ(job.FigureList[0]->Points, RotaryProfile()->Points);
    EXPECT_EQ(job.FigureList[0]->VertexInfo[0].Angle, 0.1);
}

// The points the wire is taken to from the heater-on of the first pass on, for as
// many moves as the figure has points (the first point, then one per segment).
std::vector<std::pair<int64_t, int64_t>> CutPoints(const QByteArray& file, size_t count)
{
    const std::vector<Item> items = Decode(file);
    Positions at{};
    std::vector<std::pair<int64_t, int64_t>> out;
    int heaterOn = 0;
    for (const Item& i : items) {
        if (!i.isMove) {
            heaterOn += i.command.Letter() == 'r' && i.command.Byte(1) == 1;
            continue;
        }
        const Positions d = Deltas(i.move);
        for (size_t s = 0; s < at.size(); ++s)
            at[s] += d[s];
        if (heaterOn >= 2 && out.size() < count && (d[FrontX] != 0 || d[FrontY] != 0))
            out.push_back({at[FrontX], at[FrontY]});
    }
    return out;
}

TEST_F(SaveWalkTest, BackwardWriteLeavesTheFigureAsItWas)
{
    for (int32_t type : {30, 301, 311}) {
        SCOPED_TRACE(type);
        JobFileMode = type;
        Settings().SetItemIndex("Mode", type == 311 ? 1 : 3);
        Settings().SetValue("ilosckrokow", 1);
        Settings().SetValue("il_obr_rys", 1);
        auto save = [&](int catDir) {
            Settings().SetItemIndex("CatDir", catDir);
            TJob job;
            job.FigureList.push_back(RotaryProfile());
            const bool ok = type == 30    ? job.Save_toczenie_wrzeciono(Out(), 0, 0)
                            : type == 301 ? job.Save_toczenie_stolik(Out(), 0, 0)
                                          : job.Save_ciecie_obrotowe(Out(), 0, 0);
            EXPECT_TRUE(ok);
            const tfigura& f = *job.FigureList[0];
            EXPECT_EQ(f.Points, RotaryProfile()->Points);
            EXPECT_EQ(f.VertexInfo[0].Angle, 0.1);
            EXPECT_EQ(f.VertexInfo[2].Angle, 0.3);
            return CutPoints(ReadFile(Out()), 3);
        };
        const auto forward = save(0);
        auto backward = save(1);
        ASSERT_EQ(forward.size(), 3u);
        std::reverse(backward.begin(), backward.end());
        EXPECT_EQ(backward, forward) << "the same points, from the last to the first";
    }
}

TEST_F(SaveWalkTest, RefusedJobLeavesNoFileAndTheFigureAsItWas)
{
    dir.Write("out.cn", "older job");
    JobFileMode = 311;
    Settings().SetItemIndex("Mode", 1);
    Settings().SetItemIndex("CatDir", 1);  // written backwards: turned round and back
    Settings().SetValue("ilosckrokow", 1);
    Settings().SetValue("il_obr_rys", 1);
    TJob job;
    job.FigureList.push_back(RotaryProfile());
    job.FigureList[0]->AxisHeight = 0;  // no rotation axis
    EXPECT_FALSE(job.Save_ciecie_obrotowe(Out(), 0, 0));
    EXPECT_FALSE(QFile::exists(Out())) << "neither this job nor the one before";
    EXPECT_EQ(job.FigureList[0]->Points, RotaryProfile()->Points);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(boxes.shown[0].text, Tr("Project_window", "projektBrakOsiObrotu"));

    // A machine without steps per turn: the same for turning.
    dir.Write("out.cn", "older job");
    JobFileMode = 30;
    Settings().SetItemIndex("Mode", 3);
    job.FigureList[0]->AxisHeight = 12000;
    StepsPerTurn1 = 0;
    EXPECT_FALSE(job.Save_toczenie_wrzeciono(Out(), 0, 0));
    EXPECT_FALSE(QFile::exists(Out()));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, Tr("Project_window", "maszynaBrakKrokowNaObrot"));
    EXPECT_EQ(job.FigureList[0]->Points, RotaryProfile()->Points);
}

TEST_F(SaveWalkTest, SerialPiecesCarryTheirPositionsInTheAxesOwnSteps)
{
    JobFileMode = 31;
    Settings().SetItemIndex("Mode", 2);
    Settings().SetValue("il_obr_rys", 1);
    Settings().SetValue("Xwrzeciona", 0);
    Settings().SetValue("Ywrzeciona", 0);
    StepsPerUnitX = 2.5;
    StepsPerUnitY = 1.6;
    AxisOffsetY = 10.01;  // off the grid of the job's steps
    TJob job;
    job.FigureList.push_back(RotaryProfile());
    SerialPosition = {};
    ASSERT_TRUE(job.save_ciecie_seryjne_wrzeciono(Out(), 0, 1, 0.5, 0));
    const std::vector<Positions> first = Replay(Decode(ReadFile(Out())), Positions{});
    ASSERT_FALSE(first.empty());
    const std::array<int32_t, 10> carried = SerialPosition;
    EXPECT_EQ(carried[0], first.back()[FrontX]);
    EXPECT_EQ(carried[1], first.back()[FrontY]);
    EXPECT_NE(carried[0], 0);

    // Every next piece starts where the one before really ended: what the
    // writer believes stays what the machine does, piece after piece.
    Positions machine = first.back();
    for (int piece = 2; piece <= 5; ++piece) {
        ASSERT_TRUE(job.save_ciecie_seryjne_wrzeciono(Out(), 0, 1, 0.5, 0));
        const std::vector<Positions> path = Replay(Decode(ReadFile(Out())), machine);
        ASSERT_FALSE(path.empty());
        machine = path.back();
        EXPECT_EQ(SerialPosition[0], machine[FrontX]) << "piece " << piece;
        EXPECT_EQ(SerialPosition[1], machine[FrontY]) << "piece " << piece;
    }
}
