#pragma once
#include "app/Settings.h"

#include <QString>
#include <functional>

class TJob;

// The start points of a transverse cut: where the front wire and the side
// wire begin their drawings, in millimetres. The dialog edits them; the rules
// here decide whether each drawing, cut from its point, stays inside its
// carriage's travel.
struct StartPointValues {
    double frontX = 0.0, frontY = 0.0;
    double sideX = 0.0, sideY = 0.0;
};

// The two job windows of the pair, asked for each time they are needed: a
// window closed in the meantime answers nullptr.
struct StartPointWindows {
    std::function<const TJob*()> front;
    std::function<const TJob*()> side;
};

// The side wire keeps this far below its Y limit (mm).
inline constexpr double SideTopClearance = 10.0;

// What a check found.
enum class StartPointsResult { Accepted, FrontOutside, SideOutside, FrontClosed, SideClosed };

// The carriages' positions as the machine state last read them (mm).
StartPointValues CarriagePositions();

// The read-only limit texts of the dialog, in the current length unit:
// the front X and Y travel, the side X travel, and the side Y travel less the
// clearance.
struct StartPointLimitTexts {
    QString maxFx, maxFy, maxSx, maxSy;
};
StartPointLimitTexts StartPointLimits();

// Both windows of the pair still open; otherwise an information box asks for
// the missing one and the result says which.
StartPointsResult StartPointWindowsOpen(const StartPointWindows& windows);

// Every drawing, cut from its start point, inside its carriage's travel
// (equality allowed). A failure is told in an error box; the closed-window
// results come from StartPointWindowsOpen, before any window is read.
StartPointsResult CheckStartPoints(const TDlgkonfigModel& settings, const StartPointWindows& windows,
                                   const StartPointValues& points);

// The accepted points, for the writer, the side-wire parking and the panel.
void StoreStartPoints(const StartPointValues& points);
