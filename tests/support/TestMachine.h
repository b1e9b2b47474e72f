#pragma once
#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/Settings.h"
#include "machine/Clocks.h"
#include "machine/Machine.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/OperatorInput.h"

#include <gtest/gtest.h>

// A machine over a test's link, on virtual time, with scripted operator input.
struct TestMachine {
    explicit TestMachine(ControllerLink& link) : machine(link, clock, input) {}
    VirtualClock clock;
    ScriptedInput input;
    Machine machine;
};

// Tests that talk to a machine start and end with the machine state, the
// constants, the settings and the command line at their start values.
class MachineWorldTest : public ::testing::Test {
protected:
    void SetUp() override { Restore(); }
    void TearDown() override { Restore(); }
    static void Restore()
    {
        ResetMachineConstants();
        PlotState = tplotstate();
        Settings().Reset();
        SetCommandLine({});
        WiresCrashChecking = true;
    }
};
