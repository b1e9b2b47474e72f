#pragma once
#include "app/widgets/PlainForm.h"
#include "machine/Clocks.h"
#include "machine/ControlPanel.h"
#include "machine/HidBus.h"
#include "machine/PanelInput.h"

#include <QElapsedTimer>
#include <array>
#include <memory>

class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QToolButton;

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
    HidBus& Bus() { return *m_bus; }

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
// operator's keys, clicks and sliders on. The model owns the machine
// operations and the status timer, which runs from here on for the whole
// program; the operator's input goes through its own model. A failed write of
// `transfer` pauses the job through the operations.
class Tster : public PlainForm {
    Q_OBJECT
public:
    Tster(QWidget* parent, Machine& machine, Transmission& transfer, AxisOffsetRefs offsets = {});
    ~Tster() override;
    ControlPanel& Panel() { return *m_panel; }
    PanelInput& Input() { return *m_input; }
    // The windows the panel opens, modally: the move window, the base points
    // and the firmware upgrade.
    void SetSubWindows(PlainForm* moveWindow, PlainForm* basePoints, PlainForm* upgrade);
    // The larger layout for touch screens ("touchPanel").
    void ApplyTouchLayout();
    // The buttons' glyphs from "Ikony" in the program folder, only when all
    // twelve files are there.
    void LoadButtonIcons();
    QToolButton* JogButtonOf(JogButton button) const { return m_jog[static_cast<size_t>(button)]; }

    QCheckBox* KeyFront = nullptr;
    QCheckBox* KeyBack = nullptr;
    QCheckBox* KeySide = nullptr;
    QToolButton* kstop = nullptr;
    QToolButton* k_zalwyl = nullptr;
    QPushButton* sbWyrownajBackToFront = nullptr;
    QSlider* VScroll = nullptr;
    QSlider* PScroll = nullptr;
    QSlider* ScrollNaciag = nullptr;
    QWidget* pUpgradeFirmware = nullptr;
    QWidget* pSerwis = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildControls();
    void ApplyLayout();
    void ShowPanel();
    QLabel* NewLabel(QGridLayout* grid, int row, int column, int span = 1);

    std::unique_ptr<ControlPanel> m_panel;
    std::unique_ptr<PanelInput> m_input;
    std::array<QToolButton*, 12> m_jog{};
    QGroupBox *GroupBox1 = nullptr, *GroupWrzeciono = nullptr, *GroupStolik = nullptr, *GroupPower = nullptr,
              *Szybkosc = nullptr, *BoxAmper = nullptr, *NaciagBox = nullptr;
    QWidget *pWspFront = nullptr, *pWspBack = nullptr, *pWspSide = nullptr, *pTestowy = nullptr;
    QLabel *LFront = nullptr, *LBack = nullptr, *LSide = nullptr, *lSideX = nullptr;
    QLabel *wmxf = nullptr, *wmyf = nullptr, *wmxb = nullptr, *wmyb = nullptr, *wmxp = nullptr, *wmyp = nullptr;
    QLabel *wms = nullptr, *wmw = nullptr, *stan_drutu = nullptr, *speedlabel = nullptr, *PowerLabel = nullptr;
    QLabel *lRealPower = nullptr, *LabelNaciag = nullptr, *LabelNaciagRzeczywisty = nullptr, *UsbError = nullptr;
    QLabel *chwilowaLabel = nullptr, *lWersjaARMa = nullptr, *lSelPwr = nullptr, *lSelSpeed = nullptr,
           *lValPwr = nullptr;
    QProgressBar *gRealPower2 = nullptr, *chwilowa = nullptr;
    std::array<QCheckBox*, 5> m_diagnostics{};
    QPushButton *Bazuj = nullptr, *Base = nullptr, *keyprzesun = nullptr, *zamknij = nullptr, *btnUpgrade = nullptr,
                *btnRestoreEPROM = nullptr;
    PlainForm *m_moveWindow = nullptr, *m_basePoints = nullptr, *m_upgrade = nullptr;
    // When the operator last gave the panel input: the refresh gives way to it.
    QElapsedTimer m_lastInput;
};
