#include "job/Curves.h"

#include <algorithm>
#include <cmath>
#include <numbers>

double Det3(const Vec3& a, const Vec3& b, const Vec3& c)
{
    return a[0] * (b[1] * c[2] - b[2] * c[1]) - b[0] * (a[1] * c[2] - a[2] * c[1]) + c[0] * (a[1] * b[2] - a[2] * b[1]);
}

Vec3 Solve3(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& rhs)
{
    const double d = Det3(a, b, c);
    if (d == 0.0)
        return {0.0, 0.0, 0.0};
    return {Det3(rhs, b, c) / d, Det3(a, rhs, c) / d, Det3(a, b, rhs) / d};
}

double DirectionAngleF(const CurvePoint& p, const CurvePoint& q)
{
    constexpr double pi = std::numbers::pi;
    const double dx = q.x - p.x;
    const double dy = q.y - p.y;
    if (dx == 0.0)
        return dy > 0.0 ? pi / 2 : 3 * pi / 2;
    if (dy == 0.0)
        return dx > 0.0 ? 0.0 : pi;
    double a = std::atan(dy / dx);
    if (dx < 0.0)
        a += pi;
    else if (dy < 0.0)
        a += 2 * pi;
    return a;
}

uint8_t DxfColourToPen(int32_t colour)
{
    switch (colour) {
    case 1:
        return 3;
    case 2:
        return 6;
    case 3:
        return 4;
    default:
        return 0;
    }
}

double DistanceF(const CurvePoint& p, const CurvePoint& q) { return std::hypot(q.x - p.x, q.y - p.y); }

CubicThrough4::CubicThrough4(const std::array<CurvePoint, 4>& p) : m_origin(p[0])
{
    const double d1 = DistanceF(p[0], p[1]);
    const double d2 = DistanceF(p[1], p[2]);
    const double d3 = DistanceF(p[2], p[3]);
    const double length = d1 + d2 + d3;
    if (!(length > 0.0))
        return;  // all four points in one place: the curve is that point
    m_t = {0.0, d1 / length, (d1 + d2) / length, 1.0};
    const double t1 = m_t[1], t2 = m_t[2];
    const Vec3 c1{t1, t2, 1.0};
    const Vec3 c2{t1 * t1, t2 * t2, 1.0};
    const Vec3 c3{t1 * t1 * t1, t2 * t2 * t2, 1.0};
    m_cx = Solve3(c1, c2, c3, {p[1].x - p[0].x, p[2].x - p[0].x, p[3].x - p[0].x});
    m_cy = Solve3(c1, c2, c3, {p[1].y - p[0].y, p[2].y - p[0].y, p[3].y - p[0].y});
}

CurvePoint CubicThrough4::At(double t) const
{
    return {m_origin.x + t * (m_cx[0] + t * (m_cx[1] + t * m_cx[2])),
            m_origin.y + t * (m_cy[0] + t * (m_cy[1] + t * m_cy[2]))};
}

const char* BSplineCurve::Invalid(int degree, size_t controlCount, std::span<const double> knots,
                                  std::span<const double> weights)
{
    if (degree < 1 || degree > kMaxDegree)
        return "spline degree out of range";
    const auto p = static_cast<size_t>(degree);
    if (controlCount <= p)
        return "spline has too few control points for its degree";
    if (knots.size() != controlCount + p + 1)
        return "spline knot count does not match its control points";
    for (size_t i = 0; i < knots.size(); ++i) {
        if (!std::isfinite(knots[i]))
            return "spline knot is not a number";
        if (i > 0 && knots[i] < knots[i - 1])
            return "spline knots decrease";
    }
    // De Boor's algorithm divides by differences of knots, and the reader
    // steps over the range: all of them must be numbers too.
    if (!std::isfinite(knots.back() - knots.front()))
        return "spline knots span no finite range";
    if (!(knots[p] < knots[controlCount]))
        return "spline knots leave the curve no range";
    if (!weights.empty()) {
        if (weights.size() != controlCount)
            return "spline weight count does not match its control points";
        for (double w : weights)
            if (!(std::isfinite(w) && w > 0.0))
                return "spline weight is not positive";
    }
    return nullptr;
}

BSplineCurve::BSplineCurve(int degree, std::span<const CurvePoint> control, std::span<const double> knots,
                           std::span<const double> weights)
    : m_degree(degree), m_control(control), m_knots(knots), m_weights(weights),
      m_work(static_cast<size_t>(degree) + 1)
{
}

CurvePoint BSplineCurve::At(double t)
{
    const auto p = static_cast<size_t>(m_degree);
    const size_t n = m_control.size();
    t = std::clamp(t, Start(), End());
    // The knot span k with u[k] <= t < u[k+1], k from p to n - 1; at the end
    // of the range the last span that has any length.
    auto k = static_cast<size_t>(std::upper_bound(m_knots.begin() + static_cast<std::ptrdiff_t>(p) + 1,
                                                  m_knots.begin() + static_cast<std::ptrdiff_t>(n), t) -
                                 m_knots.begin()) - 1;
    while (k > p && !(m_knots[k] < m_knots[k + 1]))
        --k;
    for (size_t j = 0; j <= p; ++j) {
        const size_t i = k - p + j;
        const double w = m_weights.empty() ? 1.0 : m_weights[i];
        m_work[j] = {m_control[i].x * w, m_control[i].y * w, w};
    }
    for (size_t r = 1; r <= p; ++r) {
        for (size_t j = p; j >= r; --j) {
            const size_t i = k - p + j;
            // Never 0: the span [u[k], u[k+1]) lies inside [u[i], u[i+p+1-r]).
            const double alpha = (t - m_knots[i]) / (m_knots[i + p + 1 - r] - m_knots[i]);
            for (size_t c = 0; c < 3; ++c)
                m_work[j][c] = (1.0 - alpha) * m_work[j - 1][c] + alpha * m_work[j][c];
        }
    }
    const Vec3& h = m_work[p];
    return {h[0] / h[2], h[1] / h[2]};
}
