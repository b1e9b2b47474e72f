#pragma once
#include "app/widgets/PlainForm.h"
#include "machine/Clocks.h"
#include "machine/ControlPanel.h"
#include "machine/HidBus.h"

#include <QElapsedTimer>
#include <memory>

class QCheckBox;
class QLabel;

class Machine;
class Transmission;
class UsbLink;

// USB link to the machine's controller: a hidden form that owns the link over
// the computer's USB bus (or the bus it is given) and shows the link state in
// the main window's status bar.
class TfUsb : public PlainForm {
    Q_OBJECT
public:
    // Runs on `clock`, over `bus` or else the bus the program talks to (the
    // computer's USB bus, or the simulated machine the environment names).
    TfUsb(QWidget* parent, MachineClock& clock, std::unique_ptr<HidBus> bus = nullptr);
    ~TfUsb() override;
    bool MachineFound() const;
    // The road to the controller, for whoever talks to the machine.
    UsbLink& Link() { return *m_link; }

private:
    std::unique_ptr<HidBus> m_bus;
    std::unique_ptr<UsbLink> m_link;
};

// Transmission of the command file to the controller: an invisible form that
// owns the transfer and starts it.
class TTransArm : public PlainForm {
    Q_OBJECT
public:
    TTransArm(QWidget* parent, Machine& machine);
    ~TTransArm() override;
    // Sends `file`, by default "out.cn" in the program folder, from its beginning.
    bool start(const QString& file = QString());
    void stop();
    // The transmission timer runs: a job is being sent.
    bool Running() const;
    Transmission& Transfer() { return *m_transmission; }

private:
    std::unique_ptr<Transmission> m_transmission;
};

// Manual control panel: shows what its panel model holds and passes the
// operator's clicks on. The model owns the machine operations and the status
// timer, which runs from here on for the whole program; a failed write of
// `transfer` pauses the job through the operations.
class Tster : public PlainForm {
    Q_OBJECT
public:
    Tster(QWidget* parent, Machine& machine, Transmission& transfer, AxisOffsetRefs offsets = {});
    ~Tster() override;
    ControlPanel& Panel() { return *m_panel; }
    QCheckBox* KeyFront = nullptr;
    QCheckBox* KeyBack = nullptr;
    QCheckBox* KeySide = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowPanel();

    std::unique_ptr<ControlPanel> m_panel;
    QLabel* m_positions = nullptr;
    QLabel* m_wire = nullptr;
    QLabel* m_usbError = nullptr;
    // When the operator last gave the panel input: the refresh gives way to it.
    QElapsedTimer m_lastInput;
};
