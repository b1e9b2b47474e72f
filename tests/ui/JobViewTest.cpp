// The job window's drawing: colours by work mode, picking figures with the
// mouse, and the animated replay of the cut.
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/ui/Forms.h"
#include "app/ui/MainForm.h"
#include "job/Geometry.h"
#include "job/Job.h"
#include "job/Planner.h"
#include "job/Replay.h"
#include "job/ui/JobView.h"
#include "job/ui/MDIChild.h"
#include "tests/job/PlannerTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace plan_test;

namespace {
// The figures and links of a job, everything a paint or a replay could change.
struct Snapshot {
    std::vector<Points> points;
    std::vector<int32_t> links;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const TJob& job)
{
    Snapshot s;
    for (const auto& f : job.FigureList) {
        s.points.push_back(f->Points);
        s.links.insert(s.links.end(), {f->ConnParent, f->ConnParentVertex, f->EntryVertex, f->NotConnected});
    }
    s.links.insert(s.links.end(), {job.StartFigure, job.SelectedFigure});
    return s;
}

class JobViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        setenv("LC_ALL", "C", 1);
        Settings().Reset();
        PointTolerance = 10.0;
        window = std::make_unique<TMDIChild>();
        window->resize(420, 340);
        window->show();
    }
    void TearDown() override
    {
        window.reset();
        TMDIChild::SetInfoWindowHook(nullptr);
        Settings().Reset();
    }

    TJob& Job() { return window->Job(); }
    JobView* View() { return window->View(); }
    QPoint At(int32_t x, int32_t y) { return View()->Transform().ToScreen(x, y); }
    QColor Pixel(int32_t x, int32_t y) { return View()->grab().toImage().pixelColor(At(x, y)); }
    QString Status() { return window->StatusBar()->currentMessage(); }
    QString Picked(int n) { return Tr("Project_window", "wybranaFiguraNr") + QString::number(n); }

    // A square of material with a hole, planned.
    void SquareWithHole()
    {
        Add(Job(), Rect(0, 0, 1000, 1000));
        Add(Job(), Rect(400, 400, 600, 600));
        Finish(Job());
        PlainPlanner planner(Job(), 0, true);
        ASSERT_EQ(planner.Run(), PlainPlanner::Result::Planned);
        ASSERT_EQ(Job().FigureList.size(), 3u);
    }

    void RunToEnd()
    {
        for (int i = 0; i < 10000 && View()->ReplayRunning(); ++i)
            View()->AdvanceReplay(100);
        ASSERT_FALSE(View()->ReplayRunning());
    }

    ScopedTranslator translator;
    ScriptedPresenter boxes;
    std::unique_ptr<TMDIChild> window;
};
}  // namespace

TEST_F(JobViewTest, PickingAFigureShowsItsNumber)
{
    Add(Job(), Rect(0, 0, 1000, 1000));
    Add(Job(), Rect(200, 200, 400, 400));
    Add(Job(), Rect(400, 200, 600, 400));  // shares an edge with the one before
    Finish(Job());
    int infos = 0;
    TMDIChild::SetInfoWindowHook([&] { ++infos; });

    // Two pixels below the bottom edge of figure 1 picks it, four don't.
    QTest::mousePress(View(), Qt::LeftButton, {}, At(300, 200) + QPoint(0, 2));
    EXPECT_EQ(Job().SelectedFigure, 1);
    EXPECT_EQ(Status(), Picked(1));
    QTest::mouseRelease(View(), Qt::LeftButton, {}, At(300, 200) + QPoint(0, 2));
    EXPECT_EQ(Status(), "") << "the number shows while the button is held";
    QTest::mousePress(View(), Qt::LeftButton, {}, At(300, 200) + QPoint(0, 4));
    EXPECT_EQ(Job().SelectedFigure, -1);
    EXPECT_EQ(Status(), "");
    QTest::mouseRelease(View(), Qt::LeftButton, {}, At(300, 200) + QPoint(0, 4));

    // On the shared edge the later figure wins; beside the corner of the big
    // square, that one.
    QTest::mouseClick(View(), Qt::LeftButton, {}, At(400, 300));
    EXPECT_EQ(Job().SelectedFigure, 2);
    QTest::mouseClick(View(), Qt::LeftButton, {}, At(1000, 1000) + QPoint(2, -2));
    EXPECT_EQ(Job().SelectedFigure, 0);
    EXPECT_TRUE(boxes.shown.empty());

    // With Ctrl, Shift and Alt the vertices are listed in mm.
    QTest::mouseClick(View(), Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, At(300, 400));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, Picked(1));
    EXPECT_EQ(boxes.shown[0].text, "[mm]\r\n\r\np0:(5.00 ; 5.00)\r\np1:(10.00 ; 5.00)\r\np2:(10.00 ; 10.00)"
                                   "\r\np3:(5.00 ; 10.00)\r\np4:(5.00 ; 5.00)");
    QTest::mouseClick(View(), Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, At(300, 400));
    EXPECT_EQ(boxes.shown.size(), 1u) << "all three keys are needed";

    // The right button asks for the job information, the selection stays.
    QTest::mouseClick(View(), Qt::RightButton, {}, At(700, 700));
    EXPECT_EQ(infos, 1);
    EXPECT_EQ(Job().SelectedFigure, 1);
}

TEST_F(JobViewTest, ColoursFollowTheWorkMode)
{
    Add(Job(), Rect(0, 0, 1000, 1000));
    Add(Job(), {{100, 500}, {900, 500}});
    Add(Job(), Rect(300, 100, 700, 300));
    Finish(Job());
    tfigura& square = *Job().FigureList[0];
    tfigura& line = *Job().FigureList[1];
    tfigura& hole = *Job().FigureList[2];
    ASSERT_EQ(line.Closed, 0);
    square.NotConnected = line.NotConnected = 0;
    hole.NotConnected = 1;

    // Plain cutting: closed black, open blue, not reached red.
    EXPECT_EQ(Pixel(500, 0), QColor(Qt::black));
    EXPECT_EQ(Pixel(500, 500), QColor(Qt::blue));
    EXPECT_EQ(Pixel(500, 100), QColor(Qt::red));
    hole.NotConnected = 0;
    EXPECT_EQ(Pixel(500, 100), QColor(Qt::black)) << "once connected, drawn again";

    // The selected figure stands out.
    Job().SelectedFigure = 2;
    EXPECT_EQ(Pixel(500, 100), JobView::SelectionColour());
    Job().SelectedFigure = -1;

    // Independent wires: by pen; a pen of no colour of its own keeps the
    // colour of the figure before it.
    Settings().SetItemIndex("Mode", 4);
    square.Pen = 4;
    line.Pen = 5;
    hole.Pen = 3;
    const QImage four = View()->grab().toImage();
    const QColor green = four.pixelColor(At(500, 0));
    EXPECT_EQ(green.green(), 128);
    EXPECT_EQ(green.red(), 0);
    EXPECT_EQ(four.pixelColor(At(500, 500)), green);
    EXPECT_EQ(four.pixelColor(At(500, 100)), QColor(Qt::red));
    hole.NotConnected = 1;
    line.Pen = 3;
    square.Pen = 6;
    const QImage again = View()->grab().toImage();
    EXPECT_EQ(again.pixelColor(At(500, 500)), QColor(Qt::red));
    const QColor yellow = again.pixelColor(At(500, 0));
    EXPECT_GT(yellow.red(), 150);
    EXPECT_GT(yellow.green(), 120);
    EXPECT_LT(yellow.blue(), 50);

    // Rotary cutting: the axis green, the rest black.
    Settings().SetItemIndex("Mode", 1);
    Job().AxisFigure = 1;
    const QImage rotary = View()->grab().toImage();
    EXPECT_EQ(rotary.pixelColor(At(500, 500)), green);
    EXPECT_EQ(rotary.pixelColor(At(500, 0)), QColor(Qt::black));
    EXPECT_EQ(rotary.pixelColor(At(500, 100)), QColor(Qt::black));
}

TEST_F(JobViewTest, TransformFitsTheJobAndTurningShowsTheMaterial)
{
    TJob job;
    JobViewMode plain;
    EXPECT_FALSE(JobViewTransform::Compute(job, plain, 420, 300, 20).Valid()) << "an empty job shows nothing";

    Add(job, {{1000, 2000}, {2000, 2000}, {2000, 2100}});
    Finish(job);
    // 400 pixels across for 1001 steps, 270 up for 101: the width decides.
    JobViewTransform t = JobViewTransform::Compute(job, plain, 420, 300, 20);
    ASSERT_TRUE(t.Valid());
    EXPECT_DOUBLE_EQ(t.scale, 400.0 / 1001);
    EXPECT_EQ(t.ToScreen(1000, 2000), QPoint(7, 293)) << "the job's corner 7 pixels in and up";
    EXPECT_EQ(t.ToScreen(2000, 2100), QPoint(7 + 400, 293 - 40));
    EXPECT_EQ(t.ToJob(QPoint(7, 293)), (TFigPoint{1000, 2000}));

    // Turning on an axis must show the material's radius (250 mm, 10000 steps).
    JobViewMode turning{3, true, MmToSteps(250)};
    EXPECT_DOUBLE_EQ(JobViewTransform::Compute(job, turning, 420, 300, 20).scale, 270.0 / 10001);
    turning.rotaryAxis = false;
    EXPECT_DOUBLE_EQ(JobViewTransform::Compute(job, turning, 420, 300, 20).scale, 400.0 / 1001);

    // A straight line along one axis is still a job to show.
    job.JobHeight = 0;
    EXPECT_TRUE(JobViewTransform::Compute(job, plain, 420, 300, 20).Valid());
    // No room at all.
    EXPECT_FALSE(JobViewTransform::Compute(job, plain, 15, 300, 20).Valid());
}

TEST_F(JobViewTest, ReplayAnimatesWithoutChangingTheJob)
{
    SquareWithHole();
    const Snapshot before = Take(Job());
    QSignalSpy finished(View(), &JobView::ReplayFinished);

    Job().ShowPath = 1;
    View()->PaintPath();
    Job().ShowPath = 0;
    ASSERT_TRUE(View()->ReplayRunning());
    ASSERT_NE(View()->Replay(), nullptr);
    const JobReplay expected = ComputeReplay(Job(), ReplayOptions::FromSettings(Job()));
    ASSERT_EQ(View()->Replay()->steps.size(), expected.steps.size());
    EXPECT_GT(View()->ReplayUnitsTotal(), 700.0) << "14 pauses of 50 units and the pixels of the cut";

    // Each millisecond is one unit at the slowest speed, 21 at the fastest.
    View()->AdvanceReplay(10);
    EXPECT_DOUBLE_EQ(View()->ReplayUnitsDone(), 10.0);
    Settings().SetPosition("sbWspSymulacji", 20);
    View()->AdvanceReplay(10);
    // (A pixel of cut costs two units: one may be left over for the next tick.)
    EXPECT_NEAR(View()->ReplayUnitsDone(), 220.0, 1.0);
    Settings().SetPosition("sbWspSymulacji", 0);

    // The connector is cut after its two pauses and its pixels, and is then
    // drawn in the path's colour instead of an open figure's blue.
    // (The connector is some 120 pixel steps long: 220 units reach about half way.)
    EXPECT_EQ(Pixel(350, 350), QColor(Qt::blue));
    View()->AdvanceReplay(400);
    ASSERT_TRUE(View()->ReplayRunning());
    EXPECT_EQ(Pixel(350, 350), QColor(Qt::red));
    EXPECT_TRUE(Take(Job()) == before);

    // A new size mid-way draws what was done at the new scale.
    window->resize(600, 500);
    QApplication::processEvents();
    ASSERT_TRUE(View()->ReplayRunning());
    EXPECT_EQ(Pixel(350, 350), QColor(Qt::red));
    EXPECT_EQ(Pixel(500, 400), QColor(Qt::black)) << "the hole is not cut yet";
    View()->StopReplay();
    EXPECT_TRUE(View()->ReplayAborted());
    ASSERT_EQ(finished.count(), 1);

    View()->StartReplay();
    View()->AdvanceReplay(700);
    EXPECT_EQ(Pixel(350, 350), QColor(Qt::red));
    RunToEnd();
    ASSERT_EQ(finished.count(), 2);
    EXPECT_EQ(finished.at(1).at(0).toBool(), false) << "ran to its end";
    EXPECT_FALSE(View()->ReplayAborted());
    EXPECT_EQ(View()->Replay(), nullptr) << "the path goes with the end of the replay";
    EXPECT_EQ(Pixel(350, 350), QColor(Qt::blue));
    EXPECT_TRUE(Take(Job()) == before) << "painting and replaying leave the job as it was";
}

TEST_F(JobViewTest, KeyPressOrLeftClickStopsTheReplay)
{
    SquareWithHole();
    QSignalSpy finished(View(), &JobView::ReplayFinished);
    View()->StartReplay();
    ASSERT_TRUE(View()->ReplayRunning());
    View()->AdvanceReplay(50);
    QTest::keyClick(View(), Qt::Key_A);
    EXPECT_FALSE(View()->ReplayRunning());
    EXPECT_TRUE(View()->ReplayAborted());
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toBool(), true);

    // A click stops it and picks nothing; the next click picks again.
    View()->StartReplay();
    EXPECT_FALSE(View()->ReplayAborted());
    QTest::mouseClick(View(), Qt::LeftButton, {}, At(500, 0));
    EXPECT_FALSE(View()->ReplayRunning());
    EXPECT_EQ(Job().SelectedFigure, -1);
    QTest::mouseClick(View(), Qt::LeftButton, {}, At(500, 0));
    EXPECT_EQ(Job().SelectedFigure, 0);

}

TEST_F(JobViewTest, TwoProfileWiresStayAfterTheReplay)
{
    Add(Job(), Rect(0, 0, 1000, 1000));
    Add(Job(), Rect(200, 200, 800, 800));
    Finish(Job());
    Job().TwoProfile = 1;
    View()->StartReplay();
    ASSERT_TRUE(View()->ReplayRunning());
    ASSERT_NE(View()->Replay(), nullptr);
    EXPECT_EQ(View()->Replay()->kind, ReplayKind::TwoProfile);
    EXPECT_DOUBLE_EQ(View()->ReplayUnitsTotal(), 5 * kWireUnits);
    RunToEnd();
    ASSERT_NE(View()->Replay(), nullptr) << "the wires are still shown";
    // The wire from (0,0) to (200,200) passes (100,100).
    const QColor wire = Pixel(100, 100);
    EXPECT_GT(wire.red(), 150);
    EXPECT_GT(wire.green(), 120);
    EXPECT_LT(wire.blue(), 50);
}

TEST_F(JobViewTest, CapturingDrawsNothingAndFillsThePath)
{
    SquareWithHole();
    Job().CapturePath = 1;
    Job().ShowPath = 1;
    View()->PaintPath();
    Job().ShowPath = 0;
    Job().CapturePath = 0;
    EXPECT_FALSE(View()->ReplayRunning());
    EXPECT_EQ(Job().CapturedPath, CapturePlannedPath(Job(), ReplayOptions::FromSettings(Job())));
    ASSERT_FALSE(Job().CapturedPath.empty());
    EXPECT_EQ(Job().CapturedPath.front().tag, 10001);
}

// The simulation command of the main window replays the active job with the
// feed direction in force when it is given.
TEST(SimulationCommandTest, AlternatingFeedEntersFromEachEndInTurn)
{
    App();
    setenv("LC_ALL", "C", 1);
    Settings().Reset();
    PointTolerance = 10.0;
    TempProgramDir dir;
    ScriptedPresenter boxes;
    ASSERT_TRUE(CreateForms());
    TMDIChild* child = MainForm->NewJobWindow();
    TJob& job = child->Job();
    Add(job, {{0, 0}, {400, 300}, {800, 0}});
    Finish(job);
    PlainPlanner planner(job, 0, true);
    ASSERT_EQ(planner.Run(), PlainPlanner::Result::Planned);
    ASSERT_EQ(job.SingleOpenFigure, 1);
    Settings().SetItemIndex("CatDir", 2);
    job.FeedSign[0] = job.FeedSign[1] = 1;

    MainForm->SymulacjaClick();
    ASSERT_TRUE(child->View()->ReplayRunning());
    EXPECT_EQ(job.ShowPath, 0);
    ASSERT_FALSE(child->View()->Replay()->steps.empty());
    EXPECT_EQ(child->View()->Replay()->steps.front().vertex, 0) << "from the left";
    EXPECT_EQ(job.FeedSign[0], -1) << "the next one runs the other way";

    MainForm->SymulacjaClick();
    ASSERT_TRUE(child->View()->ReplayRunning());
    EXPECT_EQ(child->View()->Replay()->steps.front().vertex, 2) << "from the right";
    child->View()->StopReplay();

    DestroyForms();
    delete Interfejs;
    Interfejs = nullptr;
    Settings().Reset();
}
