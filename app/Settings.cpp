#include "app/Settings.h"


#include "app/Globals.h"
#include "app/MathUtil.h"
#include "app/Units.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {
using K = SettingKind;

// Machine limits that bound the speed fields until a machine tells its own.
constexpr double kDefaultMaxCutSpeed = 5000;
constexpr double kDefaultMaxTravelSpeed = 5000;

std::vector<SettingEntry> DefaultEntries()
{
    const double checked = static_cast<double>(CheckState::Checked);
    const double unchecked = static_cast<double>(CheckState::Unchecked);
    // name, kind, default, min, max, increment, items
    return {
        {"Mode", K::RadioGroup, 0, 0, 0, 0, 6, 0},
        {"AutoSave", K::CheckBox, unchecked, 0, 0, 0, 0, 0},
        {"radiounit", K::RadioGroup, 0, 0, 0, 0, 3, 0},
        {"CatDir", K::RadioGroup, 2, 0, 0, 0, 3, 0},
        {"work_power", K::FloatEdit, 1.0, 0, 100, 0.1, 0, 0},
        {"CzasRozgrzewania", K::FloatEdit, 1000, 0, 10000, 100, 0, 0},
        {"Wstrzymaj", K::CheckBox, unchecked, 0, 0, 0, 0, 0},
        {"Pauza_w_kacie", K::FloatEdit, 200, 0, 10000, 10, 0, 0},
        {"szybkoscObrobki", K::FloatEditU, 1000, 20, kDefaultMaxCutSpeed, 100, 0, 0},
        {"PrzeSpeed", K::FloatEditU, 1000, 20, kDefaultMaxTravelSpeed, 100, 0, 0},
        {"skala", K::FloatEdit, 100, 1, 1000, 1, 0, 0},
        {"AddFrame", K::CheckBox, checked, 0, 0, 0, 0, 0},
        {"MoveAfter", K::CheckBox, unchecked, 0, 0, 0, 0, 0},
        {"szybkoscObrobkiBok", K::FloatEditU, 1000, 20, kDefaultMaxCutSpeed, 100, 0, 0},
        {"work_power_Bok", K::FloatEdit, 1.0, 0, 100, 0.1, 0, 0},
        {"CzasRozgrzewaniaBok", K::FloatEdit, 1000, 0, 10000, 100, 0, 0},
        {"Pauza_w_kacie_Bok", K::FloatEdit, 200, 0, 10000, 10, 0, 0},
        {"feKalibracjaX", K::FloatEdit, 0, -5, 5, 1, 0, 0},
        {"feKalibracjaY", K::FloatEdit, 0, -5, 5, 1, 0, 0},
        {"feKalibracjaXp", K::FloatEdit, 0, -5, 5, 1, 0, 0},
        {"feKalibracjaYp", K::FloatEdit, 0, -5, 5, 1, 0, 0},
        {"Xstolika", K::FloatEditU, 1000, 0, 3000, 100, 0, 0},
        {"Ystolika", K::FloatEditU, 250, 0, 3000, 100, 0, 0},
        {"Xwrzeciona", K::FloatEditU, 12, -1000, 1000, 100, 0, 0},
        {"Ywrzeciona", K::FloatEditU, 730, 0, 2000, 100, 0, 0},
        {"Xnarzedzia", K::FloatEditU, 0, -1000, 1000, 100, 0, 0},
        {"Ynarzedzia", K::FloatEditU, 0, -1000, 1000, 100, 0, 0},
        {"rgBazowanie", K::RadioGroup, 0, 0, 0, 0, 2, 0},
        {"rgKatObrotu", K::RadioGroup, 0, 0, 0, 0, 2, 0},
        {"Srednicamaterialu", K::FloatEditU, 500, 0, 2000, 100, 0, 0},
        {"il_obr_rys", K::FloatEdit, 0, 0, 1000, 1, 0, 0},
        {"ilosckrokow", K::FloatEdit, 8, 1, 50000, 1, 0, 0},
        {"dopasujKierunek", K::CheckBox, checked, 0, 0, 0, 0, 0},
        {"KierunekObrotow", K::RadioGroup, 0, 0, 0, 0, 2, 0},
        {"Heavy", K::CheckBox, unchecked, 0, 0, 0, 0, 0},
        {"StolikSwitch", K::RadioGroup, 0, 0, 0, 0, 3, 0},
        {"sbWspSymulacji", K::ScrollBar, 0, 0, 20, 1, 0, 0},
        {"fuPlt_accuracy", K::FloatEditU, 0.25, 0.05, 0.25, 0.1, 0, 0},
        {"cbCheckForUpdate", K::CheckBox, unchecked, 0, 0, 0, 0, 0},
        {"feuDystansYside", K::FloatEditU, 0, 0, 0, 100, 0, 0},
        {"PowerOutput", K::RadioGroup, 0, 0, 0, 0, 2, 0},
    };
}
}  // namespace

const char* const kLengthSettings[12] = {"Srednicamaterialu", "szybkoscObrobki", "szybkoscObrobkiBok", "PrzeSpeed",
                                         "Xnarzedzia",        "Ynarzedzia",      "Xwrzeciona",         "Ywrzeciona",
                                         "Xstolika",          "Ystolika",        "fuPlt_accuracy",     "feuDystansYside"};

TDlgkonfigModel::TDlgkonfigModel() { Reset(); }

void TDlgkonfigModel::Reset()
{
    m_entries = DefaultEntries();
    for (SettingEntry& e : m_entries)
        e.value = e.defaultValue;
    for (const char* name : kLengthSettings)
        At(name).digits = std::string_view(name) == "fuPlt_accuracy" ? 2 : 1;
    CalibrationChanged = RotaryChanged = Loading = PowerChanged = ModeChanged = false;
    ModeHint = 0;
    m_machine = MachineFacts();
    m_powerLimitsActive = false;
}

SettingEntry* TDlgkonfigModel::Find(std::string_view name)
{
    for (SettingEntry& e : m_entries)
        if (name == e.name)
            return &e;
    return nullptr;
}

const SettingEntry* TDlgkonfigModel::Find(std::string_view name) const
{
    return const_cast<TDlgkonfigModel*>(this)->Find(name);
}

SettingEntry& TDlgkonfigModel::At(std::string_view name)
{
    if (SettingEntry* e = Find(name))
        return *e;
    throw std::logic_error("no setting named " + std::string(name));
}

const SettingEntry& TDlgkonfigModel::At(std::string_view name) const
{
    return const_cast<TDlgkonfigModel*>(this)->At(name);
}

int TDlgkonfigModel::ItemIndex(std::string_view name) const { return static_cast<int>(At(name).value); }

double TDlgkonfigModel::Value(std::string_view name) const { return At(name).value; }

bool TDlgkonfigModel::Checked(std::string_view name) const
{
    return static_cast<int>(At(name).value) == static_cast<int>(CheckState::Checked);
}

namespace {
bool IsHeaterPower(const SettingEntry& e)
{
    const std::string_view n = e.name;
    return n == "work_power" || n == "work_power_Bok";
}
}  // namespace

void TDlgkonfigModel::Store(SettingEntry& e, double value)
{
    switch (e.kind) {
    case SettingKind::RadioGroup:
        // Like a radio group: -1 is no selection, past the last item is the last.
        value = std::clamp(std::trunc(value), -1.0, static_cast<double>(e.itemCount - 1));
        break;
    case SettingKind::ScrollBar:
        value = std::clamp(std::trunc(value), e.minValue, e.maxValue);
        break;
    case SettingKind::FloatEdit:
    case SettingKind::FloatEditU:
        if (Loading && IsHeaterPower(e))
            value = std::clamp(value, 0.0, 100.0);  // the output's limit applies once loading ends
        else if (e.minValue != e.maxValue)
            value = std::clamp(value, e.minValue, e.maxValue);
        break;
    case SettingKind::CheckBox:
        break;
    }
    if (value == e.value)
        return;
    e.value = value;
    ++m_depth;
    React(e);
    --m_depth;
    Changed();
}

void TDlgkonfigModel::Changed()
{
    if (m_depth == 0 && OnChanged)
        OnChanged();
}

void TDlgkonfigModel::SetItemIndex(std::string_view name, int index) { Store(At(name), index); }

void TDlgkonfigModel::SetValue(std::string_view name, double value) { Store(At(name), value); }

void TDlgkonfigModel::SetChecked(std::string_view name, bool checked)
{
    SetCheckState(name, checked ? CheckState::Checked : CheckState::Unchecked);
}

void TDlgkonfigModel::SetCheckState(std::string_view name, CheckState state)
{
    Store(At(name), static_cast<double>(state));
}

void TDlgkonfigModel::SetPosition(std::string_view name, int position) { Store(At(name), position); }

std::vector<double> TDlgkonfigModel::Values() const
{
    std::vector<double> values;
    values.reserve(m_entries.size());
    for (const SettingEntry& e : m_entries)
        values.push_back(e.value);
    return values;
}

void TDlgkonfigModel::SetValues(const std::vector<double>& values)
{
    for (size_t i = 0; i < values.size() && i < m_entries.size(); ++i)
        Store(m_entries[i], values[i]);
}

void TDlgkonfigModel::React(const SettingEntry& e)
{
    const std::string_view n = e.name;
    if (n == "Mode")
        ModeClick();
    else if (n == "radiounit")
        radiounitClick();
    else if (n == "CatDir")
        updateactiv();
    else if (n == "KierunekObrotow" || n == "StolikSwitch")
        VIChange();
    else if (n == "PowerOutput")
        PowerOutputClick();
    else if (n == "feKalibracjaX" || n == "feKalibracjaY" || n == "feKalibracjaXp" || n == "feKalibracjaYp")
        feKalibracjaXChange();
}

void TDlgkonfigModel::Enable(std::string_view name, bool on) { At(name).enabled = on; }

void TDlgkonfigModel::VIChange()
{
    RotaryChanged = true;
    const int mode = Mode();
    if (mode == 1 || mode == 3) {
        const bool rotary = StolikSwitch() != 2;
        Enable("ilosckrokow", rotary);
        Enable("il_obr_rys", rotary);
    }
    Changed();
}

void TDlgkonfigModel::ModeClick()
{
    updateactiv();
    ModeChanged = true;
}

void TDlgkonfigModel::radiounitClick()
{
    CurrentLengthUnit = ItemIndex("radiounit");
    updateactiv();
}

void TDlgkonfigModel::PowerOutputClick()
{
    PowerChanged = true;
    if (!Loading)
        ApplyPowerLimits(m_machine);
}

void TDlgkonfigModel::LoadFinished()
{
    if (m_powerLimitsActive)
        ApplyPowerLimits(m_machine);
}

void TDlgkonfigModel::feKalibracjaXChange() { CalibrationChanged = true; }

void TDlgkonfigModel::updateactiv()
{
    ++m_depth;
    VIChange();
    const int mode = Mode();
    const int stolik = StolikSwitch();
    const bool both = CatDir() == 2;
    const bool rotaryOn = stolik != 2;
    // on/off per mode, in the order 0 plain, 1 rotary, 2 serial, 3 turning,
    // 4 independent, 5 transverse; a mode that leaves a control alone skips it.
    auto set = [&](std::string_view name, std::initializer_list<int> onByMode) {
        const int v = std::data(onByMode)[mode];
        if (v >= 0)
            Enable(name, v != 0);
    };
    if (mode >= 0 && mode <= 5) {
        set("CatDir", {1, 1, 0, 1, 1, 0});
        set("Srednicamaterialu", {0, 1, 1, 1, 0, 0});
        set("Ynarzedzia", {0, 1, -1, 1, 0, 0});
        set("szybkoscObrobki", {1, 1, 1, 1, 1, 1});
        set("PrzeSpeed", {0, 1, 1, 1, 0, 1});
        set("work_power", {1, 1, 1, 1, 1, 1});
        set("CzasRozgrzewania", {1, 1, 1, 1, 1, 1});
        set("Wstrzymaj", {0, 1, 1, 1, 0, 0});
        set("KierunekObrotow", {0, 1, 0, 1, 0, 0});
        set("ilosckrokow", {0, 1, 0, rotaryOn, 0, 0});
        set("Xnarzedzia", {0, 1, -1, 1, 0, 0});
        set("dopasujKierunek", {0, both, 0, both, 0, 0});
        set("Xwrzeciona", {1, 1, 1, 1, 1, 1});
        set("Ywrzeciona", {1, 1, 1, 1, 1, 1});
        set("il_obr_rys", {0, 1, 0, rotaryOn, 0, 0});
        set("Pauza_w_kacie", {1, 1, 1, 1, 1, 1});
        set("Heavy", {1, 1, -1, 1, 1, 1});
        set("StolikSwitch", {0, 1, 1, 1, 0, 0});
        set("PowerOutput", {1, 1, 0, 1, 0, 0});
        set("MoveAfter", {1, 0, 0, 0, 1, 1});
        for (const char* side : {"szybkoscObrobkiBok", "work_power_Bok", "CzasRozgrzewaniaBok", "Pauza_w_kacie_Bok"})
            set(side, {1, 1, 1, 1, 0, 1});
        // Forced values go through the controls, so their own reactions run.
        if (mode == 2)
            SetItemIndex("CatDir", 2);
        if (mode == 0 || mode == 4 || mode == 5)
            SetItemIndex("StolikSwitch", 2);
        if (mode == 2)
            SetItemIndex("StolikSwitch", 1);
        if (mode == 2 || mode == 4 || mode == 5)
            SetItemIndex("PowerOutput", 0);
        if (mode == 1 || mode == 2 || mode == 3)
            SetChecked("MoveAfter", false);
        ModeHint = mode == 1 ? 1 : mode == 3 ? 2 : 0;
    }
    Enable("rgKatObrotu", mode == 2);

    // Lengths in the display unit: digits and steps by unit.
    const int unit = std::clamp(ItemIndex("radiounit"), 0, 2);
    for (const char* name : kLengthSettings)
        At(name).digits = (std::string_view(name) == "fuPlt_accuracy" ? 2 : 1) + unit;
    const double speedStep[3] = {100, 25.4, 30.48};
    for (const char* name : {"Srednicamaterialu", "szybkoscObrobki", "szybkoscObrobkiBok", "PrzeSpeed"})
        At(name).increment = speedStep[unit];
    const double accuracyStep[3] = {0.1, 0.001, 0.0001};
    At("fuPlt_accuracy").increment = accuracyStep[unit];

    if (OnFeedDirection)
        OnFeedDirection(CatDir() == 1 ? -1 : 1);
    --m_depth;
    Changed();
}

void TDlgkonfigModel::ApplyPowerLimits(const MachineFacts& machine)
{
    m_machine = machine;
    m_powerLimitsActive = true;
    SettingEntry& front = At("work_power");
    SettingEntry& side = At("work_power_Bok");
    if (ItemIndex("PowerOutput") == 0) {
        front.maxValue = machine.outputMaxCurrent[0];
        side.maxValue = machine.sideCurrentLimit ? machine.outputMaxCurrent[1] : machine.outputMaxCurrent[0];
    } else if (ItemIndex("PowerOutput") == 1) {
        front.maxValue = machine.outputMaxCurrent[2];
    }
    // Both heaters stay within what the output can give.
    for (SettingEntry* e : {&front, &side})
        if (e->value > e->maxValue)
            SetValue(e->name, e->maxValue);
    Changed();
}

void TDlgkonfigModel::ApplySpeedLimits(const MachineFacts& machine)
{
    At("szybkoscObrobki").maxValue = machine.maxCutSpeed;
    At("szybkoscObrobkiBok").maxValue = machine.maxCutSpeed;
    At("PrzeSpeed").maxValue = machine.maxTravelSpeed;
    At("fuPlt_accuracy").minValue = 0.05;
    At("fuPlt_accuracy").maxValue = 0.25;
    Changed();
}

void TDlgkonfigModel::ApplyMachineLimits(const MachineFacts& machine)
{
    ApplySpeedLimits(machine);
    At("MoveAfter").visible = machine.twoWire;
    ApplyPowerLimits(machine);
}

bool TDlgkonfigModel::PruneModes(const MachineFacts& machine, bool showAll)
{
    SettingEntry& mode = At("Mode");
    int items = 6;
    if (!machine.twoWire)
        items = 5;  // transverse cutting needs the side wire
    bool known = false;
    for (const char* code : {"Ro", "Ve", "Ky", "Zu", "Qa", "Jy"})
        known = known || machine.productName.startsWith(QLatin1String(code));
    if (!known && items == 5 && !showAll)
        items = 4;  // independent cutting only on the machines made for it
    mode.itemCount = items;
    if (mode.value < items)
        return false;
    // The selection is gone with its item: back to plain cutting, never to a
    // neighbouring mode.
    SetItemIndex("Mode", 0);
    return true;
}

TDlgkonfigModel& Settings()
{
    static TDlgkonfigModel model;
    return model;
}
