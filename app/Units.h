#pragma once
#include <QString>
#include <cstdint>

// Every length of the program is kept in millimetres; the user sees it in the
// unit chosen in the settings dialog: 0 millimetre, 1 inch, 2 foot.
extern int32_t CurrentLengthUnit;

inline constexpr int32_t UnitCount = 3;

// Millimetres to the unit and back; an unknown unit index gives 0 (never a
// value in the wrong unit).
double MmToUnit(int32_t unit, double x);
double UnitToMm(int32_t unit, double x);

// Short names of the units by index: "mm", "in", "ft".
extern const char* const UnitNames[UnitCount];
// The name of a unit, empty for an unknown index.
QString UnitName(int32_t unit);

// Decimals a length is shown with in the current unit: 1 for mm, 2 for inch,
// 3 for feet, 1 for anything else.
int32_t UnitDecimals();
// The same for a given unit.
int32_t UnitDecimalsFor(int32_t unit);
