#pragma once
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

class Machine;
class MachineOperations;

// One base point as the list shows it: "X=" value "   Y=" value, each fixed
// with 3 decimals, the locale's separator, padded to 9 characters, and the
// unit the values are in after the Y value.
QString BasePointLine(double x, double y, int32_t unit);
// The point of a line in millimetres: the 9 characters after "X=" and after
// "Y=", with "." or "," alike, in the unit the line names (a line without one:
// `currentUnit`). Nothing when a value is no number.
std::optional<std::pair<double, double>> ParseBasePointLine(const QString& line, int32_t currentUnit);

// The base points of the front carriage and their file "base.txt" (UTF-16LE
// with a byte-order mark, CR LF), which is rewritten whole after every change.
class BasePoints {
public:
    explicit BasePoints(QString file);

    // Replaces the list with the file's lines when the file exists.
    void Load();
    // Writes the whole list through a temporary file; a failure is told in a box.
    bool Save() const;

    // The front carriage where the machine state last had it, appended and selected.
    void DodajClick(int32_t unit);
    void listaClick(int index);
    void usunClick();
    std::optional<std::pair<double, double>> PrzepiszClick(int32_t unit) const;

    enum class Go { StayOpen, Close };
    // Drives both carriages to the selected point, heated; the rotary axes
    // stay where they are. Refused (nothing sent) when a go-to can't run.
    Go ustawClick(Machine& machine, MachineOperations& operations, int32_t unit);

    QStringList lista{QStringLiteral("X=    1,000   Y=    1,000")};
    int ItemIndex = -1;
    bool usunEnabled = false, ustawEnabled = false;

private:
    QString m_file;
};
