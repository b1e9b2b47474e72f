#pragma once
#include "app/Settings.h"
#include "machine/ControllerLink.h"

#include <QByteArray>
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
    int16_t SelectedSpeed = 0;
    int16_t SlotSpeeds[5] = {};
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

    // Status bits the program asks about.
    bool Moving() const { return StatusFlags & 0x1; }
    bool JobWorking() const { return StatusFlags & 0x2; }
    bool HeaterOn() const { return StatusFlags & 0x4; }
    bool Homed() const { return (StatusFlags >> 16) & 0x4; }
};

extern tplotstate PlotState;

// Model questions, by the model code of the attached machine.
bool IsTwoWireModel();
bool SupportsIndependentCut();
bool UsesRemappedSideAxes();
bool HasSideCurrentLimit();

// What the settings need to know of the attached machine, as it stands.
MachineFacts CurrentMachineFacts();

// Reads the status reply; without an answer the status reads 0.
bool ReadStatus();
// Reads the status reply and derives every position from the step counters.
void ReadPositions();
// Reads the resolutions, steps per turn and machine width, then applies the
// command-line overrides and the calibration of the settings.
void ReadResolution();

// Sends one command; a failed write is reported once and gives false.
bool SendCommand(const QByteArray& command);
// "S", 6 with the length unit index.
bool SendUnitMode(int32_t unit);
// "S", 4 with the heater output selection.
bool SendPowerOutput(int32_t output);
