#include "app/WholeFile.h"

#include "app/MessageBoxes.h"
#include "app/Translator.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <cerrno>
#include <utility>

namespace {
// The program's words for the reasons an operator can act on; Qt words every
// system error as the C library does, so the reasons are known by that text.
QString Reason(const QFileDevice& file, const QString& path, qint64 written)
{
    const QString system = file.errorString();
    const std::pair<int, QString> known[] = {
        {ENOSPC, Tr("Universal", "zapisBrakMiejsca")}, {EDQUOT, Tr("Universal", "zapisBrakMiejsca")},
        {EFBIG, Tr("Universal", "zapisZaDuzy")},       {EACCES, Tr("Universal", "zapisBrakDostepu")},
        {EPERM, Tr("Universal", "zapisBrakDostepu")},  {EROFS, Tr("Universal", "zapisTylkoOdczyt")},
    };
    for (const auto& [code, text] : known)
        if (system == qt_error_string(code))
            return text == QLatin1String("error") ? system : text;
    if (!system.isEmpty() && system != QLatin1String("Unknown error"))
        return system;
    // Fewer bytes reached the disk than were written, and the system said
    // nothing: a disk that filled up on the way says so by its free space.
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    if (disk.isValid() && disk.bytesAvailable() < written)
        return Tr("Universal", "zapisBrakMiejsca");
    return Tr("Universal", "zapisNiepelny");
}
}  // namespace

WholeFileWriter::WholeFileWriter(const QString& path) : m_file(std::make_unique<QSaveFile>(path))
{
    m_result.path = path;
    if (!m_file->open(QIODevice::WriteOnly))
        Fail();
}

WholeFileWriter::~WholeFileWriter() { Cancel(); }

void WholeFileWriter::Fail()
{
    if (!m_result.ok)
        return;
    m_result.ok = false;
    m_result.reason = Reason(*m_file, m_result.path, m_written);
    Cancel();
}

void WholeFileWriter::Cancel()
{
    if (m_file && m_file->isOpen())
        m_file->cancelWriting();
    m_file.reset();
}

bool WholeFileWriter::Write(const QByteArray& bytes)
{
    if (!m_result.ok || !m_file)
        return false;
    m_written += bytes.size();  // meant for the disk, whether it takes them or not
    if (m_file->write(bytes) != bytes.size()) {
        Fail();
        return false;
    }
    return true;
}

WriteResult WholeFileWriter::Commit()
{
    if (!m_result.ok || !m_file)
        return m_result;
    // The size is the disk's own word on what arrived: a short write that
    // reported no error still shows there.
    if (!m_file->flush() || m_file->size() != m_written || !m_file->commit()) {
        Fail();
        return m_result;
    }
    m_file.reset();
    return m_result;
}

WriteResult WriteWholeFile(const QString& path, const QByteArray& bytes)
{
    WholeFileWriter out(path);
    out.Write(bytes);
    return out.Commit();
}

WriteResult WriteWholeFileIfChanged(const QString& path, const QByteArray& bytes)
{
    QFile old(path);
    if (old.open(QIODevice::ReadOnly) && old.size() == bytes.size() && old.readAll() == bytes)
        return {true, path, QString()};
    old.close();
    return WriteWholeFile(path, bytes);
}

QString WriteFailureText(const WriteResult& result)
{
    return Tr("Universal", "zapisNieudany") + "\r\n" + result.path + "\r\n" + result.reason;
}

bool ReportWrite(const WriteResult& result)
{
    if (!result.ok)
        ShowMessageBox(WriteFailureText(result), true);
    return result.ok;
}
