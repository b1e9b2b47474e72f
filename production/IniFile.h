#pragma once
#include "app/WholeFile.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// A small INI text file: "[section]" headers and "key=value" lines, kept as
// written. Keys and sections match without regard to case; keys are written
// exactly as given (blanks and all), which is what other readers of these
// files expect. Lines it does not understand are kept as they stand, and so
// are the encoding and every line's own end: what the program does not change
// is written back byte for byte.
class TIniFile {
public:
    // Reads a file; false (and no sections) when it can't be read, with the
    // reason in `error`.
    bool Load(const QString& path, QString* error = nullptr);
    // Reads the text of a file.
    void Parse(const QString& text);

    bool SectionExists(const QString& section) const;
    // The value of a key, trimmed; nothing when the section or the key is missing.
    std::optional<QString> Value(const QString& section, const QString& key) const;
    // Sets a key (appends the section or the key when missing).
    void SetValue(const QString& section, const QString& key, const QString& value);
    void EraseSection(const QString& section);

    // The whole file as text; new lines end as the file's first line does
    // (CR LF in a new file).
    QString Text() const;
    // Writes the whole file in the encoding it was read in, or leaves the
    // earlier file as it was.
    WriteResult Save(const QString& path) const;

private:
    struct Line {
        QString text;
        QString end;  // "\r\n", "\n", "\r", or empty for a last line without one
    };
    struct Section {
        QString name;  // empty for the lines before the first header
        Line header;   // the header line as read
        std::vector<Line> lines;
    };
    enum class Encoding { Utf8, Latin1, Utf16LE, Utf16BE };
    Section* Find(const QString& section);
    const Section* Find(const QString& section) const;
    std::vector<Section> m_sections;
    QString m_newline = QStringLiteral("\r\n");
    Encoding m_encoding = Encoding::Utf8;
    bool m_bom = false;
};
