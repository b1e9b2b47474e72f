// The serial generator's sequence on real worker threads: a box model read
// from a RAW file, turned in steps into planned jobs.
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/CutState.h"
#include "machine/MachineConstants.h"
#include "production/Raster.h"
#include "production/SerialGenerator.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

int g_argc = 1;
char g_name[] = "test";
char* g_argv[] = {g_name, nullptr};

class SerialGeneratorTest : public ::testing::Test {
protected:
    SerialGeneratorTest() : app(g_argc, g_argv)
    {
        Settings().Reset();
        ResetMachineConstants();
        CutOffModel = false;
        // A closed box 20 by 10 by 6 mm standing on its base (y is up).
        file = WriteBox("box.raw", 10, 10, 3);
    }

    // A closed box 2 hx by h by 2 hz mm standing on its base (y is up).
    QString WriteBox(const QString& name, float hx, float h, float hz)
    {
        const float x[2] = {-hx, hx}, y[2] = {0, h}, z[2] = {-hz, hz};
        auto corner = [&](int i) { return QString("%1 %2 %3").arg(x[i & 1]).arg(y[(i >> 1) & 1]).arg(z[i >> 2]); };
        const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
        QString text = "Object1\n";
        for (const auto& f : faces)
            text += corner(f[0]) + " " + corner(f[1]) + " " + corner(f[2]) + "\n" + corner(f[0]) + " " +
                    corner(f[2]) + " " + corner(f[3]) + "\n";
        const QString path = dir.filePath(name);
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write(text.toLatin1());
        return path;
    }

    SerialGeneratorHooks Hooks()
    {
        SerialGeneratorHooks h;
        h.NewJob = [this](const QString& caption) {
            jobs.push_back(std::make_unique<TJob>());
            captions.push_back(caption);
            return jobs.back().get();
        };
        h.CloseAllJobs = [this] { jobs.clear(), captions.clear(); };
        h.ShowModel = [this] { ++modelShown; };
        h.CloseWindow = [this] { closed = true; };
        return h;
    }

    // Every worker made is counted from its creation to the end of its
    // handler, and while its thread runs.
    void CountWorkers(TSerialGenerator& g)
    {
        g.MakeRasterWorker = [this](std::function<void()> onTerminate) {
            maxAlive = std::max(maxAlive, ++alive);
            auto* w = new TRawDoPix([this, onTerminate] {
                --alive;  // the next step's worker may be made in the handler
                onTerminate();
            });
            QObject::connect(w, &QThread::started, w, [this] {
                const int now = ++running;
                int seen = maxRunning.load();
                while (now > seen && !maxRunning.compare_exchange_weak(seen, now)) {
                }
            }, Qt::DirectConnection);
            QObject::connect(w, &QThread::finished, w, [this] { --running; }, Qt::DirectConnection);
            return w;
        };
    }

    void WaitIdle(TSerialGenerator& g)
    {
        QElapsedTimer guard;
        guard.start();
        while ((g.Busy() || g.Running) && guard.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ASSERT_FALSE(g.Busy()) << "a worker never ended";
    }

    void Load(TSerialGenerator& g)
    {
        g.LoadModel(file);
        WaitIdle(g);
        ASSERT_EQ(ModelTriangles.size(), 12u);
        ASSERT_TRUE(g.GenerateEnabled);
    }

    std::vector<QString> Angles(const char* prefix, int from, int count, int step)
    {
        std::vector<QString> v;
        for (int i = 0; i < count; ++i)
            v.push_back(QString("%1 [%2.00 st]").arg(prefix).arg(from + i * step));
        return v;
    }

    QCoreApplication app;
    ScopedTranslator tr;
    ScriptedPresenter boxes;
    QTemporaryDir dir;
    QString file;
    std::vector<std::unique_ptr<TJob>> jobs;
    std::vector<QString> captions;
    int modelShown = 0;
    bool closed = false;
    int alive = 0, maxAlive = 0;
    std::atomic<int> running{0}, maxRunning{0};
};

TEST_F(SerialGeneratorTest, EighteenStepsMakePlannedJobsAndALargerCountGoesOn)
{
    TSerialGenerator g(Hooks());
    CountWorkers(g);
    g.CloseWhenDone = false;
    Load(g);
    g.btnGenerujClick(18);
    WaitIdle(g);
    EXPECT_TRUE(boxes.shown.empty()) << "one open profile per step asks nothing";
    EXPECT_EQ(captions, Angles("box", 0, 18, 10));
    for (size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(jobs[i]->SerialIndex, static_cast<int>(i + 1));
        EXPECT_EQ(jobs[i]->SingleOpenFigure, 1) << i;
        EXPECT_TRUE(jobs[i]->PathPlanned) << i;
    }
    // Serial mode with what it forces, not reported to the settings command.
    EXPECT_EQ(Settings().Mode(), 2);
    EXPECT_EQ(Settings().CatDir(), 2);
    EXPECT_EQ(Settings().StolikSwitch(), 1);
    EXPECT_EQ(Settings().ItemIndex("PowerOutput"), 0);
    EXPECT_FALSE(Settings().ModeChanged || Settings().RotaryChanged || Settings().PowerChanged);
    EXPECT_TRUE(CutOffModel);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(g.FileButtonEnabled && g.StepCountEnabled && g.GenerateEnabled);

    // 36 goes on at step 19 from the angle reached, by 5 degrees, also after
    // the file dialog was cancelled.
    g.ChooseModelFile(QString());
    g.CloseWhenDone = true;
    g.CutOffWhenDone = false;
    g.btnGenerujClick(36);
    WaitIdle(g);
    std::vector<QString> expected = Angles("box", 0, 18, 10);
    for (const QString& c : Angles("box", 180, 18, 5))
        expected.push_back(c);
    EXPECT_EQ(captions, expected);
    EXPECT_EQ(jobs.back()->SerialIndex, 36);
    EXPECT_FALSE(CutOffModel);
    EXPECT_TRUE(closed);
    EXPECT_EQ(maxAlive, 1);
    EXPECT_EQ(maxRunning.load(), 1);
}

TEST_F(SerialGeneratorTest, OneWorkerAtATimeAndCloseWaitsForTheStep)
{
    TSerialGenerator g(Hooks());
    CountWorkers(g);
    g.CloseWhenDone = false;
    Load(g);

    // A second start while a step runs stops that step and makes it again.
    g.btnGenerujClick(4);
    g.StartRasterStep();
    WaitIdle(g);
    EXPECT_EQ(captions, Angles("box", 0, 4, 45));

    g.btnGenerujClick(4);
    EXPECT_FALSE(g.CloseQuery());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("SerialCutFrom3D", "zakonczGenPlikowWy"));
    EXPECT_TRUE(captions.empty()) << "the same count starts afresh";

    // Cancel mid-step: nothing is offered until the stopped step has ended.
    g.btnAnulujClick();
    EXPECT_FALSE(closed);
    EXPECT_FALSE(g.FileButtonEnabled || g.StepCountEnabled || g.GenerateEnabled);
    EXPECT_FALSE(g.CloseQuery());
    g.btnGenerujClick(18);
    g.LoadModel(file);
    EXPECT_EQ(ModelTriangles.size(), 12u) << "the model a worker reads stays";
    WaitIdle(g);
    EXPECT_TRUE(captions.empty());
    EXPECT_TRUE(g.FileButtonEnabled && g.StepCountEnabled && g.GenerateEnabled);
    EXPECT_EQ(g.StepNo, 1);
    EXPECT_EQ(SerialAngle, 0.0);
    EXPECT_EQ(maxAlive, 1);
    EXPECT_EQ(maxRunning.load(), 1);
    EXPECT_TRUE(g.CloseQuery());
    EXPECT_FALSE(closed);
}

TEST_F(SerialGeneratorTest, AStepLeavingNoOpenProfileEndsTheSeriesSayingWhichStep)
{
    // A slab 1 mm thick: seen edge-on at 90 degrees its outline is a narrow
    // loop whose ends meet, a closed trace and no open profile.
    file = WriteBox("slab.raw", 10, 10, 0.5f);
    TSerialGenerator g(Hooks());
    g.CloseWhenDone = false;
    Load(g);
    g.btnGenerujClick(2);
    WaitIdle(g);
    EXPECT_TRUE(captions.empty()) << "the series is undone";
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("SerialCutFrom3D", "brakOtwartegoProfilu").arg("90.00"));
    EXPECT_TRUE(g.FileButtonEnabled && g.StepCountEnabled && g.GenerateEnabled);
    EXPECT_EQ(g.StepNo, 1);
}

TEST_F(SerialGeneratorTest, ClosingDuringALoadStopsTheReaderAndClosesAfterIt)
{
    TSerialGenerator g(Hooks());
    g.LoadModel(file);
    EXPECT_FALSE(g.CloseQuery());
    ASSERT_TRUE(g.ReaderThread);
    EXPECT_TRUE(g.ReaderThread->StopRequested());
    WaitIdle(g);
    EXPECT_TRUE(closed);
    EXPECT_EQ(modelShown, 0) << "the handler of a closing window shows nothing";
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(g.CloseQuery());
}

}  // namespace
