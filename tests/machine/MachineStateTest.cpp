#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/Settings.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "tests/support/FakeLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <map>

namespace {
class MachineStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetMachineConstants();
        PlotState = tplotstate();
        Settings().Reset();
    }
    void TearDown() override
    {
        ResetMachineConstants();
        PlotState = tplotstate();
        SetCommandLine({});
        WiresCrashChecking = true;
    }
    FakeLink link;
    TestMachine t{link};
    Machine& m = t.machine;
    ScriptedPresenter boxes;
};
}  // namespace

TEST_F(MachineStateTest, StatusAndPositionsComeFromTheStatusReply)
{
    link.replies[10][1] = 0x22;
    link.Put32(10, 2, 0x00040003);  // moving, job working, homed
    link.Put32(10, 6 + 0, 12345);
    link.Put32(10, 6 + 4, -250);
    link.Put32(10, 6 + 4 * 6, -100);  // spindle
    StepsPerUnitX = 2.0;
    ASSERT_TRUE(ReadStatus(m));
    EXPECT_TRUE(PlotState.Moving());
    EXPECT_TRUE(PlotState.JobWorking());
    EXPECT_TRUE(PlotState.Homed());
    EXPECT_EQ(PlotState.StatusByte1, 0x22);
    ReadPositions(m);
    EXPECT_EQ(PlotState.FrontX, 6172) << "12345 / 2 rounds half to even";
    EXPECT_EQ(PlotState.FrontY, -250);
    EXPECT_EQ(PlotState.SpindleTurnSteps, -100);
    EXPECT_DOUBLE_EQ(PlotState.SpindleAngle, -4.5);
    EXPECT_EQ(PlotState.AxisCounters[7], -100) << "counters are kept in the order 0 1 3 2 4 5 7 6";

    link.found = false;
    EXPECT_FALSE(ReadStatus(m));
    EXPECT_EQ(PlotState.StatusFlags, 0u) << "without an answer the status reads 0";
    EXPECT_FALSE(m.Connected());
}

TEST_F(MachineStateTest, ResolutionFromTheReplyOrTheFallbackPlusCalibration)
{
    link.found = false;
    Settings().SetValue("feKalibracjaX", 2);
    ReadResolution(m);
    EXPECT_DOUBLE_EQ(StepsPerUnitX, 1.02) << "nothing ever read: 1.0 plus calibration";
    EXPECT_EQ(StepsPerTurn2, 50000);
    link.found = true;

    link.Put64(15, 6, 16777216);
    link.Put64(15, 14, 16777216 * 3 / 2);
    link.Put32(15, 30, 8000);
    link.Put32(15, 54, 700);
    link.Put64(15, 70, 16777216 * 2);
    ReadResolution(m);
    EXPECT_DOUBLE_EQ(StepsPerUnitX, 1.02);
    EXPECT_DOUBLE_EQ(StepsPerUnitY, 1.5);
    EXPECT_EQ(StepsPerTurn1, 8000);
    EXPECT_EQ(MachineWidth, 700);
    EXPECT_DOUBLE_EQ(SideStepsPerUnitY, 2.0);

    WiresCrashChecking = false;
    SetCommandLine({"fcWidth='1250'"});
    ReadResolution(m);
    EXPECT_DOUBLE_EQ(SideStepsPerUnitY, 2.0 * 1.669);
    EXPECT_EQ(MachineWidth, 1250);

    link.replies.clear();
    ReadResolution(m);
    EXPECT_DOUBLE_EQ(StepsPerUnitX, 1.02);
    EXPECT_EQ(StepsPerTurn1, 8000);
}

TEST_F(MachineStateTest, MovesGoOutOneRecordPerReportAndFailuresAreToldOnce)
{
    QByteArray move(13, 'A');
    ASSERT_TRUE(SendCommand(m, move));
    ASSERT_EQ(link.writes.size(), 3u);
    EXPECT_EQ(link.writes[0].size(), 6);
    EXPECT_EQ(link.writes[2].size(), 1);

    link.writes.clear();
    link.failAtWrite = 2;
    EXPECT_FALSE(SendCommand(m, move));
    EXPECT_EQ(link.writes.size(), 2u) << "no further pieces after a failed one";
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "31");

    link.found = false;
    boxes.shown.clear();
    EXPECT_FALSE(SendCommand(m, "Y"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "-1") << "no machine attached";

    link.found = true;
    link.writes.clear();
    link.failAtWrite = 0;
    ASSERT_TRUE(SendUnitMode(m, 1));
    EXPECT_EQ(link.writes[0], QByteArray("S\x06\x01\x00\x00\x00", 6));
}

TEST_F(MachineStateTest, ModelQuestionsGoByTheModelCode)
{
    EXPECT_FALSE(IsTwoWireModel()) << "nothing identified yet";
    PlotState.ModelCode = "Zu";
    EXPECT_TRUE(IsTwoWireModel());
    EXPECT_TRUE(SupportsIndependentCut());
    EXPECT_TRUE(HasSideCurrentLimit());
    EXPECT_FALSE(UsesRemappedSideAxes());
    PlotState.ModelCode = "zU";
    EXPECT_TRUE(HasSideCurrentLimit()) << "compared without regard to case";
    EXPECT_FALSE(IsTwoWireModel());
    PlotState.ModelCode = "Jy";
    EXPECT_TRUE(UsesRemappedSideAxes());
}
