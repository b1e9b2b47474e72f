#pragma once
#include <QByteArray>
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

    explicit operator bool() const { return ok; }
    static WriteResult Failed(const QString& path, const QString& reason) { return {false, path, reason}; }
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
    explicit WholeFileWriter(const QString& path);
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
    WriteResult m_result;
    qint64 m_written = 0;
};

// The whole of `bytes` as the file at `path`.
WriteResult WriteWholeFile(const QString& path, const QByteArray& bytes);

// The same, for writes made at the program's end: a file that already holds
// exactly these bytes is left alone, so that quitting never risks a file for
// nothing.
WriteResult WriteWholeFileIfChanged(const QString& path, const QByteArray& bytes);

// What the operator is told of a failed write: that it failed and the older
// file stayed, the path, the reason.
QString WriteFailureText(const WriteResult& result);
// Tells the operator of a failed write in one error box; true when it went well.
bool ReportWrite(const WriteResult& result);
