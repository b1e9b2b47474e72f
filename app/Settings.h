#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <string_view>
#include <vector>

// The settings of the settings dialog, one entry per control, in the dialog's
// order (which is also the order of the lines of a settings file). The dialog
// shows and edits this model; every other part of the program reads it here.

enum class SettingKind { RadioGroup, CheckBox, FloatEdit, FloatEditU, ScrollBar };

enum class CheckState { Unchecked = 0, Checked = 1, Grayed = 2 };

struct SettingEntry {
    const char* name;
    SettingKind kind;
    double defaultValue;  // item index, check state, position or value (mm for lengths)
    double minValue;      // 0 and 0: no range check
    double maxValue;
    double increment;     // mm for lengths
    int itemCount;        // radio groups: number of items offered
    double value;
    bool enabled = true;
    bool visible = true;
    int digits = 0;       // decimals shown; 0: the shortest form
};

// What the settings need to know about the attached machine.
struct MachineFacts {
    bool twoWire = false;
    bool sideCurrentLimit = false;
    QString productName = "T000    ";
    double maxCutSpeed = 5000;
    double maxTravelSpeed = 5000;
    double outputMaxCurrent[3] = {4, 8, 12};
};

class TDlgkonfigModel {
public:
    TDlgkonfigModel();

    // Every value back to its default, every flag lowered.
    void Reset();

    std::vector<SettingEntry>& Entries() { return m_entries; }
    const std::vector<SettingEntry>& Entries() const { return m_entries; }
    SettingEntry* Find(std::string_view name);
    const SettingEntry* Find(std::string_view name) const;
    // Find, failing loudly for a name that is not a setting (a programming error).
    SettingEntry& At(std::string_view name);
    const SettingEntry& At(std::string_view name) const;

    int ItemIndex(std::string_view name) const;
    double Value(std::string_view name) const;
    bool Checked(std::string_view name) const;

    // Values set as the operator sets them in the dialog: clamped to the
    // control's range, and the control's own reaction runs (a work mode or unit
    // updates the dialog as a click would). Nothing runs when nothing changes.
    void SetItemIndex(std::string_view name, int index);
    void SetValue(std::string_view name, double value);
    void SetChecked(std::string_view name, bool checked);
    void SetCheckState(std::string_view name, CheckState state);
    void SetPosition(std::string_view name, int position);

    // Every setting's value in the order of the entries ...
    std::vector<double> Values() const;
    // ... and set back from such a list, one after the other as the operator
    // sets them, so that their reactions run.
    void SetValues(const std::vector<double>& values);

    // The settings that most of the program asks for.
    int Mode() const { return ItemIndex("Mode"); }
    int CatDir() const { return ItemIndex("CatDir"); }
    int StolikSwitch() const { return ItemIndex("StolikSwitch"); }
    double Skala() const { return Value("skala"); }

    // The dialog's flags (see the main window's settings command).
    bool CalibrationChanged = false;
    bool RotaryChanged = false;
    bool Loading = false;
    bool PowerChanged = false;
    bool ModeChanged = false;

    // Which of the two hints the work mode list shows: 0 none, 1 the straight
    // wire output is recommended, 2 the shaped wire output is recommended.
    int ModeHint = 0;

    // The reactions of the dialog's controls.
    void updateactiv();
    void VIChange();
    void ModeClick();
    void radiounitClick();
    void PowerOutputClick();
    void feKalibracjaXChange();
    void ApplyPowerLimits(const MachineFacts& machine);

    // Limits that come from the machine: speed bounds and accuracy range ...
    void ApplySpeedLimits(const MachineFacts& machine);
    // ... and those with the heater powers.
    void ApplyMachineLimits(const MachineFacts& machine);
    // The end of reading a settings file: the heater powers read meet the
    // limits of the output read with them (not those of the output before).
    void LoadFinished();
    // Rebuilds the offered work modes for the machine from the full list; true
    // when the selected mode was taken away (the selection is then mode 0).
    bool PruneModes(const MachineFacts& machine, bool showAll);

    // Called whenever the direction of the feed changes in updateactiv: every
    // open job window takes the sign (+1 or -1).
    std::function<void(int sign)> OnFeedDirection;
    // Called after any change of a value, a range or an enabled state.
    std::function<void()> OnChanged;

private:
    void Store(SettingEntry& e, double value);
    void React(const SettingEntry& e);
    void Enable(std::string_view name, bool on);
    void Changed();

    std::vector<SettingEntry> m_entries;
    MachineFacts m_machine;
    bool m_powerLimitsActive = false;  // not before the dialog is first shown
    int m_depth = 0;
};

// The program's one settings store.
TDlgkonfigModel& Settings();

// The twelve length fields, shown in the display unit.
extern const char* const kLengthSettings[12];
