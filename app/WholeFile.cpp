#include "app/WholeFile.h"

#include "app/MessageBoxes.h"
#include "app/Translator.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {
// The program's words for the reasons an operator can act on, by the system's
// error code; empty for any other.
QString KnownReason(int code)
{
    switch (code) {
    case ENOSPC:
    case EDQUOT:
        return Tr("Universal", "zapisBrakMiejsca");
    case EFBIG:
        return Tr("Universal", "zapisZaDuzy");
    case EACCES:
    case EPERM:
        return Tr("Universal", "zapisBrakDostepu");
    case EROFS:
        return Tr("Universal", "zapisTylkoOdczyt");
    default:
        return QString();
    }
}

QString Reason(const QFileDevice& file, const QString& path, qint64 written)
{
    // An existing file that may not be written is refused before the system is
    // asked, in Qt's own untranslated words; the system says why.
    const QByteArray native = QFile::encodeName(path);
    if (::access(native.constData(), F_OK) == 0 && ::access(native.constData(), W_OK) != 0)
        if (QString known = KnownReason(errno); !known.isEmpty())
            return known;
    // Qt words every system error as the C library does, so the reasons are
    // known by that text.
    const QString system = file.errorString();
    for (int code : {ENOSPC, EDQUOT, EFBIG, EACCES, EPERM, EROFS})
        if (system == qt_error_string(code))
            return KnownReason(code);
    if (!system.isEmpty() && system != QLatin1String("Unknown error"))
        return system;
    // Fewer bytes reached the disk than were written, and the system said
    // nothing: a disk that filled up on the way says so by its free space.
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    if (disk.isValid() && disk.bytesAvailable() < written)
        return Tr("Universal", "zapisBrakMiejsca");
    return Tr("Universal", "zapisNiepelny");
}

bool IsPlain(const struct stat& st) { return S_ISREG(st.st_mode); }
}  // namespace

QString NotPlainFileReason(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || IsPlain(st))
        return QString();
    return Tr("Universal", "plikNieZwykly");
}

bool InputFile::open(OpenMode mode)
{
    if (const QString reason = NotPlainFileReason(fileName()); !reason.isEmpty()) {
        setErrorString(reason);
        return false;
    }
    if (!QFile::open(mode))
        return false;
    // Something else put in its place since: not read either.
    struct stat st {};
    if (::fstat(handle(), &st) != 0 || !IsPlain(st)) {
        close();
        setErrorString(Tr("Universal", "plikNieZwykly"));
        return false;
    }
    return true;
}

WholeFileWriter::WholeFileWriter(const QString& path, FailedWrite onFailure)
    : m_file(std::make_unique<QSaveFile>(path)), m_onFailure(onFailure)
{
    m_result.path = path;
    if (const QString reason = NotPlainFileReason(path); !reason.isEmpty()) {
        // Not written, and not replaced either: it is no file of ours.
        m_result = WriteResult::Failed(path, reason);
        m_file.reset();
        return;
    }
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
    if (m_onFailure == FailedWrite::RemovesOld)
        m_result.removed = QFile::remove(m_result.path) || !QFileInfo::exists(m_result.path);
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
    InputFile old(path);
    if (old.open(QIODevice::ReadOnly) && old.size() == bytes.size() && old.readAll() == bytes)
        return {true, path, QString(), false};
    old.close();
    return WriteWholeFile(path, bytes);
}

QString WriteFailureText(const WriteResult& result)
{
    return Tr("Universal", result.removed ? "zapisNieudanyUsuniety" : "zapisNieudany") + "\r\n" + result.path +
           "\r\n" + result.reason;
}

bool ReportWrite(const WriteResult& result)
{
    if (!result.ok)
        ShowMessageBox(WriteFailureText(result), true);
    return result.ok;
}
