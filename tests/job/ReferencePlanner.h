#pragma once
#include "job/Planner.h"

// The planner's analyses and searches written plainly: every pair of figures
// scanned at every call, as they are defined. The program's planner must give
// exactly the same plan.
class ReferencePlanner : public PlainPlanner {
public:
    using PlainPlanner::PlainPlanner;

protected:
    void co_w_czym() override;
    bool VertexNearOtherFigure(int32_t v, int32_t f) override;
    void LinkStartTouching() override;
    void LinkTouchingFigures() override;
    void BuildNearestLists() override;
    Pair SearchChildren(int32_t c) override;
    Pair SearchChildrenNearest(int32_t c) override;
    Pair SearchNearest() override;
    Pair SearchAny() override;
};
