#include "machine/MachineState.h"

#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/Settings.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/MachineConstants.h"

tplotstate PlotState;

namespace {
// Reads one reply; without an answer the block is all zero.
bool Read(Machine& machine, int index, ReplyBlock& reply)
{
    reply.fill(0);
    ControllerLink& link = machine.Link();
    if (link.ReadString(index) != 0)
        return false;
    reply = link.Reply();
    return true;
}

uint16_t ReplyWord(const ReplyBlock& r, size_t at) { return static_cast<uint16_t>(r[at] | r[at + 1] << 8); }

// A counter in hundredths of a millimetre. A resolution that gives no number
// (0, not finite) or a position beyond int32 reads as position 0.
int32_t RoundDiv(int32_t counter, double stepsPerUnit)
{
    int32_t v = 0;
    if (stepsPerUnit == 0.0 || !RoundToInt32(counter / stepsPerUnit, v))
        return 0;
    return v;
}

// The remainder keeps the counter's sign; in 64 bits, so that no divisor the
// controller reports makes it undefined.
int32_t Mod(int32_t counter, int32_t perTurn)
{
    return perTurn == 0 ? 0 : static_cast<int32_t>(static_cast<int64_t>(counter) % perTurn);
}

double Angle(int32_t steps, int32_t perTurn) { return perTurn == 0 ? 0.0 : steps * 360.0 / perTurn; }

double FixedPoint(const ReplyBlock& r, size_t at) { return static_cast<double>(ReplyInt64(r, at)) / 16777216.0; }

// A valued switch that is present and an integer.
bool IntegerSwitch(const char* name, int32_t& out)
{
    QString text;
    if (!SwitchValue(name, text))
        return false;
    bool isInt = false;
    const int v = text.toInt(&isInt);
    if (isInt)
        out = v;
    return isInt;
}
}  // namespace

MachineFacts CurrentMachineFacts()
{
    MachineFacts f;
    f.twoWire = IsTwoWireModel();
    f.sideCurrentLimit = HasSideCurrentLimit();
    f.productName = PlotState.ProductName;
    f.maxCutSpeed = MaxCutSpeed;
    f.maxTravelSpeed = MaxTravelSpeed;
    for (int i = 0; i < 3; ++i)
        f.outputMaxCurrent[i] = OutputMaxCurrent[i];
    return f;
}

bool ReadStatus(Machine& machine)
{
    ReplyBlock r;
    PlotState.StatusKnown = Read(machine, 10, r);
    if (PlotState.StatusKnown) {
        PlotState.StatusByte1 = r[1];
        PlotState.StatusFlags = static_cast<uint32_t>(ReplyInt32(r, 2));
    }
    return PlotState.StatusKnown;
}

bool ReadPositions(Machine& machine)
{
    ReplyBlock r;
    PlotState.PositionsKnown = Read(machine, 10, r);
    if (!PlotState.PositionsKnown) {
        // Zeros would read as a carriage at 0,0; the status is as unknown.
        PlotState.StatusKnown = false;
        return false;
    }
    int32_t axis[8];
    for (int i = 0; i < 8; ++i)
        axis[i] = ReplyInt32(r, 6 + 4 * static_cast<size_t>(i));
    const int order[8] = {0, 1, 3, 2, 4, 5, 7, 6};
    for (int i = 0; i < 8; ++i)
        PlotState.AxisCounters[i] = axis[order[i]];
    PlotState.SideCounterX = SideAxesRemapped ? axis[4] : axis[3];
    PlotState.SideCounterY = SideAxesRemapped ? axis[5] : axis[6];
    PlotState.FrontX = RoundDiv(axis[0], StepsPerUnitX);
    PlotState.FrontY = RoundDiv(axis[1], StepsPerUnitY);
    PlotState.AxisZ = RoundDiv(axis[3], StepsPerUnitZ);
    PlotState.TableTurnSteps = Mod(axis[2], StepsPerTurn2);
    PlotState.BackX = RoundDiv(axis[4], SideAxesRemapped ? SideStepsPerUnitX : StepsPerUnitX);
    PlotState.BackY = RoundDiv(axis[5], SideAxesRemapped ? SideStepsPerUnitY : StepsPerUnitY);
    PlotState.ThirdTurnSteps = Mod(axis[7], StepsPerTurn3);
    PlotState.SpindleTurnSteps = Mod(axis[6], StepsPerTurn1);
    PlotState.TableAngle = Angle(PlotState.TableTurnSteps, StepsPerTurn2);
    PlotState.ThirdAngle = Angle(PlotState.ThirdTurnSteps, StepsPerTurn3);
    PlotState.SpindleAngle = Angle(PlotState.SpindleTurnSteps, StepsPerTurn1);
    PlotState.SideX = RoundDiv(PlotState.SideCounterX, SideStepsPerUnitX);
    PlotState.SideY = RoundDiv(PlotState.SideCounterY, SideStepsPerUnitY);
    return true;
}

void RefuseLostLink(Machine& machine, const QString& caption, int channel)
{
    // A heater left on while the operator reads the box burns through the
    // material. Its own failure is no second box: the link is gone already.
    const auto ch = static_cast<uint8_t>(channel < 0 ? PlotState.HeaterChannel : channel);
    machine.Link().Write(Bytes({'R', 0, ch}));
    ShowMessageBox(Tr("Control", "ploterBrakLacznosci"), true, caption);
}

bool ReadStatusOrRefuse(Machine& machine, const QString& caption)
{
    if (ReadStatus(machine))
        return true;
    RefuseLostLink(machine, caption);
    return false;
}

bool ReadPositionsForMove(Machine& machine, const QString& caption)
{
    if (ReadPositions(machine))
        return true;
    RefuseLostLink(machine, caption);
    return false;
}

bool ReadHeaterState(Machine& machine)
{
    ReplyBlock r;
    if (!Read(machine, 13, r))
        return false;
    PlotState.HeaterChannel = r[0];
    PlotState.MeasuredCurrent = ReplyWord(r, 34);
    if (PlotState.HeaterChannel < 8)
        PlotState.HeaterPower = ReplyWord(r, 2 + 4 * static_cast<size_t>(PlotState.HeaterChannel));
    return true;
}

void ReadSpeedSlots(Machine& machine)
{
    ReplyBlock r;
    Read(machine, 12, r);
    PlotState.SpeedSlot = r[0];
    for (int i = 0; i < 5; ++i)
        PlotState.SlotSpeeds[i] = static_cast<uint16_t>(ReplyWord(r, 2 + 2 * static_cast<size_t>(i)) * SpeedDivisor);
    if (PlotState.SpeedSlot <= 3)
        PlotState.SelectedSpeed = PlotState.SlotSpeeds[PlotState.SpeedSlot];
}

void SetSpecialResolution()
{
    StepsPerUnitX = StepsPerUnitY = StepsPerUnitZ = 1.0;
    SideStepsPerUnitX = SideStepsPerUnitY = 1.0;
    StepsPerTurn1 = StepsPerTurn2 = 100000;
    StepsPerTurn3 = 0;
}

void ReadResolution(Machine& machine)
{
    ReplyBlock r;
    if (Read(machine, 15, r)) {
        ResolutionReading read;
        read.stepsPerUnitX = FixedPoint(r, 6);
        read.stepsPerUnitY = FixedPoint(r, 14);
        read.stepsPerUnitZ = FixedPoint(r, 22);
        read.stepsPerTurn1 = ReplyInt32(r, 30);
        read.stepsPerTurn2 = ReplyInt32(r, 38);
        read.stepsPerTurn3 = ReplyInt32(r, 46);
        read.machineWidth = ReplyInt32(r, 54);
        read.sideStepsPerUnitX = FixedPoint(r, 62);
        read.sideStepsPerUnitY = FixedPoint(r, 70);
        machine.lastResolution = read;
    }
    // The calibration goes on what the machine said, never on values that
    // already carry it.
    if (const auto& read = machine.lastResolution) {
        StepsPerUnitX = read->stepsPerUnitX;
        StepsPerUnitY = read->stepsPerUnitY;
        StepsPerUnitZ = read->stepsPerUnitZ;
        StepsPerTurn1 = read->stepsPerTurn1;
        StepsPerTurn2 = read->stepsPerTurn2;
        StepsPerTurn3 = read->stepsPerTurn3;
        MachineWidth = read->machineWidth;
        SideStepsPerUnitX = read->sideStepsPerUnitX;
        SideStepsPerUnitY = read->sideStepsPerUnitY;
    } else {
        StepsPerUnitX = StepsPerUnitY = StepsPerUnitZ = 1.0;
        SideStepsPerUnitX = SideStepsPerUnitY = 1.0;
        StepsPerTurn1 = StepsPerTurn2 = StepsPerTurn3 = 50000;
    }
    if (HasSwitch("SetSpecRes"))
        SetSpecialResolution();
    const TDlgkonfigModel& s = Settings();
    StepsPerUnitX += s.Value("feKalibracjaX") / 100.0;
    StepsPerUnitY += s.Value("feKalibracjaY") / 100.0;
    SideStepsPerUnitX += s.Value("feKalibracjaXp") / 100.0;
    if (WiresCrashChecking)
        SideStepsPerUnitY += s.Value("feKalibracjaYp") / 100.0;
    else
        SideStepsPerUnitY = SideStepsPerUnitY * 1.669 + s.Value("feKalibracjaYp") / 100.0;
    IntegerSwitch("fcWidth", MachineWidth);
}

bool ReadAuxReport(Machine& machine)
{
    ReplyBlock r;
    if (!Read(machine, 16, r))
        return false;
    PlotState.TensionSet = ReplyInt32(r, 2);
    PlotState.TensionMeasured = ReplyInt32(r, 6);
    return true;
}

QString ReadFirmwareVersion(Machine& machine)
{
    ReplyBlock r;
    Read(machine, 17, r);
    FirmwareMajor = r[0];
    FirmwareMinor = r[1];
    return QString::number(FirmwareMajor) + "." + QString::number(FirmwareMinor);
}

void ApplyModelSpeeds()
{
    if (IsTwoWireModel()) {
        MaxTravelSpeed = 3000;
        MaxCutSpeed = 1500;
        SpeedDivisor = 2;
    }
}

void SetModelAxisConstants()
{
    if (PlotState.ModelCode == QLatin1String("Jy")) {
        SideAxisA = 4;
        SideAxisB = 5;
    }
}

void SetRemappedSideAxesFlag() { SideAxesRemapped = PlotState.ModelCode == QLatin1String("Jy"); }

void IdentifyMachine(Machine& machine)
{
    ReplyBlock r;
    QString vendor, product, serial;
    if (Read(machine, 14, r) && machine.Link().DeviceStrings(vendor, product, serial)) {
        PlotState.VendorName = vendor;
        PlotState.ProductName = product;
        PlotState.SerialNumber = serial;
        PlotState.ModelCode = product.left(2);
        FrontLimitX = ReplyInt32(r, 2);
        FrontLimitY = ReplyInt32(r, 6);
        ThirdLimit = 360;
        SideLimitX = ReplyInt32(r, 22);
        SideLimitY = WiresCrashChecking ? ReplyInt32(r, 26) : 1400;
        PlotState.MachineCounter1 = ReplyInt32(r, 14);
        PlotState.MachineCounter2 = ReplyInt32(r, 18);
    }
    IntegerSwitch("limitXFront", FrontLimitX);
    IntegerSwitch("limitYFront", FrontLimitY);
    IntegerSwitch("limitXSide", SideLimitX);
    int32_t sideY = 0;
    if (IntegerSwitch("limitYSide", sideY))
        SideLimitY = WiresCrashChecking ? sideY : 1400;
    ReadResolution(machine);
    // A machine attached after another one gets its own values, never the
    // earlier machine's: the start values first, then the model's.
    ResetModelValues();
    ApplyModelSpeeds();
    if (PlotState.ModelCode == QLatin1String("Qa"))
        OutputMaxCurrent[0] = 4;
    SetModelAxisConstants();
    SetRemappedSideAxesFlag();
    ReadFirmwareVersion(machine);
    FirmwareAtLeast22 = FirmwareAtLeast(2, 2);
}
