#include "app/JobInfo.h"

#include "app/MathUtil.h"
#include "app/NumericEntry.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "job/Geometry.h"

namespace {
// A job length in steps as the operator sees it: scaled, then in mm.
double ScaledMm(double steps, double skala) { return StepsToMm(RoundEven(skala * steps / 100.0)); }

// Fixed with the given decimals, as the operator's language writes numbers.
QString Fixed(double value, int decimals) { return FloatToStrF(value, ffFixed, 7, decimals, LanguageLocale()); }
}  // namespace

JobInfoTexts MakeJobInfo(const JobInfoInput& in)
{
    JobInfoTexts t;
    const QString unitName = UnitName(in.unit);
    t.width = Fixed(MmToUnit(in.unit, ScaledMm(in.widthSteps, in.skala)), 2) + " " + unitName;
    t.height = Fixed(MmToUnit(in.unit, ScaledMm(in.heightSteps, in.skala)), 2) + " " + unitName;

    double length = 0;
    switch (in.mode) {
    case 0:
    case 2:
    case 4:
        length = ScaledMm(in.totalLengthSteps, in.skala);
        break;
    case 1:
    case 3:
        length = ScaledMm(in.repeats * in.totalLengthSteps, in.skala);
        break;
    default:
        return t;
    }
    t.length = in.unit == 0 ? Fixed(length / 1000.0, 2) + " m"
                            : Fixed(MmToUnit(in.unit, length), 2) + " " + unitName;
    if (in.cutSpeed > 0)
        t.time = Fixed(length / in.cutSpeed + 0.03 * static_cast<double>(in.figureCount), 0) + " min";
    return t;
}
