// Every writer of the program on a disk that fills up part-way: the file-size
// limit makes the system refuse the write past a point, as a full disk does
// (the buffered bytes go, the rest fails), without root and without a disk.
#include "app/Globals.h"
#include "app/SettingsFiles.h"
#include "app/Translator.h"
#include "app/WholeFile.h"
#include "job/CutState.h"
#include "job/DrawingExport.h"
#include "job/Job.h"
#include "machine/BasePoints.h"
#include "machine/CutStart.h"
#include "machine/FirmwareUpgrade.h"
#include "machine/JobState.h"
#include "machine/MachineOperations.h"
#include "machine/Transmission.h"
#include "machine/WireSelection.h"
#include "production/Duplication.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Files may grow to `bytes` while it lives; the signal that would end the
// process at the limit is ignored, so the write fails instead.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_old{};
    void (*m_handler)(int) = nullptr;
};

class FullDiskTest : public MachineWorldTest, protected SimulatedRig {
protected:
    void SetUp() override
    {
        MachineWorldTest::SetUp();
        Settings().SetChecked("AddFrame", false);
        PointTolerance = 10.0;
        WireSelection() = TsterModel();
        JobRunning = JobStopped = false;
        JobFileMode = 32;
        IdentifyMachine(m);
    }
    void TearDown() override
    {
        CutOffModel = false;
        SerialRepeats = 0;
        WireSelection() = TsterModel();
        JobRunning = JobStopped = false;
        MachineWorldTest::TearDown();
    }
    // A planned job of a few dozen figures.
    void LoadJob(TJob& job, const QString& name, int figures, int lift = 0)
    {
        QByteArray drawing;
        for (int i = 0; i < figures; ++i) {
            const QByteArray x = QByteArray::number(400 * i), y = QByteArray::number(lift);
            drawing += "PU" + x + "," + y + ";PD" + x + "," + QByteArray::number(lift + 300) + "," +
                       QByteArray::number(400 * i + 300) + "," + QByteArray::number(lift + 300) + "," +
                       QByteArray::number(400 * i + 300) + "," + y + "," + x + "," + y + ";PU;";
        }
        ASSERT_TRUE(job.Load(dir.Write(name, drawing), 255));
    }
    int MessagesNaming(const QString& path) const
    {
        int n = 0;
        for (const MessageRequest& r : boxes.shown)
            n += r.text.contains(path);
        return n;
    }

    ScopedTranslator translator;
    TempProgramDir dir{false};
    ScriptedPresenter boxes;
    Transmission tx{m};
    MachineOperations ops{m, Settings(), false};
    CutStart cut{m, Settings(), WireSelection(), ops, tx};
};

struct Writer {
    const char* name;
    std::function<QString()> path;
    std::function<bool()> write;
    // The machine command file goes rather than stays: an older job must
    // never be cut in place of the one that failed.
    bool olderJobRemoved = false;
};
}  // namespace

TEST_F(FullDiskTest, EveryWriterThatFailsPartWayKeepsTheOlderFileAndSaysSoOnce)
{
    TJob job;
    LoadJob(job, "job.plt", 40);
    BasePoints points(dir.File("base.txt"));
    for (int i = 0; i < 20; ++i)
        points.lista << BasePointLine(i, 2 * i, 0);
    DuplicationParams params{3, 2, 60, 40, 5, 5};
    const DuplicationGrid grid = ConfirmDuplication(params);
    FirmwareUpgrade up(m, {});
    up.FormActivate(ProgramDir);
    const QString serialFolder = dir.File("run");
    QDir().mkpath(serialFolder);
    SerialSaveHooks hooks;
    hooks.chooseFolder = [&](const QString&, const QString&, const QString&, const QString&, QString& folder) {
        folder = serialFolder;
        return true;
    };
    std::vector<std::unique_ptr<TJob>> serial;
    for (int n : {1, 5, 7}) {
        serial.push_back(std::make_unique<TJob>());
        LoadJob(*serial.back(), QString("s%1.plt").arg(n), 12, 40 * n);
        serial.back()->SerialIndex = n;
    }
    const std::vector<TJob*> serialJobs{serial[0].get(), serial[1].get(), serial[2].get()};
    int exits = 0;

    const Writer writers[] = {
        {"settings record", [] { return ProgramDir + "Pelvartonix.gcf"; }, [] { return SaveGcf(); }},
        {"settings record at the end", [] { return ProgramDir + "Pelvartonix.gcf"; },
         [&] {
             Gcf.OpenFolder = QString("/jobs/%1").arg(++exits);  // something to write
             return SettingsFormDestroy();
         }},
        {"settings file", [&] { return dir.File("machine.vkf"); }, [&] { return SaveKonfig(dir.File("machine.vkf")); }},
        {"base points", [&] { return dir.File("base.txt"); }, [&] { return points.Save(); }},
        {"duplication parameters", [&] { return dir.File("job.dpl"); },
         [&] { return ReportWrite(WriteDplFile(dir.File("job.dpl"), grid)); }},
        {"HPGL export", [&] { return dir.File("out.plt"); }, [&] { return ReportWrite(job.SaveAsHPGL(dir.File("out.plt"))); }},
        {"DXF export", [&] { return dir.File("out.dxf"); }, [&] { return ReportWrite(job.ZapiszDXF(dir.File("out.dxf"))); }},
        {"serial run as DXF", [&] { return SerialDxfPath(serialFolder, 1); },
         [&] {
             boxes.answers = {mrOk};  // into the folder that holds the older files
             return SaveSerialRun(serialJobs, QString(), hooks);
         }},
        {"firmware dump", [&] { return up.RomPath; }, [&] { return up.ReadProgramClick(); }},
        {"command file", [] { return ProgramDir + "out.cn"; },
         [&] { return job.save_ciecie(ProgramDir + "out.cn", 0.0); }, true},
        {"serial cut joined", [] { return ProgramDir + "out.cn"; },
         [&] {
             Settings().SetItemIndex("Mode", 2);
             Settings().SetItemIndex("StolikSwitch", 1);
             Settings().SetValue("Xstolika", 300);
             Settings().SetValue("Ystolika", 50);
             Settings().SetValue("Srednicamaterialu", 100);
             EXPECT_TRUE(ReadStatus(m));
             if (!PlotState.Homed())
                 ops.bazujClick();
             const bool started = cut.Start1Click(serialJobs, serialJobs[0], StartSource::MenuOrButton, false);
             // The cut runs to its end before the next start.
             for (int i = 0; i < 600 && (tx.Running() || (sim.Status() & 0x2u)); ++i)
                 clock.Advance(1000);
             Settings().SetItemIndex("Mode", 0);
             return started;
         },
         true},
    };
    const QByteArray older = "the older file, as the operator left it\r\n";
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.name);
        // Whole on a disk with room: how large the file is.
        boxes.shown.clear();
        ASSERT_TRUE(w.write());
        ASSERT_TRUE(boxes.shown.empty()) << boxes.shown[0].text.toStdString();
        const QString path = w.path();
        const qint64 size = QFileInfo(path).size();
        ASSERT_GT(size, 2 * older.size());

        ASSERT_FALSE(dir.Write(QDir(dir.Path()).relativeFilePath(path), older).isEmpty());
        bool written = true;
        {
            const FileSizeLimit limit(static_cast<rlim_t>(size / 2));
            written = w.write();
        }
        EXPECT_FALSE(written);
        if (w.olderJobRemoved)
            EXPECT_FALSE(QFile::exists(path)) << "neither the older job nor half of this one";
        else
            EXPECT_EQ(ReadFile(path), older);
        EXPECT_EQ(MessagesNaming(path), 1);
        EXPECT_EQ(boxes.shown.size(), 1u);
        // It says what became of the older file.
        const QString said = Tr("Universal", w.olderJobRemoved ? "zapisNieudanyUsuniety" : "zapisNieudany");
        for (const MessageRequest& r : boxes.shown)
            EXPECT_TRUE(r.text.startsWith(said + "\r\n")) << r.text.toStdString();
        // Nothing of the new file is left beside the old one.
        const QStringList left = QFileInfo(path).dir().entryList({QFileInfo(path).fileName() + "?*"}, QDir::Files);
        EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
    }
}

// A file the program may not write is refused in the program's words, the
// path said once; something that is no plain file in place of one of the
// program's files is refused as well, never opened: a pipe would hold the open
// (the start, the quitting) until something wrote to it.
TEST_F(FullDiskTest, AFileThatMayNotBeWrittenOrIsNoPlainFileIsRefusedInTheProgramsWords)
{
    alarm(120);  // a pipe that is opened ends the run rather than hanging it
    for (const char* name : {"Pelvartonix.gcf", "base.txt", "pipe.plt"})
        ASSERT_EQ(mkfifo(QFile::encodeName(dir.File(name)).constData(), 0666), 0);
    const QString notPlain = Tr("Universal", "plikNieZwykly");
    LoadGcf();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.endsWith(notPlain)) << boxes.shown[0].text.toStdString();
    boxes.shown.clear();
    BasePoints points(dir.File("base.txt"));
    EXPECT_FALSE(points.Save());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              Tr("Universal", "zapisNieudany") + "\r\n" + dir.File("base.txt") + "\r\n" + notPlain);
    boxes.shown.clear();
    TJob piped;
    EXPECT_FALSE(piped.Load(dir.File("pipe.plt"), 255));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains(notPlain)) << boxes.shown[0].text.toStdString();
    alarm(0);

    // A file only to be read, written by an operator who is not root.
    TJob job;
    LoadJob(job, "job.plt", 3);
    const QString locked = dir.Write("locked.txt", "kept"), out = ProgramDir + "out.cn";
    dir.Write("out.cn", "an older job");
    for (const QString& path : {locked, out})
        ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    ASSERT_EQ(chmod(QFile::encodeName(dir.Path()).constData(), 0777), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(setresuid(65534, 65534, 0), 0);
    }
    boxes.shown.clear();
    const WriteResult refused = WriteWholeFile(locked, "new");
    const bool cut = job.save_ciecie(out, 0.0);
    if (root) {
        ASSERT_EQ(setresuid(0, 0, 0), 0);
    }
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.reason, Tr("Universal", "zapisBrakDostepu"));
    EXPECT_EQ(ReadFile(locked), "kept");
    EXPECT_FALSE(cut);
    EXPECT_FALSE(QFile::exists(out)) << "no older job may be sent in its place";
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Universal", "zapisNieudanyUsuniety") + "\r\n" + out + "\r\n" +
                                       Tr("Universal", "zapisBrakDostepu"));
}
