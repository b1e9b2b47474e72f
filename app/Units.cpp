#include "app/Units.h"

int32_t CurrentLengthUnit = 0;

const char* const UnitNames[UnitCount] = {"mm", "in", "ft"};

namespace {
// Millimetres per unit; 0 for an index outside the table.
double MmPerUnit(int32_t unit)
{
    switch (unit) {
    case 0:
        return 1.0;
    case 1:
        return 25.4;
    case 2:
        return 304.8;
    default:
        return 0.0;
    }
}
}  // namespace

double MmToUnit(int32_t unit, double x)
{
    const double f = MmPerUnit(unit);
    return f == 0.0 ? 0.0 : x / f;
}

double UnitToMm(int32_t unit, double x)
{
    const double f = MmPerUnit(unit);
    return f == 0.0 ? 0.0 : x * f;
}

QString UnitName(int32_t unit)
{
    return unit >= 0 && unit < UnitCount ? QString::fromLatin1(UnitNames[unit]) : QString();
}

int32_t UnitDecimalsFor(int32_t unit)
{
    switch (unit) {
    case 1:
        return 2;
    case 2:
        return 3;
    default:
        return 1;
    }
}

int32_t UnitDecimals() { return UnitDecimalsFor(CurrentLengthUnit); }
