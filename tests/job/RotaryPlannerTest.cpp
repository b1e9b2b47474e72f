#include "app/MainStatus.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/Geometry.h"
#include "job/Job.h"
#include "machine/MachineConstants.h"
#include "tests/job/PlannerTestSupport.h"
#include "tests/job/JobTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <numeric>
#include <random>

using namespace plan_test;

namespace {
constexpr int kSpindle = 0, kTable = 1, kNoDevice = 2;

// Records what the job asks of its window, and what had happened by the time
// the window was told to close.
class RecordingHost : public JobHost {
public:
    explicit RecordingHost(const ScriptedPresenter& boxes) : m_boxes(boxes) {}
    void SetCaption(const QString&) override {}
    void SetOwnStatus(const QString& t) override { status = t; }
    void SetBusy(bool b) override { busyChanges += b ? "+" : "-"; }
    void CloseWindow() override
    {
        ++closed;
        busyAtClose = busyChanges;
        boxesAtClose = m_boxes.shown.size();
        if (onClose)
            onClose();
    }
    void Reset()
    {
        status.clear();
        busyChanges.clear();
        busyAtClose.clear();
        boxesAtClose = 0;
        closed = 0;
    }
    QString status, busyChanges, busyAtClose;
    size_t boxesAtClose = 0;
    int closed = 0;
    std::function<void()> onClose;

private:
    const ScriptedPresenter& m_boxes;
};

class RotaryPlannerTest : public JobLoadingTest {
protected:
    void Use(int mode, int device)
    {
        Settings().SetItemIndex("Mode", mode);
        Settings().SetItemIndex("StolikSwitch", device);
    }
    // A job built from figures as a tool builds it, ready for a planner.
    TJob& Build(const std::vector<Points>& figures)
    {
        host.Reset();
        job = std::make_unique<TJob>(&host);
        for (const Points& p : figures)
            Add(*job, p);
        Finish(*job);
        for (auto& f : job->FigureList) {
            f->OriginX = job->JobMinX;
            f->OriginY = job->JobMinY;
        }
        return *job;
    }
    // Loads HPGL text through a file, as the open command does.
    bool Load(const std::string& text)
    {
        const QString path = WriteDrawing("drawing.plt", text);
        host.Reset();
        job = std::make_unique<TJob>(&host);
        job->InputFileType = 1;
        return job->Load(path, 255);
    }
    tfigura& F(size_t i) { return *job->FigureList[i]; }
    std::vector<QString> Texts() const
    {
        std::vector<QString> out;
        for (const MessageRequest& r : boxes.shown) {
            EXPECT_EQ(r.kind, MessageKind::Error);
            out.push_back(r.text);
        }
        return out;
    }
    static QString Msg(const char* key) { return Tr("Project_window", key); }

    RecordingHost host{boxes};
    std::unique_ptr<TJob> job;
};

// Everything a planner leaves in the job, to compare two runs.
struct Snapshot {
    std::vector<Points> points;
    std::vector<std::array<int32_t, 12>> fields;
    std::array<int32_t, 7> bounds;
    double total;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const TJob& job)
{
    Snapshot s;
    for (const auto& f : job.FigureList) {
        s.points.push_back(f->Points);
        s.fields.push_back({f->MinX, f->MinY, f->MaxX, f->MaxY, f->OriginX, f->OriginY, f->AxisWidth, f->AxisHeight,
                            f->MayOrient, f->OrderId, f->TurnParent, f->Index});
    }
    s.bounds = {job.JobMinX, job.JobMinY, job.JobMaxX, job.JobMaxY, job.JobWidth, job.JobHeight, job.AxisFigure};
    s.total = job.TotalLength;
    return s;
}
}  // namespace

TEST_F(RotaryPlannerTest, SpindleAxisIsTheLowestHorizontalLineAndGoesOntoTheOrigin)
{
    Use(1, kSpindle);
    TJob& j = Build({
        {{3000, 1500}, {2000, 2500}, {1000, 1500}},  // the profile, drawn right to left
        {{500, 1000}, {3500, 1000}},                 // a horizontal line under it
        {{3500, 400}, {500, 400}},                   // the lowest one, drawn right to left
        {{0, 3000}, {4000, 3000}},                   // one above everything
        {{200, 100}, {200, 2000}},                   // lower still, but vertical
    });
    ASSERT_TRUE(j.ciecie_obrotowe());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(j.AxisFigure, 2);
    EXPECT_EQ(F(2).Points, (Points{{3000, 0}, {0, 0}})) << "the axis lies on y = 0 from x = 0 and is never turned round";
    EXPECT_EQ(F(2).MayOrient, 0);
    EXPECT_EQ(F(0).Points, (Points{{500, 1100}, {1500, 2100}, {2500, 1100}})) << "the profile now runs left to right";
    EXPECT_EQ(F(1).Points, (Points{{0, 600}, {3000, 600}}));
    EXPECT_EQ(F(4).Points, (Points{{-300, -300}, {-300, 1600}})) << "an upright line stays as drawn";
    EXPECT_EQ(F(3).MinX, -500);
    EXPECT_EQ(F(3).MaxY, 2600);
    EXPECT_EQ(F(0).CentreX, 1500);

    EXPECT_EQ(j.JobMinX, -500);
    EXPECT_EQ(j.JobMinY, -300);
    EXPECT_EQ(j.JobMaxX, 3500);
    EXPECT_EQ(j.JobMaxY, 2600);
    EXPECT_EQ(j.JobWidth, 4000);
    EXPECT_EQ(j.JobHeight, 2900);
    for (const auto& f : j.FigureList) {
        EXPECT_EQ(f->OriginX, -500);
        EXPECT_EQ(f->OriginY, -300);
        EXPECT_EQ(f->AxisWidth, 3000) << "every figure carries the axis length";
        EXPECT_EQ(f->AxisHeight, 0);
    }
    EXPECT_EQ(j.SelectedFigure, -1);
    EXPECT_NEAR(j.TotalLength, 2000 * std::sqrt(2.0) + 3000 + 4000 + 1900, 1e-6) << "all but the axis";
    EXPECT_EQ(j.HasSpindleAxis, 1);
    EXPECT_EQ(j.FlatProfile, 0);
    EXPECT_EQ(host.busyChanges, "+-");
    EXPECT_TRUE(host.status.isEmpty());
    EXPECT_TRUE(MainStatusText().isEmpty());
    EXPECT_EQ(host.closed, 0) << "only the caller closes a window";
}

TEST_F(RotaryPlannerTest, FlatProfileWhenNothingLiesAboveTheSpindleAxis)
{
    Use(1, kSpindle);
    TJob& below = Build({{{0, 1000}, {3000, 1000}}, {{100, 100}, {1500, 1000}, {2900, 100}}});
    ASSERT_TRUE(below.ciecie_obrotowe());
    EXPECT_EQ(below.JobMaxY, 0);
    EXPECT_EQ(below.FlatProfile, 1) << "touching the axis from below is still below";

    TJob& above = Build({{{0, 1000}, {3000, 1000}}, {{100, 100}, {1500, 1001}, {2900, 100}}});
    ASSERT_TRUE(above.ciecie_obrotowe());
    EXPECT_EQ(above.FlatProfile, 0);

    Use(1, kTable);
    TJob& table = Build({{{3000, 0}, {3000, 1000}}, {{100, -900}, {1500, -100}}});
    ASSERT_TRUE(table.ciecie_obrotowe());
    EXPECT_EQ(table.HasSpindleAxis, 0);
    EXPECT_EQ(table.FlatProfile, 0) << "a table's axis has no above";
}

TEST_F(RotaryPlannerTest, TableAxisIsTheRightmostLineForCuttingAndTheLowestForTurning)
{
    Use(1, kTable);
    const std::vector<Points> drawing = {
        {{1000, 500}, {1000, 3000}},             // the lowest vertical line
        {{2000, 3000}, {2000, 800}},             // the rightmost, drawn downwards
        {{1200, 1000}, {1800, 1000}},            // horizontal: never a table's axis
        {{1500, 1200}, {1300, 2000}, {1700, 2400}},
    };
    TJob& cut = Build(drawing);
    ASSERT_TRUE(cut.ciecie_obrotowe());
    EXPECT_EQ(cut.AxisFigure, 1);
    EXPECT_EQ(F(1).Points, (Points{{0, 2200}, {0, 0}})) << "the axis keeps its direction";
    EXPECT_EQ(F(0).Points, (Points{{-1000, -300}, {-1000, 2200}}));
    EXPECT_EQ(cut.JobMinX, -1000);
    EXPECT_EQ(cut.JobMinY, -300);
    EXPECT_EQ(cut.JobMaxX, 0);
    EXPECT_EQ(cut.JobMaxY, 2200);
    EXPECT_EQ(F(3).AxisHeight, 2200);
    EXPECT_EQ(F(3).AxisWidth, 0);
    EXPECT_EQ(cut.HasSpindleAxis, 0);

    Use(3, kTable);
    TJob& turn = Build(drawing);
    ASSERT_TRUE(turn.toczenie());
    EXPECT_EQ(turn.AxisFigure, 0);
    EXPECT_EQ(F(0).Points, (Points{{0, 0}, {0, 2500}}));
    EXPECT_EQ(F(1).Points, (Points{{1000, 2500}, {1000, 300}})) << "the other vertical line is not turned round";
    EXPECT_EQ(F(2).Points, (Points{{200, 500}, {800, 500}}));
    EXPECT_EQ(turn.JobMinX, 0);
    EXPECT_EQ(turn.JobMinY, 0) << "the table's foot is the bottom of the job";
    EXPECT_EQ(turn.JobWidth, 1000);
    EXPECT_EQ(turn.JobHeight, 2500);
    EXPECT_EQ(F(3).AxisHeight, 2500);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(RotaryPlannerTest, TieOfAxisCandidatesGoesToTheFirstLine)
{
    Use(1, kSpindle);
    TJob& j = Build({{{0, 0}, {100, 0}, {100, 100}}, {{500, 0}, {900, 0}}, {{300, 0}, {200, 0}}});
    ASSERT_TRUE(j.ciecie_obrotowe());
    EXPECT_EQ(j.AxisFigure, 1);
    EXPECT_EQ(j.JobMinX, -500);
}

TEST_F(RotaryPlannerTest, SpindleTurningStartsAtTheAxisAndCutsUprightFiguresDownwards)
{
    Use(3, kSpindle);
    TJob& j = Build({
        {{1000, 500}, {1500, 800}, {1000, 1200}},  // upright, drawn upwards
        {{2500, 1200}, {3000, 700}, {2500, 500}},  // upright, drawn downwards
        {{4000, 600}, {3500, 900}, {3200, 600}},   // drawn right to left
        {{800, 400}, {5000, 400}},                 // the axis
        {{-200, 900}, {-100, 1000}},               // left of the axis' start
    });
    ASSERT_TRUE(j.toczenie());
    EXPECT_EQ(j.AxisFigure, 3);
    EXPECT_EQ(F(0).Points, (Points{{200, 800}, {700, 400}, {200, 100}}));
    EXPECT_EQ(F(1).Points, (Points{{1700, 800}, {2200, 300}, {1700, 100}}));
    EXPECT_EQ(F(2).Points, (Points{{2400, 200}, {2700, 500}, {3200, 200}}));
    EXPECT_EQ(F(3).Points, (Points{{0, 0}, {4200, 0}}));
    EXPECT_EQ(j.JobMinX, 0) << "the job starts at the axis' start";
    EXPECT_EQ(j.JobMinY, 0);
    EXPECT_EQ(j.JobWidth, 4200);
    EXPECT_EQ(j.JobHeight, 800);
    EXPECT_EQ(F(4).OriginX, 0);
    EXPECT_EQ(j.HasSpindleAxis, 1);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(host.busyChanges, "+-") << "ordering inside the planner keeps the hourglass";

    // Rotary cutting turns only by the ends' x: an upright figure stays as drawn.
    Use(1, kSpindle);
    TJob& cut = Build({{{1000, 500}, {1500, 800}, {1000, 1200}}, {{800, 400}, {5000, 400}}});
    ASSERT_TRUE(cut.ciecie_obrotowe());
    EXPECT_EQ(F(0).Points, (Points{{200, 100}, {700, 400}, {200, 800}}));
}

TEST_F(RotaryPlannerTest, ProfileBelowTheSpindleAxisIsReportedButPlanned)
{
    Use(3, kSpindle);
    TJob& j = Build({{{0, 1000}, {4000, 1000}}, {{500, 1500}, {1500, 800}, {3000, 1400}}});
    ASSERT_TRUE(j.toczenie_wrzeciono());
    EXPECT_EQ(Texts(), std::vector<QString>{Msg("osMaBycPonizejProfilu")});
    EXPECT_EQ(host.closed, 0);
    EXPECT_EQ(j.JobMinY, -200);
    EXPECT_EQ(j.JobHeight, 700);
    EXPECT_EQ(F(1).Points, (Points{{500, 500}, {1500, -200}, {3000, 400}}));
    EXPECT_EQ(F(1).OrderId, 2);
    EXPECT_EQ(host.busyChanges, "+-") << "the cursor is back before the box";

    // Through loading the window stays open as well.
    boxes.shown.clear();
    ASSERT_TRUE(Load("PU0,1000;PD4000,1000;PU;PU500,1500;PD1500,800,3000,1400;PU;"));
    EXPECT_EQ(Texts(), std::vector<QString>{Msg("osMaBycPonizejProfilu")});
    EXPECT_EQ(host.closed, 0);
    EXPECT_EQ(job->AxisFigure, 0);
}

TEST_F(RotaryPlannerTest, MissingAxisIsReportedAndTheWindowClosesAfterThePlanner)
{
    struct Case {
        int mode, device;
        const char* key;
    };
    // A profile with a vertical line beside it, a horizontal one above, and a
    // slanting two-point line: some planners find their axis, these don't.
    const Case cases[] = {
        {1, kNoDevice, "BrakSposobuMocowaniaMaterialu"},
        {2, kSpindle, "projektBrakOsiObrotuPozProsta"},
        {3, kSpindle, "projektBrakOsiObrotuPozProsta"},
    };
    const std::string withVertical = "PU0,0;PD1000,0,1000,1000,0,1000,0,0;PU;PU2000,0;PD2000,3000;PU;PU0,0;PD3000,100;PU;";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        Use(c.mode, c.device);
        boxes.shown.clear();
        host.Reset();
        EXPECT_FALSE(Load(withVertical));
        EXPECT_EQ(Texts(), std::vector<QString>{Msg(c.key)});
        EXPECT_EQ(host.closed, 1);
        EXPECT_EQ(host.boxesAtClose, 1u) << "told first, closed after";
        EXPECT_TRUE(host.busyAtClose.endsWith("+-")) << "the planner had finished";
        EXPECT_EQ(job->AxisFigure, -1);
    }
    const std::string withHorizontal = "PU0,0;PD1000,0,1000,1000,0,1000,0,0;PU;PU0,-500;PD2000,-500;PU;PU0,0;PD100,3000;PU;";
    const Case vertical[] = {
        {1, kTable, "projektBrakOsiObrotuPionProsta"},
        {3, kTable, "projektBrakOsiObrotu"},
    };
    for (const Case& c : vertical) {
        SCOPED_TRACE(c.key);
        Use(c.mode, c.device);
        boxes.shown.clear();
        host.Reset();
        EXPECT_FALSE(Load(withHorizontal));
        EXPECT_EQ(Texts(), std::vector<QString>{Msg(c.key)});
        EXPECT_EQ(host.closed, 1);
        EXPECT_EQ(host.boxesAtClose, 1u);
    }
}

TEST_F(RotaryPlannerTest, DrawingOfOnlyTheAxisCloses)
{
    Use(1, kSpindle);
    EXPECT_FALSE(Load("PU500,300;PD4000,300;PU;"));
    EXPECT_EQ(Texts(), std::vector<QString>{Msg("projektBrakProfilu")});
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(job->AxisFigure, 0);
    EXPECT_EQ(job->FigureList[0]->MayOrient, 0);

    // A window that goes away the moment it is told: nothing may touch the
    // job afterwards (the sanitizer watches).
    boxes.shown.clear();
    Use(3, kTable);
    const QString path = dir.Write("axis.plt", "PU500,300;PD500,4000;PU;");
    auto* doomed = new TJob(&host);
    doomed->InputFileType = 1;
    host.onClose = [&doomed] {
        delete doomed;
        doomed = nullptr;
    };
    EXPECT_FALSE(doomed->Load(path, 255));
    EXPECT_EQ(doomed, nullptr);
    EXPECT_EQ(Texts(), std::vector<QString>{Msg("projektBrakProfilu")});
    host.onClose = nullptr;
}

TEST_F(RotaryPlannerTest, LineOfNoLengthIsNeverTheAxis)
{
    // The loader drops such lines; tools that build jobs may not. This one is
    // level both ways, the lowest and the rightmost figure of the drawing.
    const Points point = {{5000, -900}, {5000, -900}};
    const Points profile = {{0, 0}, {1000, 500}, {2000, 0}};
    struct Case {
        int mode, device;
        Points axis;
    };
    const Case cases[] = {
        {1, kSpindle, {{0, -100}, {2000, -100}}},
        {1, kTable, {{3000, 0}, {3000, 800}}},
        {3, kSpindle, {{0, -100}, {2000, -100}}},
        {3, kTable, {{3000, 0}, {3000, 800}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode * 10 + c.device);
        Use(c.mode, c.device);
        TJob& j = Build({profile, point, c.axis});
        ASSERT_TRUE(c.mode == 1 ? j.ciecie_obrotowe() : j.toczenie());
        EXPECT_EQ(j.AxisFigure, 2);
        EXPECT_GT(c.device == kSpindle ? F(0).AxisWidth : F(0).AxisHeight, 0) << "the axis has a length";
    }
    // Still a figure of the drawing: for spindle turning it lies below the axis.
    EXPECT_EQ(Texts(), std::vector<QString>{Msg("osMaBycPonizejProfilu")});
    boxes.shown.clear();

    for (int device : {kSpindle, kTable}) {
        Use(3, device);
        TJob& only = Build({profile, point});
        EXPECT_FALSE(only.toczenie());
        EXPECT_EQ(only.AxisFigure, -1);
        EXPECT_EQ(only.JobMinX, 0) << "nothing moved";
        EXPECT_EQ(only.JobMinY, -900);
    }
    EXPECT_EQ(Texts(), (std::vector<QString>{Msg("projektBrakOsiObrotuPozProsta"), Msg("projektBrakOsiObrotu")}));
}

TEST_F(RotaryPlannerTest, PlanningTwiceChangesNothingFurther)
{
    const std::vector<Points> drawing = {
        {{3000, 1500}, {2000, 2500}, {1000, 1500}},
        {{1800, 2600}, {1800, 2900}, {1700, 3100}},
        {{500, 1000}, {3500, 1000}},
        {{3500, 400}, {500, 400}},
        {{3800, 3000}, {3800, 200}},
        {{200, 100}, {200, 2000}},
        Rect(1200, 1600, 1400, 1800),
    };
    struct Run {
        int mode, device;
        bool (TJob::*plan)();
    };
    const Run runs[] = {
        {1, kSpindle, &TJob::ciecie_obrotowe},
        {1, kTable, &TJob::ciecie_obrotowe},
        {3, kSpindle, &TJob::toczenie},
        {3, kTable, &TJob::toczenie},
    };
    for (const Run& r : runs) {
        SCOPED_TRACE(r.mode * 10 + r.device);
        Use(r.mode, r.device);
        TJob& j = Build(drawing);
        ASSERT_TRUE((j.*r.plan)());
        const Snapshot once = Take(j);
        ASSERT_TRUE((j.*r.plan)());
        EXPECT_TRUE(Take(j) == once);
    }

    // Two axis lines level with each other, the second hanging from the
    // first: the turning order puts the second in front, and planning again
    // keeps the line it took.
    Use(3, kSpindle);
    TJob& level = Build({{{0, 500}, {800, 900}}, {{100, 0}, {900, 0}}, {{400, 0}, {1200, 0}}});
    F(2).TurnParent = 1;
    ASSERT_TRUE(level.toczenie());
    ASSERT_EQ(level.AxisFigure, 2);
    EXPECT_EQ(F(2).Points, (Points{{0, 0}, {800, 0}}));
    const Snapshot once = Take(level);
    ASSERT_TRUE(level.toczenie());
    EXPECT_TRUE(Take(level) == once);

    // Another device in between gives the old axis line back to the profile.
    Use(1, kSpindle);
    TJob& j = Build(drawing);
    ASSERT_TRUE(j.ciecie_obrotowe());
    EXPECT_EQ(j.AxisFigure, 3);
    Use(1, kTable);
    ASSERT_TRUE(j.ciecie_obrotowe());
    EXPECT_EQ(j.AxisFigure, 4);
    EXPECT_EQ(F(3).MayOrient, 1);
    EXPECT_EQ(F(3).Points, (Points{{-3300, 200}, {-300, 200}})) << "now a profile line, cut left to right";
    EXPECT_EQ(F(4).MayOrient, 0);
}

TEST_F(RotaryPlannerTest, LoadingPlansEveryWorkModeWithItsPlanner)
{
    // A square, the lowest horizontal line, and a vertical line that is both
    // the rightmost and the lowest: each planner leaves its own mark.
    const std::string drawing = "PU200,1000;PD1200,1000,1200,2000,200,2000,200,1000;PU;"
                                "PU500,500;PD3000,500;PU;PU4000,600;PD4000,2500;PU;";
    enum Planner { Plain, RotarySpindle, RotaryTable, TurnSpindle, TurnTable };
    struct Row {
        int mode, device;
        Planner planner;
    };
    const Row rows[] = {
        {0, kSpindle, Plain},        {0, kTable, Plain},         {0, kNoDevice, Plain},
        {1, kSpindle, RotarySpindle}, {1, kTable, RotaryTable},   {2, kSpindle, RotarySpindle},
        {2, kTable, Plain},          {2, kNoDevice, Plain},      {3, kSpindle, TurnSpindle},
        {3, kTable, TurnTable},      {3, kNoDevice, Plain},      {4, kSpindle, Plain},
        {4, kTable, Plain},          {5, kSpindle, Plain},       {5, kNoDevice, Plain},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << r.mode << " device " << r.device);
        Use(r.mode, r.device);
        boxes.shown.clear();
        ASSERT_TRUE(Load(drawing));
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_EQ(host.closed, 0);
        TJob& j = *job;
        switch (r.planner) {
        case Plain:
            EXPECT_EQ(j.AxisFigure, -1);
            EXPECT_EQ(j.PathPlanned, 1);
            break;
        case RotarySpindle:
            EXPECT_EQ(j.AxisFigure, 1);
            EXPECT_EQ(j.JobMinX, -300);
            EXPECT_EQ(j.JobMinY, 0);
            break;
        case TurnSpindle:
            EXPECT_EQ(j.AxisFigure, 1);
            EXPECT_EQ(j.JobMinX, 0);
            EXPECT_EQ(j.JobMinY, 0);
            break;
        case RotaryTable:
            EXPECT_EQ(j.AxisFigure, 2);
            EXPECT_EQ(j.JobMinX, -3800);
            EXPECT_EQ(j.JobMinY, -100);
            break;
        case TurnTable:
            EXPECT_EQ(j.AxisFigure, 2);
            EXPECT_EQ(j.JobMinX, -3800);
            EXPECT_EQ(j.JobMinY, 0);
            break;
        }
        if (r.planner != Plain) {
            EXPECT_EQ(j.PathPlanned, 0);
            EXPECT_EQ(j.FigureList.size(), 3u) << "rotary planners add nothing";
        }
    }
}

// The turning order as written down: the tree of a figure numbered after
// every figure hanging from it, looked up afresh each time, and the list put
// in order by exchanging neighbours from the front again after each exchange.
namespace {
void NumberLiterally(std::vector<tfigura*>& list, int32_t a, int32_t& counter)
{
    for (;;) {
        int32_t next = -1;
        for (size_t i = 0; i < list.size() && next < 0; ++i)
            if (!list[i]->Visited && list[i]->TurnParent == a)
                next = static_cast<int32_t>(i);
        if (next < 0)
            break;
        NumberLiterally(list, next, counter);
    }
    list[static_cast<size_t>(a)]->Visited = 1;
    list[static_cast<size_t>(a)]->OrderId = counter++;
}

std::vector<tfigura*> OrderLiterally(std::vector<tfigura*> list)
{
    for (tfigura* f : list) {
        f->Visited = 0;
        f->OrderId = -1;
    }
    int32_t counter = 1;
    for (int32_t depth : {1, 0})
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i]->Depth == depth && !list[i]->Visited)
                NumberLiterally(list, static_cast<int32_t>(i), counter);
    for (size_t i = 0; i + 1 < list.size();) {
        if (list[i]->OrderId > list[i + 1]->OrderId) {
            std::swap(list[i], list[i + 1]);
            i = 0;
        } else {
            ++i;
        }
    }
    return list;
}
}  // namespace

TEST_F(RotaryPlannerTest, TurningOrderPutsEveryFigureAfterThoseHangingFromIt)
{
    // Read as loaded (no parents, all at depth 0): the order stays as read.
    TJob& plain = Build({{{0, 0}, {10, 0}}, {{0, 10}, {10, 10}}, {{0, 20}, {10, 20}}});
    plain.sortuj_toczenie();
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(F(static_cast<size_t>(i)).OrderId, i + 1);
        EXPECT_EQ(F(static_cast<size_t>(i)).Points[0].y, 10 * i);
    }

    // 0 <- 1 <- 2 and 0 <- 3; figure 4 at depth 1 goes first; figure 5 at
    // depth 2 without a parent is never numbered and moves to the front.
    TJob& tree = Build({{{0, 0}, {1, 0}}, {{0, 1}, {1, 1}}, {{0, 2}, {1, 2}}, {{0, 3}, {1, 3}},
                        {{0, 4}, {1, 4}}, {{0, 5}, {1, 5}}});
    const int32_t parents[] = {-1, 0, 1, 0, -1, -1};
    for (size_t i = 0; i < 6; ++i)
        F(i).TurnParent = parents[i];
    F(4).Depth = 1;
    F(5).Depth = 2;
    tree.AxisFigure = 3;
    tree.sortuj_toczenie();
    std::vector<int32_t> ys, ids;
    for (const auto& f : tree.FigureList) {
        ys.push_back(f->Points[0].y);
        ids.push_back(f->OrderId);
    }
    EXPECT_EQ(ys, (std::vector<int32_t>{5, 4, 2, 1, 3, 0}));
    EXPECT_EQ(ids, (std::vector<int32_t>{-1, 1, 2, 3, 4, 5}));
    EXPECT_EQ(tree.AxisFigure, 4) << "the axis index follows its figure";
    EXPECT_EQ(F(2).TurnParent, 3) << "so do the parent links";
    EXPECT_EQ(F(3).TurnParent, 5);
    EXPECT_EQ(F(4).TurnParent, 5);
    EXPECT_EQ(F(3).Index, 3);
    EXPECT_EQ(host.busyChanges, "+-");

    // Parent links that run in a circle, or point outside the list, end.
    TJob& loop = Build({{{0, 0}, {1, 0}}, {{0, 1}, {1, 1}}, {{0, 2}, {1, 2}}});
    F(0).TurnParent = 1;
    F(1).TurnParent = 0;
    F(2).TurnParent = 7;
    loop.sortuj_toczenie();
    EXPECT_EQ(F(0).Points[0].y, 1);
    EXPECT_EQ(F(0).OrderId, 1);
    EXPECT_EQ(F(1).OrderId, 2);
    EXPECT_EQ(F(2).OrderId, 3);
}

TEST_F(RotaryPlannerTest, TurningOrderAgreesWithTheLiteralOrdering)
{
    std::mt19937 rng(7031);
    for (int round = 0; round < 400; ++round) {
        // Deeper trees are numbered first, so only a job of one depth keeps
        // its order when numbered again.
        const bool oneDepth = round % 2 == 0;
        const int n = 1 + static_cast<int>(rng() % 25);
        std::vector<Points> figures;
        for (int i = 0; i < n; ++i)
            figures.push_back({{0, i}, {5, i}});
        TJob& j = Build(figures);
        // A forest: each figure hangs from one made before it in a shuffled
        // order, or from nothing, now and then from a place outside the list.
        std::vector<int32_t> made(static_cast<size_t>(n));
        std::iota(made.begin(), made.end(), 0);
        std::shuffle(made.begin(), made.end(), rng);
        for (int k = 0; k < n; ++k) {
            tfigura& f = F(static_cast<size_t>(made[static_cast<size_t>(k)]));
            const unsigned pick = rng() % 8;
            f.TurnParent = k == 0 || pick < 2 ? -1 : pick == 2 ? n + 3 : made[rng() % static_cast<unsigned>(k)];
            f.Depth = oneDepth ? 0 : static_cast<int32_t>(rng() % 4 == 0 ? rng() % 3 : 0);
        }
        std::vector<tfigura*> list;
        std::vector<int32_t> parentY;
        for (const auto& f : j.FigureList) {
            list.push_back(f.get());
            const int32_t p = f->TurnParent;
            parentY.push_back(p >= 0 && p < n ? F(static_cast<size_t>(p)).Points[0].y : -1);
        }
        const std::vector<tfigura*> expected = OrderLiterally(list);
        std::vector<std::pair<tfigura*, int32_t>> literal;
        for (tfigura* f : expected)
            literal.emplace_back(f, f->OrderId);

        j.sortuj_toczenie();
        std::vector<std::pair<tfigura*, int32_t>> ours;
        for (const auto& f : j.FigureList)
            ours.emplace_back(f.get(), f->OrderId);
        ASSERT_EQ(ours, literal) << "round " << round;
        for (const auto& f : j.FigureList) {
            const int32_t p = f->TurnParent;
            const int32_t y = p >= 0 && p < n ? F(static_cast<size_t>(p)).Points[0].y : -1;
            EXPECT_EQ(y, parentY[static_cast<size_t>(f->Points[0].y)]) << "round " << round;
        }

        if (oneDepth) {
            j.sortuj_toczenie();
            std::vector<std::pair<tfigura*, int32_t>> again;
            for (const auto& f : j.FigureList)
                again.emplace_back(f.get(), f->OrderId);
            EXPECT_EQ(again, ours) << "ordered once is ordered";
        }
    }
}

TEST_F(RotaryPlannerTest, TurningOrderOfALongChainIsQuick)
{
    // Each figure hangs from the one before: the whole list turns round,
    // which exchanging neighbours would take ages over.
    const int n = 200000;
    job = std::make_unique<TJob>(&host);
    for (int i = 0; i < n; ++i) {
        auto f = std::make_unique<tfigura>();
        f->Points = {{i, 0}, {i, 1}};
        f->TurnParent = i - 1;
        job->FigureList.push_back(std::move(f));
    }
    job->AxisFigure = 0;
    job->sortuj_toczenie();
    EXPECT_EQ(F(0).Points[0].x, n - 1);
    EXPECT_EQ(F(0).OrderId, 1);
    EXPECT_EQ(F(n - 1).Points[0].x, 0);
    EXPECT_EQ(F(n - 1).OrderId, n);
    EXPECT_EQ(job->AxisFigure, n - 1);
}
