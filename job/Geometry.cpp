#include "job/Geometry.h"

#include "app/MathUtil.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

double StepsToMm(int32_t steps) { return steps * 1000.0 / 40000.0; }

double StepsToMm(double steps) { return steps * 1000.0 / 40000.0; }

int32_t MmToSteps(double mm)
{
    int32_t steps = 0;
    if (!RoundToInt32(mm * 40000.0 / 1000.0, steps))
        steps = mm < 0 ? -2147483647 - 1 : 2147483647;
    return steps;
}


double Distance(const TFigPoint& p, const TFigPoint& q) { return std::sqrt(static_cast<double>(DistanceSqr(p, q))); }

double DirectionAngle(const TFigPoint& p, const TFigPoint& q)
{
    const double dx = static_cast<double>(q.x) - p.x;
    const double dy = static_cast<double>(q.y) - p.y;
    if (dx == 0.0 && dy == 0.0)
        return 0.0;
    if (dx == 0.0)
        return dy > 0 ? std::numbers::pi / 2 : 3 * std::numbers::pi / 2;
    if (dy == 0.0)
        return dx > 0 ? 0.0 : std::numbers::pi;
    double a = std::atan(dy / dx);
    if (dx < 0)
        a += std::numbers::pi;
    else if (dy < 0)
        a += 2 * std::numbers::pi;
    return a;
}

double TurnAngle(const TFigPoint& a, const TFigPoint& b, const TFigPoint& c)
{
    double t = DirectionAngle(a, b) - DirectionAngle(b, c);
    if (t > std::numbers::pi)
        t -= 2 * std::numbers::pi;
    else if (t < -std::numbers::pi)
        t += 2 * std::numbers::pi;
    return t;
}

TLineEq LineThroughSegment(const TSegment& s)
{
    TLineEq e;
    if (s.x1 == s.x2 && s.y1 == s.y2) {
        e.Degenerate = 1;
        return e;
    }
    if (s.x1 == s.x2) {
        e.Vertical = 1;
        e.Slope = s.y1 < s.y2 ? 2147483647.0 : -2147483647.0;
        e.Intercept = s.x1;
        return e;
    }
    e.Slope = (static_cast<double>(s.y2) - s.y1) / (static_cast<double>(s.x2) - s.x1);
    e.Intercept = s.y1 - s.x1 * e.Slope;
    return e;
}

TSegment OrderByX(const TSegment& s)
{
    if (s.x1 > s.x2)
        return {s.x2, s.y2, s.x1, s.y1};
    return s;
}

bool OffsetFromSegment(const TSegment& segment, const TFigPoint& p, double& offset)
{
    const TSegment s = OrderByX(segment);
    const TLineEq e = LineThroughSegment(s);
    if (e.Vertical || e.Degenerate || !(s.x1 <= p.x && p.x < s.x2))
        return false;
    offset = e.Slope * p.x + e.Intercept - p.y;
    return true;
}

bool SegmentsIntersect(const TSegment& a, const TSegment& b)
{
    const TSegment s = OrderByX(a), t = OrderByX(b);
    const TLineEq ls = LineThroughSegment(s), lt = LineThroughSegment(t);
    if (ls.Degenerate || lt.Degenerate)
        return false;
    auto between = [](double v, double lo, double hi) { return lo < v && v < hi; };
    if (ls.Vertical && lt.Vertical) {
        if (s.x1 != t.x1)
            return false;
        const double lo = std::max(std::min(s.y1, s.y2), std::min(t.y1, t.y2));
        const double hi = std::min(std::max(s.y1, s.y2), std::max(t.y1, t.y2));
        if (lo > hi)
            return false;
        const double mid = (lo + hi) / 2.0;
        return between(mid, std::min(s.y1, s.y2), std::max(s.y1, s.y2)) &&
               between(mid, std::min(t.y1, t.y2), std::max(t.y1, t.y2));
    }
    double x = 0.0;
    if (ls.Vertical || lt.Vertical) {
        const TSegment& v = ls.Vertical ? s : t;
        const TSegment& o = ls.Vertical ? t : s;
        if (!between(v.x1, o.x1, o.x2))
            return false;
        x = v.x1;
    } else if (ls.Slope == lt.Slope) {
        if (ls.Intercept != lt.Intercept)
            return false;
        const double lo = std::max(s.x1, t.x1), hi = std::min(s.x2, t.x2);
        x = (lo + hi) / 2.0;
    } else {
        x = (lt.Intercept - ls.Intercept) / (ls.Slope - lt.Slope);
    }
    if (!(s.x1 <= x && x <= s.x2 && t.x1 <= x && x <= t.x2))
        return false;
    const bool endOfS = x == s.x1 || x == s.x2;
    const bool endOfT = x == t.x1 || x == t.x2;
    if (endOfS && endOfT)
        return false;
    // A vertical segment is crossed only strictly between its ends.
    if (ls.Vertical || lt.Vertical) {
        const TSegment& v = ls.Vertical ? s : t;
        const TLineEq& other = ls.Vertical ? lt : ls;
        const double y = other.Slope * x + other.Intercept;
        if (!between(y, std::min(v.y1, v.y2), std::max(v.y1, v.y2)))
            return false;
    }
    return true;
}

double Length3D(double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }

double CornerCosine3D(const std::array<double, 3>& a, const std::array<double, 3>& b, const std::array<double, 3>& c)
{
    const double g = Length3D(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
    const double h = Length3D(b[0] - c[0], b[1] - c[1], b[2] - c[2]);
    const double k = Length3D(a[0] - c[0], a[1] - c[1], a[2] - c[2]);
    if (g == 0.0 || h == 0.0)
        return 1.0;
    return -(g * g + h * h - k * k) / (2 * g * h);
}

double CornerCosine(const std::array<int32_t, 10>& a, const std::array<int32_t, 10>& b, const std::array<int32_t, 10>& c)
{
    auto pick = [](const std::array<int32_t, 10>& r, int i, int j, int k) {
        return std::array<double, 3>{static_cast<double>(r[static_cast<size_t>(i)]), static_cast<double>(r[static_cast<size_t>(j)]),
                                     static_cast<double>(r[static_cast<size_t>(k)])};
    };
    return std::min(CornerCosine3D(pick(a, 0, 1, 3), pick(b, 0, 1, 3), pick(c, 0, 1, 3)),
                    CornerCosine3D(pick(a, 4, 5, 7), pick(b, 4, 5, 7), pick(c, 4, 5, 7)));
}
