#pragma once
#include "app/Settings.h"
#include "machine/Machine.h"
#include "machine/WireSelection.h"

#include <QString>
#include <functional>

// What the move window shows when it opens, from the wire selection and the
// settings of that moment.
struct MoveWindowView {
    QString caption;
    QString wireText;
    // The side carriage without an X axis: X stays 0.
    bool xEnabled = true;
    QString unitLabel;   // "[unit]" beside X and Y
    QString label3;      // the third edit's accelerator label
    QString label3Hint;  // and its hint (the rotary axis' name)
};
MoveWindowView MoveWindowActivate(const TDlgkonfigModel& settings, const TsterModel& wires, bool noXSide);

// Execute: item 0 to machine coordinates, item 1 by the given distances
// (display unit, the angle in degrees).
void MoveWindowExecute(Machine& machine, const TDlgkonfigModel& settings, const TsterModel& wires, int item,
                       double x, double y, double angle);

// The link stress test: empty moves and a move there and back, round after
// round, until the operator presses a key or clicks. `x`, `y` in the display
// unit, `angle` in degrees. After each round `round` is told the link's error
// counts ("read failures/write retries"). Ends at the first command that fails
// (its box is the only one) or when the machine is gone.
void LinkTest(Machine& machine, int32_t unit, double x, double y, double angle,
              const std::function<void(const QString& counts)>& round);

// The heater test: the selected channel on and off, round after round, until
// the operator presses a key or clicks. The heater is off when it ends.
void HeaterTest(Machine& machine);
