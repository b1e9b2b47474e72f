#pragma once
#include "app/Settings.h"
#include "machine/Machine.h"

#include <cstdint>

class MachineOperations;

// Set to 1 after any manual move with a rotary part; the panel tests and clears it.
extern uint8_t JogMovedFlag;

// Key codes of the jogs: 33 Page Up, 34 Page Down, 37 to 40 the arrows (left,
// up, right, down), 97 to 105 the keypad digits, 188 comma, 190 full stop.
// A jog is one long move to the end of travel in the key's direction; the
// caller stops it when the key is released. Both wait for the motion to end
// first and use the positions last read.
void JogByKey(Machine& machine, const TDlgkonfigModel& settings, int16_t key, bool front, bool back);
void JogSideByKey(Machine& machine, const TDlgkonfigModel& settings, int32_t key);

// The selected carriages to x, y (current length unit), the rotary axis to
// the angle (degrees, one turn at most), kept inside the travel and, on
// two-wire machines with crash checking, 10 mm clear of the side wire.
void MoveWiresTo(Machine& machine, const TDlgkonfigModel& settings, bool front, bool back, bool side, double angle,
                 double y, double x);
// The relative twin: by dx, dy and angle (whole turns are not reduced).
void MoveWiresBy(Machine& machine, const TDlgkonfigModel& settings, bool front, bool back, bool side, double angle,
                 double dy, double dx);

// Before a two-wire cut: the side wire to its zero and 10 mm under it, the
// front and back wires staying where they are.
void MoveThroughParkPoint(MachineOperations& operations);
