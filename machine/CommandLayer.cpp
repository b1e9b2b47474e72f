#include "machine/CommandLayer.h"

#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "machine/Bytes.h"
#include "machine/JobState.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"
#include "machine/WireSelection.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {
// The ramp passes through these steps; between them it keeps the 1/sqrt shape
// of a constant acceleration (1/period² grows linearly with the step).
struct RampRow {
    int index;
    int period;
};
constexpr RampRow kRampRows[] = {{0, 11288},    {1, 5644},   {2, 3991},   {3, 3258},   {4, 2822},  {8, 1995},
                                 {16, 1411},    {40, 892},   {100, 564},  {400, 280},  {1000, 176}, {2000, 122},
                                 {4000, 84},    {8000, 56},  {12000, 44}, {15956, 36}, {15999, 36}};

std::array<int16_t, 16000> BuildRamp()
{
    std::array<int16_t, 16000> table{};
    for (size_t row = 0; row + 1 < std::size(kRampRows); ++row) {
        const RampRow a = kRampRows[row], b = kRampRows[row + 1];
        const double ia = 1.0 / (static_cast<double>(a.period) * a.period);
        const double ib = 1.0 / (static_cast<double>(b.period) * b.period);
        for (int i = a.index; i <= b.index; ++i) {
            const double t = static_cast<double>(i - a.index) / (b.index - a.index);
            table[static_cast<size_t>(i)] = static_cast<int16_t>(RoundEven(1.0 / std::sqrt(ia + (ib - ia) * t)));
        }
    }
    return table;
}

bool ModelIs(std::initializer_list<const char*> codes)
{
    for (const char* c : codes)
        if (PlotState.ModelCode == QLatin1String(c))
            return true;
    return false;
}

// The setting of the selected wires: the side wire wins.
double Pick(const char* frontBack, const char* side)
{
    const TsterModel& wires = WireSelection();
    const TDlgkonfigModel& s = Settings();
    if (wires.KeySide)
        return s.Value(side);
    if (wires.KeyFront || wires.KeyBack)
        return s.Value(frontBack);
    return s.At(frontBack).minValue;
}

void Wait(Machine& machine, double ms) { machine.Clock().Sleep(static_cast<int>(std::clamp(RoundEven(ms), 0.0, 2e9))); }
}  // namespace

const std::array<int16_t, 16000> RampTable = BuildRamp();

int16_t RampTableValue(int32_t i)
{
    const int64_t k = 4 * static_cast<int64_t>(i);
    return RampTable[static_cast<size_t>(std::clamp<int64_t>(k, 0, 15999))];
}

int WriteCommand(Machine& machine, const QByteArray& command)
{
    if (command.isEmpty())
        return 0;
    ControllerLink& link = machine.Link();
    int result = 0;
    if ((command[0] & 0xDF) == 'A') {
        for (qsizetype at = 0; at < command.size() && result == 0; at += 6)
            result = link.Write(command.mid(at, 6));
    } else {
        result = link.Write(command);
    }
    return result;
}

bool SendCommand(Machine& machine, const QByteArray& command)
{
    const int result = WriteCommand(machine, command);
    if (result == 0)
        return true;
    // The wire may be hot (a return move after the heat-up): it goes off
    // before the box waits for the operator, unless switching it off is
    // what failed, or a job is cutting (a cold wire would be dragged
    // through the material; the transfer pauses a job whose link is lost).
    const bool heaterOff = command.size() >= 2 && command[0] == 'R' && command[1] == 0;
    if (heaterOff || JobRunning)
        ShowMessageBox(Tr("Control", "ploterBrakLacznosci"), true, QString::number(result));
    else
        RefuseLostLink(machine, QString::number(result));
    return false;
}

void SetJogSpeed(Machine& machine, uint16_t v)
{
    if (!ReadStatus(machine))
        return;  // nothing is sent to a machine that did not answer
    if (PlotState.SpeedSlot <= 3) {
        const int divisor = SpeedDivisor > 0 ? SpeedDivisor : 1;
        SendCommand(machine, Bytes({'V', PlotState.SpeedSlot}) + Int16ToBytes(static_cast<int16_t>(v / divisor)));
    }
    ReadSpeedSlots(machine);
}

bool StopMotion(Machine& machine) { return SendCommand(machine, "Y"); }

void StopJogUnread(Machine& machine)
{
    if (!JobRunning)
        (void)WriteCommand(machine, "Y");
}

bool WaitWhileBusy(Machine& machine)
{
    machine.Clock().Sleep(1);
    if (!ReadStatus(machine))
        return false;
    while (PlotState.Moving()) {
        machine.Clock().Sleep(1);
        if (!ReadStatus(machine))
            return false;
        machine.Input().TakePending();
    }
    return true;
}

bool WaitWhileBusyOrRefuse(Machine& machine, const QString& caption)
{
    if (WaitWhileBusy(machine))
        return true;
    RefuseLostLink(machine, caption);
    return false;
}

bool HeaterToggle(Machine& machine)
{
    const bool ok = SendCommand(machine, Bytes({'R', PlotState.HeaterOn() ? 0 : 1, PlotState.HeaterChannel}));
    machine.Clock().Sleep(200);
    return ok;
}

bool SendHeaterPower(Machine& machine)
{
    return SendCommand(machine, Bytes({'T', PlotState.HeaterChannel, static_cast<uint8_t>(PlotState.HeaterPower & 0xFF)}));
}

bool HeaterPulse(Machine& machine)
{
    const bool ok = SendCommand(machine, Bytes({'R', 1, PlotState.HeaterChannel}));
    Wait(machine, CurrentCornerPause());
    return ok;
}

bool SetPositionCommand(Machine& machine)
{
    int32_t x = 0, y = 0;
    if (!RoundToInt32(PlotState.PositionToSetX * StepsPerUnitX, x) ||
        !RoundToInt32(PlotState.PositionToSetY * StepsPerUnitY, y)) {
        // Cut to 32 bits it would name another place: the job would run from there.
        ShowMessageBox(Tr("Control", "pozycjaPozaZakresem"), true);
        return false;
    }
    return SendCommand(machine, "U" + Int32ToBytes(x) + Int32ToBytes(y));
}

bool SendUnitMode(Machine& machine, int32_t unit) { return SendCommand(machine, Bytes({'S', 6}) + Int32ToBytes(unit)); }

bool SendWireTension(Machine& machine, int32_t tension)
{
    return SendCommand(machine, Bytes({'S', 7}) + Int32ToBytes(tension));
}

bool SendRestoreEeprom(Machine& machine, uint8_t address, uint8_t value)
{
    return SendCommand(machine, Bytes({'S', 13, address, value}));
}

bool SendPowerOutput(Machine& machine, int32_t output)
{
    return SendCommand(machine, Bytes({'S', 4}) + Int32ToBytes(output));
}

bool IsTwoWireModel() { return ModelIs({"Ve", "Ky", "Zu", "Qa", "Jy"}); }

bool SupportsIndependentCut() { return ModelIs({"Ky", "Zu"}); }

bool UsesRemappedSideAxes() { return ModelIs({"Jy"}); }

bool HasSideCurrentLimit() { return PlotState.ModelCode.toUpper() == QLatin1String("ZU"); }

bool ModelCodeFirstCharTest()
{
    for (const char* code : {"Ro", "Ve", "Ky", "Zu", "Qa", "Jy", "qz", "H"})
        if (PlotState.ProductName.startsWith(QLatin1String(code)))
            return true;
    return false;
}

bool FirmwareAtLeast(uint16_t major, uint16_t minor)
{
    return FirmwareMajor * 100 + FirmwareMinor >= major * 100 + minor;
}

double CurrentCutSpeed() { return Pick("szybkoscObrobki", "szybkoscObrobkiBok"); }

double CurrentWorkPower() { return Pick("work_power", "work_power_Bok"); }

double CurrentHeatUpTime() { return Pick("CzasRozgrzewania", "CzasRozgrzewaniaBok"); }

QByteArray CuttingSpeedCommand()
{
    const auto v = static_cast<uint16_t>(RoundToInt64Sat(CurrentCutSpeed() * SpeedDivisor) & 0xFFFF);
    return Bytes({'V', 1}) + Int16ToBytes(static_cast<int16_t>(CutSpeedToPeriod(v)));
}

void WaitHeatUp(Machine& machine) { Wait(machine, CurrentHeatUpTime()); }

double CurrentCornerPause() { return Pick("Pauza_w_kacie", "Pauza_w_kacie_Bok"); }

void WorkAreaForWires(bool front, bool back, bool side, double& x, double& y, int32_t& limitY, int32_t& limitX)
{
    if (!IsTwoWireModel()) {
        x = PlotState.FrontX / 100.0;
        y = PlotState.FrontY / 100.0;
        limitX = FrontLimitX;
        limitY = FrontLimitY;
        return;
    }
    if (front || back) {
        x = (front ? PlotState.FrontX : PlotState.BackX) / 100.0;
        y = (front ? PlotState.FrontY : PlotState.BackY) / 100.0;
        limitX = FrontLimitX;
        limitY = FrontLimitY;
    }
    if (side) {
        x = PlotState.SideX / 100.0;
        y = PlotState.SideY / 100.0;
        limitX = SideLimitX;
        limitY = SideLimitY;
    }
}
