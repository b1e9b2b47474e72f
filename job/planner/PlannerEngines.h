#pragma once
#include "job/Spatial.h"
#include "job/planner/SearchEngine.h"

#include <cstdint>
#include <memory>
#include <vector>

// What the planner's searches keep between calls during one run.
class PlannerEngines {
public:
    // Every vertex of the job, for "which figures touch here"; figures the
    // planner adds join it when they are first asked about.
    std::unique_ptr<VertexGrid> vertices;
    int32_t figuresInGrid = 0;
    std::vector<std::vector<int32_t>> children;  // drawn figures by container, from the analysis
    int32_t engineContainer = -1;
    SearchKind engineKind = SearchKind::Any;
    std::unique_ptr<SearchEngine> containerEngine;
    std::unique_ptr<SearchEngine> nearest;
    std::unique_ptr<SearchEngine> any;
    std::vector<int32_t> minKind;  // the lightest vertex weight of each figure, -1 until asked
};

// The planner's engines, made on first use.
inline PlannerEngines& EnginesOf(std::unique_ptr<PlannerEngines>& e)
{
    if (!e)
        e = std::make_unique<PlannerEngines>();
    return *e;
}
