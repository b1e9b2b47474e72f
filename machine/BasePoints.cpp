#include "machine/BasePoints.h"

#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/WholeFile.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/MachineOperations.h"
#include "machine/MachineState.h"

#include <QFile>
#include <QLocale>
#include <QFileInfo>
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

namespace {
// A list of base points is a few dozen short lines; a file a thousand times
// that is some other file.
constexpr qint64 kMaxBaseFileBytes = 1 << 20;

// The text of a base points file: UTF-16 with its byte-order mark as the
// program writes it, UTF-8 with one, or the system's code page without.
// Nothing, with the reason, for bytes that are no such text (UTF-16 without a
// mark among them: its zero bytes are no text of any code page).
std::optional<QString> DecodeBaseText(const QByteArray& bytes, QString& reason)
{
    struct Mark {
        const char* bytes;
        int size;
        QStringConverter::Encoding encoding;
    };
    static const Mark marks[] = {{"\xFF\xFE", 2, QStringConverter::Utf16LE},
                                 {"\xFE\xFF", 2, QStringConverter::Utf16BE},
                                 {"\xEF\xBB\xBF", 3, QStringConverter::Utf8}};
    QStringConverter::Encoding encoding = QStringConverter::System;
    qsizetype skip = 0;
    for (const Mark& m : marks)
        if (bytes.startsWith(QByteArrayView(m.bytes, m.size))) {
            encoding = m.encoding;
            skip = m.size;
            break;
        }
    const QByteArrayView body = QByteArrayView(bytes).sliced(skip);
    QStringDecoder decode(encoding, QStringConverter::Flag::Stateless);
    QString text = decode(body);
    const bool wide = encoding == QStringConverter::Utf16LE || encoding == QStringConverter::Utf16BE;
    if (decode.hasError() || (wide && body.size() % 2 != 0) || text.contains(QChar(0))) {
        reason = Tr("Base_points", "plikNieTekst");
        return std::nullopt;
    }
    return text;
}
}  // namespace

void BasePoints::Load()
{
    m_refused = false;
    const QFileInfo info(m_file);
    if (!info.exists())
        return;
    QString reason;
    std::optional<QString> text;
    InputFile f(m_file);
    if (!info.isFile()) {
        reason = Tr("Base_points", "plikNieTekst");
    } else if (info.size() > kMaxBaseFileBytes) {
        reason = Tr("Base_points", "plikZaDuzy");
    } else if (!f.open(QIODevice::ReadOnly)) {
        reason = f.errorString();
    } else {
        const QByteArray bytes = f.read(kMaxBaseFileBytes + 1);
        if (f.error() != QFileDevice::NoError)
            reason = f.errorString();
        else if (bytes.size() > kMaxBaseFileBytes)
            reason = Tr("Base_points", "plikZaDuzy");
        else
            text = DecodeBaseText(bytes, reason);
    }
    if (!text) {
        // Whatever the file holds stays there: read as garbage, the next
        // change would write the garbage over every point.
        m_refused = true;
        ShowMessageBox(Tr("Base_points", "plikNieczytelny") + "\r\n" + m_file + "\r\n" + reason, true);
        return;
    }
    text->replace("\r\n", "\n");
    lista = text->split('\n');
    if (!lista.isEmpty() && lista.last().isEmpty())
        lista.removeLast();
    ItemIndex = -1;
}

bool BasePoints::Save() const
{
    if (m_refused)
        return false;
    QByteArray bytes("\xFF\xFE", 2);
    QStringEncoder encode(QStringConverter::Utf16LE);
    for (const QString& line : lista)
        bytes += encode(line + "\r\n");
    return ReportWrite(WriteWholeFileIfChanged(m_file, bytes));
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
    // Nor for a point that would take the wires onto the side wire.
    if (!WiresStayAboveSideWire(machine, point->second, point->second, std::nullopt, QStringLiteral("Goto point")))
        return Go::Close;
    if (!SendCommand(machine, Bytes({'R', 1, 2})))
        return Go::Close;
    WaitHeatUp(machine);
    if (!operations.gotopoint(false, 2, point->first, point->first, point->second, point->second,
                              PlotState.TableTurnSteps, PlotState.SpindleTurnSteps))
        (void)WriteCommand(machine, Bytes({'R', 0, 2}));  // no move: the wire does not stand hot; told once
    return Go::Close;
}
