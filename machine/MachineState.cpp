#include "machine/MachineState.h"

#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "machine/Bytes.h"
#include "machine/MachineConstants.h"

tplotstate PlotState;

namespace {
bool ModelIs(std::initializer_list<const char*> codes)
{
    for (const char* c : codes)
        if (PlotState.ModelCode == QLatin1String(c))
            return true;
    return false;
}

bool Read(int index, ReplyBlock& reply)
{
    reply.fill(0);
    ControllerLink* link = CurrentControllerLink();
    if (!link || !link->MachineFound() || link->ReadString(index) != 0)
        return false;
    reply = link->Reply();
    return true;
}

int32_t RoundDiv(int32_t counter, double stepsPerUnit)
{
    int32_t v = 0;
    if (stepsPerUnit == 0.0 || !RoundToInt32(counter / stepsPerUnit, v))
        return 0;
    return v;
}

int32_t Mod(int32_t counter, int32_t perTurn) { return perTurn == 0 ? 0 : counter % perTurn; }

double Angle(int32_t steps, int32_t perTurn) { return perTurn == 0 ? 0.0 : steps * 360.0 / perTurn; }

double Resolution(const ReplyBlock& r, size_t at) { return static_cast<double>(ReplyInt64(r, at)) / 16777216.0; }
}  // namespace

bool IsTwoWireModel() { return ModelIs({"Ve", "Ky", "Zu", "Qa", "Jy"}); }

bool SupportsIndependentCut() { return ModelIs({"Ky", "Zu"}); }

bool UsesRemappedSideAxes() { return ModelIs({"Jy"}); }

bool HasSideCurrentLimit() { return PlotState.ModelCode.toUpper() == QLatin1String("ZU"); }

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

bool ReadStatus()
{
    ReplyBlock r;
    const bool ok = Read(10, r);
    PlotState.StatusByte1 = ok ? r[1] : 0;
    PlotState.StatusFlags = ok ? static_cast<uint32_t>(ReplyInt32(r, 2)) : 0;
    return ok;
}

void ReadPositions()
{
    ReplyBlock r;
    Read(10, r);  // a failed read leaves zeros: zero positions
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
}

void ReadResolution()
{
    ReplyBlock r;
    if (Read(15, r)) {
        StepsPerUnitX = Resolution(r, 6);
        StepsPerUnitY = Resolution(r, 14);
        StepsPerUnitZ = Resolution(r, 22);
        StepsPerTurn1 = ReplyInt32(r, 30);
        StepsPerTurn2 = ReplyInt32(r, 38);
        StepsPerTurn3 = ReplyInt32(r, 46);
        MachineWidth = ReplyInt32(r, 54);
        SideStepsPerUnitX = Resolution(r, 62);
        SideStepsPerUnitY = Resolution(r, 70);
    } else {
        StepsPerUnitX = StepsPerUnitY = StepsPerUnitZ = 1.0;
        SideStepsPerUnitX = SideStepsPerUnitY = 1.0;
        StepsPerTurn1 = StepsPerTurn2 = StepsPerTurn3 = 50000;
    }
    if (HasSwitch("SetSpecRes")) {
        StepsPerUnitX = StepsPerUnitY = StepsPerUnitZ = 1.0;
        SideStepsPerUnitX = SideStepsPerUnitY = 1.0;
        StepsPerTurn1 = StepsPerTurn2 = 100000;
        StepsPerTurn3 = 0;
    }
    const TDlgkonfigModel& s = Settings();
    StepsPerUnitX += s.Value("feKalibracjaX") / 100.0;
    StepsPerUnitY += s.Value("feKalibracjaY") / 100.0;
    SideStepsPerUnitX += s.Value("feKalibracjaXp") / 100.0;
    if (WiresCrashChecking)
        SideStepsPerUnitY += s.Value("feKalibracjaYp") / 100.0;
    else
        SideStepsPerUnitY = SideStepsPerUnitY * 1.669 + s.Value("feKalibracjaYp") / 100.0;
    QString width;
    bool isInt = false;
    if (SwitchValue("fcWidth", width)) {
        const int w = width.toInt(&isInt);
        if (isInt)
            MachineWidth = w;
    }
}

bool SendCommand(const QByteArray& command)
{
    if (command.isEmpty())
        return true;
    ControllerLink* link = CurrentControllerLink();
    auto write = [&](const QByteArray& bytes) { return link && link->MachineFound() ? link->Write(bytes) : -1; };
    int result = 0;
    if ((command[0] & 0xDF) == 'A') {
        // A move goes out one 6-byte record per report.
        for (qsizetype at = 0; at < command.size() && result == 0; at += 6)
            result = write(command.mid(at, 6));
    } else {
        result = write(command);
    }
    if (result != 0) {
        ShowMessageBox(Tr("Control", "ploterBrakLacznosci"), true, QString::number(result));
        return false;
    }
    return true;
}

bool SendUnitMode(int32_t unit) { return SendCommand(QByteArray("S\x06", 2) + Int32ToBytes(unit)); }

bool SendPowerOutput(int32_t output) { return SendCommand(QByteArray("S\x04", 2) + Int32ToBytes(output)); }
