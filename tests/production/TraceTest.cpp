#include "production/RasterThread.h"
#include "production/Trace.h"

#include <gtest/gtest.h>

namespace {

tfigura Figure(std::initializer_list<TFigPoint> points)
{
    tfigura f;
    f.Points = points;
    return f;
}

std::unique_ptr<tfigura> Open(std::initializer_list<TFigPoint> points)
{
    return std::make_unique<tfigura>(Figure(points));
}

using Points = std::vector<TFigPoint>;

}  // namespace

TEST(TraceClosing, MoreThanFivePointsWithEndsAtMostFortyEightStepsApart)
{
    tfigura five = Figure({{0, 0}, {8, 0}, {16, 8}, {8, 16}, {0, 8}});
    CloseTraceIfEndsMeet(five);
    EXPECT_FALSE(five.ClosedTrace);
    EXPECT_EQ(five.Points.size(), 5u);

    tfigura six = Figure({{0, 0}, {0, 8}, {0, 16}, {8, 24}, {24, 16}, {48, 0}});
    CloseTraceIfEndsMeet(six);
    EXPECT_TRUE(six.ClosedTrace);
    EXPECT_EQ(six.Points, (Points{{0, 0}, {0, 8}, {0, 16}, {8, 24}, {24, 16}, {48, 0}, {0, 0}}));

    tfigura apart = Figure({{0, 0}, {0, 8}, {0, 16}, {8, 24}, {24, 16}, {48, 8}});  // 48.7 steps
    CloseTraceIfEndsMeet(apart);
    EXPECT_FALSE(apart.ClosedTrace);
    EXPECT_EQ(apart.Points.size(), 6u);
}

TEST(TraceJoining, EndsCloserThanFortyEightStepsJoinInTheirOrder)
{
    TracedFigures.clear();
    TracedFigures.push_back(Open({{0, 0}, {80, 0}}));
    EXPECT_FALSE(JoinToOpenFigure(Figure({{128, 0}, {200, 0}})));  // 48 apart
    EXPECT_TRUE(JoinToOpenFigure(Figure({{200, 0}, {120, 0}})));   // its last 40 from the end
    EXPECT_TRUE(JoinToOpenFigure(Figure({{-40, 0}, {-100, 0}})));  // its first 40 from the start
    EXPECT_EQ(TracedFigures[0]->Points, (Points{{-100, 0}, {-40, 0}, {0, 0}, {80, 0}, {120, 0}, {200, 0}}));
    EXPECT_FALSE(TracedFigures[0]->ClosedTrace);

    // Joined ends that meet close the figure.
    EXPECT_TRUE(JoinToOpenFigure(Figure({{200, 40}, {-100, 40}})));
    EXPECT_TRUE(TracedFigures[0]->ClosedTrace);
    EXPECT_EQ(TracedFigures[0]->Points.front(), (TFigPoint{200, 40}));
    EXPECT_EQ(TracedFigures[0]->Points.back(), (TFigPoint{200, 40}));

    // Joining into the first figure takes open ones only: a closed outline
    // near its end stays a figure of its own.
    TracedFigures.clear();
    TracedFigures.push_back(Open({{0, 0}, {80, 0}}));
    TracedFigures.push_back(Open({{100, 0}, {100, 100}, {90, 0}, {100, 0}}));
    TracedFigures.back()->ClosedTrace = 1;
    TracedFigures.push_back(Open({{300, 0}, {200, 0}}));
    TracedFigures.push_back(Open({{240, 0}, {120, 0}}));
    JoinOpenFigures();
    ASSERT_EQ(TracedFigures.size(), 2u);
    EXPECT_EQ(TracedFigures[0]->Points, (Points{{0, 0}, {80, 0}, {120, 0}, {240, 0}, {200, 0}, {300, 0}}));
    EXPECT_TRUE(TracedFigures[1]->ClosedTrace);
}

TEST(TraceThinning, StraightRunsWithinTheToleranceKeepTheirEnds)
{
    // The corner at (52, 60) lies just 12 steps off the chord of its run.
    tfigura f = Figure({{0, 0}, {10, 5}, {20, -5}, {30, 5}, {40, 0}, {40, 20}, {40, 40}, {52, 60}, {40, 80}});
    ThinContour(f, 12);
    EXPECT_EQ(f.Points, (Points{{0, 0}, {40, 0}, {52, 60}, {40, 80}}));
}

TEST(TraceSilhouette, ASolidOnItsBaseGivesOneOpenProfileOverTheTop)
{
    // A block 20 mm wide and 10 mm high at angle 0: its outline in steps runs
    // from the left end of the bottom up, across the top and down the right.
    const float w = 10, h = 5, d = 3;
    ModelTriangles.clear();
    auto quad = [](TRawTriangle a, TRawTriangle b) { ModelTriangles.push_back(a), ModelTriangles.push_back(b); };
    quad({-w, -h, -d, w, -h, -d, w, h, -d}, {-w, -h, -d, w, h, -d, -w, h, -d});
    quad({-w, -h, d, w, -h, d, w, h, d}, {-w, -h, d, w, h, d, -w, h, d});
    ModelSize = {2 * w, 2 * h, 2 * d};
    ModelCentreX = ModelCentreY = ModelCentreZ = 0;
    ChooseGridSize();
    SerialAngle = 0;
    TRawDoPix(nullptr).Execute();

    TContourTracer tracer;
    tracer.TraceSilhouette();
    ASSERT_EQ(TracedFigures.size(), 1u);
    const tfigura& f = *TracedFigures[0];
    EXPECT_FALSE(f.ClosedTrace);
    ASSERT_GE(f.Points.size(), 4u);
    int left = GridCols, right = 0;
    for (int c = 0; c <= GridCols; ++c)
        if (PixelGrid(c, 0) & CellCovered)
            left = std::min(left, c), right = std::max(right, c);
    EXPECT_EQ(f.Points.front(), (TFigPoint{8 * left, 0}));
    EXPECT_EQ(f.Points.back(), (TFigPoint{8 * right, 0}));
    for (int c = 0; c <= GridCols; ++c)
        for (int r = 0; r <= GridRows; ++r)
            EXPECT_NE(PixelGrid(c, r), CellCovered) << "outline cell " << c << ", " << r << " left out";
    for (const TFigPoint& p : f.Points)
        EXPECT_TRUE(p.x == 8 * left || p.x == 8 * right || p.y == 8 * GridRows) << p.x << ", " << p.y;
}

// Four free neighbours alike in score and distance: the first one the scan
// meets wins, and the scan starts three directions back from the last free
// neighbour counted (left, 6): at 3, so the cell below (4) comes first.
TEST(TraceNextCell, WithThreeOrMoreWaysTheScanStartsThreeDirectionsBackFromTheLastFreeOne)
{
    PixelGrid.Allocate(5, 5);
    PixelGrid.Fill(CellEmpty);
    PixelGrid(2, 2) = CellCovered | CellVisited;
    for (const TGridCell c : {TGridCell{2, 3}, TGridCell{3, 2}, TGridCell{2, 1}, TGridCell{1, 2}})
        PixelGrid(c.col, c.row) = CellCovered;
    TContourTracer tracer;
    tracer.TraceCell = {2, 2};
    tracer.TracePoint = {16, 16};
    ASSERT_TRUE(tracer.TraceNextCell());
    EXPECT_EQ(tracer.TraceCell, (TGridCell{2, 1}));
    EXPECT_EQ(tracer.LastDir, 4);
}
