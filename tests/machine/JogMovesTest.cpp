#include "machine/JogMoves.h"
#include "tests/support/ScriptedLink.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <map>

namespace {
constexpr int16_t kLeft = 37, kRight = 39, kDown = 40;
constexpr uint32_t kHomedBit = 0x40000;

class JogMovesTest : public MachineWorldTest {
protected:
    void SetUp() override
    {
        MachineWorldTest::SetUp();
        FrontLimitX = 1200;
        FrontLimitY = 600;
        SideLimitX = 1000;
        SideLimitY = 500;
        StepsPerTurn1 = StepsPerTurn2 = 8000;
        SpeedDivisor = 1;
        JogMovedFlag = 0;
        Status(0);
        // The positions each test sets stand for those last read.
        PlotState.PositionsKnown = true;
    }
    void TearDown() override
    {
        JogMovedFlag = 0;
        MachineWorldTest::TearDown();
    }
    void Status(uint32_t flags) { link.Put32(10, 2, static_cast<int32_t>(flags)); }
    // A step counter of the position reply (0 front X, 1 front Y, 3 side X, 6 side Y).
    void Counter(int axis, int32_t v) { link.Put32(10, 6 + 4 * static_cast<size_t>(axis), v); }
    // The axis records of the moves sent: axis id to steps.
    std::map<int, int32_t> Axes() const
    {
        std::map<int, int32_t> axes;
        for (const QByteArray& w : link.writes) {
            const int id = static_cast<uint8_t>(w[1]);
            if (w.size() == 6 && w[0] == 'A' && id < 0xFE)
                axes[id] += ReplyInt32Of(w);
        }
        return axes;
    }
    static int32_t ReplyInt32Of(const QByteArray& w)
    {
        return static_cast<int32_t>(static_cast<uint8_t>(w[2]) | static_cast<uint8_t>(w[3]) << 8 |
                                    static_cast<uint8_t>(w[4]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(w[5])) << 24);
    }
    ScriptedLink link;
    TestMachine t{link};
    Machine& m = t.machine;
};

TEST_F(JogMovesTest, LeftJogOfTheHomedFrontWireAloneGoesToItsZero)
{
    Status(kHomedBit);
    PlotState.FrontX = 12000;
    PlotState.BackX = 5000;
    JogByKey(m, Settings(), kLeft, true, false);
    EXPECT_EQ(Axes(), (std::map<int, int32_t>{{0, -12000}}));
    ASSERT_FALSE(link.writes.empty());
    EXPECT_EQ(link.writes[0], QByteArray("R\x01\x02", 3)) << "the heater goes on before the jog";
}

// Front wire at (550, 100) mm, the side wire at 50 mm under it: up and the
// upper diagonals stop at the Y travel, down and the lower diagonals 10 mm
// above the side wire.
TEST_F(JogMovesTest, KeyJogsStopInsideTheYTravelAndAboveTheSideWire)
{
    Status(kHomedBit);
    const bool crash = WiresCrashChecking;
    WiresCrashChecking = true;
    PlotState.FrontX = 55000;
    PlotState.FrontY = 10000;
    PlotState.SideY = 5000;
    const std::map<int16_t, std::map<int, int32_t>> expected = {
        {38, {{1, 50000}}},                  // up
        {40, {{1, -4000}}},                  // down
        {97, {{0, -4000}, {1, -4000}}},      // keypad 1
        {99, {{0, 4000}, {1, -4000}}},       // keypad 3
        {103, {{0, -50000}, {1, 50000}}},    // keypad 7
        {105, {{0, 50000}, {1, 50000}}},     // keypad 9
    };
    for (const auto& [key, axes] : expected) {
        link.writes.clear();
        JogByKey(m, Settings(), key, true, false);
        EXPECT_EQ(Axes(), axes) << key;
    }
    WiresCrashChecking = crash;
}

TEST_F(JogMovesTest, NotHomedLeftJogTravelsTheXLimitWithBothWiresAndTheYLimitWithOne)
{
    JogByKey(m, Settings(), kLeft, true, true);
    EXPECT_EQ(Axes(), (std::map<int, int32_t>{{0, -120000}, {4, -120000}}));
    link.writes.clear();
    JogByKey(m, Settings(), kLeft, true, false);
    EXPECT_EQ(Axes(), (std::map<int, int32_t>{{0, -60000}}));
}

TEST_F(JogMovesTest, BackWireIsIgnoredWhenTheSideWireDrivesItsAxes)
{
    PlotState.ModelCode = "Jy";
    SideAxesRemapped = true;
    JogByKey(m, Settings(), kRight, false, true);
    EXPECT_TRUE(link.writes.empty());
}

TEST_F(JogMovesTest, SideJogsRightOnlyFromAboveZeroAndDownPastZeroAtXZero)
{
    Status(kHomedBit);
    PlotState.SideX = 2000;
    PlotState.SideY = -500;
    JogSideByKey(m, Settings(), kRight);
    EXPECT_TRUE(link.writes.empty()) << "no X jog while the side wire stands below its zero";

    PlotState.SideX = 0;
    PlotState.SideY = 3000;
    JogSideByKey(m, Settings(), kDown);
    EXPECT_EQ(Axes(), (std::map<int, int32_t>{{SideAxisB, -4000}}));
    ASSERT_GE(link.writes.size(), 2u);
    EXPECT_EQ(link.writes[1], QByteArray("S\x04", 2) + Int32ToBytes(5));
}

TEST_F(JogMovesTest, AbsoluteMoveTurnsToTheAngleWithinOneTurn)
{
    MoveWiresTo(m, Settings(), true, false, false, -90, 0, 0);
    EXPECT_EQ(Axes(), (std::map<int, int32_t>{{6, 6000}}));
    EXPECT_EQ(JogMovedFlag, 1);
    // A spindle a quarter turn below zero already stands at 0.75 turn.
    link.writes.clear();
    Counter(6, -2000);
    MoveWiresTo(m, Settings(), true, false, false, -90, 0, 0);
    EXPECT_EQ(Axes().count(6), 0u);
}

TEST_F(JogMovesTest, NoTurnReachesTheSideWireThatSitsOnTheSpindlesAxis)
{
    PlotState.ModelCode = "Ky";
    ASSERT_EQ(SideAxisB, 6);
    JogByKey(m, Settings(), 33, true, false);
    JogSideByKey(m, Settings(), 34);
    MoveWiresBy(m, Settings(), true, false, false, 90, 0, 0);
    MoveWiresTo(m, Settings(), true, false, false, 90, 0, 0);
    EXPECT_EQ(Axes().count(6), 0u);
}

TEST_F(JogMovesTest, AbsoluteMoveStopsAtTheYLimitAndKeepsClearOfTheSideWire)
{
    Counter(1, 10000);  // front Y 100 mm
    MoveWiresTo(m, Settings(), true, false, false, 0, 700, 0);
    EXPECT_EQ(Axes()[1], 50000);

    link.writes.clear();
    PlotState.ModelCode = "Ky";
    Counter(6, 5000);  // side Y 50 mm
    MoveWiresTo(m, Settings(), true, false, false, 0, 20, 0);
    EXPECT_EQ(Axes()[1], -4000) << "the front wire stops 10 mm above the side wire";
    // The back wire alone takes the front one along: both stop there.
    link.writes.clear();
    MoveWiresTo(m, Settings(), false, true, false, 0, 20, 0);
    EXPECT_EQ(Axes()[1], -4000);
    EXPECT_EQ(Axes()[5], 6000);
}

TEST_F(JogMovesTest, RelativeMoveStopsAtXZero)
{
    Counter(0, 20000);
    MoveWiresBy(m, Settings(), true, false, false, 0, 0, -1000);
    EXPECT_EQ(Axes(), (std::map<int, int32_t>{{0, -20000}}));
    // The back carriage alone stops at its Y zero as the front one does.
    link.writes.clear();
    Counter(5, 3000);
    MoveWiresBy(m, Settings(), false, true, false, 0, -1000, 0);
    EXPECT_EQ(Axes(), (std::map<int, int32_t>{{5, -3000}}));
}
}  // namespace
