#pragma once
#include "machine/SimulatedBus.h"
#include "machine/SimulatedController.h"

#include <memory>

// A simulated cutter plugged into a simulated bus as the machine: it leaves the
// bus when its controller resets and comes back (a new identity) when the
// controller returns, as a real machine does.
class SimulatedMachineBus : public SimulatedBus {
public:
    // The controller stays the caller's and must outlive the bus.
    SimulatedMachineBus(MachineClock& clock, SimulatedController& controller);
    ~SimulatedMachineBus() override;
    SimulatedController& Controller() const { return m_controller; }
    HidIdentity MachineId() const { return m_id; }
    // The machine's cable pulled and put back.
    void UnplugMachine();
    void PlugMachine();

    // The bus as it stands now: a controller whose reset is over is back.
    std::vector<HidDeviceInfo> List() override;

private:
    SimulatedController& m_controller;
    HidIdentity m_id;
    bool m_plugged = false;
};

// The bus the program talks to: the computer's USB bus, or, when the
// environment names a model code in PELVARTONIX_SIM, a simulated machine of
// that model on the given clock.
std::unique_ptr<HidBus> ProgramHidBus(MachineClock& clock);
