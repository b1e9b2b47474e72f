#pragma once
#include <QString>
#include <cstdint>

// The program folder, with a trailing separator. Every file the program keeps
// beside itself (language and settings files, "out.cn", "base.txt") is named from it.
extern QString ProgramDir;

// Wire-collision checking; off only with the switch "disableWiresCrashChecking".
extern bool WiresCrashChecking;

// Repetitions of a serial cut: while active, each end of the job lowers the
// origin by the shift and runs the job again, returning the table to
// RepeatReturnX (steps), until no repetition is left.
extern bool SerialRepeatActive;
extern int32_t SerialRepeats;
extern double SerialShiftDown;  // mm
extern int32_t RepeatReturnX;
extern int32_t JogStopPosA;
extern int32_t JogStopPosB;

// Dealer brand: empty, "VOSKAR", or the upper-cased value of a "D:" parameter.
extern QString DealerBrandName;

// Two drawing points closer than this in both x and y count as one (steps of
// 1/40 mm; 0.25 mm by default, from the accuracy setting).
extern double PointTolerance;

// The model file of the last serial generation in this run; empty when none ran.
extern QString GenSerFileName;

// Date of the program file, as the About box shows it.
extern QString BuildDateText;

// True while the application lays itself out right to left.
extern bool ApplicationRightToLeft;

// ProgramDir from the executable's own path (or any file path): its folder plus "/".
QString FolderWithSeparator(const QString& filePath);
