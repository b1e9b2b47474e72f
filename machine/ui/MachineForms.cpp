#include "machine/ui/MachineForms.h"

#include "app/CommandLine.h"
#include "app/MainStatus.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Globals.h"
#include "machine/SimulatedMachine.h"
#include "machine/Transmission.h"
#include "machine/UsbLink.h"
#include "machine/WireSelection.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>


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

Tster::Tster(QWidget* parent, Machine& machine, Transmission& transfer, AxisOffsetRefs offsets)
    : PlainForm("Tster", parent),
      m_panel(std::make_unique<ControlPanel>(machine, Settings(), HasSwitch("noXside"), offsets))
{
    setWindowTitle(Tr("Control", "caption"));
    setModal(false);
    auto* layout = new QGridLayout(this);
    KeyFront = new QCheckBox(Tr("Control", "KeyFront.caption"), this);
    KeyBack = new QCheckBox(Tr("Control", "RoKeyBack.caption"), this);
    KeySide = new QCheckBox(Tr("Control", "VeKeyBack.caption"), this);
    m_positions = new QLabel(this);
    m_wire = new QLabel(this);
    m_usbError = new QLabel(this);
    layout->addWidget(KeyFront, 0, 0);
    layout->addWidget(KeyBack, 0, 1);
    layout->addWidget(KeySide, 0, 2);
    layout->addWidget(m_positions, 1, 0, 1, 3);
    layout->addWidget(m_wire, 2, 0, 1, 3);
    layout->addWidget(m_usbError, 3, 0, 1, 3);
    const std::pair<QCheckBox*, ControlPanel::WireBox> boxes[] = {{KeyFront, ControlPanel::WireBox::Front},
                                                                  {KeyBack, ControlPanel::WireBox::Back},
                                                                  {KeySide, ControlPanel::WireBox::Side}};
    for (const auto& [box, which] : boxes) {
        connect(box, &QCheckBox::clicked, this, [this, which = which](bool checked) {
            m_panel->SetWireBox(which, checked);
            ShowPanel();
        });
        box->installEventFilter(this);
    }
    installEventFilter(this);

    m_panel->SetWindow({[this] { return isActiveWindow(); },
                        [this] { return m_lastInput.isValid() && m_lastInput.elapsed() < ControlPanel::kLinkIntervalMs; },
                        [this] { close(); }});
    m_panel->SetChanged([this] { ShowPanel(); });
    transfer.SetPauseJob([this] { m_panel->Operations().wstrzymaj(); });
    m_panel->Create();
    ShowPanel();
}

Tster::~Tster() = default;

bool Tster::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        if (watched == this)
            m_panel->Activate();
        break;
    case QEvent::WindowDeactivate:
        if (watched == this)
            m_panel->PanelDeactivated();
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
        m_lastInput.start();
        break;
    default: break;
    }
    return PlainForm::eventFilter(watched, event);
}

void Tster::ShowPanel()
{
    const TsterModel& wires = WireSelection();
    const TsterView& view = m_panel->View();
    const std::pair<QCheckBox*, bool> boxes[] = {
        {KeyFront, wires.KeyFront}, {KeyBack, wires.KeyBack}, {KeySide, wires.KeySide}};
    for (const auto& [box, checked] : boxes) {
        const QSignalBlocker quiet(box);
        box->setChecked(checked);
        box->setEnabled(view.idleControlsEnabled);
    }
    m_positions->setText(view.wmxf + "  " + view.wmyf + "    " + view.wmxb + "  " + view.wmyb + "    " + view.wmxp +
                         "  " + view.wmyp);
    m_wire->setText(view.stan_drutu);
    m_usbError->setText(view.UsbError);
}
