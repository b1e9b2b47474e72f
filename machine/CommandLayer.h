#pragma once
#include "machine/Machine.h"

#include <QByteArray>
#include <array>
#include <cstdint>

// The controller's command layer: every other part talks to the machine
// through these, handing them the machine they talk to.

// One acceleration as step periods, from the first step on; never increasing.
extern const std::array<int16_t, 16000> RampTable;
// Every fourth entry of the ramp: step i of an acceleration (clamped to the table).
int16_t RampTableValue(int32_t i);

// Sends one command; a move goes out one 6-byte record per report. A failed
// write is told in one error box (with the write's code as its caption), no
// further piece is sent, and the result is false. An empty command sends
// nothing and succeeds.
bool SendCommand(Machine& machine, const QByteArray& command);
// The same without the box: 0 when sent, else the failed write's code. For
// the callers that must act on a failure before anyone is told of it.
int WriteCommand(Machine& machine, const QByteArray& command);

// "V" with the slot the controller last reported (nothing for another slot),
// then the slot speeds are read again.
void SetJogSpeed(Machine& machine, uint16_t v);
// "Y": the machine stops moving.
bool StopMotion(Machine& machine);
// A jog let go while the status could not be read may still run: "Y" only
// stops motion, so it goes out unread and quietly, unless a cut of the
// program's runs (it would halt the cut).
void StopJogUnread(Machine& machine);
// Polls the status every millisecond until no motion is reported. Input that
// comes meanwhile is taken off the queue and dropped: nothing acts on it.
// False when a read failed: whether the machine stands is not known.
[[nodiscard]] bool WaitWhileBusy(Machine& machine);
// The same wait for what must go on from a machine known to stand: false,
// refused with the lost-link box (the heater off first), when a read failed.
[[nodiscard]] bool WaitWhileBusyOrRefuse(Machine& machine, const QString& caption = QString());
// The heater of the reported channel off when on, on when off; then 200 ms.
bool HeaterToggle(Machine& machine);
// "T" with the reported channel and the low byte of the heater power.
bool SendHeaterPower(Machine& machine);
// The heater on, then the current corner pause.
bool HeaterPulse(Machine& machine);
// "U" with PlotState's position to set, in steps. A position whose steps do
// not fit 32 bits is not sent: one box says so and the result is false.
bool SetPositionCommand(Machine& machine);
bool SendUnitMode(Machine& machine, int32_t unit);
bool SendWireTension(Machine& machine, int32_t tension);
bool SendRestoreEeprom(Machine& machine, uint8_t address, uint8_t value);
// "S", 4 with the heater output selection.
bool SendPowerOutput(Machine& machine, int32_t output);

// Model questions, by the model code of the attached machine.
bool IsTwoWireModel();
bool SupportsIndependentCut();
bool UsesRemappedSideAxes();
bool HasSideCurrentLimit();
bool ModelCodeFirstCharTest();
// The firmware last read is at least major.minor.
bool FirmwareAtLeast(uint16_t major, uint16_t minor);

// Cutting parameters of the wires selected on the manual control panel: the
// side wire's when it is selected, the front and back wires' otherwise, the
// setting's minimum with no wire selected.
double CurrentCutSpeed();
double CurrentWorkPower();
double CurrentHeatUpTime();
double CurrentCornerPause();
// "V", 1 with the period of the selected wires' cutting speed.
QByteArray CuttingSpeedCommand();
// Waits the selected wires' heat-up time on the machine's clock.
void WaitHeatUp(Machine& machine);

// Where the selected wires are (mm) and how far they may travel (mm). On a
// two-wire model with no wire asked the outputs are left as they are.
void WorkAreaForWires(bool front, bool back, bool side, double& x, double& y, int32_t& limitY, int32_t& limitX);
