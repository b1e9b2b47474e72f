#pragma once
#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/Settings.h"
#include "machine/Bytes.h"
#include "machine/Clocks.h"
#include "machine/CommandLayer.h"
#include "machine/JobState.h"
#include "machine/Machine.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"
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

// Starts a job of one front X move of `steps` at 100 mm/min on the machine.
inline void RunOneMoveJob(Machine& m, int32_t steps)
{
    auto send = [&m](const QByteArray& c) { ASSERT_TRUE(SendCommand(m, c)) << c.toHex().toStdString(); };
    send(Bytes({'V', 0}) + Int16ToBytes(3750));
    send(Bytes({'f', 0}));
    int64_t length = 0;
    const QByteArray move = BuildMove4('a', 2, steps, 0, 0, 0, 0, 0, 0, 0, length);
    for (qsizetype at = 0; at < move.size(); at += 6)
        send(move.mid(at, 6));
    send("G");
    JobRunning = true;
}
