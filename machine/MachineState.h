#pragma once
#include "app/Settings.h"
#include "machine/Machine.h"

#include <QString>
#include <cstdint>

// The machine's state as the controller last reported it.
struct tplotstate {
    uint32_t StatusFlags = 0;
    int32_t FrontX = 0, FrontY = 0;
    int32_t AxisZ = 0;
    int32_t TableTurnSteps = 0;
    int32_t BackX = 0, BackY = 0;
    int32_t ThirdTurnSteps = 0;
    int32_t SpindleTurnSteps = 0;
    int32_t SideX = 0, SideY = 0;
    double TableAngle = 0, ThirdAngle = 0, SpindleAngle = 0;
    int32_t AxisCounters[8] = {};
    int32_t SideCounterX = 0, SideCounterY = 0;
    uint8_t SpeedSlot = 0;
    uint8_t HeaterChannel = 0;
    // Slot speeds are the controller's 16-bit step periods (times the speed
    // divisor): unsigned, a slow speed is a period above 32767.
    uint16_t SelectedSpeed = 0;
    uint16_t SlotSpeeds[5] = {};
    uint16_t HeaterPower = 0;
    uint16_t MeasuredCurrent = 0;
    int32_t PositionToSetX = 0, PositionToSetY = 0;
    QString VendorName = "Dravinor";
    QString ProductName = "T000    ";
    QString SerialNumber;
    int32_t MachineCounter1 = 0, MachineCounter2 = 0;
    uint8_t StatusByte1 = 0;
    int32_t TensionSet = 0, TensionMeasured = 0;
    QString ModelCode = "T0";
    // Whether the last status and position reads were answered. A failed read
    // leaves the values last read and marks them unknown: nothing may be
    // decided from them.
    bool StatusKnown = false;
    bool PositionsKnown = false;

    // Status bits the program asks about.
    bool Moving() const { return StatusFlags & 0x1; }
    bool JobWorking() const { return StatusFlags & 0x2; }
    bool HeaterOn() const { return StatusFlags & 0x4; }
    bool Paused() const { return StatusFlags & 0x40; }
    bool BufferFull() const { return (StatusFlags >> 8) & 0x2; }
    bool StartKey() const { return (StatusFlags >> 8) & 0x8; }
    bool StopKey() const { return (StatusFlags >> 8) & 0x10; }
    bool ContinueKey() const { return (StatusFlags >> 8) & 0x20; }
    bool Homed() const { return (StatusFlags >> 16) & 0x4; }
    bool WireBroken() const { return (StatusFlags >> 16) & 0x8; }
    // The loaded job waits for "G" to go on.
    bool WaitsForGo() const { return (StatusFlags >> 16) & 0x10; }
};

extern tplotstate PlotState;

// What the settings need to know of the attached machine, as it stands.
MachineFacts CurrentMachineFacts();

// Reads the status reply. Without an answer the status last read stays,
// marked unknown, and the result is false: the caller acts on a status that
// was read or not at all.
[[nodiscard]] bool ReadStatus(Machine& machine);
// Reads the status reply and derives every position from the step counters.
// Without an answer the positions last read stay, marked unknown, and the
// result is false: no move may be computed from them.
[[nodiscard]] bool ReadPositions(Machine& machine);
// The refusal of anything that needed a read that failed: the heater off
// (asked without a box of its own; on `channel`, or the channel last reported
// when negative), then one lost-link box (with `caption` when given). Nothing
// moves.
void RefuseLostLink(Machine& machine, const QString& caption = QString(), int channel = -1);
// The status or the positions a decision or a move is taken from: false,
// refused as above, when they could not be read.
[[nodiscard]] bool ReadStatusOrRefuse(Machine& machine, const QString& caption = QString());
[[nodiscard]] bool ReadPositionsForMove(Machine& machine, const QString& caption = QString());
// Heater channel, its power and the measured current; nothing changes
// without an answer.
[[nodiscard]] bool ReadHeaterState(Machine& machine);
// The speed slot in use and the speeds of the slots.
void ReadSpeedSlots(Machine& machine);
// Resolutions, steps per turn and machine width, then the command-line
// overrides and the calibration of the settings. Without an answer the values
// last read from the machine stay (1.0 and 50000 steps per turn when none was
// ever read); the overrides and calibration go on those afresh.
void ReadResolution(Machine& machine);
// Wire tension set and measured; nothing changes without an answer.
bool ReadAuxReport(Machine& machine);
// The controller's firmware version into FirmwareMajor and FirmwareMinor;
// returns it as "major.minor".
QString ReadFirmwareVersion(Machine& machine);
// The whole identification: device strings, model code, travel limits,
// resolutions, model values and firmware version. Every model-dependent value
// is set for the machine attached now: nothing carries over from another one.
void IdentifyMachine(Machine& machine);

// Model values of the current model code (the model's own values only).
void ApplyModelSpeeds();
void SetModelAxisConstants();
void SetRemappedSideAxesFlag();
// The "SetSpecRes" switch: resolutions 1.0 and fixed steps per turn.
void SetSpecialResolution();
