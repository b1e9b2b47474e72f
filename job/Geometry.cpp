#include "job/Geometry.h"

#include "app/MathUtil.h"

#include <cstdlib>

double StepsToMm(int32_t steps) { return steps * 1000.0 / 40000.0; }

double StepsToMm(double steps) { return steps * 1000.0 / 40000.0; }

int32_t MmToSteps(double mm)
{
    int32_t steps = 0;
    if (!RoundToInt32(mm * 40000.0 / 1000.0, steps))
        steps = mm < 0 ? -2147483647 - 1 : 2147483647;
    return steps;
}

bool NearPoint(const TFigPoint& p, const TFigPoint& q)
{
    // Differences in 64 bits: far-apart int32 coordinates must not wrap to "near".
    const int64_t dx = std::llabs(static_cast<int64_t>(p.x) - q.x);
    const int64_t dy = std::llabs(static_cast<int64_t>(p.y) - q.y);
    return dx < PointTolerance && dy < PointTolerance;
}
