#include "job/Figure.h"

#include "job/Geometry.h"

namespace {
struct Bounds {
    int32_t minX = 2147483647, minY = 2147483647;
    int32_t maxX = -2147483647, maxY = -2147483647;
    int32_t idxMinX = 0, idxMaxX = 0, idxMinY = 0, idxMaxY = 0;
};

// Strict comparisons: on ties the first point in list order wins.
Bounds Scan(const std::vector<TFigPoint>& points)
{
    Bounds b;
    for (size_t i = 0; i < points.size(); ++i) {
        const TFigPoint& p = points[i];
        const int32_t idx = static_cast<int32_t>(i);
        if (p.x < b.minX) { b.minX = p.x; b.idxMinX = idx; }
        if (p.x > b.maxX) { b.maxX = p.x; b.idxMaxX = idx; }
        if (p.y < b.minY) { b.minY = p.y; b.idxMinY = idx; }
        if (p.y > b.maxY) { b.maxY = p.y; b.idxMaxY = idx; }
    }
    return b;
}

// Width and height as int32 like the rest of the figure; a box wider than int32
// (only from absurd coordinates) saturates instead of wrapping.
int32_t Span(int32_t lo, int32_t hi)
{
    const int64_t d = static_cast<int64_t>(hi) - lo;
    return d > 2147483647 ? 2147483647 : static_cast<int32_t>(d);
}

void SetBox(tfigura& f, const Bounds& b)
{
    f.MinX = b.minX;
    f.MinY = b.minY;
    f.MaxX = b.maxX;
    f.MaxY = b.maxY;
    f.Width = Span(b.minX, b.maxX);
    f.Height = Span(b.minY, b.maxY);
}
}  // namespace

void tfigura::FinishRead()
{
    if (Points.empty()) {
        Valid = 0;
        return;
    }
    SetBox(*this, Scan(Points));
    Depth = 0;
    IsOpen = !(Points.front() == Points.back() && Points.size() > 2);
    Valid = 1;
}

void ComputeFigureParameters(tfigura& f)
{
    if (f.Points.empty()) {
        f.Valid = 0;
        return;
    }
    const Bounds b = Scan(f.Points);
    SetBox(f, b);
    f.IdxMinX = b.idxMinX;
    f.IdxMaxX = b.idxMaxX;
    f.IdxMinY = b.idxMinY;
    f.IdxMaxY = b.idxMaxY;
    // Halving truncates toward zero; the sum is formed in 64 bits so it cannot wrap.
    f.CentreX = static_cast<int32_t>((static_cast<int64_t>(f.MinX) + f.MaxX) / 2);
    f.CentreY = static_cast<int32_t>((static_cast<int64_t>(f.MinY) + f.MaxY) / 2);
    f.Valid = 1;
    f.Depth = 0;
    f.IsOpen = f.Points.size() < 3 ? 1 : !NearPoint(f.Points.front(), f.Points.back());
    f.Closed = !f.IsOpen;
    f.IsFigure = 1;
    f.MayOrient = 1;
    f.NotConnected = 1;
    f.PlannerMark = 0;
}

bool HasTwoDistinctPoints(const tfigura& f)
{
    for (const TFigPoint& p : f.Points)
        if (!(p == f.Points.front()))
            return true;
    return false;
}
