#pragma once
#include "job/Figure.h"

#include <cstdint>
#include <vector>

class TJob;

// A second, independent reading of the plain cutting planner: its own main
// sequence, containment, vertex marking, touching links, candidate lists,
// connector searches and crossing repair, written plainly (every pair scanned
// at every call) and sharing nothing with the program's planner but the figure
// model and the geometry helpers. The program's planner must give the same plan.
namespace ref_plan {
enum class Outcome { Planned, Empty, Unreachable };

struct Plan {
    Outcome outcome = Outcome::Empty;
    // The drawing's figures with their links, then the frame, stub and
    // connectors in the order they were made.
    std::vector<tfigura> figures;
    // The candidate lists were built; each figure's list then holds up to 22 indices.
    bool usedNearestLists = false;
    std::vector<std::vector<int32_t>> nearest;

    int32_t StartFigure = -1;
    int32_t MaxDepth = 0;
    uint8_t FrameAdded = 0;
    uint8_t StartOutline = 0;
    uint8_t PathPlanned = 0;
    uint8_t SingleOpenFigure = 0;
    int32_t JobMinX = 0, JobMinY = 0, JobMaxX = 0, JobMaxY = 0;
    int32_t JobWidth = 0, JobHeight = 0;
    int32_t EntryToLeft = 0, EntryToRight = 0, EntryToTop = 0, EntryToBottom = 0;
    double TotalLength = 0.0;
};

// Plans the drawing of a job as it was loaded (its drawn figures and bounds);
// the job itself is not changed.
Plan PlanJob(const TJob& job, int mode, bool addFrame);
}  // namespace ref_plan
