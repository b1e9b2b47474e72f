#include "machine/MachineConstants.h"

double StepsPerUnitX;
double StepsPerUnitY;
double StepsPerUnitZ;
int32_t StepsPerTurn1;
int32_t StepsPerTurn2;
int32_t StepsPerTurn3;
double SideStepsPerUnitX;
double SideStepsPerUnitY;
int32_t MachineWidth;
int32_t FrontLimitX;
int32_t FrontLimitY;
int32_t ThirdLimit;
int32_t SideLimitX;
int32_t SideLimitY;
int32_t MaxTravelSpeed;
int32_t MaxCutSpeed;
int32_t SpeedDivisor;
int32_t OutputMaxCurrent[3];
int32_t SideAxisA;
int32_t SideAxisB;
bool SideAxesRemapped;
uint16_t FirmwareMajor;
uint16_t FirmwareMinor;
bool FirmwareAtLeast22;

void ResetMachineConstants()
{
    StepsPerUnitX = 1.0;
    StepsPerUnitY = 1.0;
    StepsPerUnitZ = 1.0;
    StepsPerTurn1 = 8000;
    StepsPerTurn2 = 8000;
    StepsPerTurn3 = 8000;
    SideStepsPerUnitX = 1.0;
    SideStepsPerUnitY = 1.0;
    MachineWidth = 600;
    FrontLimitX = 4800;
    FrontLimitY = 2400;
    ThirdLimit = 360;
    SideLimitX = 4800;
    SideLimitY = 2400;
    ResetModelValues();
    FirmwareMajor = 0;
    FirmwareMinor = 0;
    FirmwareAtLeast22 = false;
}

void ResetModelValues()
{
    MaxTravelSpeed = 5000;
    MaxCutSpeed = 5000;
    SpeedDivisor = 2;
    OutputMaxCurrent[0] = 4;
    OutputMaxCurrent[1] = 8;
    OutputMaxCurrent[2] = 12;
    SideAxisA = 3;
    SideAxisB = 6;
    SideAxesRemapped = false;
}

namespace {
// Start values are in place before main() runs, like the unit initialisations.
const bool g_initialised = (ResetMachineConstants(), true);
}  // namespace
