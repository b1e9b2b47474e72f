#include "machine/SideWire.h"

#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "job/CutState.h"
#include "job/Geometry.h"
#include "job/Job.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/CutStart.h"
#include "machine/JogMoves.h"
#include "machine/MachineConstants.h"
#include "machine/MachineOperations.h"
#include "machine/MachineState.h"
#include "machine/WireSelection.h"

#include <algorithm>

namespace {
using Box = OperationHooks::WireBox;

// The carriages to (x, y) in mm, through the move that takes the display unit.
void MoveTo(Machine& machine, const TDlgkonfigModel& settings, bool front, bool back, bool side, double x, double y)
{
    MoveWiresTo(machine, settings, front, back, side, 0.0, MmToUnit(CurrentLengthUnit, y),
                MmToUnit(CurrentLengthUnit, x));
}

void SideTo(Machine& machine, const TDlgkonfigModel& settings, MachineOperations& operations, double y)
{
    if (!ReadStatus(machine))
        return;
    if (!WireSelection().KeySide)
        operations.SetWireBox(Box::Side, true);
    MoveTo(machine, settings, false, false, true, 0.0, y);
}

void PositioningSlot(Machine& machine, const TDlgkonfigModel& settings)
{
    SendCommand(machine, PositioningSpeedCommand(settings));
    SendCommand(machine, Bytes({'F', 0}));
}

// How far the job reaches above the point its cut starts from, in steps.
int32_t ExtentAboveStart(const TJob& job)
{
    if (job.StartFigure >= 0 && job.StartFigure < static_cast<int32_t>(job.FigureList.size())) {
        const tfigura& f = *job.FigureList[static_cast<size_t>(job.StartFigure)];
        if (f.EntryVertex >= 0 && f.EntryVertex < static_cast<int32_t>(f.Points.size()))
            return job.JobMaxY - f.Points[static_cast<size_t>(f.EntryVertex)].y;
    }
    // No start point known: the whole height keeps the front wire clear.
    return job.JobMaxY - job.JobMinY;
}
}  // namespace

void sbSideUpClick(Machine& machine, const TDlgkonfigModel& settings, MachineOperations& operations)
{
    SideTo(machine, settings, operations,
           std::min(static_cast<double>(SideLimitY), settings.Value("feuDystansYside")));
}

void sbSideDownClick(Machine& machine, const TDlgkonfigModel& settings, MachineOperations& operations)
{
    SideTo(machine, settings, operations, 0.0);
}

bool ParkSideWire(Machine& machine, const TDlgkonfigModel& settings, MachineOperations& operations)
{
    // One box, not one for every command of the moves.
    if (!ReadStatusOrRefuse(machine))
        return false;
    PositioningSlot(machine, settings);
    const TMmPoint front = FrontStartPoint, side = SideStartPoint;
    const double parkY = std::min(front.y - 10.0, side.y);
    const bool back = WireSelection().KeyBack;
    if (!ReadPositionsForMove(machine))
        return false;
    if (PlotState.SideY / 100.0 > parkY) {
        // The side wire is lowered before the front wire comes down to it.
        if (front.y >= 10.0)
            MoveTo(machine, settings, false, false, true, side.x, parkY);
        else
            MoveThroughParkPoint(operations);
        MoveTo(machine, settings, true, back, false, front.x, front.y);
    } else {
        MoveTo(machine, settings, true, back, false, front.x, front.y);
        MoveTo(machine, settings, false, false, true, side.x, parkY);
    }
    if (!WaitWhileBusyOrRefuse(machine))
        return false;
    if (!ReadPositionsForMove(machine))
        return false;
    // A move left out (its travel did not allow it) must not let the front
    // cut start above a side wire that is still up.
    if (PlotState.SideY / 100.0 > parkY + 0.005) {
        ShowMessageBox(Tr("Main_window", "VeKolizjaDrutow") + "\r\n" + Tr("Main_window", "VePrzesunBocznyDrut"),
                       false);
        return false;
    }
    return true;
}

void ContinueSideCut(Machine& machine, const TDlgkonfigModel& settings, MachineOperations& operations,
                     const TJob* sideJob, const std::function<void()>& showSide, const std::function<void()>& start)
{
    // Not over a start that waits in its dialogs: that start owns the wires now.
    if (!sideJob || machine.StartInProgress())
        return;
    PositioningSlot(machine, settings);
    const double clearance =
        StepsToMm(RoundEven(settings.Skala() * ExtentAboveStart(*sideJob) / 100.0)) + SideStartPoint.y + 10.0;
    // Each move goes from where the one before was read to end.
    auto wiresTo = [&](double x, double y) {
        const TsterModel& w = WireSelection();
        MoveTo(machine, settings, w.KeyFront, w.KeyBack, w.KeySide, x, y);
        return WaitWhileBusyOrRefuse(machine);
    };
    if (!ReadPositionsForMove(machine))
        return;
    const double frontY = PlotState.FrontY / 100.0;
    if (frontY < clearance) {
        // Along at their height to x 0 first, then up above the side drawing.
        if (!wiresTo(0.0, frontY) || !wiresTo(0.0, clearance))
            return;
    }
    operations.SetWireBox(Box::Side, true);
    if (!wiresTo(SideStartPoint.x, SideStartPoint.y))
        return;
    if (showSide)
        showSide();
    if (start)
        start();
}
