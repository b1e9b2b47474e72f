#pragma once
#include "job/Figure.h"

#include <cstdint>
#include <utility>
#include <vector>

// The order in which one visit of the plain cut goes round a figure: the
// vertices the wire moves to, and where the figures hanging from it are cut.
// The command file and the simulation both follow it, so that what the
// operator sees is what the machine does.
struct CutVisitStep {
    bool child;     // walk the figure `value` now
    int32_t value;  // else: move to vertex `value` (in the order of the cut)
};

struct CutVisit {
    // The open figure is cut from its last vertex: vertex k of the steps is
    // vertex n - k of the figure as it stands.
    bool reversed = false;
    std::vector<CutVisitStep> steps;
};

struct CutVisitRules {
    bool singleOpenFigure = false;  // the job is one open figure
    bool serial = false;            // serial cutting
    bool fixedDirection = false;    // two profiles: always forward
};

// points: the points walked; hanging: (vertex, figure) of the figures that hang
// from this one, in list order, vertices numbered as the figure stands.
CutVisit PlanCutVisit(const std::vector<TFigPoint>& points, bool closed, int32_t entry,
                      const std::vector<std::pair<int32_t, int32_t>>& hanging, const CutVisitRules& rules);
