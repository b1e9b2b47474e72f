#pragma once
#include "app/Settings.h"
#include "machine/Machine.h"
#include "machine/MachineOperations.h"
#include "machine/Transmission.h"
#include "machine/WireSelection.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class TJob;

// What the cut start asks of the windows around it. Every hook may be left
// empty: the dialogs then answer Cancel (so the start stops) and nothing is
// activated or shown. The wire boxes are set through the machine operations,
// as a click on the panel's box would set them.
struct CutStartHooks {
    // The two-plane material dialog (independent front and back wires):
    // true when confirmed.
    std::function<bool()> twoPlaneDialog;
    // The start-points dialog of a transverse cut: true when confirmed.
    std::function<bool()> startPointsDialog;
    // Parks the side wire before a transverse cut; false when it could not.
    std::function<bool()> parkSideWire;
    // The job's window becomes the active one.
    std::function<void(TJob&)> activate;
    // The writer asked for the manual control panel after its save.
    std::function<void()> showControlPanel;
    // The serial-cut parameters dialog (repetitions): true when confirmed.
    std::function<bool()> serialCutDialog;
    // The hourglass cursor on and off.
    std::function<void(bool busy)> busyCursor;
};

// Where START came from: the menu item or the speed button, or the
// machine's own START key.
enum class StartSource { MenuOrButton, MachineKey };

// START, STOP and continue of a cut, without windows: the machine, the
// settings, the wire selection, the panel's machine operations and the
// transmission are handed in; the job windows are passed to each call.
class CutStart {
public:
    CutStart(Machine& machine, const TDlgkonfigModel& settings, TsterModel& wires, MachineOperations& operations,
             Transmission& transmission, CutStartHooks hooks = {});

    // The gate before a cut: refreshes the machine state, sends the
    // positioning speed, lets a job the controller holds go on instead of a
    // new one ("G"), and ends a transfer still running. True when the cut
    // may be prepared.
    bool CheckBeforeCut(TJob& job);

    // Prepares and starts one job: the checks, "out.cn" written by the save of
    // the work mode, the wires positioned, the transmission started. `first`
    // and `last` are accepted and not used; `direction` (1 or -1) goes to the
    // serial spindle save; `jobWindows` is the number of job windows open
    // (the serial turn step); `lastSerialIndex` the highest number of a serial
    // series (its last piece may end with the cut-off move). True when the
    // transmission was started (or, in serial cutting, the file written).
    bool tnij(TJob& job, int32_t first, int32_t last, int32_t direction, int jobWindows = 1,
              int32_t lastSerialIndex = -1);

    // START: `windows` in window order, `active` the active one (may be
    // null). A start while any window still plans is refused: the plan is not
    // finished. So is a start while another start runs (from any source).
    // While a cut is paused the operator is asked first: No leaves it paused
    // and sends nothing. In serial cutting the machine is positioned once and
    // every numbered window's file is joined into one "out.cn". True when a
    // job was started; a start that cuts nothing leaves the heater off.
    bool Start1Click(const std::vector<TJob*>& windows, TJob* active, StartSource source, bool windowPlanning);

    // STOP: pauses the job; JobStopped when something was paused.
    bool Wstrzymaj1Click();
    // Continue when the arms may move; JobStopped is cleared.
    void Kontynuacja1Click();

    // The first program parameter is exactly "test": no machine exchange
    // that a test bench without a machine would not answer.
    static bool TestRun();

private:
    // The checks of the work mode, the working area, the wires and the wire
    // test, after the machine state has been refreshed.
    bool CheckJobAndWire(TJob& job, bool test);
    // A short heater pulse, repeated while the wire reads broken and the
    // operator does not cancel: true when the wire is whole.
    bool WireTest();
    bool Save(TJob& job, int32_t direction, int jobWindows, int32_t lastSerialIndex);
    bool StartSerial(const std::vector<TJob*>& windows, TJob* active);
    bool PositionSerialTable(const TJob& active);
    bool PositionSerialSpindle(const TJob& active);
    bool JoinSerialFiles(const std::vector<TJob*>& windows, TJob*& active);
    bool StartFigureQuestion(TJob& job);
    bool GoTo(uint8_t slot, double frontX, double backX, double frontY, double backY, double table,
              double spindle);
    bool PositionAndStart(TJob& job);
    // Streams "out.cn"; outside plain cutting, on a machine with a side wire,
    // only when the file's path keeps the wires 10 mm apart from where they
    // stand, unless that was checked from the entry before the wires went there.
    bool StartTransmission(bool clearanceChecked = false);
    // The job's path, from the entry's height or from where the wires stand,
    // keeps the front and back wires 10 mm above the side wire; else one box.
    bool JobClearOfSideWire(std::optional<double> entryY);
    // The front drawing of a transverse cut, from its start point, stays 10 mm
    // above the side wire where the parking will leave it (told when not).
    bool FrontClearOfParkedSideWire(const TJob& job) const;
    bool StartOne(const std::vector<TJob*>& windows, TJob* active, StartSource source);
    // No paused cut, or the operator gave it up for a new start.
    bool PausedCutMayGo();
    // The heater off (when it is on) before the operator is asked anything.
    [[nodiscard]] bool HeaterOffForOperator();
    void Busy(bool on)
    {
        if (m_hooks.busyCursor)
            m_hooks.busyCursor(on);
    }
    QString OutFile() const;

    Machine& m_machine;
    const TDlgkonfigModel& m_settings;
    TsterModel& m_wires;
    MachineOperations& m_ops;
    Transmission& m_transmission;
    CutStartHooks m_hooks;
    // Job windows open at the current START (a transverse cut needs two).
    int m_jobWindows = 1;
    // The two-plane dialog confirmed the current start (and may have heated the wires).
    bool m_twoPlaneConfirmed = false;
    // The controller went on with the job it held ("G"): that job cuts.
    bool m_jobGoesOn = false;
};

// Whether the path of command file `file`, from the front, back and side Y
// positions given (0.01 mm), keeps the front and back wires at least 10 mm
// above the side wire at the end of every move (between them the distance
// changes linearly). Axis ids as the attached machine has them.
bool WiresKeepClearance(const QByteArray& file, int32_t frontY, int32_t backY, int32_t sideY);

// The test current byte of the broken-wire test: work power x 10, at most 255.
uint8_t TestCurrentByte(double workPower);

// The positioning speed: "V", 0 with the period of the travel speed setting.
QByteArray PositioningSpeedCommand(const TDlgkonfigModel& settings);
