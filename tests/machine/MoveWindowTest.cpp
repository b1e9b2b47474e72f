#include "app/Globals.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "machine/BasePoints.h"
#include "machine/MachineOperations.h"
#include "machine/MoveWindow.h"
#include "tests/support/ScriptedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <QFile>

namespace {
constexpr uint32_t kHomedBit = 0x40000, kJobBit = 0x2;

class MoveWindowTest : public MachineWorldTest {
protected:
    void SetUp() override
    {
        MachineWorldTest::SetUp();
        FrontLimitX = 1200;
        FrontLimitY = 600;
        StepsPerTurn1 = 36000;
        SpeedDivisor = 1;
        Status(kHomedBit);
    }
    void TearDown() override
    {
        CurrentLengthUnit = 0;
        MachineWorldTest::TearDown();
    }
    void Status(uint32_t flags) { link.Put32(10, 2, static_cast<int32_t>(flags)); }
    // The axis values of the move records sent, move by move.
    std::vector<std::map<int, int32_t>> Moves() const
    {
        std::vector<std::map<int, int32_t>> moves;
        for (const QByteArray& w : link.writes) {
            if (w.size() < 6 || w[0] != 'A')
                continue;
            for (qsizetype at = 0; at + 6 <= w.size(); at += 6) {
                const int id = static_cast<uint8_t>(w[at + 1]);
                if (id == 0xFF)
                    moves.emplace_back();
                else if (id < 0xFE && !moves.empty())
                    moves.back()[id] =
                        ReplyInt32(reinterpret_cast<const uint8_t*>(w.constData()), static_cast<size_t>(at + 2));
            }
        }
        return moves;
    }
    std::vector<QByteArray> HeaterCommands() const
    {
        std::vector<QByteArray> r;
        for (const QByteArray& w : link.writes)
            if (w.startsWith('R'))
                r.push_back(w);
        return r;
    }
    ScopedTranslator translator;
    ScriptedPresenter boxes;
    ScriptedLink link;
    TestMachine t{link};
    Machine& m = t.machine;
};

TEST_F(MoveWindowTest, TheCaptionNamesTheSelectedWiresAndTheThirdAxis)
{
    const QString front = Tr("Control", "KeyFront.caption"), back = Tr("Control", "RoKeyBack.caption"),
                  side = Tr("Control", "VeKeyBack.caption");
    EXPECT_EQ(MoveWindowActivate(Settings(), {true, false, false}, false).wireText, front);
    EXPECT_EQ(MoveWindowActivate(Settings(), {true, true, false}, false).wireText, front + " & " + back);
    EXPECT_EQ(MoveWindowActivate(Settings(), {false, true, false}, false).wireText, back);
    PlotState.ModelCode = "Jy";
    EXPECT_EQ(MoveWindowActivate(Settings(), {true, true, false}, false).wireText, front) << "Jy has no back wire";
    PlotState.ModelCode = "Ky";
    EXPECT_EQ(MoveWindowActivate(Settings(), {true, true, false}, false).wireText, front + " & " + back);
    PlotState.ModelCode.clear();
    const MoveWindowView sideOnly = MoveWindowActivate(Settings(), {true, false, true}, true);
    EXPECT_EQ(sideOnly.wireText, side);
    EXPECT_FALSE(sideOnly.xEnabled);
    EXPECT_EQ(sideOnly.caption, Tr("Move_wire", "caption") + " - " + side);
    EXPECT_TRUE(MoveWindowActivate(Settings(), {true, false, false}, true).xEnabled);
    EXPECT_EQ(MoveWindowActivate(Settings(), {false, false, false}, false).caption, Tr("Move_wire", "caption"));

    Settings().SetItemIndex("StolikSwitch", 1);
    EXPECT_EQ(MoveWindowActivate(Settings(), {}, false).label3, "&" + Tr("Configuration", "stolikswitch.Item1").left(1) + "=");
    Settings().SetItemIndex("StolikSwitch", 2);
    EXPECT_EQ(MoveWindowActivate(Settings(), {}, false).label3, "&Z=");
}

TEST_F(MoveWindowTest, ExecuteMovesToOrByInchesOfTheDisplayUnit)
{
    CurrentLengthUnit = 1;
    link.Put32(10, 6, 1000);  // front X at 10 mm
    MoveWindowExecute(m, Settings(), {true, false, false}, 0, 1, 0, 0);
    ASSERT_EQ(Moves().size(), 1u);
    EXPECT_EQ(Moves()[0].at(0), 2540 - 1000);
    link.writes.clear();
    MoveWindowExecute(m, Settings(), {true, false, false}, 1, 1, 0, 0);
    ASSERT_EQ(Moves().size(), 1u);
    EXPECT_EQ(Moves()[0].at(0), 2540);
}

TEST_F(MoveWindowTest, TheLinkTestTurnsDegreesAndEndsOnAKeyOrALostMachine)
{
    t.input.queue = {PendingInput::Abort};
    int rounds = 0;
    LinkTest(m, 0, 1, 0, 1, [&](const QString& counts) {
        ++rounds;
        EXPECT_TRUE(counts.contains('/'));
    });
    EXPECT_EQ(rounds, 1);
    const auto moves = Moves();
    ASSERT_EQ(moves.size(), 2u) << "the empty moves send nothing";
    // One degree on the three values after the linear ones: ids 2, 6 and 3.
    for (int id : {2, 6, 3})
        EXPECT_EQ(moves[0].at(id), 100) << id;
    EXPECT_EQ(moves[0].at(0), 100);
    EXPECT_EQ(moves[1].at(2), -100);

    link.writes.clear();
    LinkTest(m, 0, 1, 0, 0, [&](const QString&) { link.found = false; });
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(MoveWindowTest, TheHeaterTestSwitchesOffTheChannelItSwitchedOn)
{
    link.replies[13][0] = 5;
    t.input.queue = {PendingInput::Other, PendingInput::Abort};
    HeaterTest(m);
    const std::vector<QByteArray> r = HeaterCommands();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0], Bytes({'R', 1, 5}));
    EXPECT_EQ(r[1], Bytes({'R', 0, 5}));
    EXPECT_EQ(r.back(), Bytes({'R', 0, 5}));
}

class BasePointsTest : public MoveWindowTest {
protected:
    QString File() const { return ProgramDir + "base.txt"; }
};

TEST_F(BasePointsTest, LinesKeepTheirUnitAndReadEitherSeparator)
{
    EXPECT_EQ(BasePointLine(1.5, 20, 0), "X=    1.500   Y=   20.000 mm");
    EXPECT_EQ(BasePointLine(1, 2, 1), "X=    1.000   Y=    2.000 in");
    const auto inches = ParseBasePointLine("X=    1.000   Y=    2.000 in", 0);
    ASSERT_TRUE(inches);
    EXPECT_DOUBLE_EQ(inches->first, 25.4);
    EXPECT_DOUBLE_EQ(inches->second, 50.8);
    // Older lines carry no unit: the current one.
    const auto comma = ParseBasePointLine("X=    1,500   Y=    1.500", 1);
    ASSERT_TRUE(comma);
    EXPECT_DOUBLE_EQ(comma->first, 1.5 * 25.4);
    EXPECT_DOUBLE_EQ(comma->second, 1.5 * 25.4);
    EXPECT_FALSE(ParseBasePointLine("X=  abc   Y=    1.500", 0));
}

TEST_F(BasePointsTest, EveryChangeIsOnDiskAsUtf16WithItsByteOrderMark)
{
    BasePoints points(File());
    PlotState.FrontX = 150;
    PlotState.FrontY = 2000;
    points.DodajClick(0);
    QFile f(File());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    EXPECT_TRUE(bytes.startsWith("\xFF\xFE"));
    EXPECT_TRUE(bytes.endsWith(QByteArray("\r\0\n\0", 4)));
    EXPECT_EQ(bytes.size(), 2 + 2 * (points.lista[0].size() + points.lista[1].size() + 4));

    // A program that ends without saving keeps what was added.
    BasePoints again(File());
    again.Load();
    EXPECT_EQ(again.lista, points.lista);

    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("X=    2.000   Y=    3.000\r\n");
    f.close();
    again.Load();
    ASSERT_EQ(again.lista.size(), 1);
    again.listaClick(0);
    again.usunClick();
    EXPECT_FALSE(again.usunEnabled);
    EXPECT_FALSE(again.ustawEnabled);
    again.Load();
    EXPECT_TRUE(again.lista.isEmpty());
}

TEST_F(BasePointsTest, AFileThatIsNoTextOfBasePointsIsToldAndNeverWritten)
{
    // UTF-16 without its mark, as another editor may save it: read as the
    // system's text it would be garbage, and the next add would write the
    // garbage over every point.
    const QString line = "X=    2,000   Y=    3,000\r\n";
    const QByteArray wide(reinterpret_cast<const char*>(line.utf16()), line.size() * 2);
    const QByteArray huge((1 << 20) + 1, 'X');
    for (const QByteArray& bytes : {wide, huge}) {
        boxes.shown.clear();
        {
            QFile f(File());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        BasePoints points(File());
        points.Load();
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(boxes.shown[0].text.contains(File()));
        points.DodajClick(0);
        points.usunClick();
        EXPECT_FALSE(points.Save());
        EXPECT_EQ(boxes.shown.size(), 1u) << "told once, when it was read";
        QFile f(File());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll() == bytes);
    }

    // With its mark it is the program's own file.
    boxes.shown.clear();
    {
        QFile f(File());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xFF\xFE" + wide);
    }
    BasePoints points(File());
    points.Load();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(points.lista, QStringList{"X=    2,000   Y=    3,000"});
}

TEST_F(BasePointsTest, GoReachesAPointAddedInMillimetresAfterTheUnitChangedAndChecksFirst)
{
    MachineOperations ops(m, Settings(), false);
    BasePoints points(File());
    PlotState.FrontX = 10000;
    PlotState.FrontY = 5000;
    points.DodajClick(0);
    link.writes.clear();
    Status(kHomedBit | kJobBit);
    CurrentLengthUnit = 1;
    EXPECT_EQ(points.ustawClick(m, ops, 1), BasePoints::Go::Close);
    EXPECT_TRUE(link.writes.empty()) << "a job works: not even the heater";

    Status(kHomedBit);
    boxes.shown.clear();
    EXPECT_EQ(points.ustawClick(m, ops, 1), BasePoints::Go::Close);
    ASSERT_FALSE(link.writes.empty());
    EXPECT_EQ(link.writes[0], Bytes({'R', 1, 2}));
    ASSERT_EQ(Moves().size(), 1u);
    EXPECT_EQ(Moves()[0].at(0), 10000);
    EXPECT_EQ(Moves()[0].at(1), 5000);
}
}  // namespace
