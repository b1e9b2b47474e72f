#pragma once
#include "app/widgets/PlainForm.h"

#include <QList>
#include <QString>
#include <functional>
#include <map>
#include <string>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class NumericEdit;
class Machine;
struct SettingEntry;

// What the save and load buttons ask the operator for.
struct SettingsFileRequest {
    bool save = false;       // a save dialog; an open dialog otherwise
    QString title;           // empty: the file dialog's own title
    QString folder;          // where the dialog starts
    QString filter;          // "Name (*.ext)"
    QString defaultSuffix;   // added to a name typed without one (save only)
};

// Asks for a settings file; an empty path when the operator gave up.
using SettingsFileChooser = std::function<QString(QWidget* parent, const SettingsFileRequest& request)>;

// The settings dialog: one control per setting of the settings store, named
// like the setting. The controls only show the store; an edit goes to the
// store through its setters (so the setting's own reaction runs), and every
// change of the store is shown again in all controls.
class TDlgkonfig : public PlainForm {
    Q_OBJECT
public:
    explicit TDlgkonfig(QWidget* parent = nullptr);
    ~TDlgkonfig() override;

    // Replaces the file dialogs of the save and load buttons (tests drive them
    // without windows); nullptr brings the real dialogs back. Returns the one
    // that was installed.
    static SettingsFileChooser SetFileChooser(SettingsFileChooser chooser);

    // The machine whose positions and resolutions the dialog reads (nullptr:
    // none, it reads as not homed).
    void SetMachine(Machine* machine) { m_machine = machine; }

    QTabWidget* Pages() const { return m_pages; }
    // The control of a setting (a QGroupBox for radio groups), or nullptr.
    QWidget* Control(const char* setting) const;
    // Item `index` of a radio-group setting, or nullptr.
    QRadioButton* Item(const char* setting, int index) const;

public slots:
    // Every control shows the store again: value, range, step, decimals, unit,
    // enabled and visible state, unit labels and the work-mode hint.
    void Refresh();

    void zapisClick();
    void OdczytClick();
    void btnPobierzXYstolikaClick();
    void btnPobierzXYwrzecionaClick();

    // OK keeps the edits, Cancel (also Escape and the title bar's close
    // button) returns to the values the dialog was shown with.
    void accept() override;
    void reject() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Machine* m_machine = nullptr;
    // How one setting is shown.
    struct Binding {
        QWidget* control = nullptr;
        QList<QWidget*> companions;      // labels that go with the control
        QButtonGroup* group = nullptr;   // radio groups
        QList<QRadioButton*> items;
    };

    void BuildControls();
    void BuildLayout();
    void Translate();
    void Connect();

    // The controls, named like their settings; the texts come with Translate.
    QGroupBox* MakeRadioGroup(const char* setting, int itemCount);
    QCheckBox* MakeCheckBox(const char* setting);
    NumericEdit* MakeEdit(const char* setting);
    QLabel* MakeLabel(const char* name, const QString& text = QString());
    void Companion(const char* setting, QWidget* label);

    void RefreshOne(const SettingEntry& entry, Binding& binding);
    void RefreshUnitLabels();
    void ReadFrontPosition(const char* xSetting, const char* ySetting);
    // Takes what is being typed; false (the operator told) while a field
    // holds a text that is no number.
    bool CommitTyping();

    std::map<std::string, Binding> m_bindings;
    QTabWidget* m_pages = nullptr;
    QWidget* m_pageMachine = nullptr;
    QWidget* m_pageRotary = nullptr;
    QWidget* m_pageOther = nullptr;
    QWidget* m_pageSpecial = nullptr;
    QWidget* m_pBok = nullptr;
    QWidget* m_pNarzedzia = nullptr;
    QLabel* m_lFront = nullptr;
    QLabel* m_lBok = nullptr;
    QList<QLabel*> m_lengthUnitLabels;  // "[unit]"
    QList<QLabel*> m_speedUnitLabels;   // "[unit/min]"
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_zapis = nullptr;
    QPushButton* m_odczyt = nullptr;
    QPushButton* m_pobierzStolika = nullptr;
    QPushButton* m_pobierzWrzeciona = nullptr;
    bool m_refreshing = false;
};
