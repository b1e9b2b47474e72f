#include "machine/ui/MachineForms.h"

#include "app/MainStatus.h"
#include "app/Translator.h"

#include <QTimer>

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

TfUsb::TfUsb(QWidget* parent) : PlainForm("TfUsb", parent)
{
    SetMainStatusText(Tr("Control", "brakLacznosci"));
}

TTransArm::TTransArm(QWidget* parent) : PlainForm("TTransArm", parent), m_timer(new QTimer(this)) {}

void TTransArm::stop() { m_timer->stop(); }

Tster::Tster(QWidget* parent) : PlainForm("Tster", parent)
{
    setWindowTitle(Tr("Control", "caption"));
    setModal(false);
}
