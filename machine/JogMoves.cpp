#include "machine/JogMoves.h"

#include "app/Globals.h"
#include "app/Units.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/MachineConstants.h"
#include "machine/MachineOperations.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"

#include <algorithm>
#include <cmath>
#include <limits>

uint8_t JogMovedFlag = 0;

namespace {
constexpr int16_t kPageUp = 33, kPageDown = 34, kLeft = 37, kUp = 38, kRight = 39, kDown = 40;
constexpr int16_t kPad1 = 97, kPad2 = 98, kPad3 = 99, kPad4 = 100, kPad6 = 102, kPad7 = 103, kPad8 = 104,
                  kPad9 = 105;
constexpr int16_t kComma = 188, kFullStop = 190;

int32_t ToSteps(double value, double perUnit)
{
    const double s = std::round(value * perUnit);
    return static_cast<int32_t>(std::clamp(s, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                           static_cast<double>(std::numeric_limits<int32_t>::max())));
}

void Sleep(Machine& machine, double ms)
{
    machine.Clock().Sleep(static_cast<int>(std::clamp(std::round(ms), 0.0, 2e9)));
}

// Axis deltas: linear in 1/100 mm, rotary in turns.
struct Deltas {
    double fx = 0, fy = 0, bx = 0, by = 0, sx = 0, sy = 0, table = 0, spindle = 0;
    bool Rotary() const { return table != 0 || spindle != 0; }
    bool Any() const { return fx != 0 || fy != 0 || bx != 0 || by != 0 || sx != 0 || sy != 0 || Rotary(); }
};

void HeavyRotary(Machine& machine, const TDlgkonfigModel& settings, const Deltas& d)
{
    if (d.Rotary() && settings.Checked("Heavy"))
        SendCommand(machine, Bytes({'S', 2}) + Int32ToBytes(1));
}

void SendCarriages(Machine& machine, const Deltas& d)
{
    const int32_t f0 = ToSteps(d.fx, StepsPerUnitX), b0 = ToSteps(d.bx, StepsPerUnitX);
    const int32_t f1 = ToSteps(d.fy, StepsPerUnitY), b1 = ToSteps(d.by, StepsPerUnitY);
    const int32_t tab = ToSteps(d.table, StepsPerTurn2), spi = ToSteps(d.spindle, StepsPerTurn1);
    int64_t length = 0;
    const QByteArray move = BuildMove4('A', SpeedDivisor, f0, b0, f1, b1, tab, spi, 0, 0, length);
    if (length > 0)
        SendCommand(machine, move);
}

void SendSide(Machine& machine, double sx, double sy, double table, double spindle)
{
    int64_t length = 0;
    const QByteArray move =
        BuildMove10('A', SpeedDivisor, 0, 0, 0, 0, ToSteps(table, StepsPerTurn2), ToSteps(spindle, StepsPerTurn1), 0,
                    0, ToSteps(sx, SideStepsPerUnitX), ToSteps(sy, SideStepsPerUnitY), length);
    if (length > 0)
        SendCommand(machine, move);
}

// False, refused with the lost-link box, when a read failed.
bool WaitMotionEnd(Machine& machine)
{
    for (;;) {
        if (!ReadStatusOrRefuse(machine))
            return false;
        machine.Input().TakePending();
        if (!PlotState.Moving())
            return true;
        machine.Clock().Sleep(1);
    }
}

// A jog goes from the positions last read and the status its wait has just
// read; either unread, nothing moves.
bool JogFromKnownPlace(Machine& machine)
{
    if (!WaitWhileBusyOrRefuse(machine))
        return false;
    return PlotState.PositionsKnown || ReadPositionsForMove(machine);
}

// On two-wire models the side carriage's Y motor sits on the spindle's axis:
// turning the "spindle" there would drag the side wire along.
bool SpindleAxisMovesSideWire() { return !AxisIdMayMove(6, false); }

// The rotary axis the absolute and relative moves turn.
bool TableTurns(const TDlgkonfigModel& settings)
{
    return settings.StolikSwitch() == 1 && UsesRemappedSideAxes();
}

struct Limits {
    double x = 0, y = 0;  // mm
};

// The limits of the moving carriages; false when the move is abandoned. With
// `relative` the rules of the relative move for a side wire below its zero.
bool MoveLimits(Machine& machine, bool side, bool relative, double dyMm, Limits& lim)
{
    lim = {static_cast<double>(FrontLimitX), static_cast<double>(FrontLimitY)};
    if (!IsTwoWireModel() || !side)
        return true;
    const tplotstate& p = PlotState;
    if (p.SideY < 0) {
        bool abandon;
        if (relative)
            abandon = WiresCrashChecking && SideAxesRemapped &&
                      (p.FrontY < 1000 || std::min(p.BackY, p.FrontY) < 1000);
        else
            abandon = WiresCrashChecking && p.FrontY < 1000;
        if (abandon)
            return false;
        if (!relative || std::abs(p.SideY) / 100.0 != dyMm) {
            SendSide(machine, 0, -p.SideY, 0, 0);
            if (!WaitWhileBusyOrRefuse(machine))
                return false;
            if (!ReadPositionsForMove(machine))
                return false;
        }
    }
    lim.x = SideLimitX;
    if (!WiresCrashChecking)
        lim.y = SideLimitY;
    else if (SideAxesRemapped)
        lim.y = std::min(p.FrontY / 100.0 - 10, static_cast<double>(SideLimitY));
    else
        lim.y = std::min(std::min(p.BackY, p.FrontY) / 100.0 - 10, static_cast<double>(SideLimitY));
    return true;
}

// Heats, then sends the move of the front and back carriages and that of the side.
void SendPositioning(Machine& machine, const TDlgkonfigModel& settings, bool front, bool back, bool side,
                     const Deltas& d)
{
    if (!d.Any())
        return;
    HeaterPulse(machine);
    Sleep(machine, settings.Value((front || back) ? "CzasRozgrzewania" : "CzasRozgrzewaniaBok"));
    HeavyRotary(machine, settings, d);
    // The front and back move carries no side deltas: BuildMove4 keeps the
    // spindle on its own axis id, which BuildMove10 gives to the side carriage.
    if (front || back)
        SendCarriages(machine, d);
    if (side)
        SendSide(machine, d.sx, d.sy, 0, 0);
    if (d.Rotary())
        JogMovedFlag = 1;
}
}  // namespace

void JogByKey(Machine& machine, const TDlgkonfigModel& settings, int16_t key, bool front, bool back)
{
    if (!JogFromKnownPlace(machine))
        return;
    if (SideAxesRemapped)
        back = false;
    const tplotstate& p = PlotState;
    const double LX = FrontLimitX * 100.0, LY = FrontLimitY * 100.0;
    const bool homed = p.Homed(), crash = WiresCrashChecking;
    const double FX = p.FrontX, FY = p.FrontY, BX = p.BackX, BY = p.BackY, SY = p.SideY;
    double tf = 0, tb = 0, xs = 0, ys = 0;  // travels and the signs of X and Y
    Deltas d;
    switch (key) {
    case kLeft:
    case kPad4:
        tf = homed ? FX : LY;
        tb = homed ? BX : LY;
        xs = -1;
        break;
    case kUp:
    case kPad8:
        tf = LY - FY;
        tb = SideAxesRemapped ? tf : LY - BY;
        ys = 1;
        break;
    case kRight:
    case kPad6:
        tf = homed ? LX - FX : LY;
        tb = homed ? LX - BX : LY;
        xs = 1;
        break;
    case kDown:
    case kPad2:
        tf = !homed ? LY : crash ? FY - SY - 1000 : FY;
        tb = !homed ? LY : crash ? BY - SY - 1000 : BY;
        ys = -1;
        break;
    case kPad1:
        tf = crash ? std::min(FX, FY - SY - 1000) : std::min(FX, FY);
        tb = crash ? std::min(BX, BY - SY - 1000) : std::min(BX, BY);
        xs = ys = -1;
        break;
    case kPad3:
        tf = crash ? std::min(LX - FX, FY - SY - 1000) : std::min(LX - FX, FY);
        tb = crash ? std::min(LX - BX, BY - SY - 1000) : std::min(LX - BX, BY);
        xs = 1;
        ys = -1;
        break;
    case kPad7:
        tf = std::min(FX, LY - FY);
        tb = std::min(BX, LY - BY);
        xs = -1;
        ys = 1;
        break;
    case kPad9:
        tf = std::min(LX - FX, LY - FY);
        tb = std::min(LX - BX, LY - BY);
        xs = ys = 1;
        break;
    case kPageUp:
    case kPageDown:
        // Where the side wire's motor sits on the spindle's id there is no
        // spindle to turn: the turn would drag the side wire.
        if (UsesRemappedSideAxes())
            d.table = key == kPageUp ? 10 : -10;
        else if (!SpindleAxisMovesSideWire())
            d.spindle = key == kPageUp ? 10 : -10;
        break;
    case kComma:
    case kFullStop:
        d.table = key == kFullStop ? 10 : -10;
        break;
    default:
        break;
    }
    // A travel below 0 (a wire already closer to the side wire than the
    // clearance) is no travel: a jog never moves against its key.
    tf = std::max(tf, 0.0);
    tb = std::max(tb, 0.0);
    if (xs != 0 || ys != 0) {
        // Not homed, a left jog of both wires travels the X limit.
        const double common = (!homed && (key == kLeft || key == kPad4)) ? LX : std::min(tf, tb);
        if (front && back) {
            d.fx = d.bx = xs * common;
            d.fy = d.by = ys * common;
        } else if (front) {
            d.fx = xs * tf;
            d.fy = ys * tf;
        } else if (back) {
            d.bx = xs * tb;
            d.by = ys * tb;
        }
    }
    if (!d.Any())
        return;
    SendCommand(machine, Bytes({'R', 1, 2}));
    Sleep(machine, settings.Value("Pauza_w_kacie"));
    HeavyRotary(machine, settings, d);
    SendCarriages(machine, d);
    if (d.Rotary())
        JogMovedFlag = 1;
}

void JogSideByKey(Machine& machine, const TDlgkonfigModel& settings, int32_t key)
{
    if (!JogFromKnownPlace(machine))
        return;
    const tplotstate& p = PlotState;
    const double SLX = SideLimitX * 100.0, SLY = SideLimitY * 100.0;
    const bool homed = p.Homed(), crash = WiresCrashChecking;
    const double FY = p.FrontY, BY = p.BackY, SX = p.SideX, SY = p.SideY;
    Deltas d;
    // Every travel below is at least 0: a jog never moves against its key.
    const auto travel = [](double t) { return std::max(t, 0.0); };
    // Where the back carriage moves on its own, the lower of the two wires
    // above it bounds the side wire.
    const double lowerWire = SupportsIndependentCut() ? std::min(FY, BY) : FY;
    switch (key) {
    case kLeft:
    case kPad4:
        d.sx = -travel(homed ? SX : SLX);
        break;
    case kUp:
    case kPad8:
        d.sy = travel((crash ? std::min(lowerWire - 1000, SLY) : SLY) - SY);
        break;
    case kRight:
    case kPad6:
        if (SY >= 0)
            d.sx = travel(homed ? SLX - SX : SLY);
        break;
    case kDown:
    case kPad2:
        d.sy = -travel(homed ? SY : SLY) - (SX == 0 ? 1000 : 0);
        break;
    case kPad1:
        d.sx = d.sy = -travel(std::min(SX, SY));
        break;
    case kPad3: {
        const double e = travel(std::min(SLX - SX, SY));
        d.sx = e;
        d.sy = -e;
        break;
    }
    case kPad7: {
        const double s = travel(SideAxesRemapped ? std::min(SX, FY - SY - 1000)
                                                 : std::min(SX, std::min(std::min(FY, BY) - 1000, SLY) - SY));
        d.sx = -s;
        d.sy = s;
        break;
    }
    case kPad9:
        if (SY >= 0) {
            const double s =
                travel(SideAxesRemapped ? std::min(SLX - SX, std::min(FY - 1000, SLY) - SY)
                                        : std::min(SLX - SX, std::min(std::min(FY, BY) - 1000, SLY) - SY));
            d.sx = d.sy = s;
        }
        break;
    case kPageUp:
    case kPageDown:
        if (!SpindleAxisMovesSideWire())
            d.spindle = key == kPageUp ? -10 : 10;
        break;
    case kComma:
    case kFullStop:
        d.table = key == kFullStop ? 10 : -10;
        break;
    default:
        break;
    }
    if (!d.Any())
        return;
    SendCommand(machine, Bytes({'R', 1, 2}));
    SendCommand(machine, Bytes({'S', 4}) + Int32ToBytes(5));
    Sleep(machine, settings.Value("Pauza_w_kacie_Bok"));
    HeavyRotary(machine, settings, d);
    SendSide(machine, d.sx, d.sy, d.table, d.spindle);
    if (d.Rotary())
        JogMovedFlag = 1;
}

void MoveWiresTo(Machine& machine, const TDlgkonfigModel& settings, bool front, bool back, bool side, double angle,
                 double y, double x)
{
    const Machine::BusyMark busy(machine);
    if (!WaitMotionEnd(machine) || !ReadPositionsForMove(machine))
        return;
    Limits lim;
    if (!MoveLimits(machine, side, false, 0, lim))
        return;
    const tplotstate& p = PlotState;
    x = std::max(x, 0.0);
    y = std::max(y, 0.0);
    double a = angle / 360.0;
    a -= std::floor(a);
    Deltas d;
    // The turn the axis stands at, from its step counter.
    auto at = [](int32_t steps, int32_t perTurn) {
        // Floored: a counter below zero stands at a turn between 0 and 1 too,
        // so the move never goes round more than once.
        if (perTurn == 0)
            return 0.0;
        const double t = static_cast<double>(steps) / perTurn;
        return t - std::floor(t);
    };
    if (TableTurns(settings))
        d.table = a - at(p.TableTurnSteps, StepsPerTurn2);
    else if (!SpindleAxisMovesSideWire())
        d.spindle = a - at(p.SpindleTurnSteps, StepsPerTurn1);
    const double xm = std::min(UnitToMm(CurrentLengthUnit, x), lim.x);
    const double ym = std::min(UnitToMm(CurrentLengthUnit, y), lim.y);
    double targetY = ym;
    // The front and back carriages go together: either selected takes both.
    if (IsTwoWireModel() && (front || back) && !side && WiresCrashChecking)
        targetY = std::max(p.SideY / 100.0 + 10, ym);
    // Deltas in 1/100 mm.
    d.fx = (xm - p.FrontX / 100.0) * 100;
    d.bx = (xm - p.BackX / 100.0) * 100;
    d.sx = (xm - p.SideX / 100.0) * 100;
    d.sy = (ym - p.SideY / 100.0) * 100;
    d.fy = (targetY - p.FrontY / 100.0) * 100;
    d.by = (targetY - p.BackY / 100.0) * 100;
    SendPositioning(machine, settings, front, back, side, d);
}

void MoveWiresBy(Machine& machine, const TDlgkonfigModel& settings, bool front, bool back, bool side, double angle,
                 double dy, double dx)
{
    const Machine::BusyMark busy(machine);
    bool read = ReadStatus(machine);
    while (read && PlotState.Moving()) {
        machine.Clock().Sleep(1);
        read = ReadStatus(machine);
    }
    if (!read || !WaitWhileBusy(machine)) {
        RefuseLostLink(machine);
        return;
    }
    if (!ReadPositionsForMove(machine))
        return;
    const double dxm = UnitToMm(CurrentLengthUnit, dx), dym = UnitToMm(CurrentLengthUnit, dy);
    Limits lim;
    if (!MoveLimits(machine, side, true, dym, lim))
        return;
    const tplotstate& p = PlotState;
    // Deltas in mm first.
    double fx = front ? dxm : 0, fy = front ? dym : 0, bx = back ? dxm : 0, by = back ? dym : 0;
    double sx = side ? dxm : 0, sy = side ? dym : 0;
    const double FX = p.FrontX / 100.0, FY = p.FrontY / 100.0, BX = p.BackX / 100.0, BY = p.BackY / 100.0;
    const double SX = p.SideX / 100.0, SY = p.SideY / 100.0;
    fx = std::max(fx, -FX);
    bx = std::max(bx, -BX);
    sx = std::max(sx, -SX);
    sy = std::max(sy, -SY);
    if (!IsTwoWireModel()) {
        fy = std::max(fy, -FY);
        by = std::max(by, -BY);
    } else if (WiresCrashChecking && !side) {
        if (front && fy < 0 && FY + fy < SY + 10)
            fy = SY + 10 - FY;
        if (back && by < 0 && BY + by < SY + 10)
            by = SY + 10 - BY;
    }
    fx = std::min(fx, lim.x - FX);
    bx = std::min(bx, lim.x - BX);
    sx = std::min(sx, lim.x - SX);
    fy = std::min(fy, lim.y - FY);
    by = std::min(by, lim.y - BY);
    sy = std::min(sy, lim.y - SY);
    Deltas d{fx * 100, fy * 100, bx * 100, by * 100, sx * 100, sy * 100, 0, 0};
    if (TableTurns(settings))
        d.table = angle / 360.0;
    else if (!SpindleAxisMovesSideWire())
        d.spindle = angle / 360.0;
    SendPositioning(machine, settings, front, back, side, d);
}

void MoveThroughParkPoint(MachineOperations& operations)
{
    const tplotstate& p = PlotState;
    const double fx = p.FrontX / 100.0, bx = p.BackX / 100.0, fy = p.FrontY / 100.0, by = p.BackY / 100.0;
    if (p.SideX != 0 || p.SideY != 0)
        operations.gotopointKreuz(true, 0, fx, bx, 0, fy, by, 0, 0, 0);
    operations.gotopointKreuz(true, 0, fx, bx, 0, fy, by, -10, 0, 0);
}
