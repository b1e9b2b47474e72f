#include "production/Trace.h"

#include "job/Geometry.h"

#include <algorithm>
#include <cmath>

TFigureList TracedFigures;

namespace {

constexpr int64_t kJoinSqr = static_cast<int64_t>(kTraceJoinDistance) * kTraceJoinDistance;

// Steps per cell.
const int32_t kCellSteps = MmToSteps(GridCellSize);

TFigPoint CellPoint(TGridCell c) { return {kCellSteps * c.col, kCellSteps * c.row}; }

TGridCell Neighbour(TGridCell c, uint8_t dir)
{
    return {c.col + NeighbourDirections[dir].col, c.row + NeighbourDirections[dir].row};
}

bool IsFree(TGridCell c)
{
    if (!PixelGrid.Contains(c.col, c.row))
        return false;
    const uint8_t v = PixelGrid(c.col, c.row);
    return (v & CellCovered) && !(v & CellVisited);
}

// Both coordinates within a quarter cell: only the same point, for steps.
bool NearPointQuarter(const TFigPoint& p, const TFigPoint& q)
{
    return std::fabs(static_cast<double>(p.x) - q.x) < GridCellSize / 4 &&
           std::fabs(static_cast<double>(p.y) - q.y) < GridCellSize / 4;
}

// The four end distances of e and n: first-first, first-last, last-first,
// last-last; the index of the smallest, the lower one on ties.
int NearestEnds(const tfigura& e, const tfigura& n, int64_t& distance)
{
    const TFigPoint& ef = e.Points.front();
    const TFigPoint& el = e.Points.back();
    const TFigPoint& nf = n.Points.front();
    const TFigPoint& nl = n.Points.back();
    const int64_t d[4] = {SquaredDistance(ef, nf), SquaredDistance(ef, nl), SquaredDistance(el, nf),
                          SquaredDistance(el, nl)};
    const int k = static_cast<int>(std::min_element(d, d + 4) - d);
    distance = d[k];
    return k;
}

// Joins n's points to e at the meeting ends, so that e runs on through n.
void JoinAtEnds(tfigura& e, const tfigura& n, int ends)
{
    auto& p = e.Points;
    const auto& q = n.Points;
    switch (ends) {
    case 0: p.insert(p.begin(), q.rbegin(), q.rend()); break;
    case 1: p.insert(p.begin(), q.begin(), q.end()); break;
    case 2: p.insert(p.end(), q.begin(), q.end()); break;
    default: p.insert(p.end(), q.rbegin(), q.rend()); break;
    }
}

bool Joinable(const tfigura& f) { return !f.ClosedTrace && !f.Points.empty(); }

// Perpendicular distance of p from the line through a and b; the distance to
// a when they are one point.
double DistanceToLine(const TFigPoint& p, const TFigPoint& a, const TFigPoint& b)
{
    const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
    const double px = static_cast<double>(p.x) - a.x, py = static_cast<double>(p.y) - a.y;
    const double len = std::hypot(dx, dy);
    return len == 0 ? std::hypot(px, py) : std::fabs(dx * py - dy * px) / len;
}

}  // namespace

bool TContourTracer::FindTraceStart()
{
    const int32_t cols = PixelGrid.Cols(), rows = PixelGrid.Rows();
    for (int32_t r = std::max(ScanStart.row, 0); r < rows; ++r) {
        for (int32_t c = r == ScanStart.row ? std::max(ScanStart.col, 0) : 0; c < cols; ++c) {
            if (IsFree({c, r})) {
                ScanStart = TraceCell = {c, r};
                TracePoint = CellPoint(TraceCell);
                return true;
            }
        }
    }
    return false;
}

int TContourTracer::CountFreeNeighbours(TGridCell cell)
{
    int n = 0;
    for (uint8_t d = 0; d < 8; ++d) {
        const TGridCell c = Neighbour(cell, d);
        if (IsFree(c)) {
            ++n;
            OnlyCandidate = c;
            LastDir = d;
        }
    }
    return n;
}

TNeighbourKinds TContourTracer::CountNeighbourKinds(TGridCell cell) const
{
    TNeighbourKinds k;
    for (uint8_t d = 0; d < 8; ++d) {
        const TGridCell c = Neighbour(cell, d);
        if (!PixelGrid.Contains(c.col, c.row))
            continue;
        const uint8_t v = PixelGrid(c.col, c.row);
        if (v & CellVisited)
            ++k.visited;
        else if (v & CellCovered)
            ++k.covered;
        else if (v & CellInterior)
            ++k.interior;
        else
            ++k.empty;
    }
    return k;
}

uint8_t TContourTracer::NearestOfTwo() const
{
    uint8_t best = 0;
    int64_t nearest = INT64_MAX;
    for (uint8_t d = 0; d < 8; ++d) {
        const TGridCell c = Neighbour(TraceCell, d);
        if (!IsFree(c))
            continue;
        const int64_t dist = SquaredDistance(TracePoint, CellPoint(c));
        if (dist < nearest) {
            nearest = dist;
            best = d;
        }
    }
    return best;
}

void TContourTracer::MoveTo(uint8_t dir)
{
    LastDir = dir;
    TraceCell = Neighbour(TraceCell, dir);
    TracePoint = CellPoint(TraceCell);
}

bool TContourTracer::TraceNextCell()
{
    const int free = CountFreeNeighbours(TraceCell);
    if (free == 0)
        return false;
    if (free == 1) {
        MoveTo(LastDir);
        return true;
    }
    if (free == 2) {
        MoveTo(NearestOfTwo());
        return true;
    }
    // Several ways on: prefer the cell that lies most along the silhouette's
    // edge (most empty or most interior neighbours) and next to the trace
    // so far, starting the search back from where the last neighbour was found.
    uint8_t best = 0;
    int bestScore = -1;
    int64_t nearest = 2147483647;
    const uint8_t first = static_cast<uint8_t>((LastDir + 5) % 8);
    for (uint8_t i = 0; i < 8; ++i) {
        const auto d = static_cast<uint8_t>((first + i) % 8);
        const TGridCell c = Neighbour(TraceCell, d);
        if (!IsFree(c))
            continue;
        const TNeighbourKinds k = CountNeighbourKinds(c);
        const int score = std::max(k.empty, k.interior) + k.visited;
        const int64_t dist = SquaredDistance(TracePoint, CellPoint(c));
        if (score > bestScore || (score == bestScore && dist < nearest)) {
            bestScore = score;
            best = d;
        }
        nearest = std::min(nearest, dist);
    }
    if (bestScore < 1)
        return false;
    MoveTo(best);
    return true;
}

void TContourTracer::TraceSilhouette()
{
    TracedFigures.clear();
    ScanStart = {0, 0};
    while (FindTraceStart()) {
        TracedFigure = std::make_unique<tfigura>();
        TracedFigure->AddPoint(TracePoint);
        for (;;) {
            PixelGrid(TraceCell.col, TraceCell.row) += CellVisited;
            if (!TraceNextCell())
                break;
            TracedFigure->AddPoint(TracePoint);
        }
        CloseTraceIfEndsMeet(*TracedFigure);
        if (!TracedFigure->ClosedTrace && JoinToOpenFigure(*TracedFigure))
            TracedFigure.reset();
        else
            TracedFigures.push_back(std::move(TracedFigure));
    }
    JoinOpenFigures();
    if (TracedFigures.size() > 1) {
        for (size_t i = TracedFigures.size(); i-- > 0;)
            if (TracedFigures[i]->Points.size() <= 2)
                RemoveTracedFigure(i);
    }
    // Several short traces may all have gone: then there is nothing to thin.
    if (!TracedFigures.empty())
        ThinContour(*TracedFigures.front(), kTraceThinTolerance);
}

void CloseTraceIfEndsMeet(tfigura& figure)
{
    figure.ClosedTrace = 0;
    if (figure.Points.size() <= 5)
        return;
    if (SquaredDistance(figure.Points.front(), figure.Points.back()) <= kJoinSqr) {
        figure.AddPoint(figure.Points.front());
        figure.ClosedTrace = 1;
    }
}

bool JoinToOpenFigure(const tfigura& trace)
{
    if (trace.Points.empty())
        return false;
    for (auto& e : TracedFigures) {
        if (!Joinable(*e))
            continue;
        int64_t d = 0;
        const int ends = NearestEnds(*e, trace, d);
        if (d >= kJoinSqr)
            continue;
        JoinAtEnds(*e, trace, ends);
        if (SquaredDistance(e->Points.front(), e->Points.back()) <= kJoinSqr)
            e->AddPoint(e->Points.front());
        e->ClosedTrace = NearPointQuarter(e->Points.front(), e->Points.back());
        return true;
    }
    return false;
}

void JoinOpenFigures()
{
    bool joined = true;
    while (joined && TracedFigures.size() > 1 && Joinable(*TracedFigures.front())) {
        joined = false;
        tfigura& f = *TracedFigures.front();
        // Closed outlines are holes or islands of their own: splicing one
        // into the profile would send the wire through the model.
        for (size_t i = 1; i < TracedFigures.size(); ++i) {
            if (!Joinable(*TracedFigures[i]))
                continue;
            int64_t d = 0;
            const int ends = NearestEnds(f, *TracedFigures[i], d);
            if (d < kJoinSqr) {
                JoinAtEnds(f, *TracedFigures[i], ends);
                RemoveTracedFigure(i);
                joined = true;
                break;
            }
        }
    }
}

void RemoveTracedFigure(size_t index)
{
    if (index < TracedFigures.size())
        TracedFigures.erase(TracedFigures.begin() + static_cast<std::ptrdiff_t>(index));
}

void ThinContour(tfigura& figure, double tolerance)
{
    std::vector<TFigPoint>& p = figure.Points;
    if (p.size() < 3)
        return;
    // Points that stay, in order; the anchor is the last of them.
    std::vector<TFigPoint> kept{p.front()};
    size_t a = 0;
    for (size_t e = 2; e < p.size(); ++e) {
        double worst = 0.0;
        for (size_t i = a + 1; i < e && worst < tolerance; ++i)
            worst = std::max(worst, DistanceToLine(p[i], p[a], p[e]));
        if (worst >= tolerance) {
            // The point before e closes this run and anchors the next one.
            a = e - 1;
            kept.push_back(p[a]);
        }
    }
    kept.push_back(p.back());
    p = std::move(kept);
}
