#pragma once
#include "app/widgets/PlainForm.h"
#include "machine/FirmwareUpgrade.h"

#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

// Controller firmware upgrade: shows what the upgrade holds and passes the
// clicks on. Shown modally; each showing starts afresh.
class TUpgradeProgramForm : public PlainForm {
    Q_OBJECT
public:
    // `refind` searches the bus for the controller again after a reset.
    TUpgradeProgramForm(QWidget* parent, Machine& machine, std::function<void()> refind);
    ~TUpgradeProgramForm() override;
    FirmwareUpgrade& Upgrade() { return *m_upgrade; }

    QWidget* pSerwisowy = nullptr;
    QPushButton* ButtonUpgrade = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormActivate();
    void ShowUpgrade();

    std::unique_ptr<FirmwareUpgrade> m_upgrade;
    QLabel* m_status = nullptr;
    QLabel* m_verify = nullptr;
    QWidget* m_gauge = nullptr;
    QListWidget* m_steps = nullptr;
    QLabel* m_deviceVersion = nullptr;
    QLabel* m_fileVersion = nullptr;
};
