#include "app/Settings.h"

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

TDlgkonfigModel::TDlgkonfigModel() { Reset(); }

void TDlgkonfigModel::Reset()
{
    m_entries = DefaultEntries();
    for (SettingEntry& e : m_entries)
        e.value = e.defaultValue;
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

void TDlgkonfigModel::SetItemIndex(std::string_view name, int index) { At(name).value = index; }

double TDlgkonfigModel::Value(std::string_view name) const { return At(name).value; }

void TDlgkonfigModel::SetValue(std::string_view name, double value) { At(name).value = value; }

bool TDlgkonfigModel::Checked(std::string_view name) const
{
    return static_cast<int>(At(name).value) == static_cast<int>(CheckState::Checked);
}

void TDlgkonfigModel::SetChecked(std::string_view name, bool checked)
{
    At(name).value = static_cast<double>(checked ? CheckState::Checked : CheckState::Unchecked);
}

TDlgkonfigModel& Settings()
{
    static TDlgkonfigModel model;
    return model;
}
