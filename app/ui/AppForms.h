#pragma once
#include "app/AboutInfo.h"
#include "app/ui/FolderDialog.h"
#include "app/ui/SettingsDialog.h"
#include "app/widgets/PlainForm.h"

#include <QString>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class Machine;

// Memory information: the host's memory and the program's heap, in kilobytes.
class TfMemoryInfo : public PlainForm {
    Q_OBJECT
public:
    explicit TfMemoryInfo(QWidget* parent = nullptr);

    // The value label of a name label ("lTotalPhysMem" -> its "...Val"), or nullptr.
    QLabel* ValueLabel(const QString& name) const;
    QPushButton* btnOdswiez = nullptr;

public slots:
    void btnOdswiezClick();

protected:
    void showEvent(QShowEvent* event) override;
};

// Creates the memory information window, shows it modally and frees it.
void ShowMemoryInfo();

// About box: the program's version and, when the machine answers, its maker,
// model, work areas, width, run time, files cut and firmware.
class TAboutBox : public PlainForm {
    Q_OBJECT
public:
    // `machine`: the machine it asks; nullptr: the main window's, none without it.
    explicit TAboutBox(QWidget* parent = nullptr, Machine* machine = nullptr);

    QLabel *Labelprog = nullptr, *Labelver = nullptr, *newVer = nullptr, *ver = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel *Labelprod = nullptr, *prod = nullptr, *Labelmodel = nullptr, *model = nullptr;
    QLabel *Labelobszar = nullptr, *obszarFront = nullptr, *LabelObszarSide = nullptr, *obszarSide = nullptr;
    QLabel *labelSzerokosc = nullptr, *szerokosc = nullptr, *Labelprzebieg = nullptr, *przebieg = nullptr;
    QLabel *Labelilpl = nullptr, *ilpl = nullptr, *LabelARMwersja = nullptr, *ARMwersja = nullptr;
    QWidget* pLogo = nullptr;
    QLabel* dealer = nullptr;
    QWidget* pLink = nullptr;
    QLabel* lWWW = nullptr;

    // Opens the link's address through the desktop; replaceable (tests).
    std::function<void(const QString&)> OpenLink;

    // Reads the machine again and shows what it answered.
    void Activate();

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Machine* m_machine;
    AboutBrand m_brand;
};

// Job information: the active job window's file, size, length and estimated time.
class Tinfoform : public PlainForm {
    Q_OBJECT
public:
    explicit Tinfoform(QWidget* parent = nullptr);

    QLabel *fname = nullptr, *konfigname = nullptr, *szerokosc = nullptr, *wysokosc = nullptr;
    QLabel *totlen = nullptr, *total_time = nullptr;

    // Shows the active job window's figures.
    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
};
