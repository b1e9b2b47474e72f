#include "machine/StartPoints.h"

#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "job/CutState.h"
#include "job/Geometry.h"
#include "job/Job.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"

namespace {
// An entry offset of a job as it is cut: scaled, in mm.
double ScaledMm(const TDlgkonfigModel& settings, int32_t steps)
{
    return StepsToMm(RoundEven(static_cast<double>(steps) * settings.Skala() / 100.0));
}

// The job, cut from (x, y), inside [0, limitX] x [0, limitY].
bool Fits(const TDlgkonfigModel& s, const TJob& job, double x, double y, double limitX, double limitY)
{
    return ScaledMm(s, job.EntryToRight) + x <= limitX && ScaledMm(s, job.EntryToTop) + y <= limitY &&
           ScaledMm(s, job.EntryToLeft) <= x && ScaledMm(s, job.EntryToBottom) <= y;
}

QString LimitText(double mm)
{
    return FloatToStrF(MmToUnit(CurrentLengthUnit, mm), ffFixed, 7, UnitDecimals());
}

void Outside(const char* changeKey)
{
    ShowMessageBox(Tr("Main_window", "projektPozaObszaremMaszyny") + "\r\n" +
                       Tr("Perpendicular_start_dialog", changeKey),
                   true);
}
}  // namespace

StartPointValues CarriagePositions()
{
    const tplotstate& p = PlotState;
    return {p.FrontX / 100.0, p.FrontY / 100.0, p.SideX / 100.0, p.SideY / 100.0};
}

StartPointLimitTexts StartPointLimits()
{
    return {LimitText(FrontLimitX), LimitText(FrontLimitY), LimitText(SideLimitX),
            LimitText(SideLimitY - SideTopClearance)};
}

StartPointsResult StartPointWindowsOpen(const StartPointWindows& windows)
{
    if (!windows.front || !windows.front()) {
        ShowMessageBox(Tr("Main_window", "VeOtworzPrzedni"), false);
        return StartPointsResult::FrontClosed;
    }
    if (!windows.side || !windows.side()) {
        ShowMessageBox(Tr("Main_window", "VeOtworzBoczny"), false);
        return StartPointsResult::SideClosed;
    }
    return StartPointsResult::Accepted;
}

StartPointsResult CheckStartPoints(const TDlgkonfigModel& settings, const StartPointWindows& windows,
                                   const StartPointValues& p)
{
    const StartPointsResult open = StartPointWindowsOpen(windows);
    if (open != StartPointsResult::Accepted)
        return open;
    if (!Fits(settings, *windows.front(), p.frontX, p.frontY, FrontLimitX, FrontLimitY)) {
        Outside("ZmienPktStartFrontu");
        return StartPointsResult::FrontOutside;
    }
    if (!Fits(settings, *windows.side(), p.sideX, p.sideY, SideLimitX, SideLimitY - SideTopClearance)) {
        Outside("ZmienPktStartBocznego");
        return StartPointsResult::SideOutside;
    }
    return StartPointsResult::Accepted;
}

void StoreStartPoints(const StartPointValues& p)
{
    FrontStartPoint = {p.frontX, p.frontY};
    SideStartPoint = {p.sideX, p.sideY};
}
