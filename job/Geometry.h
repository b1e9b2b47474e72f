#pragma once
#include "app/Globals.h"
#include "job/Figure.h"

#include <cstdint>

// Inside a job one step is 1/40 mm.
constexpr double kStepsPerMm = 40.0;


double StepsToMm(int32_t steps);
double StepsToMm(double steps);
int32_t MmToSteps(double mm);

inline bool SamePoint(const TFigPoint& p, const TFigPoint& q) { return p.x == q.x && p.y == q.y; }

// Both coordinate differences strictly below the point tolerance. The
// differences are taken in 64 bits: far-apart coordinates must not wrap to "near".
inline bool NearPoint(const TFigPoint& p, const TFigPoint& q)
{
    const int64_t dx = static_cast<int64_t>(p.x) - q.x;
    const int64_t dy = static_cast<int64_t>(p.y) - q.y;
    return (dx < 0 ? -dx : dx) < PointTolerance && (dy < 0 ? -dy : dy) < PointTolerance;
}
