#include "app/Settings.h"
#include "app/Translator.h"
#include "job/Geometry.h"
#include "job/Job.h"
#include "job/Planner.h"
#include "tests/job/PlannerTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>

using namespace plan_test;

namespace {
class PlannerTest : public ::testing::Test {
protected:
    void SetUp() override { PointTolerance = 10.0; }

    PlainPlanner::Result Plan(int mode = 0, bool frame = true)
    {
        Finish(job);
        PlainPlanner planner(job, mode, frame);
        return planner.Run();
    }
    tfigura& F(size_t i) { return *job.FigureList[i]; }
    int32_t Count() const { return static_cast<int32_t>(job.FigureList.size()); }
    std::vector<int32_t> Connectors() const
    {
        std::vector<int32_t> out;
        for (int32_t i = 0; i < Count(); ++i)
            if (job.FigureList[static_cast<size_t>(i)]->Origin == 3 && job.FigureList[static_cast<size_t>(i)]->Points.size() == 2 &&
                job.FigureList[static_cast<size_t>(i)]->ConnParent >= 0)
                out.push_back(i);
        return out;
    }

    // The figure that figure i is entered from: the far end of its connector,
    // or the figure it touches; -1 for the start.
    int32_t Partner(int32_t i)
    {
        const int32_t p = F(static_cast<size_t>(i)).ConnParent;
        if (p < 0)
            return -1;
        const tfigura& c = F(static_cast<size_t>(p));
        return c.Origin == 3 && c.Points.size() == 2 && p != job.StartFigure ? c.ConnParent : p;
    }
    // The vertex of figure b where its link with figure a meets it; -1 when
    // neither is entered from the other.
    int32_t JoinVertex(int32_t a, int32_t b)
    {
        if (Partner(a) == b) {
            const int32_t p = F(static_cast<size_t>(a)).ConnParent;
            return p == b ? F(static_cast<size_t>(a)).ConnParentVertex : F(static_cast<size_t>(p)).ConnParentVertex;
        }
        return Partner(b) == a ? F(static_cast<size_t>(b)).EntryVertex : -1;
    }

    TJob job;
};

// Every figure hangs in one tree rooted at the start figure.
void ExpectOneTree(const TJob& job)
{
    const auto n = static_cast<int32_t>(job.FigureList.size());
    for (int32_t i = 0; i < n; ++i) {
        const tfigura& f = *job.FigureList[static_cast<size_t>(i)];
        EXPECT_EQ(f.NotConnected, 0) << "figure " << i;
        std::set<int32_t> seen;
        int32_t at = i;
        while (at != job.StartFigure) {
            ASSERT_TRUE(seen.insert(at).second) << "a loop in the links of figure " << i;
            at = job.FigureList[static_cast<size_t>(at)]->ConnParent;
            ASSERT_GE(at, 0) << "figure " << i << " is not reached from the start";
            ASSERT_LT(at, n);
        }
    }
    EXPECT_EQ(job.FigureList[static_cast<size_t>(job.StartFigure)]->ConnParent, -1);
}
}  // namespace

TEST_F(PlannerTest, GeometryOfTheSearches)
{
    EXPECT_EQ(DirectionAngle({0, 0}, {0, 5}), std::numbers::pi / 2);
    EXPECT_EQ(DirectionAngle({0, 0}, {-5, 0}), std::numbers::pi);
    EXPECT_DOUBLE_EQ(DirectionAngle({0, 0}, {5, -5}), 7 * std::numbers::pi / 4);
    EXPECT_DOUBLE_EQ(TurnAngle({0, 0}, {10, 0}, {10, 10}), -std::numbers::pi / 2);
    EXPECT_TRUE(SegmentsIntersect({0, 0, 10, 10}, {0, 10, 10, 0}));
    EXPECT_FALSE(SegmentsIntersect({0, 0, 10, 0}, {10, 0, 20, 5})) << "end to end is no crossing";
    EXPECT_TRUE(SegmentsIntersect({5, -5, 5, 5}, {0, 0, 10, 0})) << "a vertical through a line";
    EXPECT_FALSE(SegmentsIntersect({5, 0, 5, 5}, {0, 0, 10, 0})) << "a vertical standing on a line";
    EXPECT_TRUE(SegmentsIntersect({0, 0, 10, 0}, {5, 0, 15, 0})) << "overlapping on one line";
    EXPECT_EQ(DistanceSqr({-2147483647 - 1, 0}, {2147483647, 0}), INT64_MAX) << "saturates, never wraps";
    EXPECT_EQ(PlainPlanner::Stride(251), 1);
    EXPECT_EQ(PlainPlanner::Stride(376), 2) << "1.5 rounds to even";
    EXPECT_EQ(PlainPlanner::Stride(626), 2) << "2.5 rounds to even";
    TFigVertexInfo corner{0, 5, 1}, smooth{0, 10, 0};
    EXPECT_EQ(PlainPlanner::Weighted(1000, corner, smooth), 500);
    EXPECT_EQ(PlainPlanner::Weighted(1000, corner, corner), 250);
    EXPECT_EQ(PlainPlanner::Weighted(7, corner, corner), 1) << "truncated after each end";
    const TFigVertexInfo nine{0, 9, 1};
    EXPECT_EQ(PlainPlanner::Weighted(2, nine, nine), 0) << "the first end truncated before the second multiplies";
}

TEST_F(PlannerTest, EmptyJobPlansNothing)
{
    EXPECT_EQ(Plan(), PlainPlanner::Result::Empty);
    EXPECT_TRUE(job.FigureList.empty());
    EXPECT_EQ(job.PathPlanned, 0);
}

TEST_F(PlannerTest, ContainmentOfNestedFigures)
{
    // Innermost first, and a duplicate pair, an open line inside, and a box
    // touching its container's bounding box.
    Add(job, Rect(200, 200, 300, 300));
    Add(job, Rect(100, 100, 400, 400));
    Add(job, Rect(0, 0, 500, 500));
    Add(job, {{120, 350}, {180, 380}});
    Add(job, Rect(600, 0, 700, 100));
    Add(job, Rect(600, 0, 700, 100));
    Add(job, Rect(0, 450, 50, 500));
    ASSERT_EQ(Plan(), PlainPlanner::Result::Planned);
    EXPECT_EQ(F(2).Container, -1);
    EXPECT_EQ(F(1).Container, 2);
    EXPECT_EQ(F(0).Container, 1);
    EXPECT_EQ(F(3).Container, 1) << "an open line lies inside a closed figure";
    EXPECT_EQ(F(4).Container, -1) << "identical figures contain neither the other";
    EXPECT_EQ(F(5).Container, -1);
    EXPECT_EQ(F(6).Container, -1) << "touching the container's box is not inside";
    EXPECT_EQ(job.MaxDepth, 2);
    // A frame is the start; every depth is one more.
    EXPECT_EQ(F(2).Depth, 1);
    EXPECT_EQ(F(0).Depth, 3);
    EXPECT_GT(F(2).ChildCount, 0);
    ExpectOneTree(job);
}

TEST_F(PlannerTest, ContainerKeepsItsCountAfterLosingAChild)
{
    // Listed so that the small square first finds the big one, then the middle one.
    Add(job, Rect(200, 200, 300, 300));
    Add(job, Rect(0, 0, 500, 500));
    Add(job, Rect(100, 100, 400, 400));
    Plan();
    EXPECT_EQ(F(0).Container, 2);
    EXPECT_GE(F(1).ChildCount, 2) << "counts every figure ever attached";
}

TEST_F(PlannerTest, VertexOnTheContainersEdgeIsDecidedByTheNext)
{
    // The inner figure's first vertex lies on the diamond's lower-left edge:
    // the counts above and below disagree there, so its second vertex decides.
    Add(job, {{500, 0}, {1000, 500}, {500, 1000}, {0, 500}, {500, 0}});
    Add(job, {{250, 250}, {500, 400}, {600, 500}, {250, 250}});
    Plan();
    EXPECT_EQ(F(1).Container, 0);
}

TEST_F(PlannerTest, HolesAreInsideWhicheverWayTheOutlineRuns)
{
    // Outlines with extra vertices right above and below the holes' corners,
    // drawn clockwise and counter-clockwise, and a diamond with a line on its axis.
    const Points clockwise{{0, 0}, {0, 1000}, {300, 1000}, {700, 1000}, {1000, 1000}, {1000, 0}, {700, 0}, {300, 0}, {0, 0}};
    const Points counter(clockwise.rbegin(), clockwise.rend());
    const Points diamond{{500, 0}, {0, 500}, {500, 1000}, {1000, 500}, {500, 0}};
    const std::pair<Points, Points> cases[] = {
        {clockwise, Rect(300, 300, 700, 700)}, {counter, Rect(300, 300, 700, 700)}, {diamond, {{500, 300}, {500, 700}}}};
    for (size_t c = 0; c < std::size(cases); ++c) {
        TJob j;
        Add(j, cases[c].first);
        Add(j, cases[c].second);
        Finish(j);
        PlainPlanner(j, 0, true).Run();
        EXPECT_EQ(j.FigureList[1]->Container, 0) << "case " << c;
    }
}

TEST_F(PlannerTest, RectangleOfMaterialIsTheStart)
{
    Add(job, Circle(500, 500, 200, 24));
    Add(job, Rect(0, 0, 2000, 1000));
    Add(job, Circle(1500, 500, 200, 24));
    ASSERT_EQ(Plan(), PlainPlanner::Result::Planned);
    EXPECT_EQ(job.StartFigure, 1);
    EXPECT_EQ(job.StartOutline, 1);
    EXPECT_EQ(job.FrameAdded, 0);
    EXPECT_EQ(F(1).EntryVertex, 0) << "the corner nearest the job's lower left";
    const auto connectors = Connectors();
    ASSERT_FALSE(connectors.empty());
    EXPECT_EQ(F(static_cast<size_t>(connectors.front())).ConnParent, 1);
    EXPECT_EQ(F(static_cast<size_t>(connectors.front())).ConnParentVertex, 0) << "the first connector leaves from the entry";
    ExpectOneTree(job);
}

TEST_F(PlannerTest, LeadInNearestTheCornerIsTheStart)
{
    Add(job, Rect(1000, 1000, 2000, 2000));
    Add(job, {{3000, 3000}, {2000, 2000}});  // free end first
    Add(job, {{1000, 1000}, {500, 200}});    // free end last, nearer the corner
    ASSERT_EQ(Plan(), PlainPlanner::Result::Planned);
    EXPECT_EQ(job.StartFigure, 2);
    EXPECT_EQ(F(2).EntryVertex, 1) << "entered at its free end";
    EXPECT_EQ(job.FrameAdded, 0);
    EXPECT_EQ(F(0).Depth, 1);
    ExpectOneTree(job);
}

TEST_F(PlannerTest, FrameTenMillimetresOutsideWithoutALeadIn)
{
    Add(job, Rect(0, 0, 400, 400));
    Add(job, Rect(1000, 0, 1400, 400));
    ASSERT_EQ(Plan(0, true), PlainPlanner::Result::Planned);
    ASSERT_EQ(job.FrameAdded, 1);
    const tfigura& frame = F(2);
    EXPECT_EQ(frame.Origin, 1);
    EXPECT_EQ(frame.Points, Rect(-400, -400, 1800, 800));
    EXPECT_EQ(job.JobMinX, -400);
    EXPECT_EQ(job.JobMaxY, 800);
    EXPECT_EQ(job.JobWidth, 2200);
    EXPECT_EQ(job.StartFigure, 2);
    EXPECT_EQ(job.EntryToLeft, 0);
    EXPECT_EQ(job.EntryToTop, 1200);
    ExpectOneTree(job);

    // Planning again gives the same plan, not a second frame.
    std::vector<Points> first;
    for (auto& f : job.FigureList)
        first.push_back(f->Points);
    const double length = job.TotalLength;
    PlainPlanner again(job, 0, true);
    ASSERT_EQ(again.Run(), PlainPlanner::Result::Planned);
    std::vector<Points> second;
    for (auto& f : job.FigureList)
        second.push_back(f->Points);
    EXPECT_EQ(first, second);
    EXPECT_EQ(job.TotalLength, length);
    EXPECT_EQ(job.JobMinX, -400);
}

TEST_F(PlannerTest, CornerStubWithoutFrame)
{
    Add(job, Rect(100, 100, 400, 400));
    Add(job, Rect(600, 100, 900, 400));
    ASSERT_EQ(Plan(0, false), PlainPlanner::Result::Planned);
    const tfigura& stub = F(2);
    EXPECT_EQ(stub.Origin, 3);
    EXPECT_EQ(stub.Points, (Points{{100, 100}, {100, 100}}));
    EXPECT_EQ(job.StartFigure, 2);
    // The stub sits on the first square's corner: it is linked, no connector needed.
    EXPECT_EQ(F(0).ConnParent, 2);
    ExpectOneTree(job);
}

TEST_F(PlannerTest, EntryVerticesOfCircleAndSquare)
{
    Add(job, Circle(0, 0, 4000, 60));
    Add(job, Rect(10000, 0, 12000, 2000));
    Plan();
    const tfigura& circle = F(0);
    std::set<int32_t> allowed;
    for (size_t k = 0; k < circle.VertexInfo.size(); ++k)
        if (circle.VertexInfo[k].EntryAllowed)
            allowed.insert(static_cast<int32_t>(k));
    // Every sixth vertex (step 60 / 12 + 1... over 61 points: 6), and the extremes.
    for (int32_t k = 0; k < 61; k += 6)
        EXPECT_TRUE(allowed.count(k)) << k;
    EXPECT_TRUE(allowed.count(circle.IdxMaxY));
    EXPECT_TRUE(allowed.count(circle.IdxMinX));
    EXPECT_LE(allowed.size(), 16u);
    const tfigura& square = F(1);
    for (size_t k = 0; k < square.VertexInfo.size(); ++k)
        EXPECT_EQ(square.VertexInfo[k].EntryAllowed, 1) << "every corner of a square";
}

TEST_F(PlannerTest, TouchingFiguresNeedNoConnector)
{
    Add(job, Rect(0, 0, 100, 100));
    Add(job, Rect(100, 0, 200, 100));
    Add(job, Rect(205, 0, 300, 100));  // within the tolerance of the second
    Plan(0, true);
    // One connector from the frame into the job; the rest is linked at the
    // shared corners.
    EXPECT_EQ(Connectors().size(), 1u);
    EXPECT_EQ(F(1).ConnParent, 0);
    EXPECT_EQ(F(2).ConnParent, 1);
    ExpectOneTree(job);
}

TEST_F(PlannerTest, ConnectorsNeverCutTheirOwnFigures)
{
    // The C's opening faces away from the square: the nearest pair would cut
    // the C, so the connector moves to earlier vertices.
    Add(job, CShape(0, 0, 1000, 1000, 100));
    Add(job, Rect(-700, 400, -500, 600));
    Add(job, Rect(3000, 3000, 3100, 3100));
    ASSERT_EQ(Plan(), PlainPlanner::Result::Planned);
    for (int32_t c : Connectors()) {
        const tfigura& con = F(static_cast<size_t>(c));
        const TSegment seg{con.Points[0].x, con.Points[0].y, con.Points[1].x, con.Points[1].y};
        for (int32_t g = 0; g < 2; ++g) {
            const Points& p = F(static_cast<size_t>(g)).Points;
            for (size_t k = 0; k + 1 < p.size(); ++k) {
                const bool touchesEnd = (p[k] == con.Points[0] || p[k] == con.Points[1] || p[k + 1] == con.Points[0] ||
                                         p[k + 1] == con.Points[1]);
                if (!touchesEnd) {
                    EXPECT_FALSE(SegmentsIntersect(seg, {p[k].x, p[k].y, p[k + 1].x, p[k + 1].y}))
                        << "connector " << c << " cuts figure " << g;
                }
            }
        }
    }
    ExpectOneTree(job);
}

TEST_F(PlannerTest, TotalLengthIsEveryPiece)
{
    Add(job, Rect(0, 0, 100, 100));
    Add(job, Rect(1000, 0, 1100, 100));
    Plan();
    double sum = 0;
    for (auto& f : job.FigureList)
        for (size_t k = 1; k < f->Points.size(); ++k)
            sum += Distance(f->Points[k - 1], f->Points[k]);
    EXPECT_DOUBLE_EQ(job.TotalLength, sum);
    EXPECT_GT(sum, 800.0 + 2 * 2200 + 2 * 1300);
}

namespace {
class CancelAt : public PlanProgress {
public:
    explicit CancelAt(int calls) : m_left(calls) {}
    bool Continue(int percent) override
    {
        last = percent;
        return --m_left > 0;
    }
    int last = -1;

private:
    int m_left;
};
}  // namespace

TEST_F(PlannerTest, FiguresThatNoSearchReachesStopThePlanning)
{
    // The start is a lead-in inside a part, ending on its hole; every other
    // figure is shallower than both, so none has a partner.
    Add(job, Circle(5000, 5000, 4000, 36));
    Add(job, Rect(4000, 4000, 6000, 6000));
    Add(job, {{2500, 2500}, {4000, 4000}});
    for (int i = 0; i < 3; ++i)
        Add(job, Rect(10000 + i * 1000, 0, 10100 + i * 1000, 100));
    Finish(job);
    PlainPlanner planner(job, 0, true);
    EXPECT_EQ(planner.Run(), PlainPlanner::Result::Unreachable);
    EXPECT_EQ(planner.Unconnected(), 4) << "the part and the three squares";
    EXPECT_EQ(job.PathPlanned, 0);
}

TEST_F(PlannerTest, PartLeftOutsideItsOwnLeadInIsReported)
{
    // The lead-in starts inside the part and ends on its hole: it becomes the
    // start, and the part around it has no partner as shallow as itself.
    ScopedTranslator translator;
    ScriptedPresenter boxes;
    Settings().Reset();
    Add(job, Circle(5000, 5000, 4000, 36));
    Add(job, Rect(4000, 4000, 6000, 6000));
    Add(job, {{2500, 2500}, {4000, 4000}});
    Finish(job);
    EXPECT_EQ(job.ciecie(), PlainPlanner::Result::Unreachable);
    EXPECT_EQ(job.PathPlanned, 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Project_window", "figuryNiepolaczone") + "1");
}

TEST_F(PlannerTest, CancelKeepsTheLinksMadeSoFar)
{
    for (int i = 0; i < 30; ++i)
        Add(job, Rect(i * 1000, 0, i * 1000 + 100, 100));
    Finish(job);
    PlainPlanner planner(job, 0, true);
    CancelAt cancel(3);
    EXPECT_EQ(planner.Run(&cancel), PlainPlanner::Result::Cancelled);
    EXPECT_EQ(job.PathPlanned, 0);
    EXPECT_GT(planner.Unconnected(), 0);

    PlainPlanner again(job, 0, true);
    CancelAt never(1 << 30);
    EXPECT_EQ(again.Run(&never), PlainPlanner::Result::Planned);
    EXPECT_EQ(never.last, 100) << "the progress reaches 100 with the last figure";
    ExpectOneTree(job);
}

TEST_F(PlannerTest, JobLoadPlansByWorkMode)
{
    ScopedTranslator translator;
    TempProgramDir dir(false);
    ScriptedPresenter boxes;
    Settings().Reset();
    const QString path = dir.Write("parts.plt", "PU0,0;PD400,0,400,400,0,400,0,0;PU;PU1000,0;PD1400,0,1400,400,1000,400,1000,0;PU;");
    TJob loaded;
    ASSERT_TRUE(loaded.Load(path, 255));
    EXPECT_EQ(loaded.PathPlanned, 1);
    EXPECT_EQ(loaded.FrameAdded, 1);
    ExpectOneTree(loaded);

    Settings().SetItemIndex("Mode", 1);  // rotary: its own planner, on a drawing with its axis
    const QString withAxis = dir.Write("rotary.plt", "PU0,-200;PD1400,-200;PU;PU0,0;PD400,0,400,400,0,400,0,0;PU;");
    TJob rotary;
    ASSERT_TRUE(rotary.Load(withAxis, 255));
    EXPECT_EQ(rotary.PathPlanned, 0);
    EXPECT_EQ(rotary.FrameAdded, 0);
    Settings().Reset();
}

// The rules of the planner, each seen in what a job gets: which figure is
// entered first, from which figure, at which vertex.

TEST_F(PlannerTest, OnlyASingleFiveVertexOutlineIsTheStart)
{
    // The material's outline listed first: the first connector still leaves
    // from its corner nearest the job's lower left, to the part nearest it,
    // although another part lies nearer another corner.
    Add(job, Rect(0, 0, 2000, 1000));
    Add(job, Rect(1850, 850, 1950, 950));
    Add(job, Rect(200, 200, 300, 300));
    ASSERT_EQ(Plan(), PlainPlanner::Result::Planned);
    EXPECT_EQ(job.StartFigure, 0);
    EXPECT_EQ(F(2).Depth, 1) << "depths stay as the containment left them";
    EXPECT_EQ(Partner(2), 0);
    EXPECT_EQ(JoinVertex(2, 0), 0);
    EXPECT_LT(F(2).ConnParent, F(1).ConnParent) << "the part nearest the entry is entered first";

    // Six vertices, or two outlines: a frame is the start.
    const Points six{{0, 0}, {1000, 0}, {2000, 0}, {2000, 1000}, {0, 1000}, {0, 0}};
    const std::vector<Points> outer[] = {{six}, {Rect(0, 0, 900, 900), Rect(1000, 0, 1900, 900)}};
    for (const auto& figures : outer) {
        TJob j;
        for (const Points& f : figures)
            Add(j, f);
        Add(j, Rect(200, 200, 300, 300));
        Finish(j);
        ASSERT_EQ(PlainPlanner(j, 0, true).Run(), PlainPlanner::Result::Planned);
        EXPECT_EQ(j.FrameAdded, 1) << figures.size() << " outer figures of " << figures[0].size() << " points";
        EXPECT_EQ(j.StartFigure, static_cast<int32_t>(figures.size()) + 1) << "the frame follows the drawing";
    }
}

TEST_F(PlannerTest, CornersWeighHalfFromDepthTwoOn)
{
    // Outside: a square's corner (0.6) against the end of a line (always 0.5)
    // 1.1 times as far (squared) from the frame's corner: the line is entered first.
    Add(job, Rect(1000, 0, 1200, 200));
    Add(job, {{0, 1074}, {0, 1400}});
    // Inside a part (the frame makes it depth 1, its holes depth 2): the hole's
    // corner weighs as much as the line's end, so the nearer hole goes first.
    Add(job, Rect(3000, 3000, 7000, 7000));
    Add(job, Rect(3300, 3300, 3500, 3500));
    Add(job, {{6679, 6679}, {6500, 6300}});
    ASSERT_EQ(Plan(), PlainPlanner::Result::Planned);
    ASSERT_EQ(job.FrameAdded, 1);
    EXPECT_EQ(Partner(1), job.StartFigure);
    EXPECT_NE(Partner(0), job.StartFigure);
    EXPECT_EQ(Partner(3), 2);
    EXPECT_LT(F(3).ConnParent, F(4).ConnParent) << "the hole is entered before the line";
}

TEST_F(PlannerTest, TheStartConnectorEntersOnlyOuterFigures)
{
    // A hole lies nearer the job's corner than any vertex of its part (a
    // diamond of six points, so no outline of material): the stub at the
    // corner still enters the part, and the part the hole.
    Add(job, {{500, 0}, {750, 250}, {1000, 500}, {500, 1000}, {0, 500}, {500, 0}});
    Add(job, Rect(260, 260, 300, 300));
    ASSERT_EQ(Plan(0, false), PlainPlanner::Result::Planned);
    ASSERT_EQ(F(static_cast<size_t>(job.StartFigure)).Origin, 3);
    EXPECT_EQ(Partner(0), job.StartFigure);
    EXPECT_EQ(F(0).EntryVertex, 0) << "of two corners as near, the first";
    EXPECT_EQ(Partner(1), 0);
}

namespace {
// A square just outside the circle, off the given vertex.
Points SquareOff(const Points& circle, size_t vertex, int32_t cx, int32_t cy)
{
    const TFigPoint v = circle[vertex];
    const double dx = v.x - cx, dy = v.y - cy, r = std::hypot(dx, dy);
    const auto x = static_cast<int32_t>(v.x + dx / r * 150), y = static_cast<int32_t>(v.y + dy / r * 150);
    return Rect(x - 50, y - 50, x + 50, y + 50);
}

// Small squares in a row far above everything else.
void Fillers(TJob& job, int n, int32_t y)
{
    for (int i = 0; i < n; ++i)
        Add(job, Rect(i * 1000, y, i * 1000 + 100, y + 100));
}
}  // namespace

TEST_F(PlannerTest, EntriesSpacedAtATwelfthOfTheVertices)
{
    // A job large enough for the nearest lists, whose searches use only the
    // vertices that may be entered: a circle of 60 vertices (61 points) may be
    // entered at every sixth, one of 19 (20 points) only at its extremes.
    const Points big = Circle(0, 0, 3000, 60);
    const Points small = Circle(10000, 0, 1000, 19);
    Add(job, big);
    Add(job, SquareOff(big, 6, 0, 0));
    Add(job, small);
    Add(job, SquareOff(small, 2, 10000, 0));
    Fillers(job, 18, 100000);
    ASSERT_EQ(Plan(), PlainPlanner::Result::Planned);
    EXPECT_EQ(JoinVertex(1, 0), 6);
    EXPECT_EQ(JoinVertex(3, 2), 0) << "the rightmost vertex, the extreme nearest";
    ExpectOneTree(job);
}

TEST_F(PlannerTest, NearestListsFromTwentyOneFigures)
{
    // A square off a smooth vertex of a circle: the search over every pair
    // joins them there; with the nearest lists only a vertex that may be
    // entered is used. The frame counts: 19 drawn figures make 20, 20 make 21.
    const Points circle = Circle(0, 0, 3000, 40);
    for (const int drawn : {19, 20}) {
        TJob j;
        Add(j, circle);
        Add(j, SquareOff(circle, 2, 0, 0));
        Fillers(j, drawn - 2, 100000);
        Finish(j);
        ASSERT_EQ(PlainPlanner(j, 0, true).Run(), PlainPlanner::Result::Planned);
        std::swap(job.FigureList, j.FigureList);
        const int32_t at = JoinVertex(1, 0);
        if (drawn == 19)
            EXPECT_EQ(at, 2) << "20 figures: no lists";
        else
            EXPECT_TRUE(at >= 0 && at != 2 && F(0).VertexInfo[static_cast<size_t>(at)].EntryAllowed) << "21 figures: at " << at;
        std::swap(job.FigureList, j.FigureList);
    }
}

TEST_F(PlannerTest, ChildrenNearestFromTwentyOneChildren)
{
    // The same circle and square inside a part, with other holes: with 21
    // holes the search among them uses only vertices that may be entered.
    const Points circle = Circle(5000, 5000, 3000, 40);
    for (const int holes : {20, 21}) {
        TJob j;
        Add(j, Rect(-1000, -1000, 40000, 12000));
        Add(j, Rect(-800, -800, -700, -700));  // the first hole joined to the part
        Add(j, circle);
        Add(j, SquareOff(circle, 2, 5000, 5000));
        for (int i = 0; i < holes - 3; ++i)
            Add(j, Rect(12000 + i * 1000, 10000, 12100 + i * 1000, 10100));
        Finish(j);
        ASSERT_EQ(PlainPlanner(j, 0, true).Run(), PlainPlanner::Result::Planned);
        ASSERT_EQ(j.FigureList[0]->ChildCount, holes);
        std::swap(job.FigureList, j.FigureList);
        const int32_t at = JoinVertex(3, 2);
        if (holes == 20)
            EXPECT_EQ(at, 2);
        else
            EXPECT_TRUE(at >= 0 && at != 2 && F(2).VertexInfo[static_cast<size_t>(at)].EntryAllowed) << "at " << at;
        std::swap(job.FigureList, j.FigureList);
    }
}

TEST_F(PlannerTest, ChildrenNearestHalvesBothEnds)
{
    // Inside a part of 21 holes (six points: no outline of material, so the
    // first hole is joined to the part), two holes lie 578 and 576 (squared)
    // from the first: halved at both ends (and truncated) they weigh the same,
    // so the one listed first is entered first, and the other from it.
    Add(job, {{0, 0}, {40000, 0}, {40000, 20000}, {20000, 20000}, {0, 20000}, {0, 0}});
    Add(job, Rect(600, 600, 700, 700));
    Add(job, Rect(717, 717, 817, 817));  // 17, 17 off the first hole's corner
    Add(job, Rect(600, 724, 700, 824));  // 24 above it
    for (int i = 0; i < 18; ++i)
        Add(job, Rect(10000 + i * 1000, 10000, 10100 + i * 1000, 10100));
    ASSERT_EQ(Plan(), PlainPlanner::Result::Planned);
    ASSERT_EQ(F(0).ChildCount, 21);
    EXPECT_EQ(Partner(1), 0);
    EXPECT_EQ(Partner(2), 1);
    EXPECT_EQ(Partner(3), 2);
}

TEST_F(PlannerTest, PartnersOfOneDepthShareTheirContainer)
{
    // A hole far from its 22 siblings is in no list of the search inside its
    // part, so it is left for the outer rounds. Holes of the next part lie
    // nearest it, but a hole is entered only from a hole of its own part (or
    // from a shallower figure).
    Add(job, Rect(0, 0, 20000, 2000));
    for (int i = 0; i < 22; ++i)
        Add(job, Rect(200 + (i % 11) * 200, 200 + (i / 11) * 200, 300 + (i % 11) * 200, 300 + (i / 11) * 200));
    const int32_t far = Count();
    Add(job, Rect(19000, 900, 19100, 1000));
    const int32_t next = Count();
    Add(job, Rect(21000, 0, 23000, 2000));
    for (int i = 0; i < 3; ++i)
        Add(job, Rect(21200, 300 + i * 600, 21300, 400 + i * 600));
    Fillers(job, 21, 50000);
    ASSERT_EQ(Plan(), PlainPlanner::Result::Planned);
    const int32_t partner = Partner(far);
    ASSERT_GE(partner, 0);
    EXPECT_TRUE(F(static_cast<size_t>(partner)).Depth < 2 || F(static_cast<size_t>(partner)).Container == 0)
        << "entered from " << partner;
    EXPECT_FALSE(F(static_cast<size_t>(partner)).Container == next);
    ExpectOneTree(job);
}

TEST_F(PlannerTest, CrossingRepairMovesTheEndOfTheFigureCut)
{
    // A notch reaching up under a straight edge, and a line from above it
    // round to below the notch's mouth. The nearest pair (the notch's tip and
    // the line's first point) cuts the edge: the end on the notched figure
    // walks back until the connector is free, although the line's own
    // previous point would see the tip through the mouth.
    Add(job, {{0, 0}, {1000, 0}, {1000, -100}, {510, -100}, {500, -30}, {490, -100}, {0, -100}, {0, 0}});
    Add(job, {{500, 50}, {1200, 50}, {1200, -300}, {500, -300}, {600, -350}});
    ASSERT_EQ(Plan(), PlainPlanner::Result::Planned);
    ASSERT_EQ(Partner(0), job.StartFigure) << "the notched figure is entered first";
    EXPECT_EQ(Partner(1), 0);
    EXPECT_EQ(F(1).EntryVertex, 0);
    EXPECT_EQ(JoinVertex(1, 0), 1);

    // The other way round: the notched figure is the one entered, its notch
    // open upwards, and the line entered first.
    TJob j;
    Add(j, {{0, 0}, {1000, 0}, {1000, 100}, {110, 100}, {100, 30}, {90, 100}, {0, 100}, {0, 0}});
    Add(j, {{100, -50}, {-300, -50}, {-300, 300}, {100, 300}, {0, 350}});
    Finish(j);
    ASSERT_EQ(PlainPlanner(j, 0, true).Run(), PlainPlanner::Result::Planned);
    std::swap(job.FigureList, j.FigureList);
    job.StartFigure = j.StartFigure;
    ASSERT_EQ(Partner(1), job.StartFigure) << "the line is entered first";
    EXPECT_EQ(Partner(0), 1);
    EXPECT_EQ(F(0).EntryVertex, 1);
    EXPECT_EQ(JoinVertex(0, 1), 0);
}

namespace {
// Cancels at its first question in one stage (never, without one), and
// notes every question and stage that still comes after the cancel.
class CancelInPhase : public PlanProgress {
public:
    // after: questions of that phase answered yes first.
    explicit CancelInPhase(std::optional<PlanPhase> at, int after = 0) : m_at(at), m_after(after) {}
    bool Continue(int) override
    {
        if (cancelled) {
            ++askedAfterCancel;
            return false;
        }
        asked.insert(m_phase);
        cancelled = m_at == m_phase && asksIn[m_phase] >= m_after;
        ++asksIn[m_phase];
        return !cancelled;
    }
    void Phase(PlanPhase phase) override
    {
        m_phase = phase;
        stagesAfterCancel += cancelled;
    }
    std::set<PlanPhase> asked;
    std::map<PlanPhase, int> asksIn;
    bool cancelled = false;
    int askedAfterCancel = 0;
    int stagesAfterCancel = 0;

private:
    std::optional<PlanPhase> m_at;
    int m_after;
    PlanPhase m_phase = PlanPhase::Analysis;
};

// A job that goes through every stage: parts that touch, a part with holes,
// a C whose nearest partner lies behind its back, and enough parts for the
// nearest lists.
void JobOfEveryStage(TJob& job)
{
    Add(job, CShape(0, 0, 1000, 1000, 100));
    Add(job, Rect(-300, 450, -200, 550));  // nearest to the C's inner corner
    Add(job, Rect(2000, 0, 2100, 100));
    Add(job, Rect(2100, 0, 2200, 100));
    Add(job, Rect(3000, 0, 4000, 1000));
    Add(job, Rect(3200, 200, 3400, 400));
    Add(job, Rect(3600, 600, 3800, 800));
    for (int32_t i = 0; i < 16; ++i)
        Add(job, Rect(i * 400, 3000, i * 400 + 200, 3200));
    Finish(job);
}
}  // namespace

TEST_F(PlannerTest, CancelDuringEachLongPhase)
{
    const PlanPhase stages[] = {PlanPhase::Analysis,   PlanPhase::StartFigure, PlanPhase::TouchingLinks,
                                PlanPhase::NearestLists, PlanPhase::Containers, PlanPhase::Connectors,
                                PlanPhase::CrossingRepair};
    {
        JobOfEveryStage(job);
        PlainPlanner planner(job, 0, true);
        planner.SetReportInterval(1);
        CancelInPhase never(std::nullopt);
        ASSERT_EQ(planner.Run(&never), PlainPlanner::Result::Planned);
        for (const PlanPhase stage : stages)
            EXPECT_TRUE(never.asked.count(stage)) << "stage " << static_cast<int>(stage) << " never asks";
    }
    for (const PlanPhase stage : stages) {
        TJob fresh;
        JobOfEveryStage(fresh);
        PlainPlanner planner(fresh, 0, true);
        planner.SetReportInterval(1);
        CancelInPhase cancel(stage);
        EXPECT_EQ(planner.Run(&cancel), PlainPlanner::Result::Cancelled) << "stage " << static_cast<int>(stage);
        EXPECT_TRUE(cancel.cancelled);
        EXPECT_EQ(cancel.askedAfterCancel, 0) << "stage " << static_cast<int>(stage);
        EXPECT_EQ(cancel.stagesAfterCancel, 0) << "stage " << static_cast<int>(stage) << " went on after the cancel";
        EXPECT_EQ(fresh.PathPlanned, 0);
    }
    // Cancelled while the lists are built, in blocks of 75 asking after each,
    // the building stops after the block it is in.
    auto squares = [](TJob& j) {
        for (int32_t i = 0; i < 300; ++i)
            Add(j, Rect(i % 20 * 400, i / 20 * 400, i % 20 * 400 + 200, i / 20 * 400 + 200));
        Finish(j);
    };
    TJob counted, cancelled;
    squares(counted);
    squares(cancelled);
    CancelInPhase never(std::nullopt), cancel(PlanPhase::NearestLists);
    for (auto [j, progress] : {std::pair{&counted, &never}, std::pair{&cancelled, &cancel}}) {
        PlainPlanner planner(*j, 0, true);
        planner.SetReportInterval(1);
        planner.SetListThreads(1);
        if (progress == &cancel)  // a few blocks before the end
            cancel = CancelInPhase(PlanPhase::NearestLists, never.asksIn[PlanPhase::NearestLists] - 5);
        planner.Run(progress);
    }
    EXPECT_TRUE(cancel.cancelled);
    const auto unlisted = std::count_if(cancelled.FigureList.begin(), cancelled.FigureList.end(),
                                        [](const auto& f) { return f->Nearest[0] < 0; });
    EXPECT_GT(unlisted, 100) << "the blocks after the cancel are left";
    EXPECT_LT(unlisted, 300) << "the cancel came while the lists were built";
}
