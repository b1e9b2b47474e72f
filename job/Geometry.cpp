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

