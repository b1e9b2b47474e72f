#include "app/MainStatus.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/FigureAssembler.h"
#include "job/Geometry.h"
#include "job/Hpgl.h"
#include "job/Job.h"
#include "machine/MachineConstants.h"
#include "tests/job/JobTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>
#include <random>

namespace {
using Points = std::vector<TFigPoint>;

class RecordingHost : public JobHost {
public:
    void SetCaption(const QString& c) override { caption = c; }
    void SetOwnStatus(const QString& t) override { status = t; }
    void SetBusy(bool b) override { busyChanges += b ? "+" : "-"; }
    void CloseWindow() override { ++closed; }
    PlanProgress* BeginPlanning() override
    {
        if (outOfMemoryWhenPlanning)
            throw std::bad_alloc();
        return nullptr;
    }
    void EndPlanning() override { ++planningEnded; }
    QString caption, status, busyChanges;
    int closed = 0;
    int planningEnded = 0;
    bool outOfMemoryWhenPlanning = false;
};

class JobLoadTest : public JobLoadingTest {
protected:
    // Loads HPGL text through a file, as the open command does.
    bool Load(const std::string& text, uint8_t filter = 255)
    {
        path = WriteDrawing("drawing.plt", text);
        job.InputFileType = 1;
        return job.Load(path, filter);
    }
    // The figures of the drawing, without what the planner added.
    std::vector<tfigura*> Drawn() const
    {
        std::vector<tfigura*> out;
        for (const auto& f : job.FigureList)
            if (f->Origin == 0)
                out.push_back(f.get());
        return out;
    }
    std::vector<Points> Shapes() const
    {
        std::vector<Points> out;
        for (const tfigura* f : Drawn())
            out.push_back(f->Points);
        return out;
    }

    RecordingHost host;
    TJob job{&host};
    QString path;
};
}  // namespace

TEST_F(JobLoadTest, LoadsFiguresWithBoundsOriginAndCount)
{
    ASSERT_TRUE(Load("IN;SP1;PU100,200;PD300,200,300,400,100,400,100,200;PU;PU500,50;PD600,60;PU;"));
    ASSERT_EQ(Drawn().size(), 2u);
    EXPECT_EQ(job.JobMinX, 100);
    EXPECT_EQ(job.JobMinY, 50);
    EXPECT_EQ(job.JobMaxX, 600);
    EXPECT_EQ(job.JobMaxY, 400);
    EXPECT_EQ(job.JobWidth, 500);
    EXPECT_EQ(job.JobHeight, 350);
    for (size_t i = 0; i < Drawn().size(); ++i) {
        EXPECT_EQ(Drawn()[i]->Index, static_cast<int32_t>(i));
        EXPECT_EQ(Drawn()[i]->OriginX, 100);
        EXPECT_EQ(Drawn()[i]->OriginY, 50);
        EXPECT_EQ(Drawn()[i]->TurnParent, -1);
    }
    EXPECT_EQ(Drawn()[0]->Closed, 1);
    EXPECT_EQ(Drawn()[1]->IsOpen, 1);
    EXPECT_EQ(host.caption, path);
    EXPECT_EQ(host.status, "Number of figures: 2");
    EXPECT_EQ(host.busyChanges, "+-");
    EXPECT_EQ(host.closed, 0);
    EXPECT_TRUE(MainStatusText().isEmpty());
    EXPECT_EQ(job.SelectedFigure, -1);
    EXPECT_EQ(job.PathPlanned, 1) << "loading plans the job";
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(JobLoadTest, OpenPolylinesWhoseEndsMeetAreJoined)
{
    // B near C: the first line continues the second; then the ends meet: closed.
    ASSERT_TRUE(Load("PU0,0;PD100,0,100,100;PU;PU103,98;PD0,100,2,3;PU;"));
    ASSERT_EQ(Drawn().size(), 1u);
    EXPECT_EQ(Drawn()[0]->Points, (Points{{103, 98}, {0, 100}, {2, 3}, {100, 0}, {100, 100}}));
    EXPECT_EQ(Drawn()[0]->Closed, 1);

    // B near D: the earlier line is appended in reverse, without its touching point.
    ASSERT_TRUE(Load("PU0,0;PD100,0;PU;PU200,0;PD105,5;PU;"));
    ASSERT_EQ(Drawn().size(), 1u);
    EXPECT_EQ(Drawn()[0]->Points, (Points{{200, 0}, {105, 5}, {0, 0}}));

    // A near C and A near D put the other line in front.
    ASSERT_TRUE(Load("PU0,0;PD0,100;PU;PU0,0;PD100,0;PU;"));
    EXPECT_EQ(Shapes(), (std::vector<Points>{{{0, 100}, {0, 0}, {100, 0}}}));
    ASSERT_TRUE(Load("PU50,50;PD0,0;PU;PU0,0;PD100,0;PU;"));
    EXPECT_EQ(Shapes(), (std::vector<Points>{{{50, 50}, {0, 0}, {100, 0}}}));
}

TEST_F(JobLoadTest, JoiningStopsOnceTheFigureHasClosed)
{
    // The last line closes with the first; the second touches its start as well
    // (within the tolerance, but not the first line), and must stay apart.
    ASSERT_TRUE(Load("PU9,0;PD100,0,100,100;PU;PU-100,-100;PD-9,0;PU;PU0,0;PD0,100,100,100;PU;"));
    ASSERT_EQ(Drawn().size(), 2u);
    EXPECT_EQ(Drawn()[0]->Points, (Points{{-100, -100}, {-9, 0}}));
    EXPECT_EQ(Drawn()[1]->Points, (Points{{0, 0}, {0, 100}, {100, 100}, {100, 0}, {9, 0}}));
    EXPECT_EQ(Drawn()[1]->Closed, 1);
}

TEST_F(JobLoadTest, DuplicatesAreDroppedOnlyWhenIdenticalInOrder)
{
    const std::string square = "PU0,0;PD100,0,100,100,0,100,0,0;PU;";
    ASSERT_TRUE(Load(square + square));
    EXPECT_EQ(Drawn().size(), 1u);
    ASSERT_TRUE(Load(square + "PU0,0;PD0,100,100,100,100,0,0,0;PU;"));
    EXPECT_EQ(Drawn().size(), 2u) << "the same contour the other way round is kept";
}

TEST_F(JobLoadTest, PenFilterKeepsItsPenAndPenSix)
{
    const std::string text = "SP3;PU0,0;PD10,0;PU;SP4;PU0,20;PD10,20;PU;SP6;PU0,40;PD10,40;PU;";
    ASSERT_TRUE(Load(text, 4));
    ASSERT_EQ(Drawn().size(), 2u);
    EXPECT_EQ(Drawn()[0]->Pen, 4);
    EXPECT_EQ(Drawn()[1]->Pen, 6);
    ASSERT_TRUE(Load(text, 255));
    EXPECT_EQ(Drawn().size(), 3u);
}

TEST_F(JobLoadTest, DegenerateFiguresAreDropped)
{
    ASSERT_TRUE(Load("PU5,5;PD;PU;PU0,0;PD0,0,0,0;PU;PU0,0;PD10,0;PU;"));
    ASSERT_EQ(Drawn().size(), 1u);
    EXPECT_EQ(Drawn()[0]->Points, (Points{{0, 0}, {10, 0}}));
}

TEST_F(JobLoadTest, FeedSignAndRotationAngleComeFromSettingsAndPenOne)
{
    Settings().SetItemIndex("CatDir", 1);
    ASSERT_TRUE(Load("PW0.45,1;PU0,0;PD10,0;PU;"));
    EXPECT_EQ(job.FeedSign[0], -1);
    EXPECT_EQ(job.FeedSign[1], -1);
    EXPECT_DOUBLE_EQ(job.RotationAngle, 45.0);
    Settings().SetItemIndex("CatDir", 2);
    ASSERT_TRUE(Load("PU0,0;PD10,0;PU;"));
    EXPECT_EQ(job.FeedSign[0], 1);
    EXPECT_EQ(job.RotationAngle, 0.0);
}

TEST_F(JobLoadTest, RangeWarningIsStrictAndNamesTheCarriage)
{
    // 4800 mm = 192000 steps: exactly the travel is fine.
    ASSERT_TRUE(Load("PU0,0;PD192000,0;PU;"));
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_TRUE(Load("PU0,0;PD192040,0;PU;"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(boxes.shown[0].caption, Tr("Control", "KeyFront.caption"));
    EXPECT_EQ(Drawn().size(), 1u) << "loading goes on after the warning";

    boxes.shown.clear();
    Settings().SetValue("skala", 50);
    ASSERT_TRUE(Load("PU0,0;PD192040,0;PU;"));
    EXPECT_TRUE(boxes.shown.empty()) << "at half scale it fits";

    job.SideDrawing = 1;
    SideLimitY = 100;
    ASSERT_TRUE(Load("PU0,0;PD0,16040;PU;"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, Tr("Control", "VeKeyBack.caption"));
}

TEST_F(JobLoadTest, UnreadableDrawingsAreReportedAndTheWindowCloses)
{
    // A coordinate out of range names the byte where its command step starts.
    const std::string tooLong = "PU0,0;PD10,0,10,10;PU;PD" + std::string(400, '9') + ",0;";
    const std::string tooFar = "PU0,0;PD10,0;PU;PD99999999999,0;";
    const std::string relative = "PR;PD2147483000,0;PD1000,0;PU;";
    std::string beyondABlock;  // read in blocks of 1 MiB
    for (int i = 0; i < 300000; ++i)
        beyondABlock += "PU1,1;";
    beyondABlock += tooFar;
    const std::pair<std::string, size_t> cases[] = {
        {beyondABlock, beyondABlock.rfind("PD")},
        {"IN;SP1;PU0,0;PU10,10;", std::string::npos},
        {tooLong, tooLong.rfind("PD")},
        {tooFar, tooFar.rfind("PD")},
        {relative, relative.rfind("PD")},
    };
    for (const auto& [text, offset] : cases) {
        boxes.shown.clear();
        host.closed = 0;
        EXPECT_FALSE(Load(text)) << text;
        ASSERT_EQ(boxes.shown.size(), 1u) << text;
        EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);
        const QString expected = offset == std::string::npos
                                     ? Tr("Project_window", "zbiorPusty")
                                     : Tr("Universal", "zbioruNieMoznaOtworzyc") + path + "\n" +
                                           Tr("Project_window", "wspolrzednaPozaZakresem") + "\n" +
                                           Tr("Project_window", "odczytPrzerwanyBajcie").arg(offset);
        EXPECT_EQ(boxes.shown[0].text.toStdString(), expected.toStdString());
        EXPECT_EQ(host.closed, 1);
        EXPECT_TRUE(job.FigureList.empty());
        EXPECT_TRUE(host.busyChanges.endsWith("-"));
    }
    boxes.shown.clear();
    job.InputFileType = 1;
    EXPECT_FALSE(job.Load(dir.File("missing.plt"), 255));
    ASSERT_EQ(boxes.shown.size(), 1u);
    // The platform says why the file can't be opened.
    const QString head = Tr("Universal", "zbioruNieMoznaOtworzyc") + dir.File("missing.plt") + "\n";
    EXPECT_TRUE(boxes.shown[0].text.startsWith(head)) << boxes.shown[0].text.toStdString();
    EXPECT_GT(boxes.shown[0].text.size(), head.size());
}

TEST_F(JobLoadTest, RunningOutOfMemoryWhilePlanningGivesTheJobUp)
{
    host.outOfMemoryWhenPlanning = true;
    EXPECT_FALSE(Load("PU0,0;PD100,0,100,100,0,100,0,0;PU;"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Project_window", "brakPamieci"));
    EXPECT_EQ(host.closed, 1);
    EXPECT_TRUE(job.FigureList.empty());
    EXPECT_EQ(host.planningEnded, 1) << "the window stops showing progress";
    EXPECT_TRUE(host.busyChanges.endsWith("-"));

    // The same job planned again from the settings command gives up the same way.
    host.outOfMemoryWhenPlanning = false;
    ASSERT_TRUE(Load("PU0,0;PD100,0,100,100,0,100,0,0;PU;"));
    boxes.shown.clear();
    host.closed = 0;
    host.outOfMemoryWhenPlanning = true;
    EXPECT_EQ(job.ciecie(), PlainPlanner::Result::Cancelled);
    EXPECT_EQ(host.closed, 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Project_window", "brakPamieci"));
}

TEST_F(JobLoadTest, BuildingOperations)
{
    TJob built;
    built.Ustaw_PPiPK();
    EXPECT_EQ(built.JobMinX, 2147483647);
    EXPECT_EQ(built.JobMaxX, -2147483647);

    auto f = std::make_unique<tfigura>();
    f->Points = {{40, 80}, {400, 80}, {400, 800}, {40, 80}};
    EXPECT_EQ(built.AddFigure(std::move(f)), 0);
    auto c = std::make_unique<tfigura>();
    c->Points = {{0, 0}, {40, 80}};
    EXPECT_EQ(built.AddLacznik(std::move(c), 0), 1);
    EXPECT_EQ(built.FigureList[1]->IsFigure, 0);
    EXPECT_EQ(built.FigureList[0]->IsFigure, 1);
    built.JobWidth = 17;
    built.Ustaw_PPiPK();
    EXPECT_EQ(built.JobMinX, 0);
    EXPECT_EQ(built.JobMaxY, 800);
    EXPECT_EQ(built.JobWidth, 17) << "width and height are Load's";
    EXPECT_EQ(built.FigureList[1]->Index, 1);

    Settings().SetItemIndex("StolikSwitch", 0);
    EXPECT_DOUBLE_EQ(built.DajPoz1szegoWjazduWmat(), 1.0);
    Settings().SetItemIndex("StolikSwitch", 1);
    EXPECT_DOUBLE_EQ(built.DajPoz1szegoWjazduWmat(), 2.0);
    built.AxisFigure = 0;
    EXPECT_DOUBLE_EQ(built.DajPoz1szegoWjazduWmat(), 0.0);
    Settings().SetItemIndex("StolikSwitch", 2);
    built.AxisFigure = -1;
    EXPECT_DOUBLE_EQ(built.DajPoz1szegoWjazduWmat(), 0.0);
}

// Joining and duplicate removal in the plain form: every pass over the whole
// list, every figure compared. The loader's indexed search must agree. A figure
// counts as open (and takes others in) only while its ends are apart by the
// tolerance, as parameter computation decides it.
namespace {
bool JoinableRef(const Points& p) { return p.size() > 1 && !(p.size() >= 3 && NearPoint(p.front(), p.back())); }

std::vector<Points> ReferenceLoad(const std::vector<Points>& read)
{
    std::vector<Points> list;
    std::vector<bool> open;
    for (Points n : read) {
        bool joined = true;
        while (joined && JoinableRef(n)) {
            joined = false;
            for (size_t i = 0; i < list.size() && JoinableRef(n);) {
                const Points& f = list[i];
                if (!open[i] || f.size() < 2) {
                    ++i;
                    continue;
                }
                const TFigPoint a = n.front(), b = n.back(), c = f.front(), d = f.back();
                Points merged;
                if (NearPoint(b, c)) {
                    merged = n;
                    merged.insert(merged.end(), f.begin() + 1, f.end());
                } else if (NearPoint(b, d)) {
                    merged = n;
                    merged.insert(merged.end(), f.rbegin() + 1, f.rend());
                } else if (NearPoint(a, c)) {
                    merged.assign(f.rbegin(), f.rend() - 1);
                    merged.insert(merged.end(), n.begin(), n.end());
                } else if (NearPoint(a, d)) {
                    merged.assign(f.begin(), f.end() - 1);
                    merged.insert(merged.end(), n.begin(), n.end());
                } else {
                    ++i;
                    continue;
                }
                n = merged;
                list.erase(list.begin() + static_cast<long>(i));
                open.erase(open.begin() + static_cast<long>(i));
                joined = true;
            }
        }
        bool duplicate = false;
        for (const Points& f : list)
            duplicate = duplicate || f == n;
        if (!duplicate) {
            list.push_back(n);
            open.push_back(n.size() < 3 || !NearPoint(n.front(), n.back()));
        }
    }
    return list;
}
}  // namespace


TEST_F(JobLoadTest, IndexedJoiningAgreesWithThePlainPasses)
{
    std::mt19937 rng(20261208);
    const double tolerances[] = {0.5, 1, 3, 10, 10.5, 25};
    for (int round = 0; round < 120; ++round) {
        PointTolerance = tolerances[round % 6];
        // Short polylines on a coarse grid around the origin, so ends meet often,
        // within the tolerance or just outside it.
        const int spread = 3 + round % 10;
        std::uniform_int_distribution<int> cell(-spread, spread), jitter(-12, 12), len(2, 5), count(1, 50);
        std::vector<Points> read;
        std::string text;
        const int n = count(rng);
        for (int i = 0; i < n; ++i) {
            Points p;
            const int k = len(rng);
            for (int j = 0; j < k; ++j) {
                TFigPoint q{cell(rng) * 100 + jitter(rng), cell(rng) * 100 + jitter(rng)};
                if (p.empty() || !(p.back() == q))
                    p.push_back(q);
            }
            if (p.size() < 2)
                continue;
            if (rng() % 5 == 0)
                read.push_back(read.empty() ? p : read[rng() % read.size()]);  // a duplicate now and then
            else
                read.push_back(p);
            const Points& r = read.back();
            text += "PU" + std::to_string(r[0].x) + "," + std::to_string(r[0].y) + ";PD";
            for (size_t j = 1; j < r.size(); ++j)
                text += (j > 1 ? "," : "") + std::to_string(r[j].x) + "," + std::to_string(r[j].y);
            text += ";PU;";
        }
        if (read.empty())
            continue;
        ASSERT_TRUE(Load(text)) << text;
        EXPECT_EQ(Shapes(), ReferenceLoad(read)) << "round " << round << ": " << text;
    }
}

TEST(FigureAssembler, JoinsWithTheToleranceItIsGiven)
{
    const double global = PointTolerance;
    PointTolerance = 10.0;
    auto assemble = [](double tolerance, const std::vector<Points>& read) {
        FigureAssembler assembler(tolerance, read.size());
        for (const Points& p : read) {
            auto f = std::make_unique<tfigura>();
            f->Points = p;
            assembler.Add(std::move(f));
        }
        std::vector<Points> out;
        for (const auto& f : assembler.Finish())
            out.push_back(f->Points);
        return out;
    };
    // Ends 15 steps apart join within 20, whatever the settings' tolerance
    // (the joint keeps the new figure's end); ends 7 apart stay apart within 5.
    EXPECT_EQ(assemble(20, {{{0, 0}, {100, 0}}, {{115, 0}, {200, 100}}}),
              (std::vector<Points>{{{0, 0}, {115, 0}, {200, 100}}}));
    EXPECT_EQ(assemble(5, {{{0, 0}, {100, 0}}, {{107, 0}, {200, 100}}}).size(), 2u);
    // Closed within the given tolerance: a figure whose ends are 15 apart
    // takes in no line touching its start.
    EXPECT_EQ(assemble(20, {{{0, 0}, {100, 0}, {100, 100}, {15, 0}}, {{0, 0}, {-100, 0}}}).size(), 2u);
    PointTolerance = global;
}

TEST_F(JobLoadTest, AFigureClosedWithinTheToleranceTakesNothingIn)
{
    // The second figure's ends are 5 steps apart: closed, as parameter
    // computation calls it, so the line touching its start stays apart.
    ASSERT_TRUE(Load("PU0,0;PD-100,0;PU;PU3,0;PD50,50,0,5;PU;"));
    EXPECT_EQ(Drawn().size(), 2u);
    EXPECT_EQ(Drawn()[1]->Closed, 1);
}

TEST_F(JobLoadTest, LongChainsOfSegmentsBecomeOneFigure)
{
    // Drawn forwards, backwards, and as spokes of a star meeting at the centre.
    std::string forward, backward, star;
    for (int i = 0; i < 3000; ++i) {
        forward += "PU" + std::to_string(i * 50) + ",0;PD" + std::to_string(i * 50 + 50) + ",0;PU;";
        backward += "PU" + std::to_string(-i * 50) + ",0;PD" + std::to_string(-i * 50 - 50) + ",0;PU;";
        star += "PU0,0;PD" + std::to_string(1000 + 20 * i) + "," + std::to_string(i % 2 ? 5000 : -5000) + ";PU;";
    }
    ASSERT_TRUE(Load(forward));
    ASSERT_EQ(Drawn().size(), 1u);
    EXPECT_EQ(Drawn()[0]->Points.size(), 3001u);
    EXPECT_EQ(Drawn()[0]->Points.front(), (TFigPoint{0, 0}));
    EXPECT_EQ(Drawn()[0]->Points.back(), (TFigPoint{150000, 0}));

    ASSERT_TRUE(Load(backward));
    ASSERT_EQ(Drawn().size(), 1u);
    EXPECT_EQ(Drawn()[0]->Points.front(), (TFigPoint{0, 0}));
    EXPECT_EQ(Drawn()[0]->Points.back(), (TFigPoint{-150000, 0}));

    // Each pair of spokes joins at the centre into a V; the next spoke finds the
    // centre free again.
    ASSERT_TRUE(Load(star));
    ASSERT_EQ(Drawn().size(), 1500u);
    EXPECT_EQ(Drawn()[0]->Points, (Points{{1000, -5000}, {0, 0}, {1020, 5000}}));
}

