#include "production/SerialCutParams.h"

#include "app/Globals.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"
#include "app/Translator.h"
#include "job/Job.h"
#include "machine/MachineState.h"

#include <algorithm>

QString CaptionWithoutFolder(const QString& caption)
{
    const qsizetype cut = std::max({caption.lastIndexOf('\\'), caption.lastIndexOf('/'), caption.lastIndexOf(':')});
    return caption.mid(cut + 1);
}

std::vector<SerialCutRow> SerialCutRows(const std::vector<std::pair<TJob*, QString>>& windows)
{
    std::vector<SerialCutRow> rows;
    for (const auto& [job, caption] : windows)
        if (job)
            rows.push_back({job, CaptionWithoutFolder(caption)});
    std::stable_sort(rows.begin(), rows.end(), [](const SerialCutRow& a, const SerialCutRow& b) {
        return a.job->SerialIndex < b.job->SerialIndex;
    });
    return rows;
}

QString DefaultSerialAngle(int windows) { return FloatToStrGeneral(180.0 / std::max(1, windows)); }

int AcceptSerialAngles(const std::vector<SerialCutRow>& rows, const std::vector<QString>& angleTexts)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        double angle = 0.0;
        const bool number = i < angleTexts.size() && TextToFloat(angleTexts[i], angle);
        if (!number || angle < -360.0 || angle > 360.0) {
            ShowMessageBox(Tr("Serial_cut", "poprawKat") + QString::number(i + 1), true);
            return static_cast<int>(i);
        }
        rows[i].job->RotationAngle = angle;
    }
    return -1;
}

double SerialHeightLimit() { return PlotState.ProductName.trimmed() == QLatin1String("H 00") ? 239.0 : 5.0; }

bool AcceptSerialRepeats(Machine* machine, const TDlgkonfigModel& settings, double repeats, double shiftMm)
{
    SerialRepeats = Clamp32(RoundToInt64Sat(repeats));
    SerialShiftDown = shiftMm;
    if (settings.Value("Ystolika") - SerialRepeats * SerialShiftDown >= SerialHeightLimit())
        return true;
    ShowMessageBox(Tr("Serial_cut", "poprawIloscPowtorzen"), true);
    return false;
}
