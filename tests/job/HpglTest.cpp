#include "job/Hpgl.h"
#include "tests/job/JobTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
using Points = std::vector<TFigPoint>;

std::vector<tfigura> ReadAll(const std::string& text, Thpgl* state = nullptr)
{
    return ReadAllFigures(text, 1, state);
}

Points P(std::initializer_list<TFigPoint> p) { return p; }
}  // namespace

TEST(HpglReader, ClosedSquareInOneFigure)
{
    const auto figs = ReadAll("PU0,0;PD100,0,100,100,0,100,0,0;PU;");
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points, P({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}));
    EXPECT_EQ(figs[0].IsOpen, 0);
    EXPECT_EQ(figs[0].MaxX, 100);
}

TEST(HpglReader, LastCommandOfTheFileIsHandledEvenWithoutTerminator)
{
    for (const char* text : {"PD0,0,10,0;", "PD0,0,10,0", "PU0,0;PD10,0"}) {
        const auto figs = ReadAll(text);
        ASSERT_EQ(figs.size(), 1u) << text;
        EXPECT_EQ(figs[0].Points.back(), (TFigPoint{10, 0})) << text;
    }
    const auto figs = ReadAll("PD0,0,10,0;");
    EXPECT_EQ(figs[0].Points, P({{0, 0}, {10, 0}}));
}

TEST(HpglReader, PenChangeWithPenDownEndsTheFigure)
{
    const auto figs = ReadAll("SP1;PD0,0,10,10;SP2;PD20,20;");
    ASSERT_EQ(figs.size(), 2u);
    EXPECT_EQ(figs[0].Pen, 1);
    EXPECT_EQ(figs[0].Points, P({{0, 0}, {10, 10}}));
    EXPECT_EQ(figs[1].Pen, 2);
    EXPECT_EQ(figs[1].Points, P({{10, 10}, {20, 20}}));
}

TEST(HpglReader, NumbersMayCarryDecimalsAndRoundHalfToEven)
{
    Thpgl r;
    ReadAll("PA12.5,7;", &r);
    EXPECT_EQ(r.LastPos, (TFigPoint{12, 7}));
    ReadAll("PA7,12.5;", &r);
    EXPECT_EQ(r.LastPos, (TFigPoint{7, 12}));
    ReadAll("PA7,13.5,-2.5,0.5;", &r);
    EXPECT_EQ(r.LastPos, (TFigPoint{-2, 0}));
    const auto figs = ReadAll("PU0,0;PD10.5,0,10.5,11.5;PU;");
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points, P({{0, 0}, {10, 0}, {10, 12}}));
}

TEST(HpglReader, NumberTokensConvertTheirPrefix)
{
    EXPECT_EQ(HpglNumber("12"), 12.0);
    EXPECT_EQ(HpglNumber("-12.25"), -12.25);
    EXPECT_EQ(HpglNumber("+.5"), 0.5);
    EXPECT_EQ(HpglNumber("."), 0.0);
    EXPECT_EQ(HpglNumber("-"), 0.0);
    EXPECT_EQ(HpglNumber("1.2.3"), 1.2);
    EXPECT_EQ(HpglNumber("10-20"), 10.0);
    EXPECT_EQ(HpglNumber("+-5"), 0.0);
    EXPECT_EQ(HpglNumber("007"), 7.0);
    EXPECT_EQ(HpglNumber("123456789012345678901234567890"), 123456789012345678901234567890.0);
    EXPECT_TRUE(std::isinf(HpglNumber("1" + std::string(400, '0')))) << "too large is never a small number";
}

TEST(HpglReader, RelativePlottingStartsFromTheLastPenPosition)
{
    const auto figs = ReadAll("PA10,10;PR;PD5,0;PU;");
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points, P({{10, 10}, {15, 10}}));

    const auto rel = ReadAll("PA100,100;PR;PD10,0,0,10,-10,0,0,-10;PU;PA0,0;PD5,5;");
    ASSERT_EQ(rel.size(), 2u);
    EXPECT_EQ(rel[0].Points, P({{100, 100}, {110, 100}, {110, 110}, {100, 110}, {100, 100}}));
    EXPECT_EQ(rel[1].Points, P({{0, 0}, {5, 5}})) << "PU with the pen down ends relative plotting";
}

TEST(HpglReader, PenMovesOfTheOtherCommands)
{
    // PA with the pen down draws; M lifts the pen and moves; any command with
    // two numbers moves the pen position, PW and IP included.
    const auto figs = ReadAll("PU0,0;PD10,0;PA20,0,20,20;M30,30;PA40,40;IP5,6;PD;PU;PR10,10;PD0,5;PU;");
    ASSERT_EQ(figs.size(), 3u);
    EXPECT_EQ(figs[0].Points, P({{0, 0}, {10, 0}, {20, 0}, {20, 20}}));
    EXPECT_EQ(figs[1].Points, P({{5, 6}})) << "PD without numbers starts where IP left the pen";
    // PR with numbers adds them to the relative base (here 0, 0 after PA).
    EXPECT_EQ(figs[2].Points, P({{10, 10}, {10, 15}}));

    Thpgl r;
    ReadAll("PU0,0;PW0.5,3;", &r);
    EXPECT_EQ(r.Point, (TFigPoint{0, 3})) << "the width's two numbers move the pen position";
}

TEST(HpglReader, RepeatedPointsOnceUnderPdEveryTimeUnderC)
{
    const auto pd = ReadAll("PU0,0;PD10,0,10,0,10,0,20,0;PU;");
    ASSERT_EQ(pd.size(), 1u);
    EXPECT_EQ(pd[0].Points, P({{0, 0}, {10, 0}, {20, 0}}));
    const auto c = ReadAll("PA0,0;C10,0;C10,0;M20,20;");
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].Points, P({{0, 0}, {10, 0}, {10, 0}}));
}

TEST(HpglReader, PenWidthNamesItsPenOnlyWithTwoNumbers)
{
    Thpgl r;
    ReadAll("PW0.35,1;PW0.5,3;", &r);
    EXPECT_EQ(r.PenTable[1].Width, 0.35);
    EXPECT_EQ(r.PenTable[3].Width, 0.5);

    // A lone number is a width without a pen: no pen takes it, even one that a
    // previous command's number would point at.
    ReadAll("PA2,1;PW0.7;", &r);
    for (const THpglPen& pen : r.PenTable)
        EXPECT_EQ(pen.Width, 0.0);
    ReadAll("PW0.25,999;PW0.25,-1;PW0.25,256;", &r);
    EXPECT_EQ(r.PenTable[256].Width, 0.25);
    EXPECT_EQ(r.PenTable[0].Width, 0.0);

    // A pen outside the table changes no pen, but the pen change still ends
    // the figure drawn with the pen down.
    const auto figs = ReadAll("PW0.4,2;SP2;PU0,0;PD10,10;SP300;PD20,20;PU;SP-1;PU0,0;PD5,5;");
    ASSERT_EQ(figs.size(), 3u);
    EXPECT_EQ(figs[0].Points, P({{0, 0}, {10, 10}}));
    EXPECT_EQ(figs[0].PenWidth, 0.4);
    EXPECT_EQ(figs[1].Points, P({{10, 10}, {20, 20}}));
    for (const tfigura& f : figs)
        EXPECT_EQ(f.Pen, 2);
}

TEST(HpglReader, TextThatIsNotDrawingIsSkipped)
{
    const std::string etx(1, '\x03');
    const std::string esc(1, '\x1b');
    const std::string text = esc + ".(" + esc + ".I81;;17:" + esc + ".N;19:" + esc + "%0B" + "IN;SP1;" +
                             "LBPD999,999 PA PU" + etx + "CO \"PD 555,555;PD\";" + "DT@;LBlabel PD@" +
                             "PU0,0;PD10,0;LT;PD10,10;PU;" + esc + ".)";
    const auto figs = ReadAll(text);
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points, P({{0, 0}, {10, 0}, {10, 10}}));
    EXPECT_EQ(figs[0].Pen, 1);

    // Device-control sequences without parameters end at their letter: the
    // numbers after them are drawing again.
    for (const char* letter : {"Y", "(", "Z", "J"}) {
        const auto line = ReadAll("PU0,0;PD;" + esc + "." + letter + "100,0;PU;");
        ASSERT_EQ(line.size(), 1u) << letter;
        EXPECT_EQ(line[0].Points, P({{0, 0}, {100, 0}})) << letter;
    }

    // A label that never ends swallows the rest: nothing is read from it.
    EXPECT_TRUE(ReadAll("PU0,0;LBPD10,10;PD20,20;").empty());
}

TEST(HpglReader, CoordinatesOutOfRangeAreAnError)
{
    Thpgl r;
    for (const char* text : {"PD99999999999,0;", "PU0,0;PD0,-2147483649;", "PR;PD2147483647,0,1,0;PU;"}) {
        ASSERT_EQ(r.OpenInputText(text, 1), 0);
        EXPECT_THROW(
            {
                tfigura f;
                while (!r.EndOfInput)
                    r.ReadFigure(f);
            },
            ReaderError)
            << text;
    }
}

TEST(HpglReader, EmptyAndCommentOnlyInputGivesNoFigure)
{
    EXPECT_TRUE(ReadAll("").empty());
    EXPECT_TRUE(ReadAll(" ;\r\n").empty());
    EXPECT_TRUE(ReadAll("IN;SP1;PU0,0;PU100,100;").empty());
    const auto one = ReadAll("PU0,0;PD;");
    ASSERT_EQ(one.size(), 1u) << "the reader keeps a one-point figure; the loader drops it";
    EXPECT_EQ(one[0].Points.size(), 1u);
}

TEST(HpglReader, OtherFileTypesAreNotReadHere)
{
    Thpgl r;
    EXPECT_NE(r.OpenInputText("0\nSECTION\n", 3), 0) << "neither HPGL nor DXF";
    EXPECT_THROW(r.OpenInput("/nonexistent/drawing.plt", 1), ReaderError);
}
