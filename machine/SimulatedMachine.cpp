#include "machine/SimulatedMachine.h"

#include "machine/LibusbBus.h"

#include <QtGlobal>

SimulatedMachineBus::SimulatedMachineBus(MachineClock& clock, SimulatedController& controller)
    : SimulatedBus(clock), m_controller(controller)
{
    PlugMachine();
    controller.SetBusPresence([this](bool present) {
        if (present)
            PlugMachine();
        else
            UnplugMachine();
    });
}

SimulatedMachineBus::~SimulatedMachineBus() { m_controller.SetBusPresence(nullptr); }

void SimulatedMachineBus::UnplugMachine()
{
    if (m_plugged)
        Unplug(m_id);
    m_plugged = false;
}

void SimulatedMachineBus::PlugMachine()
{
    if (m_plugged)
        return;
    const HidDeviceInfo info = m_controller.DeviceInfo();
    Strings strings;
    strings.manufacturer = info.manufacturer;
    strings.product = info.product;
    strings.serial = info.serial;
    strings.vendorId = info.vendorId;
    strings.productId = info.productId;
    strings.version = info.version;
    m_id = Plug(strings, m_controller);
    m_plugged = true;
}

std::vector<HidDeviceInfo> SimulatedMachineBus::List()
{
    m_controller.ReturnIfDue();
    return SimulatedBus::List();
}

namespace {
// The controller is built before the bus that carries it and goes after it.
struct ControllerHolder {
    ControllerHolder(MachineClock& clock, SimulatedMachineSetup setup) : controller(clock, std::move(setup)) {}
    SimulatedController controller;
};

class OwnSimulatedMachine : private ControllerHolder, public SimulatedMachineBus {
public:
    OwnSimulatedMachine(MachineClock& clock, SimulatedMachineSetup setup)
        : ControllerHolder(clock, std::move(setup)), SimulatedMachineBus(clock, controller)
    {
    }
};
}  // namespace

std::unique_ptr<HidBus> ProgramHidBus(MachineClock& clock)
{
    const QString model = qEnvironmentVariable("PELVARTONIX_SIM").trimmed();
    if (model.isEmpty())
        return std::make_unique<LibusbBus>(clock);
    SimulatedMachineSetup setup;
    setup.modelCode = model;
    return std::make_unique<OwnSimulatedMachine>(clock, setup);
}
