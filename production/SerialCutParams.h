#pragma once
#include "app/Settings.h"

#include <QString>
#include <vector>

class Machine;
class TJob;

// The serial-cut parameters without windows: the rows of the angle grid, each
// bound to its own job window, and the checks before the dialog accepts.

// One row of the grid: the window's job and its caption without the folder.
struct SerialCutRow {
    TJob* job = nullptr;
    QString file;
};

// A window caption without its folder: the text after the last "\", "/" or ":".
QString CaptionWithoutFolder(const QString& caption);

// The rows in the order the serial cut joins the windows (ascending serial
// number; windows of one number keep their window order).
std::vector<SerialCutRow> SerialCutRows(const std::vector<std::pair<TJob*, QString>>& windows);

// The angle each window turns by default: 180 degrees shared among the open
// windows, as general text with up to 15 significant digits.
QString DefaultSerialAngle(int windows);

// The angles accepted row by row: each valid row's window takes its angle
// before a later row is read. A text that is not a number, or lies outside
// -360 .. 360, stops there with an error box naming the row. Returns the index
// of that row, or -1 when every row passed.
int AcceptSerialAngles(const std::vector<SerialCutRow>& rows, const std::vector<QString>& angleTexts);

// The lowest the table may go: 239 mm on the model "H 00", else 5 mm.
double SerialHeightLimit();

// Stores the repetitions (rounded) and the shift down (mm), reads the machine
// status (when there is a machine) and accepts when the table, lowered by every repetition, stays at or
// above the height limit; otherwise an error box and false.
bool AcceptSerialRepeats(Machine* machine, const TDlgkonfigModel& settings, double repeats, double shiftMm);
