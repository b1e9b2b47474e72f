#include "job/Geometry.h"
#include "job/Job.h"
#include "job/Planner.h"
#include "tests/job/PlannerTestSupport.h"
#include "tests/job/ReferencePlanner.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

using namespace plan_test;

namespace {
// Random jobs of the kinds drawings have.
class JobMaker {
public:
    explicit JobMaker(uint32_t seed) : m_rng(seed) {}

    int Between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }

    // A part at (x, y) of about size s: a square, a ring, a C or an odd polygon.
    Points Part(int32_t x, int32_t y, int32_t s)
    {
        switch (Between(0, 4)) {
        case 0:
            return Rect(x, y, x + s, y + s * Between(5, 10) / 10);
        case 1:
            return Circle(x + s / 2, y + s / 2, s / 2, Between(8, 40), Between(0, 90) / 100.0);
        case 2:
            return CShape(x, y, s, s, std::max(10, s / 5));
        case 3: {
            Points p;
            const int n = Between(5, 12);
            for (int k = 0; k < n; ++k) {
                const double a = 2 * std::numbers::pi * k / n;
                const int r = s / 2 * Between(50, 100) / 100;
                p.push_back({x + s / 2 + static_cast<int32_t>(r * std::cos(a)), y + s / 2 + static_cast<int32_t>(r * std::sin(a))});
            }
            p.push_back(p.front());
            return p;
        }
        default:
            return Circle(x + s / 2, y + s / 2, s / 2, Between(260, 700));  // long: the searches stride over it
        }
    }

    Points Polyline(int32_t x, int32_t y, int32_t s)
    {
        Points p{{x, y}};
        for (int k = Between(1, 5); k > 0; --k)
            p.push_back({p.back().x + Between(-s, s), p.back().y + Between(-s, s)});
        return p;
    }

    void Grid(TJob& job, int n)
    {
        const int side = std::max(1, static_cast<int>(std::sqrt(n)));
        const int s = Between(300, 800), gap = Chance(30) ? 0 : Between(0, 400);
        for (int i = 0; i < n; ++i)
            Add(job, Part((i % side) * (s + gap), (i / side) * (s + gap), s));
    }

    void Sheet(TJob& job, int n)
    {
        const int side = std::max(1, static_cast<int>(std::sqrt(n)));
        const int s = 500;
        Add(job, Rect(-200, -200, side * 700 + 200, (n / side + 1) * 700 + 200));
        for (int i = 0; i < n; ++i)
            Add(job, Part((i % side) * 700, (i / side) * 700, s));
    }

    void Holes(TJob& job, int n)
    {
        for (int i = 0; i < n; ++i) {
            const int32_t x = (i % 6) * 5000, y = (i / 6) * 5000;
            Add(job, Rect(x, y, x + 4000, y + 4000));
            for (int h = Between(1, 25); h > 0; --h) {
                const int32_t hx = x + 200 + (h % 5) * 750, hy = y + 200 + (h / 5) * 750;
                Add(job, Part(hx, hy, 500));
                if (Chance(30))
                    Add(job, Rect(hx + 200, hy + 200, hx + 300, hy + 300));  // a hole in the hole's island
            }
        }
    }

    void Clusters(TJob& job, int n)
    {
        const int clusters = Between(2, 6);
        for (int i = 0; i < n; ++i) {
            const int c = i % clusters;
            const int32_t cx = c * 200000 + Between(0, 3000), cy = (c % 2) * 150000 + Between(0, 3000);
            Add(job, Part(cx, cy, Between(100, 600)));
        }
    }

    void Open(TJob& job, int n)
    {
        for (int i = 0; i < n; ++i) {
            const int32_t x = Between(0, 20000), y = Between(0, 20000);
            if (Chance(60))
                Add(job, Polyline(x, y, 2000));
            else
                Add(job, Part(x, y, Between(300, 1500)));
        }
        // Long lines from far away that end on a part: their centres are far
        // from what they touch, so no list of nearest figures holds them.
        for (int k = Between(0, 4); k > 0; --k) {
            const TFigPoint end = job.FigureList[static_cast<size_t>(Between(0, static_cast<int>(job.FigureList.size()) - 1))]->Points.front();
            Add(job, {{end.x + Between(-60000, 60000), end.y + Between(20000, 60000)}, {end.x + 3, end.y - 2}});
        }
        // A lead-in: a line from free space to the first figure.
        const TFigPoint target = job.FigureList.front()->Points.front();
        if (Chance(50))
            Add(job, {{target.x - 3000, target.y - 3000}, target});
    }

    // Parts that share edges and corners, and a large many-sided figure listed
    // last, so that it is the start when nothing else decides.
    void Touching(TJob& job, int n)
    {
        const Points big = Circle(0, 0, 3000, Between(70, 120));
        const TFigPoint on = big[static_cast<size_t>(Between(0, 60))];
        const int side = std::max(1, static_cast<int>(std::sqrt(n)));
        for (int i = 0; i < n; ++i)
            Add(job, Rect(4000 + (i % side) * 500, (i / side) * 500, 4500 + (i % side) * 500, (i / side) * 500 + 500));
        // Two of its vertices touch one vertex of the large figure.
        Add(job, {{on.x + 3, on.y + 2}, {on.x + 400, on.y + 50}, {on.x + 5, on.y - 4}, {on.x + 300, on.y - 500}, {on.x + 3, on.y + 2}});
        Add(job, big);
    }

    // Round parts holding holes, rings in rings listed innermost first (their
    // depths are corrected as outer rings turn up), and a lead-in that starts
    // inside a part and ends on one of its holes.
    void Nested(TJob& job, int n)
    {
        for (int i = 0; i < n; ++i) {
            const int32_t x = (i % 4) * 9000, y = (i / 4) * 9000;
            if (Chance(40)) {
                for (int r = 1; r <= Between(2, 5); ++r)
                    Add(job, Circle(x + 4000, y + 4000, 700 * r, Between(12, 40)));
                continue;
            }
            Add(job, Circle(x + 4000, y + 4000, 4000, Between(20, 90), Between(0, 90) / 100.0));
            const size_t firstHole = job.FigureList.size();
            for (int h = Between(1, 6); h > 0; --h)
                Add(job, Part(x + 2000 + (h % 3) * 1400, y + 2000 + (h / 3) * 1800, 900));
            if (Chance(50)) {
                const TFigPoint on = job.FigureList[firstHole]->Points.front();
                Add(job, {{x + 4000 + Between(-300, 300), y + 4000 + Between(-300, 300)}, {on.x + 2, on.y - 3}});
            }
        }
    }

    std::mt19937 m_rng;
};

// The planning outcome as one line for the job and one for each figure.
std::vector<std::string> Describe(const ref_plan::Plan& p)
{
    std::vector<std::string> lines;
    std::ostringstream out;
    out.precision(17);
    out << "outcome " << int(p.outcome) << " start " << p.StartFigure << " frame " << int(p.FrameAdded) << " outline "
        << int(p.StartOutline) << " planned " << int(p.PathPlanned) << " single " << int(p.SingleOpenFigure) << " length "
        << p.TotalLength << " entry " << p.EntryToLeft << "," << p.EntryToRight << "," << p.EntryToTop << ","
        << p.EntryToBottom << " bounds " << p.JobMinX << "," << p.JobMinY << "," << p.JobMaxX << "," << p.JobMaxY
        << " size " << p.JobWidth << "," << p.JobHeight << " maxdepth " << p.MaxDepth;
    lines.push_back(out.str());
    for (size_t i = 0; i < p.figures.size(); ++i) {
        const tfigura& f = p.figures[i];
        std::ostringstream o;
        o.precision(17);
        o << i << ": o" << int(f.Origin) << " f" << int(f.IsFigure) << " cl" << int(f.Closed) << " d" << f.Depth << " c"
          << f.Container << " k" << std::min(f.ChildCount, 21) << " p" << f.ConnParent << " pv" << f.ConnParentVertex << " e"
          << f.EntryVertex << " n" << int(f.NotConnected) << " box " << f.MinX << "," << f.MinY << "," << f.MaxX << ","
          << f.MaxY << " centre " << f.CentreX << "," << f.CentreY << " per " << f.Perimeter << " idx " << f.IdxMinX
          << "," << f.IdxMaxX << "," << f.IdxMinY << "," << f.IdxMaxY;
        if (f.Origin != 0)  // only what the planner made has points that the plan sets
            for (const TFigPoint& q : f.Points)
                o << " (" << q.x << "," << q.y << ")";
        o << " v";
        for (const TFigVertexInfo& v : f.VertexInfo)
            o << " " << int(v.EntryAllowed) << v.Kind << ":" << v.Angle;
        o << " near";
        for (int32_t m : f.Nearest)
            o << " " << m;
        lines.push_back(o.str());
    }
    return lines;
}

ref_plan::Plan Capture(const TJob& job, PlainPlanner::Result result)
{
    ref_plan::Plan p;
    p.outcome = result == PlainPlanner::Result::Planned ? ref_plan::Outcome::Planned
                : result == PlainPlanner::Result::Empty ? ref_plan::Outcome::Empty
                                                        : ref_plan::Outcome::Unreachable;
    for (const auto& f : job.FigureList)
        p.figures.push_back(*f);
    p.StartFigure = job.StartFigure;
    p.MaxDepth = job.MaxDepth;
    p.FrameAdded = job.FrameAdded;
    p.StartOutline = job.StartOutline;
    p.PathPlanned = job.PathPlanned;
    p.SingleOpenFigure = job.SingleOpenFigure;
    p.JobMinX = job.JobMinX;
    p.JobMinY = job.JobMinY;
    p.JobMaxX = job.JobMaxX;
    p.JobMaxY = job.JobMaxY;
    p.JobWidth = job.JobWidth;
    p.JobHeight = job.JobHeight;
    p.EntryToLeft = job.EntryToLeft;
    p.EntryToRight = job.EntryToRight;
    p.EntryToTop = job.EntryToTop;
    p.EntryToBottom = job.EntryToBottom;
    p.TotalLength = job.TotalLength;
    return p;
}

// Plans the job with the reference and with the program's planner and
// compares the two plans line by line.
void ExpectSamePlan(TJob& job, int mode, bool frame, const std::string& what, int64_t containmentBudget = 4096,
                    int threads = 1)
{
    const std::vector<std::string> expected = Describe(ref_plan::PlanJob(job, mode, frame));
    PlainPlanner planner(job, mode, frame);
    planner.SetContainmentBudget(containmentBudget);
    planner.SetListThreads(threads);
    const PlainPlanner::Result result = planner.Run();
    const std::vector<std::string> got = Describe(Capture(job, result));
    ASSERT_EQ(got.size(), expected.size()) << what << "\n" << got[0] << "\n" << expected[0];
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], expected[i]) << what << ", line " << i;
}
}  // namespace

// The program's planner, with its indexes, and an independent plain reading
// of the same rules give the same plan, field by field.
TEST(PlannerEquivalence, ProgramPlannerAgreesWithAPlainReading)
{
    PointTolerance = 10.0;
    const char* kinds[] = {"grid", "sheet", "holes", "clusters", "open", "touching", "nested"};
    for (uint32_t seed = 1; seed <= 140; ++seed) {
        JobMaker make(seed * 7919);
        TJob job;
        const int kind = static_cast<int>(seed % 7);
        const int n = make.Between(1, seed % 4 == 0 ? 130 : 45);
        switch (kind) {
        case 0: make.Grid(job, n); break;
        case 1: make.Sheet(job, n); break;
        case 2: make.Holes(job, std::max(1, n / 12)); break;
        case 3: make.Clusters(job, n); break;
        case 4: make.Open(job, n + 20); break;
        case 5: make.Touching(job, n); break;
        default: make.Nested(job, std::max(1, n / 6)); break;
        }
        Finish(job);
        const int mode = seed % 5 == 0 || kind == 5 ? 2 : 0;
        const bool frame = seed % 3 != 0;
        // Every other job's nearest lists are built on three threads.
        ExpectSamePlan(job, mode, frame,
                       "seed " + std::to_string(seed) + " (" + kinds[kind] + ", " + std::to_string(job.FigureList.size()) +
                           " figures)",
                       4096, seed % 2 == 0 ? 3 : 1);
        if (::testing::Test::HasFatalFailure())
            return;
    }
    // Two groups 20 km apart: the weights between them outgrow 64 bits and
    // saturate alike.
    TJob far;
    for (int k = 0; k < 24; ++k) {
        const int32_t x = (k % 2 == 0 ? -400000000 : 400000000) + k * 1000;
        Add(far, k % 3 == 0 ? Rect(x, 0, x + 600, 600) : Circle(x + 300, 300, 300, 12));
    }
    Finish(far);
    ExpectSamePlan(far, 0, false, "far apart");
}

// Squares nested one in another, listed innermost first, outermost first and
// shuffled, with two outlines crossing each other between them (the squares
// inside both have two containers of one depth) and a line in the middle:
// listed out of order, figures are first placed in shallow containers and
// moved deeper in later passes, and a container counts every attach. Each
// is planned twice: walking back from the deepest container, and taking all
// containers in list order.
TEST(PlannerEquivalence, NestedSquaresInAnyOrderAgree)
{
    PointTolerance = 10.0;
    constexpr int kSquares = 90;
    std::vector<Points> figures;
    for (int k = 0; k < kSquares; ++k) {
        const int32_t h = 40 * (k + 1);
        figures.push_back(Rect(-h, -h, h, h));
    }
    // Listed innermost first, it comes between the two smallest squares: its
    // box holds them, but it does not, and nothing listed before them does.
    figures.insert(figures.begin() + 1, CShape(-110, -110, 220, 220, 20));
    // Both hold the six smallest squares and lie inside the thirteenth.
    figures.push_back(Rect(-500, -260, 500, 260));
    figures.push_back(Rect(-260, -500, 260, 500));
    figures.push_back({{-10, -10}, {10, 5}});
    // Its box holds the squares inside it, but it does not.
    figures.push_back(CShape(-700, -700, 1400, 1400, 40));
    const char* orders[] = {"innermost first", "outermost first", "shuffled"};
    for (int order = 0; order < 3; ++order) {
        std::vector<size_t> at(figures.size());
        for (size_t k = 0; k < at.size(); ++k)
            at[k] = k;
        if (order == 1)
            std::reverse(at.begin(), at.end());
        if (order == 2)
            std::shuffle(at.begin(), at.end(), std::mt19937(26));
        for (const bool frame : {true, false})
            for (const int64_t budget : {4096, 0}) {
                TJob job;
                for (size_t k : at)
                    Add(job, figures[k]);
                Finish(job);
                ExpectSamePlan(job, 0, frame,
                               std::string(orders[order]) + (frame ? ", frame" : ", no frame") + (budget ? "" : ", in list order"),
                               budget);
                if (::testing::Test::HasFatalFailure())
                    return;
            }
    }
}
