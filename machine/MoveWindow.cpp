#include "machine/MoveWindow.h"

#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/JogMoves.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"
#include "machine/UsbLink.h"

#include <algorithm>
#include <cmath>

namespace {
int32_t Steps(double v)
{
    return static_cast<int32_t>(std::clamp(std::round(v), -2147483648.0, 2147483647.0));
}

bool OperatorStopped(Machine& machine) { return machine.Input().TakePending() == PendingInput::Abort; }

// The wait of the service tests: like the machine's own wait, but a key press
// or click during the motion is kept for the end of the round instead of lost.
// False when a read failed: whether the machine stands is not known.
bool WaitNoting(Machine& machine, bool& stop)
{
    machine.Clock().Sleep(1);
    if (!ReadStatus(machine))
        return false;
    while (PlotState.Moving()) {
        machine.Clock().Sleep(1);
        if (!ReadStatus(machine))
            return false;
        stop = OperatorStopped(machine) || stop;
    }
    return true;
}

void Sleep(Machine& machine, double ms) { machine.Clock().Sleep(static_cast<int>(std::clamp(ms, 0.0, 2e9))); }
}  // namespace

MoveWindowView MoveWindowActivate(const TDlgkonfigModel& settings, const TsterModel& wires, bool noXSide)
{
    MoveWindowView v;
    if (wires.KeyFront)
        v.wireText = Tr("Control", "KeyFront.caption");
    // A two-wire model that cannot cut independently has no back wire: its
    // back carriage holds the front wire's other end.
    if (wires.KeyBack && (!IsTwoWireModel() || SupportsIndependentCut())) {
        if (!v.wireText.isEmpty())
            v.wireText += " & ";
        v.wireText += Tr("Control", "RoKeyBack.caption");
    }
    if (wires.KeySide)
        v.wireText = Tr("Control", "VeKeyBack.caption");
    v.xEnabled = !(wires.KeySide && noXSide);
    // The wires after a plain separator: blanks would only push them about by
    // the width of the title bar's font.
    v.caption = v.wireText.isEmpty() ? Tr("Move_wire", "caption") : Tr("Move_wire", "caption") + " - " + v.wireText;
    v.unitLabel = "[" + UnitName(CurrentLengthUnit) + "]";
    const int table = settings.StolikSwitch();
    if (table == 0 || table == 1) {
        const QString item = Tr("Configuration", table == 0 ? "stolikswitch.Item0" : "stolikswitch.Item1");
        v.label3 = "&" + item.left(1) + "=";
        v.label3Hint = item;
    } else {
        v.label3 = "&Z=";
    }
    return v;
}

void MoveWindowExecute(Machine& machine, const TDlgkonfigModel& settings, const TsterModel& wires, int item,
                       double x, double y, double angle)
{
    if (item == 0)
        MoveWiresTo(machine, settings, wires.KeyFront, wires.KeyBack, wires.KeySide, angle, y, x);
    else
        MoveWiresBy(machine, settings, wires.KeyFront, wires.KeyBack, wires.KeySide, angle, y, x);
}

void LinkTest(Machine& machine, int32_t unit, double x, double y, double angle,
              const std::function<void(const QString& counts)>& round)
{
    bool read = false;
    while ((read = ReadStatus(machine)) && PlotState.Moving()) {
    }
    if (!read)
        return;
    // The edits as the move window takes them: the display unit to steps, the
    // angle in degrees to a part of a turn.
    const int32_t sx = Steps(UnitToMm(unit, x) * StepsPerUnitX * 100);
    const int32_t sy = Steps(UnitToMm(unit, y) * StepsPerUnitY * 100);
    const int32_t sz = Steps(angle / 360.0 * StepsPerTurn1);
    auto move = [&](int32_t sign) {
        int64_t length = 0;
        const QByteArray m =
            BuildMove4('A', SpeedDivisor, sign * sx, sign * sx, sign * sy, sign * sy, sign * sz, sign * sz, sign * sz, 0,
                       length);
        return SendCommand(machine, m);
    };
    // A machine gone ends the test with one box, not one box a round.
    for (bool stop = false;;) {
        for (int32_t sign : {1, -1}) {
            // Ten empty moves: an empty move is never sent, the rounds keep
            // their status reads.
            for (int i = 0; i < 10; ++i)
                if (!WaitNoting(machine, stop))
                    return RefuseLostLink(machine);
            if (!move(sign))
                return;
            if (!WaitNoting(machine, stop) || !ReadPositions(machine))
                return RefuseLostLink(machine);
            IdentifyMachine(machine);
            if (!machine.Connected())
                return RefuseLostLink(machine);
        }
        if (round)
            round(QString::number(UsbReadFailures) + "/" + QString::number(UsbWriteRetries));
        if (OperatorStopped(machine) || stop)
            return;
    }
}

void HeaterTest(Machine& machine)
{
    if (!ReadHeaterState(machine)) {
        RefuseLostLink(machine);
        return;
    }
    // The channel switched on is the one switched off again.
    const uint8_t channel = PlotState.HeaterChannel;
    for (bool stop = false;;) {
        if (!SendCommand(machine, Bytes({'R', 1, channel})))
            return;
        Sleep(machine, CurrentCornerPause());
        if (!WaitNoting(machine, stop))
            return RefuseLostLink(machine, QString(), channel);
        Sleep(machine, CurrentHeatUpTime());
        if (!SendCommand(machine, Bytes({'R', 0, channel})))
            return;
        if (!WaitNoting(machine, stop))
            return RefuseLostLink(machine, QString(), channel);
        Sleep(machine, CurrentHeatUpTime());
        if (OperatorStopped(machine) || stop)
            return;
    }
}
