// The material of an independent two-wire cut against the simulated
// controller on virtual time: the projection onto the machine planes, the
// travel check with its offer to move the wires, and a whole START.
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/Job.h"
#include "job/Replay.h"
#include "machine/CutStart.h"
#include "machine/JobState.h"
#include "machine/MachineConstants.h"
#include "machine/MachineOperations.h"
#include "machine/MachineState.h"
#include "machine/Transmission.h"
#include "machine/TwoPlaneMaterial.h"
#include "machine/WireSelection.h"
#include "production/TwoWireMerge.h"
#include "tests/support/CommandFile.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace cmdfile;

namespace {
class TwoPlaneMaterialTest : public MachineWorldTest, protected SimulatedRig {
protected:
    void SetUp() override
    {
        MachineWorldTest::SetUp();
        Settings().SetItemIndex("Mode", 4);
        Settings().SetChecked("AddFrame", false);
        WireSelection() = TsterModel();
        WireSelection().KeyFront = WireSelection().KeyBack = true;
        JobRunning = JobStopped = false;
        MaterialWidth = MaterialFrontOffset = -1.0;
        IdentifyMachine(m);
    }
    void TearDown() override
    {
        WireSelection() = TsterModel();
        JobRunning = JobStopped = false;
        MaterialWidth = MaterialFrontOffset = -1.0;
        MachineWorldTest::TearDown();
    }
    // A green square of 100 mm around a red one of 50 mm, merged as opening
    // the drawing merges it.
    void LoadMerged()
    {
        const QString file = dir.Write("pair.plt", "IN;SP4;PU0,0;PD4000,0,4000,4000,0,4000,0,0;PU;"
                                                   "SP3;PU1000,1000;PD3000,1000,3000,3000,1000,3000,1000,1000;PU;");
        TJob front, back;
        ASSERT_TRUE(front.Load(file, 4));
        ASSERT_TRUE(back.Load(file, 3));
        auto capture = [](TJob& j) { j.CapturedPath = CapturePlannedPath(j, ReplayOptions::FromSettings(j)); };
        ASSERT_EQ(MergeTwoWireJobs(front, back, job, capture), MergeOutcome::Merged);
    }
    bool Heating() { return sim.Status() & 0x4u; }

    ScopedTranslator translator;
    TempProgramDir dir{false};
    ScriptedPresenter boxes;
    MachineOperations ops{m, Settings(), false};
    TJob job;
};
}  // namespace

TEST_F(TwoPlaneMaterialTest, ProjectionThroughTheMaterialAndItsWidthAgainstTheMachine)
{
    TPoint3 a, b;
    // x grows 1 mm per 10 mm of depth from x = 0 at z = 100.
    ProjectToMachinePlanes({0, 5, 100}, {10, 5, 200}, 600, a, b);
    EXPECT_DOUBLE_EQ(a.x, -10);
    EXPECT_DOUBLE_EQ(b.x, 50);
    EXPECT_DOUBLE_EQ(b.z, 600);

    ASSERT_EQ(MachineWidth, 600);
    TwoPlaneMaterial material{m, Settings(), job};
    EXPECT_TRUE(material.CheckMaterial(600, 0));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(material.CheckMaterial(600, 1));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Independent_start_dialog", "MaterialPozaMaszyna"));
}

TEST_F(TwoPlaneMaterialTest, WiresInsideGoOnOutsideTheyAreOfferedAHotMoveThatCancelCools)
{
    LoadMerged();
    TwoPlaneMaterial material{m, Settings(), job};
    ASSERT_TRUE(ops.gotopoint(true, 2, 100, 100, 50, 50, 0, 0));
    // Filling the machine's width the profiles are the carriages' paths.
    EXPECT_TRUE(material.btnDalejClick(600, 0));
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(job.FigureList[0]->SecondProfile, job.FigureList[0]->Points);
    EXPECT_EQ(job.FigureList[1]->SecondProfile, job.FigureList[1]->Points);

    // 300 mm of material 100 mm from the front: the front plane's path
    // reaches 1/3 of the profiles' 25 mm gap further out, 8.33 mm left of the
    // origin, more than the front carriage at x = 5 has.
    ASSERT_TRUE(ops.gotopoint(true, 2, 5, 7, 50, 60, 0, 0));
    // The side wire stands at 0: down to 9 mm the wires would come within
    // 10 mm of it, so the offer moves nothing and says why.
    boxes.answers = {mrYes};
    EXPECT_FALSE(material.btnDalejClick(300, 100)) << "the dialog stays open";
    ASSERT_EQ(boxes.asked.size(), 1u);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(Tr("Main_window", "VeKolizjaDrutow")));
    EXPECT_FALSE(Heating());
    EXPECT_EQ(sim.Counter(FrontY), 5000);
    // With the side wire 5 mm below its zero the hot move goes.
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 5, 7, 0, 50, 60, -5, 0, 0));
    boxes.answers = {mrYes};
    EXPECT_FALSE(material.btnDalejClick(300, 100)) << "the dialog stays open";
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_TRUE(boxes.asked[1].text.contains("x = 9.00 [mm]\r\ny = 9.00 [mm]")) << boxes.asked[1].text.toStdString();
    EXPECT_TRUE(Heating());
    for (int axis : {FrontX, FrontY, BackX, BackY})
        EXPECT_EQ(sim.Counter(axis), 900) << "axis " << axis << ": the wires stand there when it returns";
    EXPECT_EQ(MaterialWidth, 300);
    EXPECT_EQ(MaterialFrontOffset, 100);

    // Now they fit; closing without a cut switches the heater off again.
    EXPECT_TRUE(material.btnDalejClick(300, 100));
    EXPECT_EQ(boxes.asked.size(), 2u);
    material.Closed(false);
    EXPECT_FALSE(Heating());
}

TEST_F(TwoPlaneMaterialTest, StartWritesFourAxisMovesFromTheProjectedPathsAndStreamsThem)
{
    LoadMerged();
    Transmission tx{m};
    CutStartHooks hooks;
    int asked = 0;
    bool hotMove = true;
    CutStart* cutting = nullptr;
    auto startCut = [&] { return cutting->Start1Click({&job}, &job, StartSource::MenuOrButton, false); };
    hooks.twoPlaneDialog = [&] {
        ++asked;
        TwoPlaneMaterial dialog{m, Settings(), job};
        if (hotMove) {
            // START again while this one waits here: refused, and this start
            // still holds the machine against a third, REPEAT and the side cut.
            EXPECT_FALSE(startCut());
            EXPECT_TRUE(m.StartInProgress());
            EXPECT_FALSE(startCut());
            // The wires outside are moved there hot; then they fit.
            boxes.answers = {mrYes};
            EXPECT_FALSE(dialog.btnDalejClick(300, 100));
            EXPECT_TRUE(Heating());
        }
        return dialog.btnDalejClick(300, 100);
    };
    CutStart cut{m, Settings(), WireSelection(), ops, tx, hooks};
    cutting = &cut;
    // A start that stops after the dialog's hot move (here "out.cn" can't be
    // written) leaves no heated wire.
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 5, 7, 0, 50, 60, -5, 0, 0));
    ASSERT_TRUE(QDir().mkpath(dir.File("out.cn")));
    EXPECT_FALSE(startCut());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(m.StartInProgress());
    EXPECT_FALSE(Heating());
    ASSERT_TRUE(QDir().rmdir(dir.File("out.cn")));
    hotMove = false;
    ASSERT_TRUE(ops.gotopointKreuz(true, 2, 100, 100, 0, 50, 50, 0, 0, 0));
    asked = 0;
    ASSERT_TRUE(cut.Start1Click({&job}, &job, StartSource::MenuOrButton, false));
    EXPECT_EQ(asked, 1);

    const std::vector<Item> items = Decode(ReadFile(dir.File("out.cn")));
    Positions start{};
    start[FrontX] = start[BackX] = 10000;
    start[FrontY] = start[BackY] = 5000;
    const std::vector<Positions> moves = Replay(items, start);
    // Each carriage follows its own plane's path from where it stands: one
    // job step is 2.5 controller steps here.
    const auto& a = job.FigureList[0]->SecondProfile;
    const auto& b = job.FigureList[1]->SecondProfile;
    const TFigPoint origin = job.FigureList[0]->Points[0];
    // Vertex 1 to the last; the way back to vertex 0 is no move, the
    // profiles closing at their last point.
    ASSERT_EQ(a.front(), a.back());
    ASSERT_EQ(moves.size(), a.size() - 1);
    for (size_t k = 0; k < moves.size(); ++k) {
        const size_t v = (k + 1) % a.size();
        const auto expect = [&](const TFigPoint& p, int slotX, int slotY) {
            EXPECT_NEAR(moves[k][slotX] - start[slotX], (p.x - origin.x) * 2.5, 1.5) << "move " << k;
            EXPECT_NEAR(moves[k][slotY] - start[slotY], (p.y - origin.y) * 2.5, 1.5) << "move " << k;
        };
        expect(a[v], FrontX, FrontY);
        expect(b[v], BackX, BackY);
    }
    ASSERT_NE(a, b) << "the carriages' paths differ";

    for (int i = 0; i < 2000 && (tx.Running() || (sim.Status() & 0x2u)); ++i)
        clock.Advance(1000);
    EXPECT_FALSE(tx.Running());
    EXPECT_EQ(sim.Count(SimEvent::TravelLimit), 0);
    EXPECT_EQ(sim.Count(SimEvent::Starvation), 0);
    for (int axis : {FrontX, FrontY, BackX, BackY})
        EXPECT_EQ(sim.Counter(axis), moves.back()[static_cast<size_t>(axis)]) << "axis " << axis;
}
