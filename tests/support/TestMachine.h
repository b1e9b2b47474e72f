#pragma once
#include "machine/Clocks.h"
#include "machine/Machine.h"
#include "machine/OperatorInput.h"

// A machine over a test's link, on virtual time, with scripted operator input.
struct TestMachine {
    explicit TestMachine(ControllerLink& link) : machine(link, clock, input) {}
    VirtualClock clock;
    ScriptedInput input;
    Machine machine;
};
