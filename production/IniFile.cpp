#include "production/IniFile.h"

#include "app/WholeFile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

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

// UTF-16 without a byte-order mark: plain text in it has a zero byte in every
// other place, which no 8-bit text has.
std::optional<QStringConverter::Encoding> Utf16WithoutMark(const QByteArray& bytes)
{
    if (bytes.size() < 2 || bytes.size() % 2 != 0)
        return std::nullopt;
    qsizetype evenZeros = 0, oddZeros = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\0')
            ++(i % 2 == 0 ? evenZeros : oddZeros);
    const qsizetype half = bytes.size() / 2;
    if (oddZeros * 2 > half && evenZeros == 0)
        return QStringConverter::Utf16LE;
    if (evenZeros * 2 > half && oddZeros == 0)
        return QStringConverter::Utf16BE;
    return std::nullopt;
}
}  // namespace

bool TIniFile::Load(const QString& path, QString* error)
{
    m_sections.clear();
    m_encoding = Encoding::Utf8;
    m_bom = false;
    InputFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QString text;
    std::optional<QStringConverter::Encoding> wide;
    if (bytes.startsWith("\xFF\xFE")) {
        wide = QStringConverter::Utf16LE;
        m_bom = true;
    } else if (bytes.startsWith("\xFE\xFF")) {
        wide = QStringConverter::Utf16BE;
        m_bom = true;
    } else {
        wide = Utf16WithoutMark(bytes);
    }
    if (wide) {
        m_encoding = *wide == QStringConverter::Utf16LE ? Encoding::Utf16LE : Encoding::Utf16BE;
        text = QStringDecoder(*wide, QStringConverter::Flag::Stateless)(QByteArrayView(bytes).sliced(m_bom ? 2 : 0));
    } else {
        // Files of other programs may come in a single-byte code page: read
        // byte for byte, they are written back unchanged.
        // The mark is kept as a character, to be written again.
        QStringDecoder utf8(QStringDecoder::Utf8,
                            QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        text = utf8.decode(bytes);
        if (utf8.hasError()) {
            m_encoding = Encoding::Latin1;
            text = QString::fromLatin1(bytes);
        } else if (text.startsWith(QChar(0xFEFF))) {
            m_bom = true;
            text.remove(0, 1);
        }
    }
    Parse(text);
    return true;
}

void TIniFile::Parse(const QString& text)
{
    m_sections.clear();
    m_sections.push_back({});
    m_newline = QStringLiteral("\r\n");
    bool newlineSeen = false;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype stop = at;
        while (stop < text.size() && text[stop] != '\r' && text[stop] != '\n')
            ++stop;
        Line line{text.mid(at, stop - at), QString()};
        if (stop < text.size()) {
            const bool crlf = text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n';
            line.end = text.mid(stop, crlf ? 2 : 1);
            stop += line.end.size();
            if (!newlineSeen) {
                m_newline = line.end;
                newlineSeen = true;
            }
        }
        at = stop;
        if (const auto name = HeaderName(line.text))
            m_sections.push_back({*name, line, {}});
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
    for (const Line& line : s->lines)
        if (IsKeyLine(line.text, key, &value))
            return value;
    return std::nullopt;
}

void TIniFile::SetValue(const QString& section, const QString& key, const QString& value)
{
    Section* s = Find(section);
    if (!s) {
        if (m_sections.empty())
            m_sections.push_back({});
        m_sections.push_back({section, {"[" + section + "]", m_newline}, {}});
        s = &m_sections.back();
    }
    const QString text = key + "=" + value;
    for (Line& existing : s->lines)
        if (IsKeyLine(existing.text, key)) {
            existing.text = text;
            return;
        }
    // After the last key, before any blank lines that close the section.
    auto at = s->lines.end();
    while (at != s->lines.begin() && (at - 1)->text.trimmed().isEmpty())
        --at;
    s->lines.insert(at, {text, m_newline});
}

void TIniFile::EraseSection(const QString& section)
{
    std::erase_if(m_sections, [&](const Section& s) {
        return !s.name.isEmpty() && s.name.compare(section, Qt::CaseInsensitive) == 0;
    });
}

QString TIniFile::Text() const
{
    std::vector<const Line*> all;
    for (const Section& s : m_sections) {
        if (!s.name.isEmpty())
            all.push_back(&s.header);
        for (const Line& line : s.lines)
            all.push_back(&line);
    }
    QString out;
    for (size_t i = 0; i < all.size(); ++i) {
        out += all[i]->text;
        // A last line without its end that is no longer last gets one.
        out += all[i]->end.isEmpty() && i + 1 < all.size() ? m_newline : all[i]->end;
    }
    return out;
}

WriteResult TIniFile::Save(const QString& path) const
{
    const QString text = (m_bom ? QString(QChar(0xFEFF)) : QString()) + Text();
    QByteArray bytes;
    switch (m_encoding) {
    case Encoding::Utf8:
        bytes = text.toUtf8();
        break;
    case Encoding::Latin1:
        bytes = text.toLatin1();
        break;
    case Encoding::Utf16LE:
        bytes = QStringEncoder(QStringConverter::Utf16LE)(text);
        break;
    case Encoding::Utf16BE:
        bytes = QStringEncoder(QStringConverter::Utf16BE)(text);
        break;
    }
    return WriteWholeFile(path, bytes);
}
