#include "production/Raster.h"
#include "production/RasterThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

namespace {

// Whether the triangle (raster units) meets the box [x0, x1] x [y0, y1]:
// separating axes of the box and of the triangle's edges.
bool Meets(const double (&x)[3], const double (&y)[3], double x0, double x1, double y0, double y1)
{
    if (std::max({x[0], x[1], x[2]}) < x0 || std::min({x[0], x[1], x[2]}) > x1 ||
        std::max({y[0], y[1], y[2]}) < y0 || std::min({y[0], y[1], y[2]}) > y1)
        return false;
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        const double nx = y[i] - y[j], ny = x[j] - x[i];
        double t0 = 1e300, t1 = -1e300, b0 = 1e300, b1 = -1e300;
        for (int k = 0; k < 3; ++k) {
            t0 = std::min(t0, nx * x[k] + ny * y[k]);
            t1 = std::max(t1, nx * x[k] + ny * y[k]);
        }
        for (double bx : {x0, x1})
            for (double by : {y0, y1}) {
                b0 = std::min(b0, nx * bx + ny * by);
                b1 = std::max(b1, nx * bx + ny * by);
            }
        if (t1 < b0 || t0 > b1)
            return false;
    }
    return true;
}

std::vector<std::pair<int, int>> Covered()
{
    std::vector<std::pair<int, int>> cells;
    for (int c = 0; c < PixelGrid.Cols(); ++c)
        for (int r = 0; r < PixelGrid.Rows(); ++r)
            if (PixelGrid(c, r) == CellCovered)
                cells.emplace_back(c, r);
    return cells;
}

// A box of 20 x 10 x 20 mm (x, y, z) about the origin, as twelve triangles.
void LoadBox()
{
    const float h[3] = {10, 5, 10};
    auto corner = [&](int i, float& x, float& y, float& z) {
        x = i & 1 ? h[0] : -h[0];
        y = i & 2 ? h[1] : -h[1];
        z = i & 4 ? h[2] : -h[2];
    };
    const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    ModelTriangles.clear();
    for (const auto& f : faces)
        for (const auto& t : {std::array{f[0], f[1], f[2]}, std::array{f[0], f[2], f[3]}}) {
            TRawTriangle r;
            corner(t[0], r.x1, r.y1, r.z1);
            corner(t[1], r.x2, r.y2, r.z2);
            corner(t[2], r.x3, r.y3, r.z3);
            ModelTriangles.push_back(r);
        }
    ModelSize = {20, 10, 20};
    ModelCentreX = ModelCentreY = ModelCentreZ = 0;
}

}  // namespace

TEST(RasterFill, CoversTheSamplersCellsAndOnlyCellsTheTriangleMeets)
{
    GridCols = 60;
    GridRows = 40;
    AllocatePixelGrid();
    std::mt19937 rng(14);
    std::uniform_real_distribution<double> at(-8, 8), unit(0, 1);
    for (int n = 0; n < 3000; ++n) {
        double p[3][3];
        for (auto& c : p)
            c[0] = at(rng), c[1] = 0.6 * at(rng), c[2] = at(rng);
        switch (n % 5) {
        case 1:  // sliver: two corners a hair apart
            p[1][0] = p[0][0] + 0.05 * unit(rng), p[1][1] = p[0][1] + 0.05 * unit(rng);
            break;
        case 2:  // edge-on: corners on one line of the view, at other depths
            for (auto& c : p) {
                const double f = unit(rng);
                c[0] = p[0][0] + f * 6, c[1] = p[0][1] - f * 2.5;
            }
            break;
        case 3:  // tiny: within one cell or across a border of cells
            for (int k = 1; k < 3; ++k)
                p[k][0] = p[0][0] + 0.15 * unit(rng), p[k][1] = p[0][1] + 0.15 * unit(rng);
            break;
        case 4:  // reaching beyond the raster on some side
            for (auto& c : p)
                c[0] *= 2, c[1] *= 2.5;
            break;
        }
        if (n % 10 >= 5)  // corners on the cells' borders and centres
            for (auto& c : p)
                c[0] = std::round(c[0] * 10) / 10, c[1] = std::round(c[1] * 10) / 10;
        const TRawTriangle t{float(p[0][0]), float(p[0][1]), float(p[0][2]), float(p[1][0]), float(p[1][1]),
                             float(p[1][2]), float(p[2][0]), float(p[2][1]), float(p[2][2])};
        ClearPixelGrid();
        RasteriseTriangle(t);
        const auto sampled = Covered();
        ClearPixelGrid();
        FillTriangle(t);
        const auto filled = Covered();
        ASSERT_TRUE(std::includes(filled.begin(), filled.end(), sampled.begin(), sampled.end())) << "triangle " << n;
        // Cells the sampler missed must still be met by the triangle; the
        // side cells stand for everything beyond them.
        const double x[3] = {t.x1 / 0.2 + 30, t.x2 / 0.2 + 30, t.x3 / 0.2 + 30};
        const double y[3] = {t.y1 / 0.2 + 20, t.y2 / 0.2 + 20, t.y3 / 0.2 + 20};
        const double hair = 3e-3;
        for (const auto& [c, r] : filled)
            ASSERT_TRUE(Meets(x, y, c == 0 ? -1e9 : c - 0.5 - hair, c == 60 ? 1e9 : c + 0.5 + hair,
                              r == 0 ? -1e9 : r - 0.5 - hair, r == 40 ? 1e9 : r + 0.5 + hair))
                << "triangle " << n << " cell " << c << ", " << r;
    }
}

TEST(RasterInterior, CoveredCellsWithCoveredNeighboursAndTheBottomRun)
{
    GridCols = 29;
    GridRows = 9;
    AllocatePixelGrid();
    ClearPixelGrid();
    MarkInterior();  // nothing covered: nothing to mark, and the bottom search stays on the raster
    EXPECT_TRUE(Covered().empty());
    for (int r = 2; r <= 8; ++r)
        PixelGrid(2, r) = CellCovered;  // a bar one cell wide
    for (int c = 10; c <= 12; ++c)
        for (int r = 4; r <= 6; ++r)
            PixelGrid(c, r) = CellCovered;  // a 3 x 3 block
    for (int c = 5; c <= 20; ++c)
        PixelGrid(c, 0) = CellCovered;  // a run along the bottom
    PixelGrid(24, 0) = PixelGrid(25, 0) = PixelGrid(26, 0) = CellCovered;  // a second run
    MarkInterior();
    for (int c = 0; c <= 29; ++c)
        for (int r = 0; r <= 9; ++r) {
            const bool interior = (c == 11 && r == 5) || (r == 0 && c >= 6 && c <= 19);
            EXPECT_EQ(PixelGrid(c, r) == CellInterior, interior) << c << ", " << r;
        }
}

TEST(RasterTurn, QuarterTurnAndTheFortyFiveDegreeBoxFits)
{
    ModelTriangles = {TRawTriangle{15, 3, -2, 5, 8, -2, 5, 3, 8}};
    ModelCentreX = 5, ModelCentreY = 1, ModelCentreZ = -2;
    SerialAngle = 90;
    ASSERT_TRUE(RotateModel());
    const TRawTriangle& t = RotatedTriangles[0];
    EXPECT_NEAR(t.x1, 0, 1e-5);
    EXPECT_FLOAT_EQ(t.y1, 2);
    EXPECT_FLOAT_EQ(t.z1, 10);
    EXPECT_NEAR(t.x3, -10, 1e-5);
    EXPECT_NEAR(t.z3, 0, 1e-5);

    // Turned by 45 degrees, the 20 mm square is 28.3 mm across: the raster
    // is as wide and every cell of a middle row is covered; one cut to the
    // 20 mm box would flatten the sides.
    LoadBox();
    ChooseGridSize();
    EXPECT_EQ(GridCols, 141);
    EXPECT_EQ(GridRows, 50);
    SerialAngle = 45;
    TRawDoPix step(nullptr);
    step.Execute();
    EXPECT_TRUE(step.RotationDone);
    EXPECT_TRUE(RotatedTriangles.empty());
    int row = 0;
    for (int c = 0; c <= GridCols; ++c)
        row += PixelGrid(c, 25) > CellEmpty;
    EXPECT_EQ(row, 142);
    EXPECT_EQ(PixelGrid(70, 25), CellInterior);
}

TEST(RasterThread, EndsOnTheUserInterfaceThreadAndAStopEndsTheStep)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    LoadBox();
    ChooseGridSize();
    SerialAngle = 0;

    TRawDoPix(nullptr).Execute();
    const int whole = static_cast<int>(Covered().size());
    ASSERT_GT(whole, 0);

    auto runStep = [&](bool stopFirst, int& covered) {
        bool ended = false;
        QPointer<TRawDoPix> worker = new TRawDoPix([&] {
            EXPECT_EQ(QThread::currentThread(), app.thread());
            covered = static_cast<int>(Covered().size());
            ended = true;
        });
        if (stopFirst)
            worker->Terminate();
        worker->Resume();
        QElapsedTimer guard;
        guard.start();
        while ((!ended || worker) && guard.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_TRUE(ended);
        EXPECT_TRUE(worker.isNull()) << "the worker frees itself after its handler";
    };
    int covered = -1;
    runStep(false, covered);
    EXPECT_EQ(covered, whole);

    // Asked to stop before it starts, the step leaves the raster alone.
    PixelGrid.Release();
    runStep(true, covered);
    EXPECT_EQ(covered, 0);
    EXPECT_EQ(PixelGrid.Cols(), 0);
}
