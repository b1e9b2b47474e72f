#include "machine/ControlPanel.h"

#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/JobState.h"
#include "machine/JogMoves.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"
#include "machine/UsbLink.h"
#include "machine/WireSelection.h"

#include <algorithm>

namespace {
bool ModelIs(const char* code) { return PlotState.ModelCode == QLatin1String(code); }

// The models whose front and back boxes go together.
bool ArmsTogether() { return ModelIs("Ve") || ModelIs("Qa"); }

int Round(double x) { return static_cast<int>(RoundEven(x)); }

QString Fixed(double value, int precision, int digits) { return FloatToStrF(value, ffFixed, precision, digits); }

QString ChannelText(uint8_t channel)
{
    switch (channel) {
    case 1: return QStringLiteral("pwrRobocze");
    case 2: return QStringLiteral("pwrRęczne");
    case 3: return QStringLiteral("pwrKształtowy");
    case 4: return QStringLiteral("pwrRęczneBok");
    default: return QStringLiteral("pwrNieznane ") + QString::number(channel);
    }
}

QString SlotText(uint8_t slot)
{
    switch (slot) {
    case 0: return QStringLiteral("speedPrzestawcza");
    case 1: return QStringLiteral("speedRobocza");
    case 2: return QStringLiteral("speedRęczna");
    default: return QStringLiteral("speedNieznana ") + QString::number(slot);
    }
}

// A position in 0.01 mm as the panel shows it in the unit; false for an
// unknown unit, whose labels stay.
bool PositionText(int32_t unit, int32_t value, QString& text)
{
    if (unit == 0) {
        text = Fixed(value / 100.0, 8, 2);
        return true;
    }
    if (unit == 1 || unit == 2) {
        text = Fixed(MmToUnit(unit, value / 100.0), 8, 3);
        return true;
    }
    return false;
}

constexpr uint32_t kStartKey = 0x08u << 8, kStopKey = 0x10u << 8, kContinueKey = 0x20u << 8;
}  // namespace

ControlPanel::ControlPanel(Machine& machine, const TDlgkonfigModel& settings, bool noXSide, AxisOffsetRefs offsets)
    : m_machine(machine), m_settings(settings), m_noXSide(noXSide), m_offsets(offsets)
{
    if (!m_offsets.x)
        m_offsets.x = &m_ownOffsetX;
    if (!m_offsets.y)
        m_offsets.y = &m_ownOffsetY;
    OperationHooks hooks;
    hooks.setWireBox = [this](WireBox box, bool checked) { SetWireBox(box, checked); };
    hooks.statusTimer = [this](bool enabled) { SetTimerEnabled(enabled); };
    m_operations = std::make_unique<MachineOperations>(machine, settings, noXSide, std::move(hooks));
}

ControlPanel::~ControlPanel()
{
    if (m_timerId)
        m_machine.Clock().Cancel(m_timerId);
    if (m_repeatTimer)
        m_machine.Clock().Cancel(m_repeatTimer);
}

void ControlPanel::Create()
{
    if (!m_machine.Connected()) {
        // The panel stays usable as a window; its timer watches for the machine.
        ShowMessageBox(Tr("Control", "brakPlotera"), true);
    } else {
        if (ReadStatus(m_machine) && !PlotState.JobWorking())
            SendPowerOutput(m_machine, m_settings.ItemIndex("PowerOutput"));
        IdentifyMachine(m_machine);
        SendUnitMode(m_machine, m_settings.ItemIndex("radiounit"));
        if (IsTwoWireModel()) {
            SetWireBox(WireBox::Front, true);
            SetWireBox(WireBox::Back, true);
            SetWireBox(WireBox::Side, false);
        }
    }
    SetTimerEnabled(true);
}

void ControlPanel::Activate()
{
    m_panelActive = true;
    m_view.GroupBox1Caption = Tr("Control", "groupBox1.caption") + "  [ " + UnitName(CurrentLengthUnit) + " ]";
    if (UsesRemappedSideAxes()) {
        const int item = m_settings.StolikSwitch();
        const char* keys[] = {"stolikswitch.Item0", "stolikswitch.Item1", "stolikswitch.Item2"};
        if (item >= 0 && item < 3)
            m_view.GroupStolikCaption = (item == 2 ? "Z " : "") + Tr("Configuration", keys[item]);
    }
    // A rotary jog from now on is recorded where the panel is left.
    JogMovedFlag = 0;
    Changed();
    if (m_machine.TicksHeldOff())
        return;
    m_machine.Clock().Sleep(10);
    if (!ReadStatus(m_machine))
        return;  // the timer watches for the machine at its slow pace
    IdentifyMachine(m_machine);
    if (!PlotState.JobWorking() && !PlotState.Moving()) {
        SendPowerOutput(m_machine, m_settings.ItemIndex("PowerOutput"));
        // Off on the channel the controller heats now, not on one read long ago.
        if (!ReadHeaterState(m_machine))
            return;  // the timer watches for the machine at its slow pace
        SendCommand(m_machine, Bytes({'R', 0, PlotState.HeaterChannel}));
        (void)ReadHeaterState(m_machine);  // for the display only
    }
    m_view.PScrollPosition = PlotState.HeaterPower;
    ReadSpeedSlots(m_machine);
    m_view.VScrollMax = MaxTravelSpeed;
    if (PlotState.SelectedSpeed != 0)
        m_view.VScrollPosition = JogSpeedToPeriod(PlotState.SelectedSpeed);
    // Unread, the positions stay marked unknown and a jog reads them afresh.
    static_cast<void>(ReadPositions(m_machine));
    SendUnitMode(m_machine, m_settings.ItemIndex("radiounit"));
    ReadAuxReport(m_machine);
    m_view.ScrollNaciagPosition = Round(PlotState.TensionSet / 10.0);
    m_view.LabelNaciag = QString::number(m_view.ScrollNaciagPosition);
    m_view.LabelNaciagRzeczywisty = Fixed(PlotState.TensionSet / 10.0, 5, 1);
    SetCurrentScale();
    if (IsTwoWireModel()) {
        if (WireSelection().KeySide) {
            SendPowerOutput(m_machine, 5);
        } else {
            SetWireBox(WireBox::Side, false);
            SendPowerOutput(m_machine, m_settings.ItemIndex("PowerOutput") != 0 ? 1 : 0);
        }
    }
    VScrollChange(m_view.VScrollPosition);
    SetTimerEnabled(true);
}

// ---- wire boxes ----

void ControlPanel::SetWireBox(WireBox box, bool checked)
{
    TsterModel& wires = WireSelection();
    bool& state = box == WireBox::Front ? wires.KeyFront : box == WireBox::Back ? wires.KeyBack : wires.KeySide;
    if (state == checked)
        return;
    state = checked;
    Changed();
    switch (box) {
    case WireBox::Front: KeyFrontClick(); break;
    case WireBox::Back: KeyBackClick(); break;
    case WireBox::Side: KeySideClick(); break;
    }
}

void ControlPanel::KeyFrontClick()
{
    if (!IsTwoWireModel())
        return;
    if (WireSelection().KeyFront) {
        SetWireBox(WireBox::Side, false);
        if (ArmsTogether())
            SetWireBox(WireBox::Back, true);
        SendPowerOutput(m_machine, m_settings.ItemIndex("PowerOutput") != 0 ? 1 : 0);
    } else if (ArmsTogether()) {
        SetWireBox(WireBox::Back, false);
    }
    SetCurrentScale();
}

void ControlPanel::KeyBackClick()
{
    if (!IsTwoWireModel())
        return;
    if (WireSelection().KeyBack) {
        SetWireBox(WireBox::Side, false);
        if (ArmsTogether())
            SetWireBox(WireBox::Front, true);
        SendPowerOutput(m_machine, 0);
    } else if (ArmsTogether()) {
        SetWireBox(WireBox::Front, false);
    }
    SetCurrentScale();
}

void ControlPanel::KeySideClick()
{
    if (!IsTwoWireModel())
        return;
    if (WireSelection().KeySide) {
        SetWireBox(WireBox::Front, false);
        SetWireBox(WireBox::Back, false);
        SendPowerOutput(m_machine, 5);
    }
    SetCurrentScale();
}

void ControlPanel::SetCurrentScale()
{
    const int output = m_settings.ItemIndex("PowerOutput");
    if (output == 0)
        m_currentMax = OutputMaxCurrent[HasSideCurrentLimit() && WireSelection().KeySide ? 1 : 0];
    else if (output == 1)
        m_currentMax = OutputMaxCurrent[2];
    m_view.PScrollMax = m_currentMax * 10;
    m_view.PScrollPosition = std::min(m_view.PScrollPosition, m_view.PScrollMax);
}

// ---- the timer ----

void ControlPanel::SetTimerEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled && m_timerId) {
        m_machine.Clock().Cancel(m_timerId);
        m_timerId = 0;
    }
    if (enabled && !m_timerId && !m_inTick)
        ScheduleNext(m_interval);
}

void ControlPanel::ScheduleNext(int ms)
{
    m_timerId = m_machine.Clock().Schedule(ms, [this] {
        m_timerId = 0;
        Tick();
    });
}

void ControlPanel::Tick()
{
    if (m_inTick)
        return;
    // Inside another tick, a planner run or a machine wait: nothing of the
    // machine now.
    if (m_machine.TicksHeldOff()) {
        if (m_enabled && !m_timerId)
            ScheduleNext(kHeldOffMs);
        return;
    }
    const Machine::TickMark mark(m_machine);
    m_inTick = true;
    if (ReadStatus(m_machine)) {
        LinkPart();
    } else {
        m_interval = kNoLinkIntervalMs;
        m_keysSeen = 0;
        // The whole file may be in the controller already: nothing else
        // would pause the cut.
        if (JobRunning)
            static_cast<void>(m_operations->CutLinkLost());
    }
    const bool active = m_window.active && m_window.active();
    if (active && !(m_window.inputPending && m_window.inputPending()))
        DisplayPart();
    else if (!active)
        EndJoystickJog();  // a panel that is not shown no longer steers
    // A restart that fell due while this tick ran.
    if (m_repeatDue) {
        m_repeatDue = false;
        if (m_hooks.Start1Click)
            m_hooks.Start1Click();
    }
    m_inTick = false;
    if (m_enabled && !m_timerId)
        ScheduleNext(m_interval);
}

void ControlPanel::LinkPart()
{
    m_interval = kLinkIntervalMs;
    const tplotstate& s = PlotState;
    m_view.cbSbRun = s.Moving();
    m_view.cbSbWork = s.JobWorking();
    m_view.cbSbZadanieStartu = s.StartKey();
    m_view.cbSbZadanieStopu = s.StopKey();
    m_view.cbSbPower = s.HeaterOn();
    m_view.lSelPwr = ChannelText(s.HeaterChannel);
    m_view.lSelSpeed = SlotText(s.SpeedSlot);
    m_view.lValPwr = QString::number(s.HeaterPower);

    if (JobRunning) {
        // Unread, the job is not known to have ended, nor a key pressed.
        if (!ReadStatus(m_machine)) {
            static_cast<void>(m_operations->CutLinkLost());
            return;
        }
        if (!PlotState.JobWorking())
            EndOfJob();
    }
    MachineKeys();
}

void ControlPanel::EndOfJob()
{
    // Cleared first: a tick inside a box of the actions below finds no job.
    JobRunning = false;
    // Taken whatever ends: a side cut follows only the transverse front cut
    // that armed it.
    const bool sideCut = m_machine.TakeSideCut();
    const int mode = m_settings.Mode();
    if (IsTwoWireModel() && ((mode == 0 && m_settings.Checked("MoveAfter")) || mode == 5)) {
        if (WireSelection().KeySide) {
            // Back to the front and back wires after the side wire's job.
            SetWireBox(WireBox::Front, true);
            SetWireBox(WireBox::Back, true);
        } else if (mode == 5) {
            if (sideCut && m_hooks.ContinueSideCut)
                m_hooks.ContinueSideCut();
        } else {
            SetWireBox(WireBox::Side, true);
        }
    }
    if (HasSwitch("REPEAT")) {
        CancelRepeat();
        m_repeatTimer = m_machine.Clock().Schedule(kRepeatDelayMs, [this] {
            m_repeatTimer = 0;
            RepeatDue();
        });
    }
    if (m_hooks.UpdateMenuItems)
        m_hooks.UpdateMenuItems();
}

void ControlPanel::RepeatDue()
{
    // Not inside a tick nor a wait taking input: the next tick starts the job.
    if (m_inTick || m_machine.TicksHeldOff()) {
        m_repeatDue = true;
        return;
    }
    if (m_hooks.Start1Click)
        m_hooks.Start1Click();
}

void ControlPanel::CancelRepeat()
{
    if (m_repeatTimer)
        m_machine.Clock().Cancel(m_repeatTimer);
    m_repeatTimer = 0;
    m_repeatDue = false;
}

void ControlPanel::MachineKeys()
{
    // All three on the status as it was read, before any of them acts.
    const uint32_t status = PlotState.StatusFlags;
    const uint32_t keys = status & (kStartKey | kStopKey | kContinueKey);
    const uint32_t pressed = keys & ~m_keysSeen;
    m_keysSeen = keys;
    const bool paused = status & 0x40u;
    if (!(keys & kContinueKey))
        m_continueIgnored = false;
    else if (!paused)
        m_continueIgnored = true;
    const bool staleContinue = (keys & kContinueKey) && paused && m_continueIgnored;
    // The press ignored while the cut ran is still latched: "Y" clears it,
    // so the operator's own press after the pause is a new one. Until the
    // "Y" has gone out, the latched press is no press: it is tried again,
    // quietly, at the next tick.
    if (staleContinue && WriteCommand(m_machine, "Y") == 0)
        m_continueIgnored = false;
    if (pressed & kStartKey) {
        StopMotion(m_machine);
        if (m_hooks.Start1Click)
            m_hooks.Start1Click();
    }
    if (pressed & kStopKey) {
        CancelRepeat();
        StopMotion(m_machine);
        if (m_hooks.Wstrzymaj1Click)
            m_hooks.Wstrzymaj1Click();
    }
    if ((pressed & kContinueKey) && paused && !staleContinue) {
        StopMotion(m_machine);
        if (m_hooks.Kontynuacja1Click)
            m_hooks.Kontynuacja1Click();
    }
}

void ControlPanel::DisplayPart()
{
    if (!ReadStatus(m_machine) || !ReadPositions(m_machine)) {
        // A lost link closes the panel; the timer goes on slowly.
        if (m_window.close)
            m_window.close();
        return;
    }
    ReadSpeedSlots(m_machine);
    (void)ReadHeaterState(m_machine);  // for the display only
    const tplotstate& s = PlotState;
    m_view.heaterOn = s.HeaterOn();
    m_view.stan_drutu = s.WireBroken() ? Tr("Control", "zerwanyDrut") : QString();
    if (s.SlotSpeeds[4] != 0) {
        m_view.chwilowa = std::clamp<int>(JogSpeedToPeriod(s.SlotSpeeds[4]), 1, 3000);
        m_view.chwilowaLabel = QString::number(JogSpeedToPeriod(s.SlotSpeeds[4]));
    }
    const char* captionKey = s.SpeedSlot == 0   ? "szybkoscPrzestawcza"
                             : s.SpeedSlot == 1 ? "szybkoscRobocza"
                             : s.SpeedSlot <= 3 ? "szybkosc"
                                                : nullptr;
    if (captionKey)
        m_view.SzybkoscCaption = Tr("Control", captionKey) + " [ " + UnitName(CurrentLengthUnit) + "/min ]";
    m_view.VScrollMax = MaxTravelSpeed;
    if (s.SelectedSpeed != 0)
        m_view.VScrollPosition = JogSpeedToPeriod(s.SelectedSpeed);
    m_view.VScrollPosition = std::clamp(m_view.VScrollPosition, 20, std::max(20, m_view.VScrollMax));
    m_view.PScrollPosition = std::min<int>(s.HeaterPower, m_view.PScrollMax);
    // The sliders' labels follow the values the machine gave them.
    SpeedSliderText(CurrentLengthUnit, m_view.VScrollPosition, m_view.speedlabel, m_view.VScrollSmallStep,
                    m_view.VScrollLargeStep);
    m_view.PowerLabel = Fixed(m_view.PScrollPosition / 10.0, 15, 1);

    const double current = s.MeasuredCurrent / 1000.0;
    m_view.lRealPower = Fixed(current, 3, 1);
    m_view.gRealPower2 = Round(s.MeasuredCurrent / 100.0);
    // Both in tenths of an ampere: the set current is whole tenths already.
    m_view.gRealPowerRed = m_view.PScrollPosition > RoundEven(current * 10);

    ReadAuxReport(m_machine);
    m_view.LabelNaciag = QString::number(Round(PlotState.TensionSet / 10.0));
    m_view.LabelNaciagRzeczywisty = Fixed(PlotState.TensionMeasured / 10.0, 5, 1);
    m_view.wms = Fixed(s.TableAngle, 8, 2);
    m_view.wmw = Fixed(s.SpindleAngle, 8, 2);
    const std::pair<QString*, int32_t> positions[] = {{&m_view.wmxf, s.FrontX}, {&m_view.wmyf, s.FrontY},
                                                      {&m_view.wmxb, s.BackX},  {&m_view.wmyb, s.BackY},
                                                      {&m_view.wmxp, s.SideX},  {&m_view.wmyp, s.SideY}};
    for (const auto& [label, value] : positions) {
        QString text;
        if (PositionText(CurrentLengthUnit, value, text))
            *label = text;
    }

    // The wire selection follows a channel change made at the machine.
    if (FirmwareAtLeast22) {
        const TsterModel& wires = WireSelection();
        if (s.HeaterChannel == 2 && wires.KeySide) {
            SetWireBox(WireBox::Side, false);
            SetWireBox(WireBox::Front, true);
            SetWireBox(WireBox::Back, true);
        } else if (s.HeaterChannel == 4 && (wires.KeyFront || wires.KeyBack)) {
            SetWireBox(WireBox::Side, true);
            SetWireBox(WireBox::Front, false);
            SetWireBox(WireBox::Back, false);
        }
    }

    const bool idle = !PlotState.JobWorking();
    const bool xAllowed = !(WireSelection().KeySide && m_noXSide);
    m_view.idleControlsEnabled = idle;
    m_view.xButtonsEnabled = idle && xAllowed;
    if (!ModelIs("Ve"))
        m_view.sbWyrownajBackToFrontEnabled = idle;
    m_view.UsbError = QString::number(UsbReadFailures) + "/" + QString::number(UsbWriteRetries);
    if (idle && m_panelActive)
        ReadJoystick();
    else if (!m_panelActive)
        EndJoystickJog();

    Changed();
    if (SerialRepeatActive)
        SerialRepetition();
}

void ControlPanel::SerialRepetition()
{
    // A start that waits in its dialogs owns the wires.
    if (m_machine.StartInProgress())
        return;
    if (!ReadStatus(m_machine) || PlotState.JobWorking())
        return;
    if (SerialRepeats < 1) {
        SerialRepeatActive = false;
        return;
    }
    --SerialRepeats;
    *m_offsets.y -= SerialShiftDown;
    // A repetition that would lower the wires onto the side wire ends the
    // series: told once, nothing sent. So does a position that can't be read.
    if (!ReadPositionsForMove(m_machine) || !WiresStayAboveSideWire(m_machine, *m_offsets.y, *m_offsets.y, std::nullopt)) {
        SerialRepeatActive = false;
        return;
    }
    // A refused go-to leaves the wires elsewhere: the job is not run from
    // there, and the series ends, told once.
    if (!SendCommand(m_machine, CuttingSpeedCommand()) || !SendCommand(m_machine, Bytes({'F', 1})) ||
        !m_operations->gotopoint(true, 1, *m_offsets.x, *m_offsets.x, *m_offsets.y, *m_offsets.y, RepeatReturnX, 0)) {
        SerialRepeatActive = false;
        return;
    }
    (void)SendCommand(m_machine, "G");
}

// ---- the operator's controls ----

void SpeedSliderText(int32_t unit, int position, QString& label, int& smallStep, int& largeStep)
{
    auto roundTo = [](int x, int n) { return (x + n / 2) / n * n; };
    auto oneDecimal = [](double v) { return FloatToStrF(v, ffFixed, 15, 1); };
    if (unit == 1) {
        int v = Round(MmToUnit(1, position) * 10);
        if (v <= 99) {
            smallStep = 3, largeStep = 25;
        } else {
            v = roundTo(v, 10);
            smallStep = 25, largeStep = 254;
        }
        label = oneDecimal(v / 10.0);
    } else if (unit == 2) {
        int v = Round(MmToUnit(2, position) * 100);
        if (v > 99)
            v = roundTo(v, 10);
        smallStep = 30, largeStep = 305;
        label = oneDecimal(v / 100.0);
    } else {
        struct Row {
            int below, roundTo, smallStep, largeStep;
        };
        static constexpr Row rows[] = {
            {100, 1, 1, 10}, {1000, 10, 10, 100}, {5000, 100, 100, 500}, {10000, 500, 500, 1000}};
        Row row{0, 1000, 1000, 2000};
        for (const Row& r : rows)
            if (position < r.below) {
                row = r;
                break;
            }
        smallStep = row.smallStep, largeStep = row.largeStep;
        label = QString::number(roundTo(position, row.roundTo));
    }
}

void ControlPanel::VScrollChange(int position)
{
    m_view.VScrollPosition = std::clamp(position, 20, std::max(20, m_view.VScrollMax));
    SpeedSliderText(CurrentLengthUnit, m_view.VScrollPosition, m_view.speedlabel, m_view.VScrollSmallStep,
                    m_view.VScrollLargeStep);
    // Without a machine the speed goes out at the next activation, not as a
    // box for every step of the slider.
    if (m_machine.Connected())
        SetJogSpeed(m_machine, CutSpeedToPeriod(static_cast<uint16_t>(m_view.VScrollPosition)));
    Changed();
}

void ControlPanel::PScrollChange(int position)
{
    m_view.PScrollPosition = std::clamp(position, 0, m_view.PScrollMax);
    m_view.PowerLabel = Fixed(m_view.PScrollPosition / 10.0, 15, 1);
    Changed();
    // The power goes to the channel the controller heats now; unread, nothing
    // is sent (the panel's poll tells a lost link).
    if (!m_machine.Connected() || !ReadHeaterState(m_machine))
        return;
    PlotState.HeaterPower = static_cast<uint16_t>(m_view.PScrollPosition);
    SendHeaterPower(m_machine);
}

void ControlPanel::NaciagEditExit(int position)
{
    m_view.ScrollNaciagPosition = position;
    if (m_machine.Connected())
        SendWireTension(m_machine, Round(position * 10.0));
}

void ControlPanel::k_zalwylClick()
{
    // The button stands disabled while a job works; its key obeys that too.
    if (!ReadStatusOrRefuse(m_machine) || PlotState.JobWorking())
        return;
    FormPaint();
    // The toggle goes by whether the heater is on: read, not guessed.
    if (!ReadStatusOrRefuse(m_machine))
        return;
    HeaterToggle(m_machine);
    if (ReadStatus(m_machine))
        FormPaint();
}

void ControlPanel::FormPaint()
{
    m_view.heaterOn = PlotState.HeaterOn();
    Changed();
}

void ControlPanel::Deactivate()
{
    // Unread, the positions recorded before stay; the box of the lost link
    // comes from what needs them.
    if (JogMovedFlag)
        static_cast<void>(m_operations->RecordJogStop());
    if (m_machine.Connected())
        SendUnitMode(m_machine, m_settings.ItemIndex("radiounit"));
}

TsterLayout ControlPanel::Layout() const
{
    TsterLayout layout;
    const bool family = ModelIs("Ro") || IsTwoWireModel();
    layout.alignButton = ModelIs("Ro") || SupportsIndependentCut();
    layout.wireBoxes = family || HasSwitch("TEST");
    layout.backPanel = SupportsIndependentCut();
    layout.tensionPanel = SupportsIndependentCut() || ModelIs("Qa");
    layout.spindleGroup = SideAxesRemapped;
    layout.sideX = !m_noXSide;
    layout.tensionMax = HasSwitch("doubleTension") ? 200 : 100;
    layout.touchPanel = HasSwitch("touchPanel");
    layout.armVersion = "ARM " + QString::number(FirmwareMajor) + "." + QString::number(FirmwareMinor);
    return layout;
}

// ---- the joystick ----

void ControlPanel::PanelDeactivated()
{
    m_panelActive = false;
    EndJoystickJog();
}

void ControlPanel::EndJoystickJog()
{
    if (m_joyLastDirection == 0)
        return;
    m_joyLastDirection = m_joyDirection = 0;
    // A job started meanwhile stopped the jog already; "Y" would halt the job.
    if (!ReadStatus(m_machine)) {
        StopJogUnread(m_machine);
        return;
    }
    if (PlotState.JobWorking())
        return;
    StopMotion(m_machine);
    // Unread, the positions stay marked unknown and a jog reads them afresh.
    if (WaitWhileBusy(m_machine))
        static_cast<void>(ReadPositions(m_machine));
}

void ControlPanel::ReadJoystick()
{
    JoystickPosition j;
    if (!m_joystick || !m_joystick->Read(j)) {
        // Unplugged mid-jog: the wire must not run on to the end of travel.
        EndJoystickJog();
        return;
    }
    // A dead band of 5000 around the centre; later rules override earlier ones.
    constexpr uint32_t kCentre = 32768, kBand = 5000;
    int32_t code = 0;
    if (j.x > kCentre + kBand)
        code = 1;
    else if (j.x < kCentre - kBand)
        code = -1;
    if (j.y > kCentre + kBand)
        code -= 4;
    else if (j.y < kCentre - kBand)
        code += 4;
    if (j.buttons & 8u)
        code = 8;
    if (j.buttons & 4u)
        code = -8;
    if (j.buttons & 1u)
        code = 16;
    m_joyDirection = code;
    if (code != 0) {
        // The further the stick, the faster: the speed slider follows it.
        const double deflection = std::max(std::abs(static_cast<double>(j.x) - kCentre),
                                           std::abs(static_cast<double>(j.y) - kCentre));
        const int position =
            std::clamp(Round(deflection / kCentre * MaxTravelSpeed), 20, std::max(20, static_cast<int>(MaxTravelSpeed)));
        if (position != m_view.VScrollPosition)
            VScrollChange(position);
    }
    if (code == m_joyLastDirection)
        return;
    // The jog's travel is measured from where the wires are read to stand.
    // Refused once for this stick position, not at every tick.
    m_joyLastDirection = code;
    if (!ReadStatus(m_machine)) {
        StopJogUnread(m_machine);
        RefuseLostLink(m_machine);
        return;
    }
    if (PlotState.Moving() || code == 0) {
        StopMotion(m_machine);
        if (!WaitWhileBusyOrRefuse(m_machine))
            return;
    }
    if (!ReadPositionsForMove(m_machine))
        return;
    int16_t key = 0;
    switch (code) {
    case 1: key = 102; break;    // keypad 6
    case 5: key = 105; break;    // keypad 9
    case 4: key = 104; break;    // keypad 8
    case 3: key = 103; break;    // keypad 7
    case -1: key = 100; break;   // keypad 4
    case -5: key = 97; break;    // keypad 1
    case -4: key = 98; break;    // keypad 2
    case -3: key = 99; break;    // keypad 3
    case 8: key = 33; break;     // Page Up
    case -8: key = 34; break;    // Page Down
    case 16:
        if (m_heaterClick)
            m_heaterClick();
        break;
    default: break;
    }
    if (key != 0)
        JogByKey(m_machine, m_settings, key, true, true);
}

void ControlPanel::sbWyrownajBackToFrontClick()
{
    if (!ModelIs("Ro") && !SupportsIndependentCut())
        return;
    // The back wire goes where the front one is read to stand, never to the
    // last place known.
    if (!ReadPositionsForMove(m_machine))
        return;
    const double x = PlotState.FrontX / 100.0, y = PlotState.FrontY / 100.0;
    MoveWiresTo(m_machine, m_settings, false, true, false, 0.0, MmToUnit(CurrentLengthUnit, y),
                MmToUnit(CurrentLengthUnit, x));
}
