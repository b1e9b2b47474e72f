#pragma once
#include "job/Figure.h"
#include "job/Job.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

// Building blocks of planner tests: figures made in code, added as a loader
// or a tool would add them.
namespace plan_test {
using Points = std::vector<TFigPoint>;

inline Points Rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
}

inline Points Circle(int32_t cx, int32_t cy, int32_t r, int n, double phase = 0)
{
    Points p;
    for (int k = 0; k < n; ++k) {
        const double a = phase + 2 * std::numbers::pi * k / n;
        p.push_back({cx + static_cast<int32_t>(std::lround(r * std::cos(a))), cy + static_cast<int32_t>(std::lround(r * std::sin(a)))});
    }
    p.push_back(p.front());
    return p;
}

// A C open to the right, w wide and h high, with bars t thick.
inline Points CShape(int32_t x, int32_t y, int32_t w, int32_t h, int32_t t)
{
    return {{x, y}, {x + w, y}, {x + w, y + t}, {x + t, y + t}, {x + t, y + h - t}, {x + w, y + h - t},
            {x + w, y + h}, {x, y + h}, {x, y}};
}

inline void Add(TJob& job, const Points& p)
{
    auto f = std::make_unique<tfigura>();
    f->Points = p;
    f->TurnParent = -1;
    job.AddFigure(std::move(f));
}

inline void Finish(TJob& job)
{
    job.Ustaw_PPiPK();
    if (job.FigureList.empty())
        return;
    job.JobWidth = job.JobMaxX - job.JobMinX;
    job.JobHeight = job.JobMaxY - job.JobMinY;
    job.MaxDepth = 0;
}
}  // namespace plan_test
