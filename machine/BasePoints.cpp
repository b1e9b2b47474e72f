#include "machine/BasePoints.h"

#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/MachineOperations.h"
#include "machine/MachineState.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>

namespace {
QString Value(double v)
{
    QString text = QString::number(v, 'f', 3);
    text.replace('.', QLocale().decimalPoint());
    return text.rightJustified(9, ' ');
}

std::optional<double> Field(const QString& line, const QString& key, qsizetype& end)
{
    const qsizetype at = line.indexOf(key);
    if (at < 0)
        return std::nullopt;
    QString text = line.mid(at + key.size(), 9).trimmed();
    end = at + key.size() + 9;
    text.replace(',', '.');
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}
}  // namespace

QString BasePointLine(double x, double y, int32_t unit)
{
    return "X=" + Value(x) + "   Y=" + Value(y) + " " + UnitName(unit);
}

std::optional<std::pair<double, double>> ParseBasePointLine(const QString& line, int32_t currentUnit)
{
    qsizetype end = 0;
    const std::optional<double> x = Field(line, "X=", end);
    const std::optional<double> y = Field(line, "Y=", end);
    if (!x || !y)
        return std::nullopt;
    // The unit the point was taken in, when the line names it.
    int32_t unit = currentUnit;
    const QString rest = line.mid(end).trimmed();
    for (int32_t u = 0; u < UnitCount; ++u)
        if (rest == UnitName(u))
            unit = u;
    return std::make_pair(UnitToMm(unit, *x), UnitToMm(unit, *y));
}

BasePoints::BasePoints(QString file) : m_file(std::move(file)) {}

void BasePoints::Load()
{
    QFile f(m_file);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = f.readAll();
    QString text;
    if (bytes.startsWith("\xFF\xFE"))
        text = QStringDecoder(QStringConverter::Utf16LE)(bytes.mid(2));
    else
        text = QStringDecoder(QStringConverter::System)(bytes);
    text.replace("\r\n", "\n");
    lista = text.split('\n');
    if (!lista.isEmpty() && lista.last().isEmpty())
        lista.removeLast();
    ItemIndex = -1;
}

bool BasePoints::Save() const
{
    QByteArray bytes("\xFF\xFE", 2);
    QStringEncoder encode(QStringConverter::Utf16LE);
    for (const QString& line : lista)
        bytes += encode(line + "\r\n");
    QSaveFile out(m_file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        ShowMessageBox(Tr("Universal", "zbioruNieMoznaOtworzyc") + m_file, true);
        return false;
    }
    return true;
}

void BasePoints::DodajClick(int32_t unit)
{
    const double x = MmToUnit(unit, PlotState.FrontX / 100.0);
    const double y = MmToUnit(unit, PlotState.FrontY / 100.0);
    lista.append(BasePointLine(x, y, unit));
    ItemIndex = static_cast<int>(lista.size()) - 1;
    usunEnabled = ustawEnabled = true;
    Save();
}

void BasePoints::listaClick(int index)
{
    ItemIndex = index;
    usunEnabled = ustawEnabled = true;
}

void BasePoints::usunClick()
{
    if (ItemIndex < 0 || ItemIndex >= lista.size())
        return;
    lista.removeAt(ItemIndex);
    if (lista.isEmpty()) {
        ItemIndex = -1;
        usunEnabled = ustawEnabled = false;
    } else {
        ItemIndex = std::min(ItemIndex, static_cast<int>(lista.size()) - 1);
    }
    Save();
}

std::optional<std::pair<double, double>> BasePoints::PrzepiszClick(int32_t unit) const
{
    if (ItemIndex < 0 || ItemIndex >= lista.size())
        return std::nullopt;
    return ParseBasePointLine(lista[ItemIndex], unit);
}

BasePoints::Go BasePoints::ustawClick(Machine& machine, MachineOperations& operations, int32_t unit)
{
    if (lista.isEmpty())
        return Go::StayOpen;
    if (ItemIndex < 0 || ItemIndex >= lista.size())
        return Go::Close;
    const std::optional<std::pair<double, double>> point = PrzepiszClick(unit);
    if (!point) {
        ShowMessageBox(Tr("Universal", "bladProgramu") + "\n" + lista[ItemIndex], true);
        return Go::StayOpen;
    }
    // Checked before the heater goes on: a refused go-to leaves the wire cold.
    if (!operations.GoToAllowed())
        return Go::Close;
    // Nor is it heated for a go-to that could not know where the wires stand.
    if (!ReadPositionsForMove(machine, QStringLiteral("Goto point")))
        return Go::Close;
    if (!SendCommand(machine, Bytes({'R', 1, 2})))
        return Go::Close;
    WaitHeatUp(machine);
    if (!operations.gotopoint(false, 2, point->first, point->first, point->second, point->second,
                              PlotState.TableTurnSteps, PlotState.SpindleTurnSteps))
        SendCommand(machine, Bytes({'R', 0, 2}));  // no move: the wire does not stand hot
    return Go::Close;
}
