#pragma once
#include "machine/Clocks.h"
#include "machine/Machine.h"
#include "machine/OperatorInput.h"
#include "machine/SimulatedController.h"
#include "machine/SimulatedMachine.h"
#include "machine/UsbLink.h"

// The program's own USB link to a simulated controller plugged into a
// simulated bus: commands reach the controller as the reports the link cuts
// them into, replies come back as raw string descriptors.
namespace sim_link_detail {
struct BusHolder {
    explicit BusHolder(SimulatedController& device) : bus(device.Clock(), device) {}
    SimulatedMachineBus bus;
};
}  // namespace sim_link_detail

class SimulatedLink : private sim_link_detail::BusHolder, public UsbLink {
public:
    explicit SimulatedLink(SimulatedController& device)
        : BusHolder(device), UsbLink(bus, device.Clock(), [](const QString&) {})
    {
    }
    SimulatedMachineBus& Bus() { return bus; }
    // The machine's cable pulled (false) or put back (true).
    void SetPresent(bool present) { present ? bus.PlugMachine() : bus.UnplugMachine(); }
};

// A simulated controller on virtual time behind the program's own link, and
// the machine over it with scripted operator input.
struct SimulatedRig {
    VirtualClock clock;
    SimulatedController sim{clock};
    SimulatedLink link{sim};
    ScriptedInput input;
    Machine m{link, clock, input};
};
