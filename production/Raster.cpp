#include "production/Raster.h"

#include "app/MathUtil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <numbers>
#include <stdexcept>

tpix2d PixelGrid;
int32_t GridCols = 200;
int32_t GridRows = 200;
double SerialAngle = 0.0;
TriangleList RotatedTriangles;

void tpix2d::Allocate(int32_t cols, int32_t rows)
{
    cols = std::max(cols, 0);
    rows = std::max(rows, 0);
    const size_t n = static_cast<size_t>(cols) * static_cast<size_t>(rows);
    m_cols = m_rows = 0;
    m_cells.resize(n);
    m_cols = cols;
    m_rows = rows;
}

void tpix2d::Fill(uint8_t value)
{
    std::memset(m_cells.data(), value, m_cells.size());
}

void tpix2d::Release()
{
    std::vector<uint8_t>().swap(m_cells);
    m_cols = m_rows = 0;
}

namespace {

// A count of cells from a length in cells, saturating instead of overflowing.
int32_t CellCount(double cells)
{
    int32_t n = 0;
    if (!RoundToInt32(cells, n))
        n = cells > 0 ? std::numeric_limits<int32_t>::max() : 0;
    return std::max(n, 0);
}

}  // namespace

void ChooseGridSize()
{
    double r2 = 0.0;
    for (const TRawTriangle& t : ModelTriangles) {
        for (const auto& [x, z] : {std::pair{t.x1, t.z1}, std::pair{t.x2, t.z2}, std::pair{t.x3, t.z3}}) {
            const double dx = x - ModelCentreX, dz = z - ModelCentreZ;
            r2 = std::max(r2, dx * dx + dz * dz);
        }
    }
    // The box's own width alone is not enough: a square turned by 45 degrees
    // is wider by its diagonal, and a raster cut to the box would flatten it.
    const double across = std::max({ModelSize[2] / GridCellSize, ModelSize[0] / GridCellSize,
                                    2.0 * std::sqrt(r2) / GridCellSize});
    GridCols = CellCount(across);
    GridRows = CellCount(ModelSize[1] / GridCellSize);
}

void AllocatePixelGrid()
{
    const int64_t cols = static_cast<int64_t>(std::max(GridCols, 0)) + 1;
    const int64_t rows = static_cast<int64_t>(std::max(GridRows, 0)) + 1;
    try {
        if (cols > std::numeric_limits<int32_t>::max() || rows > std::numeric_limits<int32_t>::max())
            throw std::bad_alloc();
        PixelGrid.Allocate(static_cast<int32_t>(cols), static_cast<int32_t>(rows));
    } catch (const std::bad_alloc&) {
        PixelGrid.Release();
    } catch (const std::length_error&) {
        PixelGrid.Release();
    }
}

void ClearPixelGrid() { PixelGrid.Fill(CellEmpty); }

bool RotateModel()
{
    FreeRotatedModel();
    try {
        RotatedTriangles.resize(ModelTriangles.size());
    } catch (const std::bad_alloc&) {
        FreeRotatedModel();
        return false;
    }
    const double a = SerialAngle * std::numbers::pi / 180.0;
    const double ca = std::cos(a), sa = std::sin(a);
    const double cx = ModelCentreX, cy = ModelCentreY, cz = ModelCentreZ;
    auto turn = [&](float x, float y, float z, float& tx, float& ty, float& tz) {
        const double dx = x - cx, dz = z - cz;
        tx = static_cast<float>(ca * dx - sa * dz);
        ty = static_cast<float>(y - cy);
        tz = static_cast<float>(sa * dx + ca * dz);
    };
    for (size_t i = 0; i < ModelTriangles.size(); ++i) {
        const TRawTriangle& s = ModelTriangles[i];
        TRawTriangle& d = RotatedTriangles[i];
        turn(s.x1, s.y1, s.z1, d.x1, d.y1, d.z1);
        turn(s.x2, s.y2, s.z2, d.x2, d.y2, d.z2);
        turn(s.x3, s.y3, s.z3, d.x3, d.y3, d.z3);
    }
    return true;
}

void FreeRotatedModel() { TriangleList().swap(RotatedTriangles); }

namespace {

// A corner in raster units: s runs along the slicing direction, t across it.
struct SliceCorner {
    double s, t;
};

// One edge of the triangle, its ends ordered along s.
struct SliceEdge {
    double s0, s1, t0, t1, k;
};

void MakeEdges(const SliceCorner (&c)[3], SliceEdge (&e)[3])
{
    for (int i = 0; i < 3; ++i) {
        SliceCorner a = c[i], b = c[(i + 1) % 3];
        if (a.s > b.s)
            std::swap(a, b);
        e[i] = {a.s, b.s, a.t, b.t, b.s > a.s ? (b.t - a.t) / (b.s - a.s) : 0.0};
    }
}

// The range of t over the part of the triangle whose s lies in [s0, s1]: that
// part is a convex polygon whose corners are triangle corners inside the slab
// or edge crossings of its borders, all of them ends of an edge clipped to the
// slab. lo > hi when the triangle misses the slab.
void SliceRange(const SliceEdge (&e)[3], double s0, double s1, double& lo, double& hi)
{
    lo = std::numeric_limits<double>::infinity();
    hi = -lo;
    for (const SliceEdge& x : e) {
        if (x.s1 < s0 || x.s0 > s1)
            continue;
        const double ta = x.s0 < s0 ? x.t0 + (s0 - x.s0) * x.k : x.t0;
        const double tb = x.s1 > s1 ? x.t0 + (s1 - x.s0) * x.k : x.t1;
        lo = std::min(lo, std::min(ta, tb));
        hi = std::max(hi, std::max(ta, tb));
    }
}

// The first cell whose unit square (centred on a whole number) can hold a
// point at or above x, and the last one that can hold a point at or below x,
// brought into 0 .. last. (A cast and a compare: floor and ceil are calls on
// a plain x86-64 build.)
int32_t FirstCell(double x, int32_t last)
{
    x -= 0.5;
    if (!(x > 0))
        return 0;
    if (x >= last)
        return last;
    const auto i = static_cast<int32_t>(x);
    return i + (i < x);
}

int32_t LastCell(double x, int32_t last)
{
    x += 0.5;
    if (!(x > 0))
        return 0;
    if (x >= last)
        return last;
    return static_cast<int32_t>(x);
}

// Short runs are the common case; a call to memset costs more than they do.
inline void CoverRun(uint8_t* p, int32_t n)
{
    if (n > 32) {
        std::memset(p, CellCovered, static_cast<size_t>(n));
        return;
    }
    for (int32_t i = 0; i < n; ++i)
        p[i] = CellCovered;
}

// Walks the slabs first .. last along s (slab i holds s in [i - 1/2, i + 1/2],
// widened by eps; the slabs 0 and lastSlab reach on beyond the raster) and
// hands cover(i, a, b) the cells a .. b across that the triangle meets there.
template <class Cover>
void Slices(SliceCorner p, SliceCorner q, SliceCorner r, int32_t first, int32_t last, int32_t lastSlab,
            int32_t lastAcross, double eps, Cover cover)
{
    if (p.s > q.s)
        std::swap(p, q);
    if (q.s > r.s)
        std::swap(q, r);
    if (p.s > q.s)
        std::swap(p, q);
    SliceEdge e[3];
    MakeEdges({p, q, r}, e);
    // Between the corners the slice is bounded by the long edge p-r and one
    // of the short ones, with no clipping to do.
    const double kpr = e[2].k, kpq = e[0].k, kqr = e[1].k;
    constexpr double kOpen = std::numeric_limits<double>::infinity();
    for (int32_t i = first; i <= last; ++i) {
        const bool inner = i > 0 && i < lastSlab;
        const double s0 = inner || i == lastSlab ? i - 0.5 - eps : -kOpen;
        const double s1 = inner || i == 0 ? i + 0.5 + eps : kOpen;
        double lo, hi;
        if (inner && s0 >= p.s && s1 <= r.s && (s1 <= q.s || s0 >= q.s)) {
            const double l0 = p.t + (s0 - p.s) * kpr, l1 = p.t + (s1 - p.s) * kpr;
            const bool low = s1 <= q.s;
            const double m0 = low ? p.t + (s0 - p.s) * kpq : q.t + (s0 - q.s) * kqr;
            const double m1 = low ? p.t + (s1 - p.s) * kpq : q.t + (s1 - q.s) * kqr;
            lo = std::min(std::min(l0, l1), std::min(m0, m1));
            hi = std::max(std::max(l0, l1), std::max(m0, m1));
        } else {
            SliceRange(e, s0, s1, lo, hi);
            if (lo > hi)
                continue;
        }
        cover(i, FirstCell(lo - eps, lastAcross), LastCell(hi + eps, lastAcross));
    }
}

}  // namespace

void FillTriangle(const TRawTriangle& tr)
{
    const int32_t lastCol = PixelGrid.Cols() - 1, lastRow = PixelGrid.Rows() - 1;
    if (lastCol < 0 || lastRow < 0)
        return;
    const double hc = lastCol / 2.0, hr = lastRow / 2.0;
    const double u[3] = {tr.x1 / GridCellSize + hc, tr.x2 / GridCellSize + hc, tr.x3 / GridCellSize + hc};
    const double v[3] = {tr.y1 / GridCellSize + hr, tr.y2 / GridCellSize + hr, tr.y3 / GridCellSize + hr};
    if (!std::isfinite(u[0] + u[1] + u[2] + v[0] + v[1] + v[2]))
        return;
    // The sampler's points are single floats: they may stray from the exact
    // triangle by a few units in the last place of the model's coordinates.
    const double reach = std::max({std::fabs(tr.x1), std::fabs(tr.x2), std::fabs(tr.x3), std::fabs(tr.y1),
                                   std::fabs(tr.y2), std::fabs(tr.y3)});
    const double eps = 1e-3 + 4.0 * std::numeric_limits<float>::epsilon() * reach / GridCellSize;

    const auto [umin, umax] = std::minmax({u[0], u[1], u[2]});
    const auto [vmin, vmax] = std::minmax({v[0], v[1], v[2]});
    const int32_t c0 = FirstCell(umin - eps, lastCol), c1 = LastCell(umax + eps, lastCol);
    const int32_t r0 = FirstCell(vmin - eps, lastRow), r1 = LastCell(vmax + eps, lastRow);

    if (c1 - c0 <= r1 - r0) {
        // A run of rows per column: each run is contiguous.
        Slices({u[0], v[0]}, {u[1], v[1]}, {u[2], v[2]}, c0, c1, lastCol, lastRow, eps,
               [](int32_t c, int32_t a, int32_t b) { CoverRun(PixelGrid.Column(c) + a, b - a + 1); });
    } else {
        const size_t stride = static_cast<size_t>(lastRow) + 1;
        Slices({v[0], u[0]}, {v[1], u[1]}, {v[2], u[2]}, r0, r1, lastRow, lastCol, eps,
               [stride](int32_t r, int32_t a, int32_t b) {
                   uint8_t* cell = PixelGrid.Column(a) + r;
                   for (int32_t c = a; c <= b; ++c, cell += stride)
                       *cell = CellCovered;
               });
    }
}

void SwapCorners(TVec3f& a, TVec3f& b) { std::swap(a, b); }

namespace {

int32_t SampledCell(double x, int32_t last)
{
    const double r = RoundEven(x);
    return !(r > 0) ? 0 : r >= last ? last : static_cast<int32_t>(r);
}

double Length(const TVec3f& a, const TVec3f& b)
{
    const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y,
                 dz = static_cast<double>(b.z) - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

TVec3f Between(const TVec3f& a, const TVec3f& b, double t)
{
    return {static_cast<float>(a.x + t * (static_cast<double>(b.x) - a.x)),
            static_cast<float>(a.y + t * (static_cast<double>(b.y) - a.y)),
            static_cast<float>(a.z + t * (static_cast<double>(b.z) - a.z))};
}

int64_t SampleCount(double length)
{
    return RoundToInt64Sat(length / GridCellSize);
}

}  // namespace

void MarkPixel(float x, float y)
{
    const int32_t lastCol = PixelGrid.Cols() - 1, lastRow = PixelGrid.Rows() - 1;
    if (lastCol < 0 || lastRow < 0)
        return;
    const int32_t col = SampledCell(x / GridCellSize + lastCol / 2.0, lastCol);
    const int32_t row = SampledCell(y / GridCellSize + lastRow / 2.0, lastRow);
    PixelGrid(col, row) = CellCovered;
}

void RasteriseSegment(const TVec3f& a, const TVec3f& b)
{
    const int64_t m = SampleCount(Length(a, b)) + 1;
    for (int64_t s = 0; s <= m; ++s) {
        const TVec3f p = Between(a, b, static_cast<double>(s) / m);
        MarkPixel(p.x, p.y);
    }
}

void RasteriseTriangle(const TRawTriangle& t)
{
    TVec3f p1{t.x1, t.y1, t.z1}, p2{t.x2, t.y2, t.z2}, p3{t.x3, t.y3, t.z3};
    if (p1.z > p2.z)
        SwapCorners(p1, p2);
    if (p2.z > p3.z)
        SwapCorners(p2, p3);
    if (p1.z > p2.z)
        SwapCorners(p1, p2);
    const double l1 = Length(p1, p2), l2 = Length(p1, p3);
    const int64_t n = 2 * RoundToInt64Sat(std::max(l2 / GridCellSize + 1, l1 / GridCellSize + 1));
    for (int64_t s = 0; s <= n; ++s) {
        const double f = static_cast<double>(s) / n;
        RasteriseSegment(Between(p1, p3, f), Between(p1, p2, f));
    }
}

void MarkInterior()
{
    const int32_t lastCol = PixelGrid.Cols() - 1, lastRow = PixelGrid.Rows() - 1;
    for (int32_t c = 1; c < lastCol; ++c) {
        const uint8_t* left = PixelGrid.Column(c - 1);
        uint8_t* mid = PixelGrid.Column(c);
        const uint8_t* right = PixelGrid.Column(c + 1);
        for (int32_t r = 1; r < lastRow; ++r) {
            if (mid[r] > CellEmpty && mid[r - 1] > CellEmpty && mid[r + 1] > CellEmpty && left[r - 1] > CellEmpty &&
                left[r] > CellEmpty && left[r + 1] > CellEmpty && right[r - 1] > CellEmpty && right[r] > CellEmpty &&
                right[r + 1] > CellEmpty)
                mid[r] = CellInterior;
        }
    }
    // Along the bottom, the first covered run keeps its two end cells. The
    // search stays on the raster: a step stopped before its first triangle
    // has no covered cell at all.
    int32_t c = 0;
    while (c <= lastCol && PixelGrid(c, 0) != CellCovered)
        ++c;
    for (++c; c < lastCol && PixelGrid(c, 0) == CellCovered && PixelGrid(c + 1, 0) == CellCovered; ++c)
        PixelGrid(c, 0) = CellInterior;
}
