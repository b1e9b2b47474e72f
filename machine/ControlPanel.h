#pragma once
#include "app/Settings.h"
#include "machine/Joystick.h"
#include "machine/Machine.h"
#include "machine/MachineOperations.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

// What the panel's status timer asks of the main window. A missing handler
// leaves its action out.
struct PanelHooks {
    // The machine's START, STOP and CONTINUE keys, and the restart of "REPEAT".
    std::function<void()> Start1Click;
    std::function<void()> Wstrzymaj1Click;
    std::function<void()> Kontynuacja1Click;
    // Once at the end of every job.
    std::function<void()> UpdateMenuItems;
    // Work mode 5: the side cut of the same job, once the front cut ended.
    std::function<void()> ContinueSideCut;
};

// What the panel's window needs of itself: whether it is the active window,
// whether operator input waits for it (the refresh then gives way), and
// closing it when the link is lost while it shows.
struct PanelWindow {
    std::function<bool()> active;
    std::function<bool()> inputPending;
    std::function<void()> close;
};

// The cut origin shift the serial repetitions move down; the cut start owns it.
struct AxisOffsetRefs {
    double* x = nullptr;
    double* y = nullptr;
};

// What the panel shows; the status timer fills it and the window displays it.
struct TsterView {
    // Diagnostics: motion running, job working, START and STOP requested, heater on.
    bool cbSbRun = false, cbSbWork = false, cbSbZadanieStartu = false, cbSbZadanieStopu = false,
         cbSbPower = false;
    QString lSelPwr, lSelSpeed, lValPwr;
    // `k_zalwyl` shown pressed.
    bool heaterOn = false;
    QString stan_drutu;
    int chwilowa = 1;
    QString chwilowaLabel;
    QString SzybkoscCaption;
    int VScrollMax = 3000, VScrollPosition = 100;
    int PScrollMax = 40, PScrollPosition = 0;
    QString lRealPower;
    int gRealPower2 = 0;
    bool gRealPowerRed = false;
    QString LabelNaciag, LabelNaciagRzeczywisty;
    QString wms, wmw;
    QString wmxf, wmyf, wmxb, wmyb, wmxp, wmyp;
    // `ku`, `kd`, `kwu`, `kwd`, `ksl`, `ksr`, `k_zalwyl`, `Bazuj`, `keyprzesun`
    // and the three wire boxes.
    bool idleControlsEnabled = true;
    // The buttons that move X: `kl`, `kr`, `kul`, `kur`, `kdl`, `kdr`.
    bool xButtonsEnabled = true;
    bool sbWyrownajBackToFrontEnabled = true;
    QString UsbError;
    // Set at each activation: the position group's caption with the unit,
    // the table group's caption on models with remapped side axes, and the
    // tension slider.
    QString GroupBox1Caption, GroupStolikCaption;
    int ScrollNaciagPosition = 0;
    // The speed slider's label in the unit per minute and its small and large
    // steps; the heater current's label (A).
    QString speedlabel;
    int VScrollSmallStep = 1, VScrollLargeStep = 10;
    QString PowerLabel;
};

// What the panel shows of itself for the attached model and the switches.
struct TsterLayout {
    // `sbWyrownajBackToFront`: model Ro and the models with independent cuts.
    bool alignButton = false;
    // The front and back boxes with their labels and the side panel: the
    // two-wire family, Ro, or "TEST".
    bool wireBoxes = false;
    // The back carriage's coordinates: models with independent cuts.
    bool backPanel = false;
    // The wire tension: models with independent cuts and Qa.
    bool tensionPanel = false;
    // The spindle group, on the model with remapped side axes.
    bool spindleGroup = false;
    // The side X coordinate: not with "noXside".
    bool sideX = true;
    int tensionMax = 100;
    bool touchPanel = false;
    QString armVersion;
};

// The speed slider's label and steps for a speed in mm/min shown in `unit`.
void SpeedSliderText(int32_t unit, int position, QString& label, int& smallStep, int& largeStep);

// The manual control panel without its window: the wire boxes, the machine
// operations and the status timer, which watches the machine for the whole
// program (the end of a job, the machine's keys, the serial repetitions) and
// refreshes the panel while it is the active window.
//
// The timer runs on the machine's clock from `Create` on, with the machine or
// without it: without a link it only slows down. A tick is scheduled only when
// the one before has returned, so no tick starts inside another, not even
// inside a box that a tick shows.
class ControlPanel {
public:
    static constexpr int kLinkIntervalMs = 100;
    static constexpr int kNoLinkIntervalMs = 3000;
    static constexpr int kRepeatDelayMs = 10000;
    // A tick that falls inside a wait taking input comes back after this.
    static constexpr int kHeldOffMs = 20;

    using WireBox = OperationHooks::WireBox;

    ControlPanel(Machine& machine, const TDlgkonfigModel& settings, bool noXSide, AxisOffsetRefs offsets = {});
    ~ControlPanel();
    ControlPanel(const ControlPanel&) = delete;
    ControlPanel& operator=(const ControlPanel&) = delete;

    void SetHooks(PanelHooks hooks) { m_hooks = std::move(hooks); }
    void SetWindow(PanelWindow window) { m_window = std::move(window); }
    // Told whenever a wire box or the view changed, so that the window shows it.
    void SetChanged(std::function<void()> changed) { m_changed = std::move(changed); }
    // The joystick the timer reads while the panel is the active window.
    void SetJoystick(std::unique_ptr<Joystick> joystick) { m_joystick = std::move(joystick); }
    // The heater button's click (`k_zalwyl`), which the joystick's first
    // button stands for; without it that button does nothing.
    void SetHeaterClick(std::function<void()> click) { m_heaterClick = std::move(click); }

    MachineOperations& Operations() { return *m_operations; }

    // The panel's creation with the machine attached as it is: the
    // identification, the heater output and the unit mode for a machine
    // that answers ("brakPlotera" when none does), the default wires on
    // two-wire models, and the status timer started either way.
    void Create();

    // The panel's activation: with a link, the machine is read into the view,
    // the heater output (and, with no job working, the heater off), the unit
    // mode and the jog speed are sent, and the timer runs. Without a link it
    // only shows the captions; the timer goes on all the same. Nothing of the
    // machine while ticks are held off (the next tick shows the machine).
    void Activate();
    // The panel is no longer the active window (deactivated, hidden or
    // closed): a joystick jog ends with "Y", and the joystick is not read
    // until the panel is activated again.
    void PanelDeactivated();

    // The back carriage to the front carriage's X and Y, on the models whose
    // back carriage moves on its own.
    void sbWyrownajBackToFrontClick();

    // A wire box set from code, which runs its click handler as a click would
    // (only when the box changes).
    void SetWireBox(WireBox box, bool checked);
    // Click handlers of the boxes, on the state the box has now.
    void KeyFrontClick();
    void KeyBackClick();
    void KeySideClick();
    // The heater current's scale by the power output and the wires.
    void SetCurrentScale();

    // The speed slider moved, or a key set it: the jog speed of the slot the
    // controller runs, which during a cut is the cutting speed.
    void VScrollChange(int position);
    // The heater current slider (tenths of an ampere).
    void PScrollChange(int position);
    // The wire tension slider left.
    void NaciagEditExit(int position);
    // The heater button: on when off, off when on; not while a job works.
    void k_zalwylClick();
    // The heater button shows the heater as last read.
    void FormPaint();
    // The panel no longer the active window.
    void Deactivate();
    TsterLayout Layout() const;

    // One tick of the status timer (the clock calls it; tests may too).
    void Tick();
    bool TimerEnabled() const { return m_enabled; }
    // Stops or restarts the timer (homing pauses it).
    void SetTimerEnabled(bool enabled);
    int Interval() const { return m_interval; }

    // The restart of "REPEAT" is waiting.
    bool RepeatPending() const { return m_repeatTimer != 0 || m_repeatDue; }
    // STOP during the wait: the job is not restarted.
    void CancelRepeat();

    const TsterView& View() const { return m_view; }

private:
    void LinkPart();
    void EndOfJob();
    void MachineKeys();
    void DisplayPart();
    void SerialRepetition();
    // The joystick's direction code, jogging on every change of it.
    void ReadJoystick();
    // A joystick jog that is running stops.
    void EndJoystickJog();
    void ScheduleNext(int ms);
    void RepeatDue();
    void Changed()
    {
        if (m_changed)
            m_changed();
    }

    Machine& m_machine;
    const TDlgkonfigModel& m_settings;
    bool m_noXSide;
    AxisOffsetRefs m_offsets;
    double m_ownOffsetX = 0, m_ownOffsetY = 0;
    std::unique_ptr<MachineOperations> m_operations;
    PanelHooks m_hooks;
    PanelWindow m_window;
    std::function<void()> m_changed;
    TsterView m_view;
    // The maximum heater current (A) the current slider goes to.
    int32_t m_currentMax = 4;

    bool m_enabled = false;
    bool m_inTick = false;
    int m_interval = kLinkIntervalMs;
    int m_timerId = 0;
    // The machine keys' bits the last tick saw: a key acts on the tick where
    // its bit appears, however long it stays set.
    uint32_t m_keysSeen = 0;
    // A CONTINUE pressed while nothing was paused: the controller keeps it
    // latched, and it is no press for the pause that may follow.
    bool m_continueIgnored = false;
    int m_repeatTimer = 0;
    bool m_repeatDue = false;

    std::unique_ptr<Joystick> m_joystick;
    std::function<void()> m_heaterClick;
    bool m_panelActive = false;
    // The joystick's direction code now and the one last acted on.
    int32_t m_joyDirection = 0, m_joyLastDirection = 0;
};
