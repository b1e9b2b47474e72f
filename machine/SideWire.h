#pragma once
#include "app/Settings.h"
#include "machine/Machine.h"

#include <functional>

class MachineOperations;
class TJob;

// The main window's side-wire buttons: the side wire selected (as a click on
// the panel's box would select it) and its carriage sent to x 0 at its raised
// height (the side travel, at most the raise distance setting) or to (0, 0).
// Nothing without a machine.
void sbSideUpClick(Machine& machine, const TDlgkonfigModel& settings, MachineOperations& operations);
void sbSideDownClick(Machine& machine, const TDlgkonfigModel& settings, MachineOperations& operations);

// Before a transverse cut: both wires to their start points without
// crossing, the side wire kept at least 10 mm below the front wire's start
// height. False (the operator told) without a machine or when the side wire
// did not get down there.
bool ParkSideWire(Machine& machine, const TDlgkonfigModel& settings, MachineOperations& operations);

// After the front cut of a transverse job: the front wires up clear of the
// side drawing, the side wire selected and taken to its start point, then
// `showSide` and `start` (the side cut). Nothing without the side job.
void ContinueSideCut(Machine& machine, const TDlgkonfigModel& settings, MachineOperations& operations,
                     const TJob* sideJob, const std::function<void()>& showSide,
                     const std::function<void()>& start);
