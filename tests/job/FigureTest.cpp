#include "job/Figure.h"
#include "job/Geometry.h"

#include <gtest/gtest.h>

namespace {
tfigura Figure(std::initializer_list<TFigPoint> points)
{
    tfigura f;
    f.Points = points;
    ComputeFigureParameters(f);
    return f;
}
}  // namespace

TEST(FigureParameters, OpennessUsesThePointTolerance)
{
    EXPECT_TRUE(Figure({{0, 0}, {0, 0}}).IsOpen) << "two points are always open";
    EXPECT_FALSE(Figure({{0, 0}, {100, 0}, {100, 100}, {9, -9}}).IsOpen);
    EXPECT_TRUE(Figure({{0, 0}, {100, 0}, {100, 100}, {10, 0}}).IsOpen);
    EXPECT_TRUE(Figure({{0, 0}, {100, 0}, {100, 100}, {0, 10}}).IsOpen);
    const tfigura closed = Figure({{0, 0}, {100, 0}, {100, 100}, {0, 0}});
    EXPECT_EQ(closed.Closed, 1);
    EXPECT_EQ(closed.IsFigure, 1);
    EXPECT_EQ(closed.MayOrient, 1);
    EXPECT_EQ(closed.NotConnected, 1);
    EXPECT_EQ(closed.Valid, 1);
}

TEST(FigureParameters, FirstPointWinsTiesAndCentreTruncates)
{
    // A rectangle from its lower-left corner, anticlockwise.
    const tfigura r = Figure({{0, 0}, {50, 0}, {50, 20}, {0, 20}, {0, 0}});
    EXPECT_EQ(r.IdxMinX, 0);
    EXPECT_EQ(r.IdxMinY, 0);
    EXPECT_EQ(r.IdxMaxX, 1);
    EXPECT_EQ(r.IdxMaxY, 2);
    EXPECT_EQ(r.Width, 50);
    EXPECT_EQ(r.Height, 20);
    EXPECT_EQ(r.CentreX, 25);

    const tfigura neg = Figure({{-3, -3}, {0, 0}});
    EXPECT_EQ(neg.CentreX, -1) << "halving truncates toward zero";

    const tfigura huge = Figure({{2147483647, 0}, {2147483640, 5}});
    EXPECT_EQ(huge.CentreX, 2147483643) << "no overflow in the sum";
}

TEST(FigureParameters, EmptyFigureOnlyBecomesInvalid)
{
    tfigura f;
    f.Valid = 1;
    f.Width = 7;
    ComputeFigureParameters(f);
    EXPECT_EQ(f.Valid, 0);
    EXPECT_EQ(f.Width, 7);
}

TEST(Geometry, UnitsAndNearPoints)
{
    EXPECT_EQ(StepsToMm(40), 1.0);
    EXPECT_EQ(MmToSteps(0.0125), 0) << "0.5 step rounds to even";
    EXPECT_EQ(MmToSteps(0.0375), 2);
    EXPECT_EQ(MmToSteps(-1.0), -40);
    EXPECT_TRUE(NearPoint({0, 0}, {9, -9}));
    EXPECT_FALSE(NearPoint({0, 0}, {10, 0}));
    EXPECT_FALSE(NearPoint({-2147483647 - 1, 0}, {2147483647, 0})) << "differences do not wrap";
}
