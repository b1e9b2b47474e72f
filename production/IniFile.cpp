#include "production/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {
// "[name]" -> name; nothing when the line is no header.
std::optional<QString> HeaderName(const QString& line)
{
    const QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith('[') || !t.endsWith(']'))
        return std::nullopt;
    return t.mid(1, t.size() - 2).trimmed();
}

bool IsKeyLine(const QString& line, const QString& key, QString* value = nullptr)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0 || line.left(eq).trimmed().compare(key.trimmed(), Qt::CaseInsensitive) != 0)
        return false;
    if (value)
        *value = line.mid(eq + 1).trimmed();
    return true;
}
}  // namespace

bool TIniFile::Load(const QString& path, QString* error)
{
    m_sections.clear();
    m_latin1 = m_bom = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    // Files of other programs may come in a single-byte code page: read byte
    // for byte, they are written back unchanged.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    m_latin1 = utf8.hasError();
    if (m_latin1)
        text = QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF))) {
        m_bom = true;
        text.remove(0, 1);
    }
    Parse(text);
    return true;
}

void TIniFile::Parse(const QString& text)
{
    m_sections.clear();
    m_sections.push_back({});
    QString all = text;
    all.replace("\r\n", "\n");
    QStringList lines = all.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    for (const QString& line : lines) {
        if (const auto name = HeaderName(line))
            m_sections.push_back({*name, {}});
        else
            m_sections.back().lines.push_back(line);
    }
}

TIniFile::Section* TIniFile::Find(const QString& section)
{
    for (Section& s : m_sections)
        if (!s.name.isEmpty() && s.name.compare(section, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const TIniFile::Section* TIniFile::Find(const QString& section) const
{
    return const_cast<TIniFile*>(this)->Find(section);
}

bool TIniFile::SectionExists(const QString& section) const { return Find(section) != nullptr; }

std::optional<QString> TIniFile::Value(const QString& section, const QString& key) const
{
    const Section* s = Find(section);
    if (!s)
        return std::nullopt;
    QString value;
    for (const QString& line : s->lines)
        if (IsKeyLine(line, key, &value))
            return value;
    return std::nullopt;
}

void TIniFile::SetValue(const QString& section, const QString& key, const QString& value)
{
    Section* s = Find(section);
    if (!s) {
        if (m_sections.empty())
            m_sections.push_back({});
        m_sections.push_back({section, {}});
        s = &m_sections.back();
    }
    const QString line = key + "=" + value;
    for (QString& existing : s->lines)
        if (IsKeyLine(existing, key)) {
            existing = line;
            return;
        }
    // After the last key, before any blank lines that close the section.
    qsizetype at = s->lines.size();
    while (at > 0 && s->lines[at - 1].trimmed().isEmpty())
        --at;
    s->lines.insert(at, line);
}

void TIniFile::EraseSection(const QString& section)
{
    std::erase_if(m_sections, [&](const Section& s) {
        return !s.name.isEmpty() && s.name.compare(section, Qt::CaseInsensitive) == 0;
    });
}

QString TIniFile::Text() const
{
    QString out;
    for (const Section& s : m_sections) {
        if (!s.name.isEmpty())
            out += "[" + s.name + "]\r\n";
        for (const QString& line : s.lines)
            out += line + "\r\n";
    }
    return out;
}

bool TIniFile::Save(const QString& path, QString* error) const
{
    QSaveFile file(path);
    const QString text = (m_bom ? QString(QChar(0xFEFF)) : QString()) + Text();
    const QByteArray bytes = m_latin1 ? text.toLatin1() : text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
