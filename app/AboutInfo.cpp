#include "app/AboutInfo.h"

#include "app/Globals.h"
#include "app/NumericEntry.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "machine/CommandLayer.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"

#include <QFileInfo>

#ifndef PELV_MAKER_URL
#define PELV_MAKER_URL ""
#endif
#ifndef PELV_DEALER_URL
#define PELV_DEALER_URL ""
#endif

namespace {
QString Length(double mm, int decimals)
{
    return FloatToStrF(MmToUnit(CurrentLengthUnit, mm), ffFixed, 7, decimals, LanguageLocale());
}

QString Area(double x, double y)
{
    return Length(x, 1) + "x" + Length(y, 1) + " " + UnitName(CurrentLengthUnit);
}
}  // namespace

AboutBrand AboutBrandFor(const QString& brand)
{
    AboutBrand b;
    if (brand.isEmpty() || brand == QLatin1String("DRAVINOR"))
        b.link = QStringLiteral(PELV_MAKER_URL);
    else if (brand == QLatin1String("VOSKAR"))
        b.link = QStringLiteral(PELV_DEALER_URL);
    b.showMaker = brand.isEmpty() || brand == QLatin1String("DRAVINOR");
    const QString logo = ProgramDir + brand + ".bmp";
    if (QFileInfo(logo).isFile())
        b.logoFile = logo;
    return b;
}

QString RunTimeText(int32_t minutes)
{
    // Whole numbers in plain decimal, without grouping, in every language.
    return QString::number(minutes / 60) + Tr("About", "godz") + QString::number(minutes % 60) + " min.";
}

AboutMachineTexts AboutWithoutMachine()
{
    AboutMachineTexts t;
    const QString none = Tr("About", "brakDanych");
    for (QString* s : {&t.prod, &t.model, &t.obszarFront, &t.obszarSide, &t.szerokosc, &t.przebieg, &t.ilpl,
                       &t.ARMwersja})
        *s = none;
    return t;
}

AboutMachineTexts ReadAboutMachine(Machine& machine, bool noXSide)
{
    if (!ReadStatus(machine))
        return AboutWithoutMachine();
    AboutMachineTexts t;
    IdentifyMachine(machine);
    t.prod = PlotState.VendorName;
    t.model = PlotState.ProductName;
    t.obszarFront = Area(FrontLimitX, FrontLimitY);
    t.obszarSide = noXSide ? Length(SideLimitY, 1) + " " + UnitName(CurrentLengthUnit) : Area(SideLimitX, SideLimitY);
    // Decided for the machine attached now: one plugged in after another model
    // shows its own rows.
    t.showWidth = PlotState.ModelCode == QLatin1String("Ro") || PlotState.ModelCode == QLatin1String("qz") ||
                  SupportsIndependentCut();
    if (t.showWidth)
        t.szerokosc = Length(MachineWidth, UnitDecimals()) + " " + UnitName(CurrentLengthUnit);
    t.przebieg = RunTimeText(PlotState.MachineCounter1);
    t.ilpl = QString::number(PlotState.MachineCounter2);
    t.ARMwersja = ReadFirmwareVersion(machine);
    return t;
}
