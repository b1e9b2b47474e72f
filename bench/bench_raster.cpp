// One rasterising step (turn the model, allocate and clear the raster, fill
// every triangle, mark the interior) for three generated models of 1,000,000
// triangles each:
//   sphere    a fine sphere of 200 mm diameter;
//   cylinder  200 mm high, 200 mm across, of 500,000 full-height strips;
//   needles   a cone fan, apex to base, 200 mm high, every triangle a needle
//             from the apex to two neighbouring points of the base circle.
// The time is the best of three steps. The dense sampler is timed on 1,000
// of each model's triangles (every thousandth), next to the fill on the same.
//
//   bench_raster [triangles] [sphere | cylinder | needles]
#include "production/Model.h"
#include "production/Raster.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kPi = std::numbers::pi;

TRawTriangle Tri(double x1, double y1, double z1, double x2, double y2, double z2, double x3, double y3, double z3)
{
    return {float(x1), float(y1), float(z1), float(x2), float(y2), float(z2), float(x3), float(y3), float(z3)};
}

TriangleList Sphere(size_t count)
{
    // Rings by segments, two triangles a cell.
    const auto rings = static_cast<size_t>(std::sqrt(count / 4.0));
    const size_t segments = count / (2 * rings);
    const double r = 100.0;
    auto at = [&](size_t i, size_t j, double& x, double& y, double& z) {
        const double th = kPi * i / rings, ph = 2 * kPi * j / segments;
        x = r * std::sin(th) * std::cos(ph);
        y = r * std::cos(th);
        z = r * std::sin(th) * std::sin(ph);
    };
    TriangleList t;
    t.reserve(2 * rings * segments);
    for (size_t i = 0; i < rings; ++i)
        for (size_t j = 0; j < segments; ++j) {
            double a[3], b[3], c[3], d[3];
            at(i, j, a[0], a[1], a[2]);
            at(i + 1, j, b[0], b[1], b[2]);
            at(i + 1, j + 1, c[0], c[1], c[2]);
            at(i, j + 1, d[0], d[1], d[2]);
            t.push_back(Tri(a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2]));
            t.push_back(Tri(a[0], a[1], a[2], c[0], c[1], c[2], d[0], d[1], d[2]));
        }
    return t;
}

TriangleList Cylinder(size_t count)
{
    const size_t strips = count / 2;
    const double r = 100.0, h = 200.0;
    TriangleList t;
    t.reserve(2 * strips);
    for (size_t j = 0; j < strips; ++j) {
        const double p0 = 2 * kPi * j / strips, p1 = 2 * kPi * (j + 1) / strips;
        const double x0 = r * std::cos(p0), z0 = r * std::sin(p0), x1 = r * std::cos(p1), z1 = r * std::sin(p1);
        t.push_back(Tri(x0, 0, z0, x1, 0, z1, x1, h, z1));
        t.push_back(Tri(x0, 0, z0, x1, h, z1, x0, h, z0));
    }
    return t;
}

TriangleList Needles(size_t count)
{
    const double r = 100.0, h = 200.0;
    TriangleList t;
    t.reserve(count);
    for (size_t j = 0; j < count; ++j) {
        const double p0 = 2 * kPi * j / count, p1 = 2 * kPi * (j + 1) / count;
        t.push_back(Tri(0, h, 0, r * std::cos(p0), 0, r * std::sin(p0), r * std::cos(p1), 0, r * std::sin(p1)));
    }
    return t;
}

void TakeModel(TriangleList t)
{
    ModelTriangles = std::move(t);
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    for (const TRawTriangle& x : ModelTriangles)
        for (const float* p : {&x.x1, &x.x2, &x.x3})
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], double(p[k]));
                hi[k] = std::max(hi[k], double(p[k]));
            }
    for (int k = 0; k < 3; ++k)
        ModelSize[k] = float(hi[k] - lo[k]);
    ModelCentreX = (lo[0] + hi[0]) / 2;
    ModelCentreY = (lo[1] + hi[1]) / 2;
    ModelCentreZ = (lo[2] + hi[2]) / 2;
    ChooseGridSize();
}

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

size_t CoveredCells()
{
    size_t n = 0;
    for (int32_t c = 0; c < PixelGrid.Cols(); ++c)
        for (int32_t r = 0; r < PixelGrid.Rows(); ++r)
            n += PixelGrid(c, r) > CellEmpty;
    return n;
}

void Run(const char* name, TriangleList model)
{
    TakeModel(std::move(model));
    SerialAngle = 30.0;
    double best = 1e300, fillBest = 1e300;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = Clock::now();
        RotateModel();
        AllocatePixelGrid();
        ClearPixelGrid();
        const auto t1 = Clock::now();
        for (const TRawTriangle& t : RotatedTriangles)
            FillTriangle(t);
        const auto t2 = Clock::now();
        MarkInterior();
        FreeRotatedModel();
        const auto t3 = Clock::now();
        best = std::min(best, Seconds(t0, t3));
        fillBest = std::min(fillBest, Seconds(t1, t2));
    }
    const size_t covered = CoveredCells();

    // The sampler against the fill on every thousandth turned triangle.
    RotateModel();
    TriangleList few;
    for (size_t i = 0; i < RotatedTriangles.size(); i += std::max<size_t>(1, RotatedTriangles.size() / 1000))
        few.push_back(RotatedTriangles[i]);
    FreeRotatedModel();
    ClearPixelGrid();
    auto t0 = Clock::now();
    for (const TRawTriangle& t : few)
        RasteriseTriangle(t);
    const double sampler = Seconds(t0, Clock::now());
    ClearPixelGrid();
    t0 = Clock::now();
    for (const TRawTriangle& t : few)
        FillTriangle(t);
    const double fill = Seconds(t0, Clock::now());

    std::printf("%-9s %8zu triangles, raster %d x %d: step %.4f s (fill %.4f s), %zu cells covered;"
                " %zu triangles: sampler %.4f s, fill %.6f s\n",
                name, ModelTriangles.size(), GridCols + 1, GridRows + 1, best, fillBest, covered, few.size(), sampler,
                fill);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    const size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const std::string only = argc > 2 ? argv[2] : "";
    if (only.empty() || only == "sphere")
        Run("sphere", Sphere(n));
    if (only.empty() || only == "cylinder")
        Run("cylinder", Cylinder(n));
    if (only.empty() || only == "needles")
        Run("needles", Needles(n));
    return 0;
}
