#include "machine/ui/MachineForms.h"

#include "app/MainStatus.h"
#include "app/Translator.h"
#include "app/Globals.h"
#include "machine/SimulatedMachine.h"
#include "machine/Transmission.h"
#include "machine/UsbLink.h"


TPunkty_bazowe::TPunkty_bazowe(QWidget* parent) : PlainForm("TPunkty_bazowe", parent)
{
    setWindowTitle(Tr("Base_points", "caption"));
}

TUpgradeProgramForm::TUpgradeProgramForm(QWidget* parent) : PlainForm("TUpgradeProgramForm", parent)
{
    setWindowTitle(Tr("Upgrade_firmware", "caption"));
}

Tprzesun::Tprzesun(QWidget* parent) : PlainForm("Tprzesun", parent)
{
    setWindowTitle(Tr("Move_wire", "caption"));
}

TfUsb::TfUsb(QWidget* parent, MachineClock& clock, std::unique_ptr<HidBus> bus)
    : PlainForm("TfUsb", parent), m_bus(bus ? std::move(bus) : ProgramHidBus(clock))
{
    m_link = std::make_unique<UsbLink>(*m_bus, clock, [](const QString& text) { SetMainStatusText(text); });
}

// The link goes before the bus whose devices it holds open.
TfUsb::~TfUsb() { m_link.reset(); }

bool TfUsb::MachineFound() const { return m_link->MachineFoundFlag(); }

TTransArm::TTransArm(QWidget* parent, Machine& machine)
    : PlainForm("TTransArm", parent), m_transmission(std::make_unique<Transmission>(machine))
{
}

TTransArm::~TTransArm() = default;

bool TTransArm::start(const QString& file)
{
    return m_transmission->Start(file.isEmpty() ? ProgramDir + "out.cn" : file);
}

void TTransArm::stop() { m_transmission->Stop(); }

bool TTransArm::Running() const { return m_transmission->Running(); }

Tster::Tster(QWidget* parent) : PlainForm("Tster", parent)
{
    setWindowTitle(Tr("Control", "caption"));
    setModal(false);
}
