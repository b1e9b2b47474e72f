#pragma once
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
    double increment;
    int itemCount;  // radio groups: number of items
    double value;
    bool enabled = true;
    bool visible = true;
};

class TDlgkonfigModel {
public:
    TDlgkonfigModel();

    // Every value back to its default.
    void Reset();

    std::vector<SettingEntry>& Entries() { return m_entries; }
    const std::vector<SettingEntry>& Entries() const { return m_entries; }
    SettingEntry* Find(std::string_view name);
    const SettingEntry* Find(std::string_view name) const;
    // Find, failing loudly for a name that is not a setting (a programming error).
    SettingEntry& At(std::string_view name);
    const SettingEntry& At(std::string_view name) const;

    int ItemIndex(std::string_view name) const;
    void SetItemIndex(std::string_view name, int index);
    double Value(std::string_view name) const;
    void SetValue(std::string_view name, double value);
    bool Checked(std::string_view name) const;
    void SetChecked(std::string_view name, bool checked);

    // The settings that most of the program asks for.
    int Mode() const { return ItemIndex("Mode"); }
    int CatDir() const { return ItemIndex("CatDir"); }
    int StolikSwitch() const { return ItemIndex("StolikSwitch"); }
    double Skala() const { return Value("skala"); }

private:
    std::vector<SettingEntry> m_entries;
};

// The program's one settings store.
TDlgkonfigModel& Settings();
