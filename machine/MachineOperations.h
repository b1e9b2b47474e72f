#pragma once
#include "app/Settings.h"
#include "machine/Machine.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class Transmission;

// The bit of axis n in a homing mask.
constexpr std::array<uint8_t, 8> AxisBits = {1, 2, 4, 8, 16, 32, 64, 128};

// What the operations need of the panel that owns them. The panel installs its
// own handlers; without them the operations still run and only the parts that
// belong to the window are left out.
struct OperationHooks {
    // Checks or unchecks one of the wire boxes as a click would: the panel's
    // click handlers also switch the machine's wire selection. Without a
    // handler only the box of the wire selection changes.
    enum class WireBox { Front, Back, Side };
    std::function<void(WireBox, bool checked)> setWireBox;
    // The panel's status timer stopped (false) and started again (true)
    // around homing, so no status poll or machine key is handled meanwhile.
    std::function<void(bool enabled)> statusTimer;
};

// On two-wire machines with crash checking, whether the front and back wires
// driven to these heights (mm; no side height: the side wire stays) end at
// least 10 mm above the side wire, or no closer to it than they stand. Taken
// from the positions last read; a refusal is told (with `caption` when given),
// the heater of `machine` switched off before it.
bool WiresStayAboveSideWire(Machine& machine, double frontY, double backY, std::optional<double> sideY,
                            const QString& caption = QString());

// The machine operations of the manual control panel: pause and continue,
// STOP, homing, the two go-to-point drives, the arms' level check and the
// restore of the controller's factory parameters. They talk to the machine
// they are given and wait on its clock; the panel owns one.
class MachineOperations {
public:
    // `noXSide`: the side carriage has no X axis ("noXside" on the command line).
    MachineOperations(Machine& machine, const TDlgkonfigModel& settings, bool noXSide, OperationHooks hooks = {});

    // Pause: stops a running job ("Q") or a jog ("Y"), switches the heater
    // off and selects the manual speed slot. True when a job or a jog was
    // stopped; false without link, with nothing running, or when the job did
    // not report itself paused within 2 s after the motion stopped. A job
    // that still works then was not paused: nothing more is sent, the job
    // stays running and the operator is told (STOP may be pressed again).
    // Any STOP disarms the side cut that would follow a transverse front cut.
    bool wstrzymaj();
    // Continue after a pause: "G" when the controller may go on directly,
    // else the wires back to where the job paused, heated, and "K".
    // `transfer`: when a lost link cut its stream, the job goes on only from
    // a pause the controller still holds, with the stream taken up from the
    // first command it did not get; otherwise a box says the cut must be
    // started again and nothing is sent.
    void kontynuuj(Transmission* transfer = nullptr);
    // The end of a pause the transfer forced after a lost link, once the
    // status read shows the job paused or ended: the positions it paused at,
    // the heater off, the manual speed slot. False (nothing sent) when the
    // positions could not be read.
    bool SettlePause();
    // A link lost while a cut of the program's runs, seen outside the
    // transfer (a "Q" of STOP that did not go out, the panel's poll after the
    // whole file was sent): the transfer's lost-link pause takes it over, "Q"
    // at once and again until heard, one box after it. False when nothing
    // takes it (no transfer attached).
    void SetCutLinkLost(std::function<void()> pause) { m_cutLinkLost = std::move(pause); }
    bool CutLinkLost()
    {
        if (!m_cutLinkLost)
            return false;
        m_cutLinkLost();
        return true;
    }
    // The panel's STOP button.
    void kstopClick();
    // The end of a jog: "Y", the wait for the machine to stand, and the
    // positions it stopped at. False, refused with the lost-link box, when
    // they could not be read.
    bool StopJog();
    // The positions read, the rotary ones kept as where the last jog stopped.
    // False when they could not be read: the ones recorded before stay.
    bool RecordJogStop();
    // Homing of every carriage the model has (and of the rotary axis in use).
    void bazujClick();
    // Drives to a point: X and Y in mm, rotary targets in controller steps
    // (the shorter way round). False when refused.
    bool gotopoint(bool wait, uint8_t speedSlot, double frontX, double backX, double frontY, double backY,
                   double tableTarget, double spindleTarget);
    // Whether a go-to may run now: the machine answers, no job works and
    // nothing moves. A refusal is told in a box.
    bool GoToAllowed();
    // The same with the side carriage.
    bool gotopointKreuz(bool wait, uint8_t speedSlot, double frontX, double backX, double sideX, double frontY,
                        double backY, double sideY, double tableTarget, double spindleTarget);
    // May the arms move: on machines whose arms are driven as one, they must
    // stand level and both be selected.
    bool MoznaRuszac();
    // Sends the factory parameter image "eprom.bin" of `programDir` to the
    // controller, one byte per address. True when every byte was sent.
    bool btnRestoreEPROMClick(const QString& programDir);
    // Checks or unchecks a wire box through the panel's hook (its click
    // handler runs), or without one only in the wire selection.
    void SetWireBox(OperationHooks::WireBox box, bool checked);

    // The wire set that was cutting when the job was paused: 5 the side wire,
    // 0 or 1 the front/back wires (1 when the power output is not the first).
    int32_t PausedWireSet = 0;
    // The ten positions of the machine state when the job paused: front X, Y,
    // a spare, table steps, back X, Y, a spare, spindle steps, side X, Y.
    std::array<int32_t, 10> PausePositions{};
    // Whether they were read at the last pause: continue drives back to
    // them only then.
    bool PausePositionsRead = false;
    // Rotary positions when the pause stopped a jog.
    int32_t JogStopPosA = 0, JogStopPosB = 0;

    // The controller's parameter memory: a longer image is refused.
    static constexpr qint64 kEepromSize = 256;
    // How long the pause waits for the paused bit once the motion stopped.
    static constexpr int kPausedBitWaitMs = 2000;

private:
    struct Target {
        double frontX, backX, sideX, frontY, backY, sideY, table, spindle;
    };
    bool GoTo(bool wait, uint8_t speedSlot, const Target& target, bool withSide);
    // One homing command and the wait for it; false when homing must end.
    bool HomeAxisGroup(uint8_t mask);
    void HomeGroups(bool returnVariant);
    void HeaterOffManualSlot();
    // PausePositions and PausedWireSet from the positions just read.
    void RecordPause();
    void Hook(const std::function<void(bool)>& hook, bool on)
    {
        if (hook)
            hook(on);
    }

    Machine& m_machine;
    const TDlgkonfigModel& m_settings;
    bool m_noXSide;
    OperationHooks m_hooks;
    std::function<void()> m_cutLinkLost;
};
