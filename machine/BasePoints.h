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

    // Replaces the list with the file's lines when the file exists. A file
    // that is not such a text (UTF-16 without its byte-order mark, another
    // file's bytes, over 1 MiB) or can't be read is reported and from then on
    // never written: the points the operator adds are kept in memory only.
    void Load();
    // Writes the whole list, or leaves the older file as it was and tells the
    // operator why; a file that already holds the list is not written again.
    // False when the list is not on disk.
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
    bool m_refused = false;
};
