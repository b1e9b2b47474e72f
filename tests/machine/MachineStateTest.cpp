#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/WireSelection.h"
#include "tests/support/FakeLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <map>

namespace {
class MachineStateTest : public MachineWorldTest {
protected:
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
    link.Put32(10, 6 + 4 * 3, 777);
    link.Put32(10, 6 + 4 * 6, -100);  // spindle
    StepsPerUnitX = 2.0;
    ASSERT_TRUE(ReadStatus(m));
    EXPECT_TRUE(PlotState.Moving());
    EXPECT_TRUE(PlotState.JobWorking());
    EXPECT_TRUE(PlotState.Homed());
    EXPECT_EQ(PlotState.StatusByte1, 0x22);
    EXPECT_TRUE(ReadPositions(m));
    EXPECT_EQ(PlotState.FrontX, 6172) << "12345 / 2 rounds half to even";
    EXPECT_EQ(PlotState.FrontY, -250);
    EXPECT_EQ(PlotState.SpindleTurnSteps, -100);
    EXPECT_DOUBLE_EQ(PlotState.SpindleAngle, -4.5);
    EXPECT_EQ(PlotState.AxisCounters[7], -100) << "counters are kept in the order 0 1 3 2 4 5 7 6";
    EXPECT_EQ(PlotState.AxisCounters[2], 777) << "axis 3";

    // Without an answer the values last read stay, marked unknown: zeros
    // would read as a machine standing idle at 0,0.
    const uint32_t status = PlotState.StatusFlags;
    EXPECT_TRUE(PlotState.StatusKnown && PlotState.PositionsKnown);
    link.found = false;
    EXPECT_FALSE(ReadStatus(m));
    EXPECT_EQ(PlotState.StatusFlags, status);
    EXPECT_FALSE(PlotState.StatusKnown);
    EXPECT_FALSE(m.Connected());
    EXPECT_FALSE(ReadPositions(m));
    EXPECT_EQ(PlotState.FrontX, 6172);
    EXPECT_FALSE(PlotState.PositionsKnown);
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
    ASSERT_EQ(link.writes.size(), 3u) << "no further pieces after a failed one";
    EXPECT_EQ(link.writes[2].left(2), QByteArray("R\x00", 2)) << "the wire goes off before the box waits";
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

TEST_F(MachineStateTest, RepliesDecodeByteForByte)
{
    // Status: offset 1 is only stored; the buffer-full bit is byte 1 of the
    // status word, at offset 3.
    link.replies[10][1] = 0x02;
    link.replies[10][3] = 0x00;
    EXPECT_TRUE(ReadStatus(m));
    EXPECT_EQ(PlotState.StatusByte1, 0x02);
    EXPECT_FALSE(PlotState.BufferFull());
    link.replies[10][1] = 0x00;
    link.replies[10][3] = 0x02;
    EXPECT_TRUE(ReadStatus(m));
    EXPECT_TRUE(PlotState.BufferFull());

    // Speed slots: unsigned 16-bit periods, times the divisor in 16 bits.
    ReplyBlock& speeds = link.replies[12];
    speeds[0] = 1;
    const uint8_t words[10] = {0x00, 0x00, 0x00, 0xD8, 0xFF, 0xDF, 0x34, 0x12, 0x10, 0x00};
    std::copy(std::begin(words), std::end(words), speeds.begin() + 2);
    ReadSpeedSlots(m);
    EXPECT_EQ(PlotState.SpeedSlot, 1);
    EXPECT_EQ(PlotState.SlotSpeeds[0], 0);
    EXPECT_EQ(PlotState.SlotSpeeds[1], static_cast<uint16_t>(0xD800 * 2));
    EXPECT_EQ(PlotState.SlotSpeeds[2], static_cast<uint16_t>(0xDFFF * 2));
    EXPECT_EQ(PlotState.SlotSpeeds[3], 0x2468);
    EXPECT_EQ(PlotState.SelectedSpeed, static_cast<uint16_t>(0xD800 * 2));
    speeds[0] = 4;
    ReadSpeedSlots(m);
    EXPECT_EQ(PlotState.SelectedSpeed, static_cast<uint16_t>(0xD800 * 2)) << "slot 4 leaves the selected speed";

    // Heater: the power of the reported channel, the current at offset 34.
    link.replies[13][0] = 3;
    link.Put32(13, 2 + 4 * 3, 0x0001D805);
    link.replies[13][34] = 0x00;
    link.replies[13][35] = 0xDC;
    ASSERT_TRUE(ReadHeaterState(m));
    EXPECT_EQ(PlotState.HeaterChannel, 3);
    EXPECT_EQ(PlotState.HeaterPower, 0xD805);
    EXPECT_EQ(PlotState.MeasuredCurrent, 0xDC00);
    link.replies[13][0] = 9;
    EXPECT_TRUE(ReadHeaterState(m));
    EXPECT_EQ(PlotState.HeaterPower, 0xD805) << "no such channel: the power stays";

    // Resolution words that are 0x0000 and lone surrogates are plain numbers.
    link.Put64(15, 6, 0x0000D800DC000000LL);
    link.Put32(15, 38, static_cast<int32_t>(0xDFFF0000u));
    ReadResolution(m);
    EXPECT_DOUBLE_EQ(StepsPerUnitX, static_cast<double>(0x0000D800DC000000LL) / 16777216.0);
    EXPECT_EQ(StepsPerTurn2, static_cast<int32_t>(0xDFFF0000));
}

TEST_F(MachineStateTest, UnusableResolutionsGivePositionZero)
{
    link.Put32(10, 6, 5000);
    link.Put32(10, 6 + 4, INT32_MIN);
    link.Put32(10, 6 + 4 * 2, INT32_MIN);
    StepsPerUnitX = 0.0;
    StepsPerUnitY = 1e-12;  // the position overflows int32
    StepsPerTurn2 = -1;     // INT32_MIN % -1 must not trap
    EXPECT_TRUE(ReadPositions(m));
    EXPECT_EQ(PlotState.FrontX, 0);
    EXPECT_EQ(PlotState.FrontY, 0);
    EXPECT_EQ(PlotState.TableTurnSteps, 0);
    StepsPerUnitX = std::nan("");
    EXPECT_TRUE(ReadPositions(m));
    EXPECT_EQ(PlotState.FrontX, 0);
}

TEST_F(MachineStateTest, CommandLayerSendsWhatTheStateSays)
{
    // The heater toggles by the status bit on the reported channel, then rests.
    PlotState.HeaterChannel = 2;
    PlotState.StatusFlags = 0x4;
    ASSERT_TRUE(HeaterToggle(m));
    EXPECT_EQ(link.writes.back(), QByteArray("R\x00\x02", 3));
    EXPECT_EQ(t.clock.NowMs(), 200);
    PlotState.StatusFlags = 0;
    HeaterToggle(m);
    EXPECT_EQ(link.writes.back(), QByteArray("R\x01\x02", 3));

    // The jog speed goes to the slot the controller last reported, never to
    // another one.
    link.replies[12][0] = 4;
    ReadSpeedSlots(m);
    link.writes.clear();
    SetJogSpeed(m, 7500);
    EXPECT_TRUE(link.writes.empty());
    link.replies[12][0] = 2;
    ReadSpeedSlots(m);
    SetJogSpeed(m, 7500);
    ASSERT_EQ(link.writes.size(), 1u);
    EXPECT_EQ(link.writes[0], QByteArray("V\x02", 2) + Int16ToBytes(3750));

    // The position to set, in steps; one that does not fit is not sent.
    StepsPerUnitX = 2.5;
    PlotState.PositionToSetX = 101;
    PlotState.PositionToSetY = -3;
    ASSERT_TRUE(SetPositionCommand(m));
    EXPECT_EQ(link.writes.back(), "U" + Int32ToBytes(252) + Int32ToBytes(-3)) << "252.5 rounds to even";
    PlotState.PositionToSetX = INT32_MAX;
    link.writes.clear();
    EXPECT_FALSE(SetPositionCommand(m));
    EXPECT_TRUE(link.writes.empty());
    ASSERT_EQ(boxes.shown.size(), 1u) << "the start is refused with a word";
    EXPECT_EQ(boxes.shown[0].text, Tr("Control", "pozycjaPozaZakresem"));
    EXPECT_TRUE(SendCommand(m, QByteArray())) << "an empty command sends nothing and succeeds";
    EXPECT_TRUE(link.writes.empty());
}

TEST_F(MachineStateTest, RampAndModelAnswers)
{
    const std::pair<int, int> rows[] = {{0, 11288}, {1, 5644},  {2, 3991},  {3, 3258},  {4, 2822},
                                        {8, 1995},  {16, 1411}, {40, 892},  {100, 564}, {400, 280},
                                        {1000, 176}, {2000, 122}, {4000, 84}, {8000, 56}, {12000, 44}};
    for (const auto& [i, v] : rows)
        EXPECT_EQ(RampTable[static_cast<size_t>(i)], v) << i;
    for (size_t i = 15956; i < 16000; ++i)
        EXPECT_EQ(RampTable[i], 36);
    EXPECT_TRUE(std::is_sorted(RampTable.rbegin(), RampTable.rend())) << "never increasing";
    EXPECT_EQ(RampTableValue(-1), 11288);
    EXPECT_EQ(RampTableValue(1), 2822);
    EXPECT_EQ(RampTableValue(4000), 36);
    EXPECT_EQ(RampTableValue(INT32_MAX), 36);

    FirmwareMajor = 2, FirmwareMinor = 2;
    EXPECT_TRUE(FirmwareAtLeast(2, 2));
    FirmwareMajor = 3, FirmwareMinor = 0;
    EXPECT_TRUE(FirmwareAtLeast(2, 2));
    FirmwareMajor = 2, FirmwareMinor = 1;
    EXPECT_FALSE(FirmwareAtLeast(2, 2));

    PlotState.ProductName = "qz12";
    EXPECT_TRUE(ModelCodeFirstCharTest());
    PlotState.ProductName = "Qz12";
    EXPECT_FALSE(ModelCodeFirstCharTest());

    WireSelection() = TsterModel{false, false, false};
    Settings().SetValue("szybkoscObrobki", 700);
    EXPECT_EQ(CurrentCutSpeed(), 20) << "no wire: the setting's minimum";
    WireSelection().KeyBack = true;
    EXPECT_EQ(CurrentCutSpeed(), 700);
    WireSelection().KeySide = true;
    Settings().SetValue("szybkoscObrobkiBok", 300);
    EXPECT_EQ(CurrentCutSpeed(), 300) << "the side wire wins";
    WireSelection() = TsterModel();

    PlotState.ModelCode = "Ky";
    PlotState.FrontX = 1000, PlotState.BackX = 2000, PlotState.SideX = 3000, PlotState.SideY = 50;
    SideLimitY = 1400;
    double x = -1, y = -1;
    int32_t limitY = -1, limitX = -1;
    WorkAreaForWires(false, false, false, x, y, limitY, limitX);
    EXPECT_EQ(x, -1) << "nothing asked: left as it is";
    WorkAreaForWires(true, true, false, x, y, limitY, limitX);
    EXPECT_EQ(x, 10.0) << "the front wins over the back";
    WorkAreaForWires(false, true, true, x, y, limitY, limitX);
    EXPECT_EQ(x, 30.0);
    EXPECT_EQ(y, 0.5);
    EXPECT_EQ(limitY, 1400);
}
