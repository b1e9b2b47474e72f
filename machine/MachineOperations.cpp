#include "machine/MachineOperations.h"

#include "app/Globals.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/WholeFile.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/JobState.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"
#include "machine/Transmission.h"
#include "machine/WireSelection.h"

#include <QFile>
#include <algorithm>
#include <vector>

namespace {
const QString kGotoCaption = QStringLiteral("Goto point");

bool ModelIs(const char* code) { return PlotState.ModelCode == QLatin1String(code); }

uint8_t Bit(int32_t axis) { return axis >= 0 && axis < 8 ? AxisBits[static_cast<size_t>(axis)] : 0; }

// The rotary delta the shorter way round a turn of `stepsPerTurn` steps.
int64_t ShorterWay(double target, int32_t current, int32_t stepsPerTurn)
{
    int64_t d = RoundToInt64Sat(target - current);
    const int64_t half = stepsPerTurn / 2;
    if (d > half)
        d -= stepsPerTurn;
    if (d < -half)
        d += stepsPerTurn;
    return d;
}

// A linear target (mm) less the current position (0.01 mm), in steps.
bool LinearSteps(double targetMm, int32_t current, double stepsPerUnit, int32_t& steps)
{
    const double delta = static_cast<double>(RoundToInt64Sat(targetMm * 100.0)) - current;
    return RoundToInt32(delta * stepsPerUnit, steps);
}
}  // namespace

MachineOperations::MachineOperations(Machine& machine, const TDlgkonfigModel& settings, bool noXSide,
                                     OperationHooks hooks)
    : m_machine(machine), m_settings(settings), m_noXSide(noXSide), m_hooks(std::move(hooks))
{
}

void MachineOperations::SetWireBox(OperationHooks::WireBox box, bool checked)
{
    if (m_hooks.setWireBox) {
        m_hooks.setWireBox(box, checked);
        return;
    }
    TsterModel& wires = WireSelection();
    (box == OperationHooks::WireBox::Front  ? wires.KeyFront
     : box == OperationHooks::WireBox::Back ? wires.KeyBack
                                            : wires.KeySide) = checked;
}

void MachineOperations::HeaterOffManualSlot()
{
    // The channel as the controller has it now: switching off a channel read
    // long ago could leave the heating one on. Unread, the one read last is
    // still switched off rather than none.
    (void)ReadHeaterState(m_machine);
    SendCommand(m_machine, Bytes({'R', 0, PlotState.HeaterChannel}));
    SendCommand(m_machine, Bytes({'F', 2}));
}

bool MachineOperations::wstrzymaj()
{
    m_machine.ArmSideCut(false);
    if (!ReadStatus(m_machine))
        return false;
    bool stopped = false;
    if (PlotState.JobWorking()) {
        if (const int failed = WriteCommand(m_machine, "Q"); failed != 0) {
            // A cut whose "Q" did not go out runs on: it is paused as a lost
            // link's, never left cutting behind a box. The wire stays hot
            // while the job may still be cutting.
            if (!JobRunning || !CutLinkLost()) {
                JobRunning = false;
                ShowMessageBox(Tr("Control", "ploterBrakLacznosci"), true, QString::number(failed));
            }
            return false;
        }
        bool read = WaitWhileBusy(m_machine);
        // The job may have ended just before "Q": then no paused bit comes,
        // and the wait must not last for ever.
        const int64_t motionStopped = m_machine.Clock().NowMs();
        bool paused = read && PlotState.Paused();
        while (read && !paused && m_machine.Clock().NowMs() - motionStopped < kPausedBitWaitMs) {
            m_machine.Clock().Sleep(10);
            read = ReadStatus(m_machine);
            paused = read && PlotState.Paused();
        }
        // Where the job paused must be read: CONTINUE drives back to it.
        PausePositionsRead = false;
        if (read && paused)
            read = PausePositionsRead = ReadPositions(m_machine);
        if (!read) {
            JobRunning = false;
            RefuseLostLink(m_machine);
            return false;
        }
        if (!paused && PlotState.JobWorking()) {
            // The job cuts on: switching the heater off or the speed slot
            // now would cut cold at the wrong speed, and its end must still
            // be seen.
            ShowMessageBox(Tr("Control", "ploterNieWstrzymany"), true);
            return false;
        }
        if (paused) {
            RecordPause();
        }
        m_machine.Clock().Sleep(10);
        if (!WaitWhileBusy(m_machine)) {
            JobRunning = false;
            RefuseLostLink(m_machine);
            return false;
        }
        HeaterOffManualSlot();
        stopped = paused;
    }
    if (PlotState.Moving()) {
        if (!StopJog()) {
            JobRunning = false;
            return false;
        }
        JobStopped = true;
        m_machine.Clock().Sleep(10);
        if (WaitWhileBusy(m_machine))
            HeaterOffManualSlot();
        else
            RefuseLostLink(m_machine);
        stopped = true;
    }
    JobRunning = false;
    return stopped;
}

void MachineOperations::RecordPause()
{
    const tplotstate& p = PlotState;
    PausePositionsRead = true;
    PausePositions = {p.FrontX, p.FrontY,   p.AxisZ,          p.TableTurnSteps, p.BackX,
                      p.BackY,  p.ThirdTurnSteps, p.SpindleTurnSteps, p.SideX,  p.SideY};
    const TsterModel& wires = WireSelection();
    if (wires.KeySide)
        PausedWireSet = 5;
    if (wires.KeyFront || wires.KeyBack)
        PausedWireSet = m_settings.ItemIndex("PowerOutput") != 0 ? 1 : 0;
}

bool MachineOperations::SettlePause()
{
    if (PlotState.Paused()) {
        // CONTINUE drives back to these: never to positions not read.
        PausePositionsRead = false;
        if (!ReadPositions(m_machine))
            return false;
        RecordPause();
    }
    if (!WaitWhileBusy(m_machine))
        return false;
    // Quietly: the one box comes after the pause, and a heater that could
    // not be switched off is tried again at the next retry. Only what did not
    // reach the controller is sent again.
    if (!ReadHeaterState(m_machine) || WriteCommand(m_machine, Bytes({'R', 0, PlotState.HeaterChannel})) != 0)
        return false;
    (void)WriteCommand(m_machine, Bytes({'F', 2}));
    JobRunning = false;
    return true;
}

bool MachineOperations::StopJog()
{
    StopMotion(m_machine);
    if (!WaitWhileBusy(m_machine) || !RecordJogStop()) {
        RefuseLostLink(m_machine);
        return false;
    }
    return true;
}

bool MachineOperations::RecordJogStop()
{
    // The rotary starts drive to these: unread, the last ones recorded stay.
    if (!ReadPositions(m_machine))
        return false;
    JogStopPosA = PlotState.TableTurnSteps;
    JogStopPosB = UsesRemappedSideAxes() ? PlotState.TableTurnSteps : PlotState.SpindleTurnSteps;
    return true;
}

void MachineOperations::kontynuuj(Transmission* transfer)
{
    if (!ReadStatusOrRefuse(m_machine))
        return;
    // A stream the link cut: the controller holds only the first part of the
    // job. It goes on only from a pause it still holds, with the rest sent.
    const bool rest = transfer && transfer->Interrupted();
    if (rest && transfer->Pausing())
        return;  // the lost-link box is on its way
    if (rest && (!PlotState.Paused() || PlotState.JobWorking() || PlotState.Moving())) {
        ShowMessageBox(Tr("Control", "ciecieOdNowa"), true);
        return;
    }
    if (PlotState.JobWorking() && PlotState.WaitsForGo()) {
        if (SendCommand(m_machine, "G"))
            JobRunning = true;
        return;
    }
    if (PlotState.JobWorking() || PlotState.Moving() || !PlotState.Paused())
        return;
    // The wires that did not cut stay where they are: read, not taken as 0;
    // nor is the way back taken to a pause point that was never read.
    if (!PausePositionsRead) {
        RefuseLostLink(m_machine, kGotoCaption);
        return;
    }
    if (!ReadStatusOrRefuse(m_machine, kGotoCaption) || !ReadPositionsForMove(m_machine, kGotoCaption))
        return;
    const tplotstate& p = PlotState;
    Target t{p.FrontX / 100.0, p.BackX / 100.0, p.SideX / 100.0, p.FrontY / 100.0,
             p.BackY / 100.0,  p.SideY / 100.0, double(p.TableTurnSteps), double(p.SpindleTurnSteps)};
    if (PausedWireSet == 5) {
        t.sideX = PausePositions[8] / 100.0;
        t.sideY = PausePositions[9] / 100.0;
    } else {
        t.frontX = PausePositions[0] / 100.0;
        t.frontY = PausePositions[1] / 100.0;
        t.backX = PausePositions[4] / 100.0;
        t.backY = PausePositions[5] / 100.0;
    }
    // The controller goes on only from the paused position of every axis.
    t.table = PausePositions[3];
    t.spindle = PausePositions[7];
    // A way back onto the side wire is refused while the wire is still cold.
    if (!WiresStayAboveSideWire(m_machine, t.frontY, t.backY, t.sideY, kGotoCaption))
        return;
    // A command that did not arrive has switched the wire off and said so.
    if (!SendCommand(m_machine, Bytes({'F', 1})))
        return;
    const TsterModel& wires = WireSelection();
    if (PausedWireSet == 5 && !wires.KeySide)
        SetWireBox(OperationHooks::WireBox::Side, true);
    if (PausedWireSet == 0 && wires.KeySide) {
        SetWireBox(OperationHooks::WireBox::Front, true);
        SetWireBox(OperationHooks::WireBox::Back, true);
    }
    if (!SendCommand(m_machine, Bytes({'R', 1, 1})))
        return;
    WaitHeatUp(m_machine);
    if (!GoTo(true, 1, t, true)) {
        // Not back at the pause point: the job stays paused, the wire cold
        // (a lost link's refusal switched it off already; the refusal was
        // told once).
        if (PlotState.StatusKnown)
            (void)WriteCommand(m_machine, Bytes({'R', 0, 1}));
        return;
    }
    if (!WaitWhileBusy(m_machine) || !SendCommand(m_machine, Bytes({'F', 1})) || !WaitWhileBusy(m_machine)) {
        if (!PlotState.StatusKnown)
            RefuseLostLink(m_machine);
        return;
    }
    if (!SendCommand(m_machine, Bytes({'R', 1, 1})))
        return;
    if (rest && !transfer->Resume()) {
        // The rest can't be sent: no "K", and the wire cold before the box.
        (void)WriteCommand(m_machine, Bytes({'R', 0, 1}));
        ShowMessageBox(Tr("Control", "ciecieOdNowa"), true);
        return;
    }
    if (!SendCommand(m_machine, "K"))
        return;
    // That pause is over: a later one is driven back to only once it is read.
    PausePositionsRead = false;
    JobRunning = true;
    (void)SendCommand(m_machine, Bytes({'R', 1, 1}));
}

void MachineOperations::kstopClick()
{
    if (!ReadStatusOrRefuse(m_machine) || (!PlotState.JobWorking() && !PlotState.Moving()))
        return;
    const Machine::BusyMark busy(m_machine);
    // A job that would not pause runs on: it is not stopped.
    if (wstrzymaj() || !JobRunning)
        JobStopped = true;
}

bool MachineOperations::gotopoint(bool wait, uint8_t speedSlot, double frontX, double backX, double frontY,
                                  double backY, double tableTarget, double spindleTarget)
{
    return GoTo(wait, speedSlot, {frontX, backX, 0, frontY, backY, 0, tableTarget, spindleTarget}, false);
}

bool MachineOperations::gotopointKreuz(bool wait, uint8_t speedSlot, double frontX, double backX, double sideX,
                                       double frontY, double backY, double sideY, double tableTarget,
                                       double spindleTarget)
{
    return GoTo(wait, speedSlot, {frontX, backX, sideX, frontY, backY, sideY, tableTarget, spindleTarget}, true);
}

bool MachineOperations::GoToAllowed()
{
    if (!ReadStatusOrRefuse(m_machine, kGotoCaption))
        return false;
    if (PlotState.JobWorking() || PlotState.Moving()) {
        ShowMessageBox(Tr("Control", "nieMoznaPrzesuwac"), true, kGotoCaption);
        return false;
    }
    return true;
}

bool WiresStayAboveSideWire(Machine& machine, double frontY, double backY, std::optional<double> sideY,
                            const QString& caption)
{
    if (!IsTwoWireModel() || !WiresCrashChecking)
        return true;
    const tplotstate& p = PlotState;
    // In 0.01 mm, as the positions are read.
    const int64_t side = sideY ? RoundToInt64Sat(*sideY * 100.0) : p.SideY;
    auto clear = [&](double target, int32_t now) {
        const int64_t gap = RoundToInt64Sat(target * 100.0) - side;
        // A wire already too close may still move away from the side wire.
        return gap >= 1000 || gap >= int64_t{now} - p.SideY;
    };
    // Where the side wire runs on the back carriage's ids there is no back wire.
    if (clear(frontY, p.FrontY) && (SideAxesRemapped || clear(backY, p.BackY)))
        return true;
    // A wire left hot by an earlier move does not stand in the material
    // while the box waits.
    if (!p.StatusKnown || p.HeaterOn())
        (void)WriteCommand(machine, Bytes({'R', 0, p.HeaterChannel}));
    ShowMessageBox(Tr("Main_window", "VeKolizjaDrutow") + "\r\n" + Tr("Main_window", "VePrzesunBocznyDrut"), false,
                   caption);
    return false;
}

bool MachineOperations::GoTo(bool wait, uint8_t speedSlot, const Target& t, bool withSide)
{
    if (!GoToAllowed())
        return false;
    // The deltas are taken from the position read now: from the zeros of a
    // failed read the move would go anywhere.
    if (!ReadPositionsForMove(m_machine, kGotoCaption))
        return false;
    if (!WiresStayAboveSideWire(m_machine, t.frontY, t.backY, withSide ? std::optional<double>(t.sideY) : std::nullopt,
                                kGotoCaption))
        return false;
    if (!SendCommand(m_machine, Bytes({'F', speedSlot})))
        return false;
    const tplotstate& p = PlotState;
    int32_t fx = 0, bx = 0, fy = 0, by = 0, sx = 0, sy = 0;
    // A target whose steps do not fit the controller's counters is no move.
    if (!LinearSteps(t.frontX, p.FrontX, StepsPerUnitX, fx) || !LinearSteps(t.backX, p.BackX, StepsPerUnitX, bx) ||
        !LinearSteps(t.frontY, p.FrontY, StepsPerUnitY, fy) || !LinearSteps(t.backY, p.BackY, StepsPerUnitY, by))
        return false;
    if (withSide && (!LinearSteps(t.sideX, p.SideX, SideStepsPerUnitX, sx) ||
                     !LinearSteps(t.sideY, p.SideY, SideStepsPerUnitY, sy)))
        return false;
    const int32_t table = Clamp32(ShorterWay(t.table, p.TableTurnSteps, StepsPerTurn2));
    const int32_t spindle = Clamp32(ShorterWay(t.spindle, p.SpindleTurnSteps, StepsPerTurn1));
    auto build = [&](int32_t f0, int32_t b0, int32_t f1, int32_t b1, int32_t tab, int32_t spi, int32_t s0,
                     int32_t s1) {
        // The builders leave out what the side wire's ids may not carry, so
        // the length is that of what is sent.
        int64_t built = 0;
        return withSide ? BuildMove10('A', SpeedDivisor, f0, b0, f1, b1, tab, spi, 0, 0, s0, s1, built)
                        : BuildMove4('A', SpeedDivisor, f0, b0, f1, b1, tab, spi, 0, 0, built);
    };
    const QByteArray whole = build(fx, bx, fy, by, table, spindle, sx, sy);
    // Whether the machine stands, and where it ended, must be read: the
    // callers go on from there.
    if (!WaitWhileBusyOrRefuse(m_machine, kGotoCaption))
        return false;
    if (!whole.isEmpty()) {
        const QByteArray turn = build(0, 0, 0, 0, table, spindle, 0, 0);
        if (!turn.isEmpty() && m_settings.Checked("Heavy")) {
            if (!SendCommand(m_machine, Bytes({'S', 2}) + Int32ToBytes(1)) || !SendCommand(m_machine, turn))
                return false;
            if (!WaitWhileBusyOrRefuse(m_machine, kGotoCaption))
                return false;
            if (!SendCommand(m_machine, build(fx, bx, fy, by, 0, 0, sx, sy)))
                return false;
        } else if (!SendCommand(m_machine, whole)) {
            return false;
        }
        if (wait && !WaitWhileBusyOrRefuse(m_machine, kGotoCaption))
            return false;
    }
    return ReadPositionsForMove(m_machine, kGotoCaption);
}

bool MachineOperations::HomeAxisGroup(uint8_t mask)
{
    if (!SendCommand(m_machine, Bytes({'B', mask})))
        return false;
    MachineClock& clock = m_machine.Clock();
    OperatorInput& input = m_machine.Input();
    clock.Sleep(100);
    bool read = ReadStatus(m_machine);
    PendingInput last = input.TakePending();
    while (read && PlotState.Moving() && last != PendingInput::Abort) {
        clock.Sleep(10);
        read = ReadStatus(m_machine);
        last = input.TakePending();
    }
    if (!read) {
        // Not known to stand: no further group is homed.
        RefuseLostLink(m_machine);
        return false;
    }
    clock.Sleep(100);
    if (last == PendingInput::Abort) {
        StopMotion(m_machine);
        input.TakePending();
        return false;
    }
    return true;
}

void MachineOperations::HomeGroups(bool returnVariant)
{
    const bool ve = ModelIs("Ve"), jy = ModelIs("Jy");
    const bool pair = SupportsIndependentCut() || ModelIs("Qa");
    const uint8_t sideA = m_noXSide ? 0 : Bit(SideAxisA);
    std::vector<uint8_t> groups;
    if (!returnVariant && jy) {
        groups.push_back(Bit(SideAxisA));
        groups.push_back(Bit(SideAxisB));
    }
    if (ve)
        groups.push_back(Bit(SideAxisA) | AxisBits[0]);
    if (pair)
        groups.push_back(AxisBits[0] | AxisBits[4] | sideA);
    if (!returnVariant && !jy) {
        groups.push_back(AxisBits[0]);
        if (!m_noXSide)
            groups.push_back(Bit(SideAxisA));
    }
    if (ve)
        groups.push_back(Bit(SideAxisB) | AxisBits[1]);
    if (pair)
        groups.push_back(AxisBits[1] | AxisBits[5] | Bit(SideAxisB));
    if (!returnVariant && jy)
        groups.push_back(AxisBits[0] | AxisBits[1]);

    // An abort (a key, a click, a failed command) ends the whole homing.
    for (uint8_t mask : groups)
        if (!HomeAxisGroup(mask))
            return;
    if (returnVariant || m_settings.Mode() == 0)
        return;
    const int stolik = m_settings.StolikSwitch();
    if (stolik != 0 && stolik != 1)
        return;
    if (ModelCodeFirstCharTest())
        HomeAxisGroup(AxisBits[stolik == 1 ? 2 : 6]);
    else
        gotopoint(false, 2, 0, 0, 0, 0, 0, 0);
}

void MachineOperations::bazujClick()
{
    if (!ReadStatusOrRefuse(m_machine) || !ReadPositionsForMove(m_machine))
        return;
    if (PlotState.JobWorking() || PlotState.Moving()) {
        ShowMessageBox(Tr("Control", "ploterBazowanieNiemozliwe"), true);
        return;
    }
    const Machine::BusyMark busy(m_machine);
    const bool returnVariant = PlotState.Homed() && (PlotState.FrontX != 0 || PlotState.FrontY != 0);
    if (returnVariant) {
        bool ok = true;
        if (!IsTwoWireModel()) {
            ok = gotopointKreuz(false, 2, 0, 0, 0, 0, 0, 0, 0, 0);
        } else if (m_settings.ItemIndex("rgBazowanie") == 1) {
            ok = gotopointKreuz(false, 2, 0, 0, 0, PlotState.FrontY / 100.0, PlotState.BackY / 100.0,
                                PlotState.SideY / 100.0, 0, 0);
        } else {
            ok = gotopointKreuz(false, 2, 0, 0, 0, 10, 10, 0, 0, 0);
            if (ok && !WaitWhileBusyOrRefuse(m_machine))
                return;
            if (ok)
                ok = gotopointKreuz(false, 2, 0, 0, 0, 0, 0, -10, 0, 0);
        }
        // The way back was refused or failed: no homing from an unknown place.
        if (!ok)
            return;
        if (!WaitWhileBusyOrRefuse(m_machine))
            return;
    }
    Hook(m_hooks.statusTimer, false);
    HomeGroups(returnVariant);
    Hook(m_hooks.statusTimer, true);
}

bool MachineOperations::MoznaRuszac()
{
    if (m_settings.ItemIndex("PowerOutput") != 1)
        return true;
    if (!ModelIs("Ro") && !IsTwoWireModel())
        return true;
    if (ModelIs("Jy"))
        return true;
    // Unread positions are no level arms.
    if (!ReadPositionsForMove(m_machine))
        return false;
    const QString caption = Tr("Universal", "uwaga");
    if (PlotState.FrontX == PlotState.BackX && PlotState.FrontY == PlotState.BackY) {
        const TsterModel& wires = WireSelection();
        if (wires.KeyFront && wires.KeyBack)
            return true;
        ShowMessageBox(Tr("Control", "ruch1goRamieniaZabroniony"), false, caption);
        return false;
    }
    ShowMessageBox(Tr("Control", "ruchRamionZabronionyRozneXY") + "\n" + Tr("Control", "wyrownajRamionaIJeszczeRaz"),
                   false, caption);
    return false;
}

bool MachineOperations::btnRestoreEPROMClick(const QString& programDir)
{
    const QString name = programDir + "eprom.bin";
    InputFile file(name);
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) {
        ShowMessageBox(Tr("Universal", "zbioruNieMoznaOtworzyc") + name, true);
        return false;
    }
    // The addresses are one byte: a longer image would wrap round and
    // overwrite the first parameters.
    if (file.size() > kEepromSize) {
        ShowMessageBox(Tr("Control", "eepromZaDuzy") + name, true);
        return false;
    }
    const QByteArray image = file.readAll();
    file.close();
    for (qsizetype i = 0; i < image.size(); ++i)
        if (!SendRestoreEeprom(m_machine, static_cast<uint8_t>(i), static_cast<uint8_t>(image[i])))
            return false;
    m_machine.Clock().Sleep(5000);
    ShowMessageBox(Tr("Control", "factoryParametersRestored") + "\n" + Tr("Upgrade_firmware", "aktualizacjaOK2") +
                       "\n" + Tr("Upgrade_firmware", "aktualizacjaOK3"),
                   false);
    return true;
}
