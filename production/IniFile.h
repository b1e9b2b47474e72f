#pragma once
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// A small INI text file: "[section]" headers and "key=value" lines, kept as
// written. Keys and sections match without regard to case; keys are written
// exactly as given (blanks and all), which is what other readers of these
// files expect. Lines it does not understand are kept as they stand.
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

    // The whole file as text, lines ended by CR LF.
    QString Text() const;
    // Writes the file through a temporary one beside it, so that a failed
    // write leaves the earlier file intact; false with the reason in `error`.
    bool Save(const QString& path, QString* error = nullptr) const;

private:
    struct Section {
        QString name;  // empty for the lines before the first header
        QStringList lines;
    };
    Section* Find(const QString& section);
    const Section* Find(const QString& section) const;
    std::vector<Section> m_sections;
    // How the file read was encoded, kept when it is written again.
    bool m_latin1 = false;
    bool m_bom = false;
};
