#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>

class QSaveFile;

// What became of writing a file: whole, or not at all and why.
struct WriteResult {
    bool ok = true;
    QString path;
    // Why it failed: the program's own words for the reasons it knows (a full
    // disk, no access), the system's text for any other.
    QString reason;
    // Whether no file of that name is left (it had to go with the failure).
    bool removed = false;

    explicit operator bool() const { return ok; }
    static WriteResult Failed(const QString& path, const QString& reason) { return {false, path, reason, false}; }
};

// A file the program reads: only a plain file, or a link to one, is opened. A
// folder, a device or a pipe in its place is refused with the program's own
// reason (a pipe would hold the open until something wrote to it).
class InputFile : public QFile {
public:
    explicit InputFile(const QString& path) : QFile(path) {}
    bool open(OpenMode mode) override;
    using QFile::open;
};

// Why a file that exists at `path` is no file the program may read or write,
// or an empty text when it is one (or does not exist).
QString NotPlainFileReason(const QString& path);

// What a failed write does with the older file of the same name.
enum class FailedWrite {
    KeepsOld,    // it stays exactly as it was
    RemovesOld,  // it goes too, so that it can never be taken for the new one
};

// The one way the program writes a file. The bytes go to a new file beside the
// old one, which takes the old one's place only when every write, the flush
// and the file's size have been checked; on any failure the new file goes and
// the old one stays exactly as it was. (A buffered write that found the disk
// full shows only at the flush, and a commit after it would put the cut-short
// file in place.)
class WholeFileWriter {
public:
    // Opens the new file beside `path`; a failure shows in Result().
    explicit WholeFileWriter(const QString& path, FailedWrite onFailure = FailedWrite::KeepsOld);
    // An unfinished file is dropped.
    ~WholeFileWriter();
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;

    // Appends; false once anything failed (what follows is then dropped).
    bool Write(const QByteArray& bytes);
    // Puts the file in place; what happened, once.
    WriteResult Commit();
    // Drops the new file; the old one stays.
    void Cancel();

    bool Failed() const { return !m_result.ok; }
    const QString& Path() const { return m_result.path; }
    const WriteResult& Result() const { return m_result; }

private:
    void Fail();
    std::unique_ptr<QSaveFile> m_file;
    FailedWrite m_onFailure;
    WriteResult m_result;
    qint64 m_written = 0;
};

// The whole of `bytes` as the file at `path`.
WriteResult WriteWholeFile(const QString& path, const QByteArray& bytes);

// The same, for writes made at the program's end: a file that already holds
// exactly these bytes is left alone, so that quitting never risks a file for
// nothing.
WriteResult WriteWholeFileIfChanged(const QString& path, const QByteArray& bytes);

// What the operator is told of a failed write: that it failed and whether the
// older file stayed or no file is left, the path, the reason.
QString WriteFailureText(const WriteResult& result);
// Tells the operator of a failed write in one error box; true when it went well.
bool ReportWrite(const WriteResult& result);
