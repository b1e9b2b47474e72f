// The command file writer: move records, headers and trailers of every job
// type, dwells and corners, the file's life, and the decoder the tests read
// the files with.
#include "app/Settings.h"
#include "job/CutState.h"
#include "job/Geometry.h"
#include "job/Hpgl.h"
#include "job/Job.h"
#include "machine/Bytes.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"
#include "machine/WireSelection.h"
#include "tests/support/CommandFile.h"
#include "tests/support/ScriptedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <csignal>
#include <numbers>
#include <sstream>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace cmdfile;

namespace {
std::string Hex(const QByteArray& b) { return b.toHex(' ').toStdString(); }

// Everything the writer reads, back at its start values.
void ResetWriterWorld()
{
    Settings().Reset();
    Settings().SetItemIndex("StolikSwitch", 2);
    ResetMachineConstants();
    PlotState = tplotstate();
    WireSelection() = TsterModel();
    JobFileMode = 32;
    AxisOffsetX = AxisOffsetY = 0;
    FrontStartPoint = SideStartPoint = TMmPoint();
    CutOffModel = false;
    SerialPosition = {};
}

class WriterTest : public ::testing::Test {
protected:
    void SetUp() override { ResetWriterWorld(); }
    void TearDown() override { ResetWriterWorld(); }

    QString Out() const { return dir.File("out.cn"); }
    std::vector<Item> FileItems() const { return Decode(ReadFile(Out())); }
    std::string FileText() const { return Describe(FileItems()); }

    // A writer of both carriages with the file begun.
    void Begin(Thpgl& w, int32_t type)
    {
        JobFileMode = type;
        w.UseFront = 1;
        w.UseBack = 1;
        ASSERT_TRUE(w.BeginOutput(Out()));
    }

    ScriptedPresenter boxes;
    TempProgramDir dir{false};
};

// The header and trailer of a plain cut with the settings as they start.
const std::string kPlainHeader = "v007701 v017701 t010A r0101 p01 f01 pFA pFA pFA pFA";
const std::string kPlainTrailer = "p01 r0001";
}  // namespace

// ---- the decoder the other tests rely on ----

TEST(CommandFileDecoder, SplitsByCommandLengthsAndRefusesWhatDoesNotFit)
{
    const QByteArray file = Bytes({'v', 0, 0x77, 1, 'p', 0xFA, 'r', 1, 3, 'a', 0xFF, 0, 0, 0, 0, 'a', 0, 0x10, 0, 0, 0,
                                   'a', 0xFE, 0x20, 0, 0, 0, 's', 4, 5, 0, 0, 0});
    const std::vector<Command> c = Split(file);
    ASSERT_EQ(c.size(), 7u);
    EXPECT_EQ(c[0].offset, 0u);
    EXPECT_EQ(c[0].UInt16(2), 375);
    EXPECT_EQ(c[2].offset, 6u);
    EXPECT_EQ(c[6].Int32(2), 5);

    const std::vector<Item> items = Decode(file);
    ASSERT_EQ(items.size(), 5u);
    ASSERT_TRUE(items[3].isMove);
    EXPECT_EQ(items[3].move.length, 32);
    EXPECT_EQ(items[3].move.Value(0), 16);
    EXPECT_EQ(Describe(items), "v007701 pFA r0103 M s0405000000");

    EXPECT_THROW(Split(Bytes({'p', 1, 0, 1})), DecodeError) << "a byte without a command length";
    EXPECT_THROW(Split(Bytes({'p', 1, 'v', 0, 0x77})), DecodeError) << "cut short by the end";
    EXPECT_THROW(Decode(Bytes({'x'})), DecodeError) << "a command the file never holds";
    EXPECT_THROW(Decode(Bytes({'a', 0, 1, 0, 0, 0})), DecodeError) << "an axis record outside a move";
    EXPECT_THROW(Decode(Bytes({'a', 0xFF, 0, 0, 0, 0, 'a', 0, 1, 0, 0, 0})), DecodeError) << "a move left open";
    EXPECT_THROW(Decode(Bytes({'a', 0xFF, 0, 0, 0, 0, 'p', 1, 'a', 0xFE, 1, 0, 0, 0})), DecodeError)
        << "another command inside a move";
    EXPECT_THROW(Decode(Bytes({'a', 0xFF, 0, 0, 0, 0, 'a', 0xFE, 0, 0, 0, 0})), DecodeError) << "length 0";
}

TEST(CommandFileDecoder, ReplaysMovesByTheRecordIdsInTheirOrder)
{
    ResetMachineConstants();
    Item a{true, {}, {}}, b{true, {}, {}};
    a.move.records = {{0, 10}, {4, 20}, {1, 30}, {5, 40}, {2, 50}, {3, 60}, {6, 70}, {7, 80}};
    b.move.records = {{0, -30}, {1, 7}};
    const std::vector<Positions> path = Replay({a, b}, Positions{5});
    ASSERT_EQ(path.size(), 2u);
    EXPECT_EQ(path[0], (Positions{15, 30, 0, 50, 20, 40, 80, 0, 60, 70}));
    EXPECT_EQ(path[1][FrontX], -15);
    EXPECT_EQ(path[1][FrontY], 37);
    Move wrongOrder;
    wrongOrder.records = {{1, 5}, {0, 5}};
    EXPECT_THROW(Deltas(wrongOrder), DecodeError);
}

// ---- the controller's command table and the move builders ----

TEST(MoveRecords, CommandLengthsOfEveryLetter)
{
    const uint8_t expected[27] = {1, 6, 2, 1, 1, 1, 2, 1, 2, 2, 1, 1, 3, 1, 4, 1, 2, 1, 3, 6, 3, 7, 4, 1, 1, 1, 1};
    for (int i = 0; i < 27; ++i)
        EXPECT_EQ(CommandLengths[i], expected[i]) << "letter " << static_cast<char>('@' + i);
    // The file's letters are lower case: they share the entries.
    for (char c : std::string("afprstv"))
        EXPECT_EQ(CommandLength(c), CommandLength(static_cast<char>(c - 32))) << c;
    EXPECT_EQ(CommandLength('a'), 6);
    EXPECT_EQ(CommandLength('v'), 4);
    EXPECT_EQ(CommandLength('\0'), 0);
    EXPECT_EQ(CommandLength('\xFF'), 0);
}

TEST(MoveRecords, RecordsInTheirOrderWithTheLongestCarriagePath)
{
    ResetMachineConstants();
    int64_t length = 0;
    // The documented example, byte for byte.
    QByteArray c = BuildMove4('A', 2, 3, 0, 4, 0, 0, 0, 0, 0, length);
    EXPECT_EQ(length, 10);
    EXPECT_EQ(Hex(c), Hex(Bytes({'A', 0xFF, 0, 0, 0, 0, 'A', 0x00, 3, 0, 0, 0, 'A', 0x01, 4, 0, 0, 0,
                                 'A', 0xFE, 0x0A, 0, 0, 0})));
    // step0, step4, step1, step5, step2, step6, step3, step7: ids in this order.
    // The back carriage with both third components is longest:
    // round(sqrt(4 + 16 + 36 + 0.5)) = 8; the rotary axes 3 and 7 never count.
    c = BuildMove4('a', 1, 1, 2, 3, 4, 5, 6, 700, -70000, length);
    EXPECT_EQ(length, 8);
    EXPECT_EQ(Hex(c), Hex(Bytes({'a', 0xFF, 0, 0, 0, 0, 'a', 0, 1, 0, 0, 0, 'a', 4, 2, 0, 0, 0, 'a', 1, 3, 0, 0, 0,
                                 'a', 5, 4, 0, 0, 0, 'a', 2, 5, 0, 0, 0, 'a', 6, 6, 0, 0, 0, 'a', 3, 0xBC, 2, 0, 0,
                                 'a', 7, 0x90, 0xEE, 0xFE, 0xFF, 'a', 0xFE, 8, 0, 0, 0})));
    c = BuildMove4('A', 2, -1, 0, 0, 0, 0, 0, 0, 0, length);
    EXPECT_EQ(Hex(c.mid(6, 6)), Hex(Bytes({'A', 0x00, 0xFF, 0xFF, 0xFF, 0xFF})));

    // The side carriage on its own ids; the second turn axis counts in the
    // length without a record.
    c = BuildMove10('A', 2, 0, 0, 0, 0, 0, 0, 0, 0, 100, 0, length);
    EXPECT_EQ(Hex(c), Hex(Bytes({'A', 0xFF, 0, 0, 0, 0, 'A', 0x03, 0x64, 0, 0, 0, 'A', 0xFE, 0xC8, 0, 0, 0})));
    c = BuildMove10('a', 1, 0, 0, 0, 0, 0, 30, 0, 0, 0, 0, length);
    EXPECT_EQ(Hex(c), Hex(Bytes({'a', 0xFF, 0, 0, 0, 0, 'a', 0xFE, 30, 0, 0, 0})));
    SideAxisA = 4;
    SideAxisB = 5;
    c = BuildMove10('a', 1, 0, 0, 0, 0, 0, 0, 0, 0, 6, 8, length);
    EXPECT_EQ(Hex(c), Hex(Bytes({'a', 0xFF, 0, 0, 0, 0, 'a', 4, 6, 0, 0, 0, 'a', 5, 8, 0, 0, 0, 'a', 0xFE, 10, 0, 0, 0})));

    // A side wire on the back carriage's axes: the back values are neither
    // sent nor counted.
    ResetMachineConstants();
    SideAxesRemapped = true;
    c = BuildMove10('a', 1, 3, 50, 4, 60, 0, 0, 0, 0, 6, 8, length);
    ResetMachineConstants();
    EXPECT_EQ(length, 10);
    EXPECT_EQ(Hex(c), Hex(Bytes({'a', 0xFF, 0, 0, 0, 0, 'a', 0, 3, 0, 0, 0, 'a', 4, 6, 0, 0, 0, 'a', 1, 4, 0, 0, 0,
                                 'a', 5, 8, 0, 0, 0, 'a', 0xFE, 10, 0, 0, 0})));
}

TEST(MoveRecords, NothingToMoveGivesNoCommand)
{
    ResetMachineConstants();
    int64_t length = -1;
    EXPECT_TRUE(BuildMove4('A', 2, 0, 0, 0, 0, 0, 0, 0, 0, length).isEmpty());
    EXPECT_EQ(length, 0);
    // Rotary axes alone make no length: such a move is never sent.
    EXPECT_TRUE(BuildMove4('A', 2, 0, 0, 0, 0, 0, 0, 5, 7, length).isEmpty());
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(BuildMove10('a', 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, length).isEmpty());
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(BuildMove10('a', 2, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, length).isEmpty());
    EXPECT_EQ(length, 0);
}

TEST(MoveRecords, SpeedsToPeriods)
{
    ResetMachineConstants();
    EXPECT_EQ(CutSpeedToPeriod(0), 37500);
    EXPECT_EQ(CutSpeedToPeriod(10), 37500);
    EXPECT_EQ(CutSpeedToPeriod(20), 37500);
    EXPECT_EQ(CutSpeedToPeriod(21), 35714);
    EXPECT_EQ(CutSpeedToPeriod(100), 7500);
    EXPECT_EQ(CutSpeedToPeriod(2000), 375);
    EXPECT_EQ(CutSpeedToPeriod(65535), 11);
    EXPECT_EQ(JogSpeedToPeriod(0), 5000);
    EXPECT_EQ(JogSpeedToPeriod(100), 7500);
    EXPECT_EQ(JogSpeedToPeriod(11), 68182 - 65536) << "cut to 16 bits";
    MaxTravelSpeed = 3000;
    EXPECT_EQ(JogSpeedToPeriod(0), 3000);
    ResetMachineConstants();
}

// ---- headers and trailers ----

TEST_F(WriterTest, PlainCutHeaderAsDocumented)
{
    // Positioning and cutting 1000 mm/min, divisor 2, 1.0 A, 1000 ms heating, channel 1.
    Thpgl w;
    Begin(w, 32);
    ASSERT_TRUE(w.EndOutput());
    const QByteArray file = ReadFile(Out());
    EXPECT_EQ(Hex(file), Hex(Bytes({0x76, 0x00, 0x77, 0x01, 0x76, 0x01, 0x77, 0x01, 0x74, 0x01, 0x0A, 0x72, 0x01, 0x01,
                                    0x70, 0x01, 0x66, 0x01, 0x70, 0xFA, 0x70, 0xFA, 0x70, 0xFA, 0x70, 0xFA,
                                    0x70, 0x01, 0x72, 0x00, 0x01})));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(WriterTest, HeadersAndTrailersOfEveryJobType)
{
    // Settings apart from each other so that every byte tells where it comes from.
    Settings().SetValue("PrzeSpeed", 1500);        // 3000 -> period 250
    Settings().SetValue("szybkoscObrobki", 600);   // 1200 -> period 625
    Settings().SetValue("work_power", 2.5);        // 25
    Settings().SetValue("CzasRozgrzewania", 1001); // four runs and 1
    const std::string speeds = "v00FA00 v017102";
    struct Case {
        int32_t type;
        int powerOutput;
        std::string header, trailer;
    } cases[] = {
        {30, 0, speeds + " t0319 r0103", "p01 r0002"},
        {301, 0, speeds + " t0319 r0103", "p01 r0002"},
        {31, 0, speeds + " t0119 r0101", "p01 r0001"},
        {311, 0, speeds + " t0119 r0101", "p01 r0001"},
        {32, 0, speeds + " t0119 r0101 p01 f01 pFA pFA pFA pFA p01", "p01 r0001"},
        {32, 1, speeds + " t0319 r0103 p01 f01 pFA pFA pFA pFA p01", "p01 r0003"},
        {33, 0, speeds + " t0119 r0101 f01", "p01 r0002"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("job type " + std::to_string(c.type) + ", output " + std::to_string(c.powerOutput));
        Settings().SetItemIndex("PowerOutput", c.powerOutput);
        Thpgl w;
        Begin(w, c.type);
        EXPECT_EQ(w.HeaterChannel, c.header.find("r0103") != std::string::npos ? 3 : 1);
        ASSERT_TRUE(w.EndOutput());
        EXPECT_EQ(FileText(), c.header + " " + c.trailer);
    }
}

TEST_F(WriterTest, ParametersFollowTheSelectedWireSet)
{
    Settings().SetValue("szybkoscObrobki", 600);
    Settings().SetValue("szybkoscObrobkiBok", 1500);
    Settings().SetValue("work_power", 2.5);
    Settings().SetValue("work_power_Bok", 3.0);
    Settings().SetValue("CzasRozgrzewania", 1001);
    Settings().SetValue("CzasRozgrzewaniaBok", 300);
    Settings().SetValue("Pauza_w_kacie", 100);
    Settings().SetValue("Pauza_w_kacie_Bok", 120);

    Thpgl side;
    side.UseFront = 1;
    side.UseSide = 1;  // the side set wins
    JobFileMode = 32;
    ASSERT_TRUE(side.BeginOutput(Out()));
    ASSERT_TRUE(side.EndOutput());
    EXPECT_EQ(FileText(), "v007701 v01FA00 t011E r0101 p01 f01 pFA p32 p01 r0001");
    EXPECT_EQ(side.CornerPause(), 120);
    Settings().SetItemIndex("Mode", 2);
    EXPECT_EQ(side.CornerPause(), 100) << "serial cutting keeps the front pause";
    Settings().SetItemIndex("Mode", 0);

    // No set at all: the smallest values the settings allow.
    Thpgl none;
    ASSERT_TRUE(none.BeginOutput(Out()));
    ASSERT_TRUE(none.EndOutput());
    EXPECT_EQ(FileText(), "v007701 v013E49 t0100 r0101 p01 f01 p00 p01 r0001");
}

TEST_F(WriterTest, HeaterPowerTooLargeForItsByteIsClamped)
{
    EXPECT_EQ(Thpgl::ScalePower(1.0), 10);
    EXPECT_EQ(Thpgl::ScalePower(25.5), 255);
    EXPECT_EQ(Thpgl::ScalePower(25.6), 255) << "256 must not wrap to 0";
    EXPECT_EQ(Thpgl::ScalePower(100), 255) << "1000 must not wrap to 232";
    EXPECT_EQ(Thpgl::ScalePower(0.25), 2) << "halves to even";

    Settings().SetValue("work_power", 30);
    ASSERT_EQ(Settings().Value("work_power"), 30);
    Thpgl w;
    Begin(w, 31);
    ASSERT_TRUE(w.EndOutput());
    EXPECT_EQ(FileItems()[2].command.bytes, Bytes({'t', 1, 255}));
}

TEST_F(WriterTest, SerialTrailerCutsOffOnlyAfterTheLastPiece)
{
    Settings().SetItemIndex("Mode", 2);
    Settings().SetValue("Srednicamaterialu", 500);
    CutOffModel = true;
    TJob job;
    job.JobWidth = 4000;  // 100 mm: h = 50 mm, D = max(50, 250) + 50 = 300 mm

    auto trailer = [&](int32_t serialIndex, int32_t lastIndex) {
        job.SerialIndex = serialIndex;
        Thpgl w;
        w.Job = &job;
        w.LastSerialIndex = lastIndex;
        Begin(w, 33);
        w.SetStartPosition(400, 800, 0);  // 10 mm, 20 mm
        EXPECT_TRUE(w.EndOutput());
        std::vector<Item> items = FileItems();
        items.erase(items.begin(), items.begin() + 5);
        return items;
    };

    std::vector<Item> items = trailer(4, 4);
    ASSERT_EQ(Describe(items), "M p01 r0002");
    Positions d = Deltas(items[0].move);
    EXPECT_EQ(d[FrontX], 30000 - 1000);
    EXPECT_EQ(d[BackX], 30000 - 1000);
    EXPECT_EQ(d[FrontY], -2000);
    EXPECT_EQ(d[BackY], -2000);

    items = trailer(3, 3);
    ASSERT_EQ(Describe(items), "M p01 r0002");
    d = Deltas(items[0].move);
    EXPECT_EQ(d[FrontX], -30000 - 1000) << "an odd piece cuts off the other way";

    // Not the last piece: the piece with the highest number is, not the one
    // before it nor the first.
    EXPECT_EQ(Describe(trailer(3, 4)), "p01 r0002");
    EXPECT_EQ(Describe(trailer(0, 4)), "p01 r0002");
    CutOffModel = false;
    EXPECT_EQ(Describe(trailer(4, 4)), "p01 r0002");
}

TEST_F(WriterTest, ReturnSequenceAfterATwoWireCut)
{
    PlotState.ModelCode = "Ve";
    Settings().SetChecked("MoveAfter", true);
    PlotState.FrontX = 10000;
    PlotState.FrontY = 5000;
    PlotState.BackX = 12000;
    PlotState.BackY = 6000;
    PlotState.SideX = 3000;
    PlotState.SideY = -400;
    FrontStartPoint = {0, 30};
    SideStartPoint = {0, 70};

    Thpgl w;
    Begin(w, 32);
    w.UseSide = 1;
    ASSERT_TRUE(w.EndOutput());
    EXPECT_TRUE(w.ShowControlPanel);
    std::vector<Item> items = FileItems();
    items.erase(items.begin(), items.begin() + 10);
    // The corner at the end of A1 gets the corner dwell (200 ms) like any move.
    ASSERT_EQ(Describe(items), "p01 f01 M p01 f00 pC8 M p01 s0405000000 M p01 f01 M"   // front and back
                               " p01 f01 M p01 f00 M s0400000000 p01 f00 M"        // side
                               " p01 r0001");
    const std::vector<Positions> path = Replay(items, Positions{});
    // A1: both x back by the machine positions.
    EXPECT_EQ(path[0][FrontX], -10000);
    EXPECT_EQ(path[0][BackX], -12000);
    // A2: up to the travel limit from where each carriage stands.
    EXPECT_EQ(path[1][FrontY], FrontLimitY * 100 - 5000);
    EXPECT_EQ(path[1][BackY], FrontLimitY * 100 - 6000);
    // A4 (the side wire stands below 0): 10 mm up; A5: to the front start point.
    EXPECT_EQ(path[2][SideY], 1000);
    EXPECT_EQ(path[3][SideY], 3000 + 400);
    // B1, B2: the side carriage home and below.
    EXPECT_EQ(path[4][SideX], -3000);
    EXPECT_EQ(path[5][SideY], 400 - 1000);
    // B4: front and back to the side start point's height.
    EXPECT_EQ(path[6][FrontY], 7000 - 5000);
    EXPECT_EQ(path[6][BackY], 7000 - 6000);

    // One wire machines never return.
    PlotState.ModelCode = "T0";
    Thpgl single;
    Begin(single, 32);
    ASSERT_TRUE(single.EndOutput());
    EXPECT_FALSE(single.ShowControlPanel);
    EXPECT_EQ(FileText(), kPlainHeader + " " + kPlainTrailer);
}

TEST_F(WriterTest, PowerOutputIsSentOnlyToAConnectedMachine)
{
    Thpgl w;
    Begin(w, 32);
    ASSERT_TRUE(w.EndOutput());
    EXPECT_TRUE(boxes.shown.empty()) << "no machine: nothing to tell, no error box";

    ScriptedLink link;
    TestMachine attached(link);
    auto sent = [&](int powerOutput, bool keyFront, const char* model) {
        link.writes.clear();
        PlotState.ModelCode = model;
        Settings().SetItemIndex("PowerOutput", powerOutput);
        WireSelection().KeyFront = keyFront;
        Thpgl writer;
        writer.AttachedMachine = &attached.machine;
        writer.UseFront = writer.UseBack = 1;
        JobFileMode = 32;
        EXPECT_TRUE(writer.BeginOutput(Out()));
        EXPECT_TRUE(writer.EndOutput());
        EXPECT_LE(link.writes.size(), 1u);
        return link.writes.empty() ? QByteArray() : link.writes[0];
    };
    auto output = [](int n) { return QByteArray("\x04", 1) + Int32ToBytes(n); };

    QByteArray c = sent(0, true, "T0");
    ASSERT_EQ(c.size(), 6);
    EXPECT_EQ(c[0] & 0xDF, 'S');
    EXPECT_EQ(Hex(c.mid(1)), Hex(output(0)));
    EXPECT_EQ(Hex(sent(1, true, "T0").mid(1)), Hex(output(1)));
    EXPECT_EQ(Hex(sent(0, true, "Ve").mid(1)), Hex(output(0)));
    EXPECT_EQ(Hex(sent(0, false, "Ve").mid(1)), Hex(output(5)));
    EXPECT_EQ(Hex(sent(1, false, "Ky").mid(1)), Hex(output(1)));
    link.found = false;
    EXPECT_TRUE(sent(1, true, "T0").isEmpty()) << "a machine that is gone is told nothing";
    // The command goes to the machine, never into the file.
    EXPECT_EQ(FileText(), "v007701 v017701 t030A r0103 p01 f01 pFA pFA pFA pFA p01 r0003");
    EXPECT_TRUE(boxes.shown.empty());
}

// ---- dwells and corners ----

TEST_F(WriterTest, DwellsInRunsOf250WithTheRestLastOrBeforeACorner)
{
    Thpgl w;
    Begin(w, 32);
    for (int ms : {0, 250, 251, 1000, 1001})
        w.WritePause(ms);
    ASSERT_TRUE(w.EndOutput());
    EXPECT_EQ(FileText(), kPlainHeader + " p00 pFA pFA p01 pFA pFA pFA pFA pFA pFA pFA pFA p01 " + kPlainTrailer);

    for (const auto& [pause, dwell] : std::vector<std::pair<int, std::string>>{
             {600, "p64 pFA pFA "}, {250, "pFA "}, {0, "p00 "}, {1001, "p01 pFA pFA pFA pFA "}}) {
        SCOPED_TRACE(pause);
        Settings().SetValue("Pauza_w_kacie", pause);
        Thpgl c;
        Begin(c, 32);
        EXPECT_EQ(Describe(Decode(c.Move(10, 10, 0, 0, 0, 0, 0, 0, 0, 0))), "M") << "the first move: no corner yet";
        EXPECT_EQ(Describe(Decode(c.Move(10, 10, 10, 10, 0, 0, 0, 0, 0, 0))), dwell + "M");
        c.EndOutput();
    }
}

TEST_F(WriterTest, OnlySharpTurnsOfEitherCarriageGetADwell)
{
    Settings().SetValue("Pauza_w_kacie", 300);
    // Two moves from (0, 0): the second turns by the angle, front and back alike
    // or only the back carriage.
    auto turn = [&](double degrees, bool backOnly) {
        Thpgl w;
        Begin(w, 32);
        const double a = degrees * std::numbers::pi / 180;
        w.Move(100, 100, 0, 0, 0, 0, 0, 0, 0, 0);
        const double x = 100 + 100 * std::cos(a), y = 100 * std::sin(a);
        const std::string text =
            backOnly ? Describe(Decode(w.Move(200, x, 0, y, 0, 0, 0, 0, 0, 0))) : Describe(Decode(w.Move(x, x, y, y, 0, 0, 0, 0, 0, 0)));
        w.EndOutput();
        return text;
    };
    EXPECT_EQ(turn(0, false), "M") << "a straight run";
    EXPECT_EQ(turn(29, false), "M") << "cosine 0.875 is above 0.87";
    EXPECT_EQ(turn(30, false), "p32 pFA M") << "cosine 0.866";
    EXPECT_EQ(turn(90, false), "p32 pFA M");
    EXPECT_EQ(turn(-90, false), "p32 pFA M");
    EXPECT_EQ(turn(180, false), "p32 pFA M") << "a reversal";
    EXPECT_EQ(turn(90, true), "p32 pFA M") << "the back carriage turns, the front runs straight";
}

TEST_F(WriterTest, ZeroLengthMoveWritesNothingAndLeavesTheCornerTest)
{
    Settings().SetValue("Pauza_w_kacie", 300);
    Thpgl w;
    Begin(w, 32);
    w.Move(10, 10, 0, 0, 0, 0, 0, 0, 0, 0);
    const Thpgl::Axes at = w.AxisPositions;
    const auto history = w.CornerHistory;
    EXPECT_TRUE(w.Move(10, 10, 0, 0, 0, 0, 0, 0, 0, 0).isEmpty());
    EXPECT_TRUE(w.Move(10.001, 10.001, 0.004, 0.004, 0, 0, 0, 0, 0, 0).isEmpty()) << "less than a hundredth of a mm";
    EXPECT_EQ(w.AxisPositions, at);
    EXPECT_EQ(w.CornerHistory, history);
    // The corner at (10, 0) is still seen.
    EXPECT_EQ(Describe(Decode(w.Move(10, 10, 10, 10, 0, 0, 0, 0, 0, 0))), "p32 pFA M");

    // Through the file: the point where the carriages stand writes nothing,
    // not even a dwell.
    w.WriteScaledMove(400, 400, true, true, false);
    w.WriteScaledMove(400, 400, true, true, false);
    ASSERT_TRUE(w.EndOutput());
    EXPECT_EQ(FileText(), kPlainHeader + " " + kPlainTrailer);
}

// ---- the writer's positions ----

TEST_F(WriterTest, MoveTargetsToRecordsOfEachAxis)
{
    StepsPerUnitX = 2;
    StepsPerUnitY = 3;
    SideStepsPerUnitX = 5;
    SideStepsPerUnitY = 7;
    StepsPerTurn2 = 400;
    Thpgl w;
    Begin(w, 32);
    // frontX, backX, frontY, backY, tableTurn, spindleTurn, axisZ, thirdTurn, sideX, sideY
    const std::vector<Item> items = Decode(w.Move(1, 2, 3, 4, 0.5, 0, 0, 0, 0.25, 0.5));
    ASSERT_EQ(Describe(items), "M");
    const Positions d = Deltas(items[0].move);
    EXPECT_EQ(d[FrontX], 200);
    EXPECT_EQ(d[BackX], 400);
    EXPECT_EQ(d[FrontY], 900);
    EXPECT_EQ(d[BackY], 1200);
    EXPECT_EQ(d[TableTurn], 200);
    EXPECT_EQ(d[SideX], 125);
    EXPECT_EQ(d[SideY], 350);
    for (int s = 0; s < 10; ++s) {
        if (s != ThirdTurn && s != SpindleTurn && s != AxisZ) {
            EXPECT_EQ(w.AxisPositions[static_cast<size_t>(s)], d[static_cast<size_t>(s)]) << "slot " << s;
        }
    }
    EXPECT_EQ(items[0].move.length, 2 * 1281) << "the back carriage with the table turn: sqrt(400^2 + 1200^2 + 200^2)";
    w.EndOutput();
}

TEST_F(WriterTest, StartPositionsAndStayingAxesInTheAxesOwnSteps)
{
    StepsPerUnitX = 2.5;
    StepsPerUnitY = 4;
    Thpgl w;
    Begin(w, 32);
    w.SetStartPosition(400, 800, 0);  // 10 mm, 20 mm
    EXPECT_EQ(w.AxisPositions[Thpgl::FrontX], 2500);
    EXPECT_EQ(w.AxisPositions[Thpgl::BackX], 2500);
    EXPECT_EQ(w.AxisPositions[Thpgl::FrontY], 8000);
    EXPECT_EQ(w.AxisPositions[Thpgl::BackY], 8000);
    // A cut to the start point and a final turn move nothing but the turn.
    w.WriteScaledMove(400, 800, true, true, false);
    w.WriteSideMove(0, 0);
    w.WriteSideMove(0, 0.25);
    ASSERT_TRUE(w.EndOutput());
    std::vector<Item> items = FileItems();
    items.erase(items.begin(), items.begin() + 10);
    ASSERT_EQ(Describe(items), "M " + kPlainTrailer);
    ASSERT_EQ(items[0].move.records.size(), 1u);
    EXPECT_EQ(items[0].move.records[0].id, 2);
    EXPECT_EQ(items[0].move.records[0].value, 2000);

    // The side carriage starts from its own factors.
    SideStepsPerUnitX = 3;
    SideStepsPerUnitY = 0.5;
    Thpgl side;
    side.UseSide = 1;
    ASSERT_TRUE(side.BeginOutput(Out()));
    side.SetStartPosition(400, 800, 7);
    EXPECT_EQ(side.AxisPositions[Thpgl::SideX], 3000);
    EXPECT_EQ(side.AxisPositions[Thpgl::SideY], 1000);
    EXPECT_EQ(side.AxisPositions[Thpgl::FrontX], 0);
    EXPECT_EQ(side.AxisPositions[Thpgl::TableTurn], 7);
    EXPECT_EQ(side.AxisPositions[Thpgl::SpindleTurn], 7);
    side.WriteScaledMove(400, 800, false, false, true);
    side.WriteSideMove(0, 0.25);  // the side wire stays where the cut ended
    ASSERT_TRUE(side.EndOutput());
    std::vector<const Item*> moves;
    const std::vector<Item> sideItems = FileItems();
    for (const Item& item : sideItems)
        if (item.isMove)
            moves.push_back(&item);
    ASSERT_EQ(moves.size(), 1u);
    ASSERT_EQ(moves[0]->move.records.size(), 1u);
    EXPECT_EQ(moves[0]->move.records[0].id, 2) << "the table turn alone";
}

TEST_F(WriterTest, ScaledMovesOfEachCarriage)
{
    Settings().SetValue("skala", 50);
    Thpgl w;
    Begin(w, 32);
    w.WriteScaledMove(800, 400, true, false, false);  // 20 mm, 10 mm at half scale
    w.WriteScaledMove(801, 400, false, true, false);  // 400.5 rounds to 400
    w.WriteScaledMove(1600, 1600, false, false, true);
    w.WriteScaledMove4(400, 800, 1200, 1600);
    ASSERT_TRUE(w.EndOutput());
    const std::vector<Positions> path = Replay(FileItems(), Positions{});
    ASSERT_EQ(path.size(), 4u);
    EXPECT_EQ(path[0], (Positions{1000, 500, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(path[1], (Positions{1000, 500, 0, 0, 1000, 500, 0, 0, 0, 0})) << "the front stays where it is";
    EXPECT_EQ(path[2], (Positions{1000, 500, 0, 0, 1000, 500, 0, 0, 2000, 2000}));
    EXPECT_EQ(path[3], (Positions{500, 1000, 0, 0, 1500, 2000, 0, 0, 0, 0}));
}

TEST_F(WriterTest, HoldAndSideMoveSequences)
{
    Thpgl w;
    Begin(w, 32);
    w.HeatDwellPending = false;
    w.WriteHold();
    EXPECT_FALSE(w.HeatDwellPending) << "no hold unless asked for";
    Settings().SetChecked("Wstrzymaj", true);
    w.WriteHold();
    EXPECT_TRUE(w.HeatDwellPending);
    Settings().SetChecked("Heavy", true);
    w.WriteSideMove(0, 0);
    w.WriteSideMove(0, 0.5);
    ASSERT_TRUE(w.EndOutput());
    EXPECT_EQ(FileText(), kPlainHeader + " p01 r0002 p01 s0300000000 p01 s0201000000 M " + kPlainTrailer);
}

// ---- turning and rotary paths ----

namespace {
std::unique_ptr<tfigura> Profile(std::vector<TFigPoint> points, int32_t axisWidth, int32_t axisHeight)
{
    auto f = std::make_unique<tfigura>();
    f->Points = std::move(points);
    f->MayOrient = 1;
    f->OrderId = 1;
    f->AxisWidth = axisWidth;
    f->AxisHeight = axisHeight;
    return f;
}
}  // namespace

// Tokens of a file text against a pattern; "v01*" stands for any speed of slot 1.
bool MatchesPattern(const std::string& text, const std::string& pattern)
{
    std::istringstream t(text), p(pattern);
    std::string a, b;
    while (true) {
        const bool moreT = static_cast<bool>(t >> a), moreP = static_cast<bool>(p >> b);
        if (!moreT || !moreP)
            return moreT == moreP;
        if (b.back() == '*' ? a.rfind(b.substr(0, b.size() - 1), 0) != 0 : a != b)
            return false;
    }
}

std::string Without(const std::string& text, const std::string& token)
{
    std::istringstream in(text);
    std::string out, t;
    while (in >> t)
        if (t != token)
            out += (out.empty() ? "" : " ") + t;
    return out;
}

TEST_F(WriterTest, TurningPathSetsTheSpeedAfterEachSegment)
{
    Settings().SetValue("Ywrzeciona", 0);
    Settings().SetValue("il_obr_rys", 2);  // 50 mm of feed per turn
    Settings().SetValue("CzasRozgrzewania", 300);
    Settings().SetValue("Pauza_w_kacie", 0);  // corner dwells show as "p00"
    AxisOffsetY = 50;
    // Along the spindle at radius 10 mm, a step out to 20 mm, along again.
    const auto f = Profile({{400, 400}, {2400, 400}, {2400, 800}, {4400, 800}}, 4000, 0);
    Thpgl w;
    Begin(w, 30);
    double end = -1;
    w.WritePath(*f, 1, end, 0);
    EXPECT_FALSE(w.HeatDwellPending);
    w.WritePath(*f, 1, end, end);
    ASSERT_TRUE(w.EndOutput());
    // Approach along x at the reference height, heater on (with the heating
    // dwell only the first time), to the first point; each segment's move is
    // followed by its speed; each sharp corner turns once round in place.
    // The radial segment turns nothing and is cut at the cutting speed.
    const std::string pass = "f00 M p01 f01 p01 r0103 %s p01 M "
                             "M v01* p01 M v01* p01 "
                             "M v017701 p01 M v01* p01 "
                             "M v01* "
                             "p01 f00 M ";
    std::string first = pass, second = pass;
    first.replace(first.find("%s"), 2, "pFA p32");
    second.replace(second.find("%s "), 3, "");
    const std::string text = Without(FileText(), "p00");
    EXPECT_TRUE(MatchesPattern(text, "v007701 v017701 t030A r0103 " + first + second + "p01 r0002")) << text;
    // Four turns of feed and two in place: every figure ends on a whole turn.
    EXPECT_EQ(w.AxisPositions[Thpgl::SpindleTurn], 2 * 4 * 8000);
    EXPECT_EQ(end, 0);
    EXPECT_EQ(w.AxisPositions[Thpgl::FrontX], 11000);
    EXPECT_EQ(w.AxisPositions[Thpgl::FrontY], 5000) << "retracted to the reference";
}

TEST_F(WriterTest, PathsRefuseAZeroStepsPerTurnOrAxisLength)
{
    const auto f = Profile({{0, 400}, {2000, 400}}, 4000, 4000);
    const auto flat = Profile({{0, 400}, {2000, 400}}, 0, 0);
    double end = 0;
    for (int32_t type : {30, 301, 31, 311}) {
        SCOPED_TRACE(type);
        Settings().SetValue("il_obr_rys", 1);
        Thpgl w;
        Begin(w, type);
        StepsPerTurn1 = StepsPerTurn2 = 0;
        EXPECT_THROW(w.WritePath(*f, 1, end, 0), Thpgl::Refused);
        ResetMachineConstants();
        EXPECT_THROW(w.WritePath(*flat, 1, end, 0), Thpgl::Refused);
        // Turning without turns per drawing needs no axis length.
        Settings().SetValue("il_obr_rys", 0);
        if (type == 30 || type == 301) {
            EXPECT_NO_THROW(w.WritePath(*flat, 1, end, 0));
        }
        w.EndOutput();
    }
}

// ---- the file's life ----

TEST_F(WriterTest, FileAppearsOnlyWhenComplete)
{
    dir.Write("out.cn", "older job");
    Thpgl w;
    Begin(w, 32);
    w.WriteScaledMove(400, 400, true, true, false);
    EXPECT_EQ(ReadFile(Out()), QByteArray("older job")) << "nothing of the new file is in place yet";
    ASSERT_TRUE(w.EndOutput());
    EXPECT_EQ(Describe(FileItems()), kPlainHeader + " M " + kPlainTrailer);
}

TEST_F(WriterTest, FileThatCannotBeCreatedIsReported)
{
    Thpgl w;
    JobFileMode = 32;
    EXPECT_FALSE(w.BeginOutput(dir.File("missing/out.cn")));
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown.at(0).kind, MessageKind::Error);
    EXPECT_FALSE(w.EndOutput());
    EXPECT_FALSE(QFile::exists(dir.File("missing/out.cn")));
}

TEST_F(WriterTest, FileThatCannotBeOpenedLeavesNoOlderOne)
{
    // The name leads to a file that can be read but where nothing can be written.
    ASSERT_TRUE(QFile::link("/proc/version", Out()));
    ASSERT_TRUE(QFile::exists(Out()));
    Thpgl w;
    JobFileMode = 32;
    EXPECT_FALSE(w.BeginOutput(Out()));
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(QFileInfo(Out()).exists() || QFileInfo(Out()).isSymLink()) << "what was there may not be sent";
}

TEST_F(WriterTest, FailedWriteLeavesNoFileNotEvenAnOlderOne)
{
    dir.Write("out.cn", "older job");
    Thpgl w;
    Begin(w, 32);
    for (int i = 0; i < 200; ++i)
        w.WriteScaledMove(400 * (i % 2), 400, true, true, false);
    // The disk takes no more than a few bytes from here on.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = w.EndOutput();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(QFile::exists(Out()));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);
    EXPECT_TRUE(boxes.shown[0].text.contains(Out()));
}

TEST_F(WriterTest, EachWriterKeepsItsOwnCornersAndHeatingDwell)
{
    Settings().SetValue("Pauza_w_kacie", 300);
    Settings().SetValue("CzasRozgrzewania", 100);
    Thpgl a;
    Begin(a, 31);
    a.Move(10, 10, 0, 0, 0, 0, 0, 0, 0, 0);

    // A second writer, begun and used in between, changes nothing of the first.
    Thpgl b;
    JobFileMode = 31;
    b.UseFront = b.UseBack = 1;
    ASSERT_TRUE(b.BeginOutput(dir.File("other.cn")));
    b.Move(0, 0, 50, 50, 0, 0, 0, 0, 0, 0);
    b.Move(-40, -40, 50, 50, 0, 0, 0, 0, 0, 0);
    double end = 0;
    const auto f = Profile({{0, 400}, {2000, 400}}, 4000, 0);
    b.WritePath(*f, 1, end, 0);
    EXPECT_FALSE(b.HeatDwellPending);
    EXPECT_TRUE(a.HeatDwellPending);

    EXPECT_EQ(Describe(Decode(a.Move(10, 10, 10, 10, 0, 0, 0, 0, 0, 0))), "p32 pFA M");
    a.WritePath(*f, 1, end, 0);
    ASSERT_TRUE(a.EndOutput());
    ASSERT_TRUE(b.EndOutput());
    const std::string text = FileText();
    EXPECT_NE(text.find("r0101 p64 p01"), std::string::npos) << text;
}
