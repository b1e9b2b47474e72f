#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/WholeFile.h"
#include "job/DrawingExport.h"
#include "job/Geometry.h"
#include "job/Job.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {
// A DXF value: at most 7 significant digits, the unit's decimals, "." always
// (Qt's number conversions ignore the locale).
QByteArray DxfNumber(double mm, int32_t decimals)
{
    if (std::fabs(mm) >= 1e7)
        return QByteArray::number(mm, 'E', 6);
    const double rounded = QByteArray::number(mm, 'g', 7).toDouble();
    QByteArray text = QByteArray::number(rounded, 'f', decimals);
    if (text.startsWith('-') && std::all_of(text.begin() + 1, text.end(), [](char c) { return c == '0' || c == '.'; }))
        text.remove(0, 1);  // no "-0.0"
    return text;
}
}  // namespace

WriteResult TJob::SaveAsHPGL(const QString& fileName) const
{
    QByteArray text;
    for (const auto& f : FigureList) {
        if (!f || f->Points.empty())
            continue;
        const std::vector<TFigPoint>& p = f->Points;
        text += "PA " + QByteArray::number(p[0].x) + "," + QByteArray::number(p[0].y) + ";\r\n";
        for (size_t i = 1; i < p.size(); ++i)
            text += "PD " + QByteArray::number(p[i].x) + "," + QByteArray::number(p[i].y) + ";\r\n";
        text += "PU;\r\n";
    }
    return WriteWholeFile(fileName, text);
}

WriteResult TJob::ZapiszDXF(const QString& fileName) const
{
    const int32_t decimals = UnitDecimals();
    QByteArray text = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
    const QByteArray zero = DxfNumber(0, decimals);
    for (const auto& f : FigureList) {
        if (!f || f->Points.empty())
            continue;
        text += "  0\r\nPOLYLINE\r\n";
        for (const TFigPoint& p : f->Points) {
            text += "  0\r\nVERTEX\r\n  10\r\n" + DxfNumber(StepsToMm(p.x), decimals) + "\r\n  20\r\n" +
                    DxfNumber(StepsToMm(p.y), decimals) + "\r\n  30\r\n" + zero + "\r\n";
        }
        text += "  0\r\nSEQEND\r\n";
    }
    text += "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
    return WriteWholeFile(fileName, text);
}

QString SerialDxfPath(const QString& folder, int32_t index)
{
    return folder + "/" + QString("%1").arg(index, 3, 10, QChar('0')) + ".dxf";
}

bool SaveSerialRun(const std::vector<TJob*>& windows, const QString& modelFile, const SerialSaveHooks& hooks)
{
    if (!hooks.chooseFolder)
        return false;
    const QFileInfo model(modelFile);
    const QString proposed = modelFile.isEmpty() ? QString() : model.completeBaseName();
    const QString initial = modelFile.isEmpty() ? QString() : model.absolutePath();
    QString folder;
    if (!hooks.chooseFolder(Tr("Main_window", "msgWskazKatalog"), Tr("Main_window", "btnZapisPrzebiegowSeryjnych"),
                            initial, proposed, folder))
        return false;
    // Without a folder the files would land at the root of the file system.
    if (folder.isEmpty()) {
        ShowMessageBox(Tr("Main_window", "msgWskazKatalog"), true);
        return false;
    }
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    // Names match in any case: "A.DXF" counts as a DXF file too.
    if (!QDir(folder).entryList({"*.dxf"}, QDir::Files).isEmpty()) {
        const QString text = Tr("Main_window", "msgZapisSeryjnego3D_plikiIstnieja_1") + "\r\n\r\n" +
                             Tr("Main_window", "msgZapisSeryjnego3D_plikiIstnieja_2") + "\r\n\r\n" +
                             Tr("Main_window", "msgZapisSeryjnego3D_plikiIstnieja_3") + "\r\n" +
                             Tr("Main_window", "msgZapisSeryjnego3D_plikiIstnieja_4");
        if (AskBeforeDiscarding(text, MessageButtons::OkCancel, Tr("Universal", "uwaga")) != mrOk)
            return false;
    }
    for (int32_t i = 0; i <= 9999; ++i) {
        for (TJob* job : windows) {
            if (!job || job->SerialIndex != i)
                continue;
            if (hooks.activate)
                hooks.activate(*job);
            if (!ReportWrite(job->ZapiszDXF(SerialDxfPath(folder, i))))
                return false;
        }
    }
    return true;
}
