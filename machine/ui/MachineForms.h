#pragma once
#include "app/widgets/PlainForm.h"

class QTimer;

// Base points.
class TPunkty_bazowe : public PlainForm {
    Q_OBJECT
public:
    explicit TPunkty_bazowe(QWidget* parent = nullptr);
};

// Controller firmware upgrade.
class TUpgradeProgramForm : public PlainForm {
    Q_OBJECT
public:
    explicit TUpgradeProgramForm(QWidget* parent = nullptr);
};

// Move window: the wires by or to given coordinates.
class Tprzesun : public PlainForm {
    Q_OBJECT
public:
    explicit Tprzesun(QWidget* parent = nullptr);
};

// USB link to the machine's controller. No device layer is attached to it
// yet, so the machine shows as not connected.
class TfUsb : public PlainForm {
    Q_OBJECT
public:
    explicit TfUsb(QWidget* parent = nullptr);
    bool MachineFound() const { return false; }
};

// Transmission of the command file to the controller.
class TTransArm : public PlainForm {
    Q_OBJECT
public:
    explicit TTransArm(QWidget* parent = nullptr);
    // The transmission timer: running while a job is being sent.
    QTimer* Timer() const { return m_timer; }
    void stop();

private:
    QTimer* m_timer;
};

// Manual control panel.
class Tster : public PlainForm {
    Q_OBJECT
public:
    explicit Tster(QWidget* parent = nullptr);
};
