#include "tests/job/ReferencePlanner.h"

#include "app/MathUtil.h"
#include "job/Geometry.h"
#include "job/Job.h"

#include <cmath>

void ReferencePlanner::co_w_czym()
{
    for (auto& f : F()) {
        f->Depth = 0;
        f->Container = -1;
        f->ChildCount = 0;
    }
    for (bool changed = true; changed;) {
        changed = false;
        for (int32_t i = 0; i < Count(); ++i)
            for (int32_t j = 0; j < Count(); ++j) {
                if (!FigureInside(i, j))
                    continue;
                tfigura& fi = Fig(i);
                if (fi.Container == -1 || Fig(fi.Container).Depth < Fig(j).Depth) {
                    fi.Container = j;
                    fi.Depth = Fig(j).Depth + 1;
                    PropagateDepth(i);
                    ++Fig(j).ChildCount;
                    changed = true;
                }
            }
    }
}

bool ReferencePlanner::VertexNearOtherFigure(int32_t v, int32_t f)
{
    const TFigPoint& p = Fig(f).Points[static_cast<size_t>(v)];
    for (int32_t g = 0; g < Count(); ++g) {
        if (g == f)
            continue;
        for (const TFigPoint& q : Fig(g).Points)
            if (std::sqrt(static_cast<double>(DistanceSqr(p, q))) <= PointTolerance)
                return true;
    }
    return false;
}

void ReferencePlanner::LinkStartTouching()
{
    const int32_t s = StartFigure();
    for (int32_t r = 0; r < Count(); ++r) {
        int32_t vs, vr;
        if (FindTouchingVertices(s, r, vs, vr)) {
            LinkTouching(s, vs, r, vr);
            SetConnected(s, true);
        }
    }
}

void ReferencePlanner::LinkTouchingFigures()
{
    for (auto& f : F())
        f->Active = 1;
    for (bool linked = true; linked;) {
        linked = false;
        for (int32_t i = 0; i < Count();) {
            if (!Connected(i) || !Fig(i).Active) {
                ++i;
                continue;
            }
            int32_t found = -1, vi = 0, vj = 0;
            for (int32_t j = 0; j < Count() && found < 0; ++j)
                if (!Connected(j) && FindTouchingVertices(i, j, vi, vj))
                    found = j;
            if (found < 0) {
                Fig(i).Active = 0;
                ++i;
                continue;
            }
            LinkTouching(i, vi, found, vj);
            linked = true;
            if (found < 2)
                break;
            i = found;
        }
    }
}

void ReferencePlanner::BuildNearestLists()
{
    for (int32_t r = 0; r < Count(); ++r) {
        const tfigura& fr = Fig(r);
        std::vector<std::pair<int64_t, int32_t>> entries;
        for (int32_t s = 0; s < Count(); ++s) {
            const tfigura& fs = Fig(s);
            const double dx = static_cast<double>(fr.CentreX) - fs.CentreX, dy = static_cast<double>(fr.CentreY) - fs.CentreY;
            int64_t key = RoundToInt64Sat(std::sqrt(dx * dx + dy * dy));
            if (fs.Depth < fr.Depth)
                key += 500000000;
            if (fs.Container == r)
                key += 500000000;
            entries.push_back({key, s});
        }
        // A stable bubble sort by key.
        for (size_t a = 0; a < entries.size(); ++a)
            for (size_t b = 0; b + 1 < entries.size() - a; ++b)
                if (entries[b].first > entries[b + 1].first)
                    std::swap(entries[b], entries[b + 1]);
        tfigura& target = Fig(r);
        target.Nearest.fill(-1);
        for (size_t k = 0; k < entries.size() && k < 22; ++k)
            target.Nearest[k] = entries[k].second;
    }
}

PlainPlanner::Pair ReferencePlanner::SearchChildren(int32_t c)
{
    Pair best;
    for (int32_t x = 0; x < Count(); ++x) {
        const tfigura& X = Fig(x);
        if (Connected(x) || X.Container != c)
            continue;
        for (int32_t y = 0; y < Count(); ++y) {
            const tfigura& Y = Fig(y);
            if (!(y == c || (Y.IsFigure && Connected(y) && Y.Container == c)))
                continue;
            const int32_t sx = Stride(X.Points.size()), sy = Stride(Y.Points.size());
            for (size_t vx = 0; vx < X.Points.size(); vx += static_cast<size_t>(sx))
                for (size_t vy = 0; vy < Y.Points.size(); vy += static_cast<size_t>(sy)) {
                    const int64_t w = Weighted(DistanceSqr(Shifted(X.Points[vx], X.Depth, 2), Shifted(Y.Points[vy], Y.Depth, 1)),
                                               X.VertexInfo[vx], Y.VertexInfo[vy]);
                    if (w < best.w)
                        best = {w, x, y, static_cast<int32_t>(vx), static_cast<int32_t>(vy)};
                }
        }
    }
    return best;
}

PlainPlanner::Pair ReferencePlanner::SearchChildrenNearest(int32_t c)
{
    Pair best;
    for (int32_t x = 0; x < Count(); ++x) {
        const tfigura& X = Fig(x);
        if (Connected(x) || X.Container != c)
            continue;
        for (int32_t y = 0; y < Count(); ++y) {
            const tfigura& Y = Fig(y);
            if (!(y == c || (Y.IsFigure && Connected(y) && Y.Container == c)))
                continue;
            if (!(InNearest(x, y) || X.IsOpen || Y.IsOpen))
                continue;
            for (size_t vx = 0; vx < X.Points.size(); ++vx) {
                if (!X.VertexInfo[vx].EntryAllowed)
                    continue;
                for (size_t vy = 1; vy < Y.Points.size(); ++vy) {
                    if (!Y.VertexInfo[vy].EntryAllowed)
                        continue;
                    const int64_t w = Halved(DistanceSqr(X.Points[vx], Y.Points[vy]));
                    if (w < best.w)
                        best = {w, x, y, static_cast<int32_t>(vx), static_cast<int32_t>(vy)};
                }
            }
        }
    }
    return best;
}

PlainPlanner::Pair ReferencePlanner::SearchNearest()
{
    Pair best;
    for (int32_t x = 0; x < Count(); ++x) {
        const tfigura& X = Fig(x);
        if (Connected(x))
            continue;
        for (int32_t y = 0; y < Count(); ++y) {
            const tfigura& Y = Fig(y);
            if (!Y.IsFigure || !Connected(y) || !YAllowedByAny(x, y))
                continue;
            if (!(InNearest(x, y) || X.IsOpen || Y.IsOpen))
                continue;
            for (size_t vx = 0; vx < X.Points.size(); ++vx) {
                if (!X.VertexInfo[vx].EntryAllowed)
                    continue;
                for (size_t vy = 0; vy < Y.Points.size(); ++vy) {
                    if (!Y.VertexInfo[vy].EntryAllowed)
                        continue;
                    const int64_t w = MulSat(MulSat(DistanceSqr(X.Points[vx], Y.Points[vy]), X.VertexInfo[vx].Kind),
                                             Y.VertexInfo[vy].Kind);
                    if (w < best.w)
                        best = {w, x, y, static_cast<int32_t>(vx), static_cast<int32_t>(vy)};
                }
            }
        }
    }
    return best;
}

PlainPlanner::Pair ReferencePlanner::SearchAny()
{
    Pair best;
    for (int32_t x = 0; x < Count(); ++x) {
        const tfigura& X = Fig(x);
        if (Connected(x))
            continue;
        for (int32_t y = 0; y < Count(); ++y) {
            const tfigura& Y = Fig(y);
            if (!Y.IsFigure || !Connected(y) || !YAllowedByAny(x, y))
                continue;
            const int32_t sx = Stride(X.Points.size()), sy = Stride(Y.Points.size());
            for (size_t vx = 0; vx < X.Points.size(); vx += static_cast<size_t>(sx))
                for (size_t vy = 0; vy < Y.Points.size(); vy += static_cast<size_t>(sy)) {
                    const int64_t w = Weighted(DistanceSqr(X.Points[vx], Y.Points[vy]), X.VertexInfo[vx], Y.VertexInfo[vy]);
                    if (w < best.w)
                        best = {w, x, y, static_cast<int32_t>(vx), static_cast<int32_t>(vy)};
                }
        }
    }
    return best;
}
