#include "machine/PanelInput.h"

#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "machine/CommandLayer.h"
#include "machine/ControlPanel.h"
#include "machine/JogMoves.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"
#include "machine/WireSelection.h"

#include <Qt>
#include <algorithm>

int PanelKeyCode(int qtKey, bool keypad)
{
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return PanelKey::Pad0 + (qtKey - Qt::Key_0);
        switch (qtKey) {
        case Qt::Key_Asterisk: return 106;
        case Qt::Key_Plus: return PanelKey::PadPlus;
        case Qt::Key_Minus: return PanelKey::PadMinus;
        case Qt::Key_Period:
        case Qt::Key_Comma: return 110;
        case Qt::Key_Slash: return 111;
        default: break;  // with Num Lock off the keypad gives the keys below
        }
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return 48 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 65 + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Clear: return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return PanelKey::Ctrl;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return PanelKey::PageUp;
    case Qt::Key_PageDown: return PanelKey::PageDown;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return PanelKey::Home;
    case Qt::Key_Left: return PanelKey::Left;
    case Qt::Key_Up: return PanelKey::Up;
    case Qt::Key_Right: return PanelKey::Right;
    case Qt::Key_Down: return PanelKey::Down;
    case Qt::Key_Insert: return PanelKey::Insert;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Semicolon: return 186;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return 187;
    case Qt::Key_Comma: return PanelKey::Comma;
    case Qt::Key_Minus: return 189;
    case Qt::Key_Period: return PanelKey::FullStop;
    case Qt::Key_Slash: return 191;
    default: return 0;
    }
}

namespace {
// The arrows and the keypad's digits but 0 and 5: they move the carriages
// (or the side carriage when it is selected).
bool CarriageKey(int key)
{
    return (key >= PanelKey::Left && key <= PanelKey::Down) ||
           (key >= PanelKey::Pad1 && key <= PanelKey::Pad9 && key != PanelKey::Pad5);
}

bool RotaryKey(int key) { return key == PanelKey::PageUp || key == PanelKey::PageDown; }

bool JogKey(int key) { return CarriageKey(key) || RotaryKey(key); }

bool PanelOwnKey(int key, KeyShift shift)
{
    switch (key) {
    case PanelKey::Home:
    case PanelKey::Insert:
    case PanelKey::Pad0:
    case PanelKey::Pad5:
    case PanelKey::PadPlus:
    case PanelKey::PadMinus: return true;
    case PanelKey::E: return shift.alt;
    case PanelKey::F12: return shift.ctrl && shift.shift && shift.alt;
    default: return JogKey(key);
    }
}
}  // namespace

PanelInput::PanelInput(Machine& machine, const TDlgkonfigModel& settings, ControlPanel& panel)
    : m_machine(machine), m_settings(settings), m_panel(panel)
{
}

PanelInput::~PanelInput()
{
    if (m_checkTimer)
        m_machine.Clock().Cancel(m_checkTimer);
}

bool PanelInput::KeyDown(int key, KeyShift shift, bool autoRepeat)
{
    if (key == PanelKey::Ctrl) {
        if (!m_ctrlHeld)
            SlowSpeed(true);
        return false;
    }
    const bool own = PanelOwnKey(key, shift);
    // A held jog key repeats: the jog it started goes on. A held heater,
    // homing or panel key acts once; only the speed keys step on.
    const bool steps = key == PanelKey::PadPlus || key == PanelKey::PadMinus;
    if (m_jogging || (autoRepeat && !steps))
        return own;
    if (RotaryKey(key)) {
        StartJog(static_cast<int16_t>(key), false);
    } else if (CarriageKey(key)) {
        StartJog(static_cast<int16_t>(key), true);
    } else {
        switch (key) {
        case PanelKey::Home: m_panel.Operations().bazujClick(); break;
        case PanelKey::Insert:
        case PanelKey::Pad0: m_panel.k_zalwylClick(); break;
        case PanelKey::E:
            if (shift.alt && m_window.toggleUpgradePanel)
                m_window.toggleUpgradePanel();
            break;
        case PanelKey::Pad5:
            if (ReadStatus(m_machine) && !PlotState.JobWorking())
                StopMotion(m_machine);
            break;
        case PanelKey::PadPlus: SpeedStep(+1); break;
        case PanelKey::PadMinus: SpeedStep(-1); break;
        case PanelKey::F12:
            if (shift.ctrl && shift.shift && shift.alt && m_window.toggleServicePanel)
                m_window.toggleServicePanel();
            break;
        default: break;
        }
    }
    return own;
}

bool PanelInput::KeyUp(int key, KeyShift shift, bool autoRepeat)
{
    // The key is still held.
    if (autoRepeat)
        return key != PanelKey::Ctrl && PanelOwnKey(key, shift);
    if (key == PanelKey::Ctrl) {
        if (m_ctrlHeld)
            SlowSpeed(false);
    } else if (JogKey(key)) {
        EndJog();
    }
    ClearFocus();
    return key != PanelKey::Ctrl && PanelOwnKey(key, shift);
}

void PanelInput::ButtonDown(JogButton button, bool leftAlone)
{
    if (!leftAlone || !m_panel.Operations().MoznaRuszac())
        return;
    struct Code {
        int16_t key;
        bool sideAllowed;
    };
    static constexpr Code codes[] = {{103, true}, {104, true},  {105, true},  {100, true},
                                     {102, true}, {97, true},   {98, true},   {99, true},
                                     {33, false}, {34, false},  {188, false}, {190, false}};
    const Code code = codes[static_cast<int>(button)];
    StartJog(code.key, code.sideAllowed);
}

void PanelInput::ButtonUp(JogButton)
{
    EndJog();
    m_panel.FormPaint();
    ClearFocus();
}

void PanelInput::FocusLost()
{
    EndJog();
    if (m_ctrlHeld)
        SlowSpeed(false);
}

void PanelInput::Activated()
{
    EndJog();
    m_ctrlHeld = false;
    m_savedSpeedPosition = m_panel.View().VScrollPosition;
}

void PanelInput::keyprzesunClick()
{
    if (m_window.showMoveWindow)
        m_window.showMoveWindow();
}

void PanelInput::BaseClick()
{
    if (!ReadStatusOrRefuse(m_machine))
        return;
    if (!PlotState.Homed()) {
        ShowMessageBox(Tr("Control", "wykonajBazowanie"), true);
        return;
    }
    if (m_window.showBasePoints)
        m_window.showBasePoints();
}

void PanelInput::StartJog(int16_t key, bool sideAllowed)
{
    if (m_jogging)
        return;
    // A jog now would wait for the whole cut and then move the wire in the
    // middle of the job: no jog unless the machine is read to work no job.
    if (!ReadStatusOrRefuse(m_machine) || PlotState.JobWorking())
        return;
    ClearFocus();
    const uint64_t mark = m_machine.Input().ReleasesTaken();
    const TsterModel& wires = WireSelection();
    if (sideAllowed && IsTwoWireModel() && wires.KeySide)
        JogSideByKey(m_machine, m_settings, key);
    else
        JogByKey(m_machine, m_settings, key, wires.KeyFront, wires.KeyBack);
    if (!PlotState.StatusKnown || !m_machine.Connected())
        return;  // nothing moves; the refusal has said why
    m_jogging = true;
    m_releaseMark = mark;
    // The jog's own wait for the machine to stand may have dropped the release.
    CheckRelease();
}

void PanelInput::CheckRelease()
{
    if (!m_jogging)
        return;
    if (m_machine.Input().ReleasesTaken() != m_releaseMark && !m_machine.TicksHeldOff()) {
        EndJog();
        return;
    }
    if (!m_checkTimer)
        m_checkTimer = m_machine.Clock().Schedule(kReleaseCheckMs, [this] {
            m_checkTimer = 0;
            CheckRelease();
        });
}

void PanelInput::EndJog()
{
    if (!m_jogging)
        return;
    m_jogging = false;
    if (m_checkTimer)
        m_machine.Clock().Cancel(m_checkTimer);
    m_checkTimer = 0;
    // A job that took the machine over meanwhile was started after its own
    // stop of the motion; a "Y" now would stop the job.
    if (!ReadStatus(m_machine)) {
        StopJogUnread(m_machine);
        RefuseLostLink(m_machine);
        return;
    }
    if (PlotState.JobWorking())
        return;
    static_cast<void>(m_panel.Operations().StopJog());
}

void PanelInput::SpeedStep(int sign)
{
    int position = m_panel.View().VScrollPosition;
    const int step = position >= 1000 ? 100 : position >= 100 ? 10 : position >= 10 ? 1 : 0;
    position = sign > 0 ? std::min(position + step, static_cast<int>(MaxTravelSpeed)) : std::max(position - step, 10);
    m_panel.VScrollChange(position);
}

void PanelInput::SlowSpeed(bool slow)
{
    m_ctrlHeld = slow;
    if (!slow) {
        // The slider too: while Ctrl was held it showed the slow speed.
        m_panel.VScrollChange(m_savedSpeedPosition);
        return;
    }
    m_savedSpeedPosition = m_panel.View().VScrollPosition;
    if (m_machine.Connected())
        SetJogSpeed(m_machine, CutSpeedToPeriod(static_cast<uint16_t>(std::max(0, m_savedSpeedPosition / 10))));
}

void PanelInput::ClearFocus()
{
    if (m_window.clearFocus)
        m_window.clearFocus();
}
