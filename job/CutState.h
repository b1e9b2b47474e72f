#pragma once
#include <array>
#include <cstdint>

// Values the cut start fixes before a job is written, and the writer reads.
struct TMmPoint {
    double x = 0.0;
    double y = 0.0;
};

// Code of the machine command file being written: 30, 301 turning (spindle,
// table), 31, 311 rotary cutting (spindle, table), 32 plain cutting, 33 serial
// cutting on the table.
extern int32_t JobFileMode;

extern double CutOriginX, CutOriginY;   // mm
extern double AxisOffsetX, AxisOffsetY; // mm
extern TMmPoint FrontStartPoint;
extern TMmPoint SideStartPoint;
// The last piece of a serial cut from a model also cuts the model off its base.
extern bool CutOffModel;
// The writer's axis positions carried from one serial piece to the next.
extern std::array<int32_t, 10> SerialPosition;
