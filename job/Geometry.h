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

// Both coordinate differences strictly below the point tolerance.
bool NearPoint(const TFigPoint& p, const TFigPoint& q);
