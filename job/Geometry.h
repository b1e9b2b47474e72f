#pragma once
#include "app/Globals.h"
#include "job/Figure.h"

#include <array>
#include <cstdint>

// Inside a job one step is 1/40 mm.
constexpr double kStepsPerMm = 40.0;


double StepsToMm(int32_t steps);
double StepsToMm(double steps);
int32_t MmToSteps(double mm);

inline bool SamePoint(const TFigPoint& p, const TFigPoint& q) { return p.x == q.x && p.y == q.y; }

// Both coordinate differences strictly below the tolerance. The differences
// are taken in 64 bits: far-apart coordinates must not wrap to "near".
inline bool NearPoint(const TFigPoint& p, const TFigPoint& q, double tolerance)
{
    const int64_t dx = static_cast<int64_t>(p.x) - q.x;
    const int64_t dy = static_cast<int64_t>(p.y) - q.y;
    return (dx < 0 ? -dx : dx) < tolerance && (dy < 0 ? -dy : dy) < tolerance;
}

// The same within the point tolerance of the settings.
inline bool NearPoint(const TFigPoint& p, const TFigPoint& q) { return NearPoint(p, q, PointTolerance); }

// Squared distance in 64 bits; points farther apart than any drawing can be
// (more than 2^31 steps) give the largest value instead of wrapping.
inline int64_t DistanceSqr(const TFigPoint& p, const TFigPoint& q)
{
    const __int128 dx = static_cast<int64_t>(p.x) - q.x;
    const __int128 dy = static_cast<int64_t>(p.y) - q.y;
    const __int128 d2 = dx * dx + dy * dy;
    return d2 > INT64_MAX ? INT64_MAX : static_cast<int64_t>(d2);
}

// a * b for non-negative values, the largest value instead of overflowing.
inline int64_t MulSat(int64_t a, int64_t b)
{
    const __int128 r = static_cast<__int128>(a) * b;
    return r > INT64_MAX ? INT64_MAX : static_cast<int64_t>(r);
}

double Distance(const TFigPoint& p, const TFigPoint& q);

// Direction of p -> q in [0, 2 pi); 0 for equal points.
double DirectionAngle(const TFigPoint& p, const TFigPoint& q);
// Turn at b along a -> b -> c in [-pi, pi]; positive for a clockwise turn.
double TurnAngle(const TFigPoint& a, const TFigPoint& b, const TFigPoint& c);

// A segment x1, y1 - x2, y2.
struct TSegment {
    int32_t x1, y1, x2, y2;
};

// The line through a segment, as slope and intercept.
struct TLineEq {
    double Slope = 0.0;
    double Intercept = 0.0;
    uint8_t Vertical = 0;
    uint8_t Degenerate = 0;
};

TLineEq LineThroughSegment(const TSegment& s);
TSegment OrderByX(const TSegment& s);
// The signed vertical offset of the segment's line at p.x from p.y, when p.x
// lies in the segment's half-open x range [x1, x2) (ordered by x) and the
// segment is neither vertical nor a single point.
bool OffsetFromSegment(const TSegment& s, const TFigPoint& p, double& offset);
// Whether two segments cross; touching end to end is no crossing.
bool SegmentsIntersect(const TSegment& s, const TSegment& t);

double Length3D(double x, double y, double z);
// The cosine of the corner at b along a -> b -> c in three dimensions: 1 for a
// straight run (or when a step has no length), 0 for a right angle, -1 for a
// reversal.
double CornerCosine3D(const std::array<double, 3>& a, const std::array<double, 3>& b, const std::array<double, 3>& c);
// The smaller corner cosine of the two carriages (front x, y and table turn;
// back x, y and spindle turn) over three axis position records of the writer.
double CornerCosine(const std::array<int32_t, 10>& a, const std::array<int32_t, 10>& b, const std::array<int32_t, 10>& c);
