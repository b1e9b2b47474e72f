#pragma once
#include "machine/ControllerLink.h"
#include "machine/MachineClock.h"
#include "machine/OperatorInput.h"

#include <cstdint>
#include <optional>

// The resolution reply as the controller last gave it, before the switches and
// the calibration of the settings are applied to it.
struct ResolutionReading {
    double stepsPerUnitX = 1.0, stepsPerUnitY = 1.0, stepsPerUnitZ = 1.0;
    int32_t stepsPerTurn1 = 0, stepsPerTurn2 = 0, stepsPerTurn3 = 0;
    int32_t machineWidth = 0;
    double sideStepsPerUnitX = 1.0, sideStepsPerUnitY = 1.0;
};

// Everything that talks to the machine is handed one of these: the link to the
// controller, the clock its sleeps and waits run on, and the operator's input
// during those waits.
class Machine {
public:
    Machine(ControllerLink& link, MachineClock& clock, OperatorInput& input)
        : m_link(&link), m_clock(&clock), m_input(&input)
    {
    }
    ControllerLink& Link() const { return *m_link; }
    // Talks through another link from now on (the program's link is attached
    // once it exists).
    void SetLink(ControllerLink& link) { m_link = &link; }
    MachineClock& Clock() const { return *m_clock; }
    OperatorInput& Input() const { return *m_input; }
    // The machine is attached and answers.
    bool Connected() const { return m_link->MachineFound(); }

    // What the controller answered to the last resolution read that worked.
    std::optional<ResolutionReading> lastResolution;

private:
    ControllerLink* m_link;
    MachineClock* m_clock;
    OperatorInput* m_input;
};

// The link of a program that has no way to the machine: nothing is ever found.
class NoMachineLink : public ControllerLink {
public:
    bool MachineFound() override { return false; }
    int Write(const QByteArray&) override { return -1; }
    int ReadString(int) override
    {
        m_reply.fill(0);
        return -1;
    }
    const ReplyBlock& Reply() const override { return m_reply; }
    void SetLinkChanged(std::function<void(bool)>) override {}
    bool DeviceStrings(QString&, QString&, QString&) override { return false; }

private:
    ReplyBlock m_reply{};
};
