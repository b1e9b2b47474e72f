#pragma once
#include <cstdint>

// Resolutions, travel limits and speed limits of the machine. They hold these
// start values until a machine identifies itself, and every part of the program
// reads them here.
extern double StepsPerUnitX;
extern double StepsPerUnitY;
extern double StepsPerUnitZ;
extern int32_t StepsPerTurn1;
extern int32_t StepsPerTurn2;
extern int32_t StepsPerTurn3;
extern double SideStepsPerUnitX;
extern double SideStepsPerUnitY;
extern int32_t MachineWidth;   // mm between the two wire planes
extern int32_t FrontLimitX;    // mm of travel of the front and back carriages
extern int32_t FrontLimitY;
extern int32_t ThirdLimit;
extern int32_t SideLimitX;     // mm of travel of the side carriage
extern int32_t SideLimitY;

extern int32_t MaxTravelSpeed;
extern int32_t MaxCutSpeed;
extern int32_t SpeedDivisor;
extern int32_t OutputMaxCurrent[3];
extern int32_t SideAxisA;
extern int32_t SideAxisB;
extern bool SideAxesRemapped;
// The controller's firmware version as last read.
extern uint16_t FirmwareMajor;
extern uint16_t FirmwareMinor;
extern bool FirmwareAtLeast22;

// Every constant back to its start value (a new machine, or a test).
void ResetMachineConstants();
// The values that depend on the model back to their start values: speed
// limits, divisor, output currents and the side carriage's axes.
void ResetModelValues();
