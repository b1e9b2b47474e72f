// The rules behind the transverse start-points dialog and the serial-cut
// parameters dialog, without windows.
#include "app/Globals.h"
#include "app/NumericEntry.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "job/Job.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/StartPoints.h"
#include "production/SerialCutParams.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
class StartDialogChecksTest : public MachineWorldTest {
protected:
    void SetUp() override
    {
        MachineWorldTest::SetUp();
        CurrentLengthUnit = 0;
        FrontLimitX = 1000;
        FrontLimitY = 400;
        SideLimitX = 800;
        SideLimitY = 500;
    }
    // A job whose entry lies `left`, `right`, `bottom`, `top` mm from its sides.
    static void Offsets(TJob& job, double left, double right, double bottom, double top)
    {
        job.EntryToLeft = static_cast<int32_t>(left * 40);
        job.EntryToRight = static_cast<int32_t>(right * 40);
        job.EntryToBottom = static_cast<int32_t>(bottom * 40);
        job.EntryToTop = static_cast<int32_t>(top * 40);
    }
    StartPointsResult Check(const StartPointValues& p)
    {
        return CheckStartPoints(Settings(), {[this] { return &front; }, [this] { return &side; }}, p);
    }
    ScopedTranslator translator;
    ScriptedPresenter boxes;
    TJob front, side;
};
}  // namespace

TEST_F(StartDialogChecksTest, EachDrawingMustFitItsCarriageAndTheSideWireKeepsTenMillimetresBelowItsTop)
{
    const QString sep = DecimalSeparator();
    const StartPointLimitTexts limits = StartPointLimits();
    EXPECT_EQ(limits.maxSy, "490" + sep + "0");
    EXPECT_EQ(limits.maxSx, "800" + sep + "0");

    // The front job reaches 200 mm right and 100 mm up of its entry; the side
    // job 300 mm up.
    Offsets(front, 50, 200, 20, 100);
    Offsets(side, 10, 10, 0, 300);
    const StartPointValues fits{800, 300, 10, 190};
    EXPECT_EQ(Check(fits), StartPointsResult::Accepted) << "touching the X and Y limits exactly";
    EXPECT_TRUE(boxes.shown.empty());

    StartPointValues p = fits;
    p.sideY = 191;  // its top at 491 mm
    EXPECT_EQ(Check(p), StartPointsResult::SideOutside);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.endsWith(Tr("Perpendicular_start_dialog", "ZmienPktStartBocznego")));
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);

    // Every side of the front job counts, and the front is told first.
    for (auto change : {+[](StartPointValues& v) { v.frontX = 800.5; }, +[](StartPointValues& v) { v.frontX = 49; },
                        +[](StartPointValues& v) { v.frontY = 301; }, +[](StartPointValues& v) { v.frontY = 19; }}) {
        boxes.shown.clear();
        StartPointValues q = p;
        change(q);
        EXPECT_EQ(Check(q), StartPointsResult::FrontOutside);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(boxes.shown[0].text.endsWith(Tr("Perpendicular_start_dialog", "ZmienPktStartFrontu")));
    }
    // The scale of the job counts: at 50 % the side job reaches only 150 mm up.
    Settings().SetValue("skala", 50);
    EXPECT_EQ(Check(p), StartPointsResult::Accepted);

}

TEST_F(StartDialogChecksTest, SerialRowsAnglesAndRepetitions)
{
    // Rows follow the serial numbers, each bound to its own window.
    TJob a, b, c;
    a.SerialIndex = 7;
    b.SerialIndex = 1;
    c.SerialIndex = 5;
    const std::vector<SerialCutRow> rows =
        SerialCutRows({{&a, "/foam/wings/s7.plt"}, {&b, "C:s1.plt"}, {&c, "D:\\cuts\\s5.plt"}});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].job, &b);
    EXPECT_EQ(rows[1].job, &c);
    EXPECT_EQ(rows[2].job, &a);
    EXPECT_EQ(rows[0].file, "s1.plt");
    EXPECT_EQ(rows[1].file, "s5.plt");
    EXPECT_EQ(rows[2].file, "s7.plt");

    EXPECT_EQ(DefaultSerialAngle(3), "60");
    EXPECT_EQ(DefaultSerialAngle(7), "25" + DecimalSeparator() + "7142857142857");

    EXPECT_EQ(AcceptSerialAngles(rows, {"-360", "360", "12"}), -1);
    EXPECT_EQ(b.RotationAngle, -360);
    EXPECT_EQ(c.RotationAngle, 360);
    EXPECT_EQ(a.RotationAngle, 12);
    EXPECT_TRUE(boxes.shown.empty());
    // Row 3 refused: the rows before it already hold their new angles.
    EXPECT_EQ(AcceptSerialAngles(rows, {"1", "2", "360.5"}), 2);
    EXPECT_EQ(b.RotationAngle, 1);
    EXPECT_EQ(c.RotationAngle, 2);
    EXPECT_EQ(a.RotationAngle, 12);
    EXPECT_EQ(AcceptSerialAngles(rows, {"1", "x", "3"}), 1);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Serial_cut", "poprawKat") + "3");
    EXPECT_EQ(boxes.shown[1].text, Tr("Serial_cut", "poprawKat") + "2");
    boxes.shown.clear();

    // 300 mm of table: ten 6 mm repetitions leave 240 mm, eleven 234 mm.
    Settings().SetValue("Ystolika", 300);
    for (const char* model : {"H 00", "Ky100"}) {
        PlotState.ProductName = model;
        const bool h00 = QString(model) == "H 00";
        EXPECT_TRUE(AcceptSerialRepeats(nullptr, Settings(), 10, 6)) << model;
        EXPECT_EQ(AcceptSerialRepeats(nullptr, Settings(), 11, 6), !h00) << model;
        EXPECT_EQ(SerialRepeats, 11);
        EXPECT_EQ(SerialShiftDown, 6);
        EXPECT_EQ(boxes.shown.size(), h00 ? 1u : 0u);
        boxes.shown.clear();
    }
    EXPECT_FALSE(AcceptSerialRepeats(nullptr, Settings(), 60, 5)) << "below 5 mm on every model";
    EXPECT_EQ(boxes.shown.back().text, Tr("Serial_cut", "poprawIloscPowtorzen"));
    SerialRepeats = 0;
    SerialShiftDown = 0;
}
