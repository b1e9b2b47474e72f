#include "app/Translator.h"
#include "app/Units.h"
#include "job/Job.h"
#include "production/Duplication.h"
#include "tests/job/JobTestSupport.h"
#include "tests/job/PlannerTestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {
using plan_test::Points;

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A pattern 50 mm wide and 30 mm high entered at its lower-left corner:
// (400, 200) .. (2400, 1400) steps.
class DuplicationTest : public JobLoadingTest {
protected:
    void SetUp() override
    {
        JobLoadingTest::SetUp();
        CurrentLengthUnit = 0;
        plan_test::Add(pattern, plan_test::Rect(400, 200, 2400, 1400));
        plan_test::Finish(pattern);
        pattern.StartFigure = 0;
    }

    DuplicationParams Params(double n, double m) const
    {
        DuplicationParams p;
        p.ElementsPerRow = n;
        p.RowCount = m;
        SetDefaultSpacing(p, 50, 30);
        return p;
    }

    TJob pattern;
};

QString Message(const char* key) { return Tr("Duplication_parameters", key); }
}  // namespace

TEST_F(DuplicationTest, ParametersFileKeepsItsKeysVerbatimAndReadsEitherDecimalMark)
{
    DuplicationParams p;
    EXPECT_FALSE(ReadDplFile(dir.File("none.dpl"), 50, 30, p));
    SetDefaultSpacing(p, 50, 30);
    EXPECT_EQ(p.SpacingX, 60);
    EXPECT_EQ(p.GapVertical, 5);
    EXPECT_EQ(DplFileNameFor("/jobs/wing.v2.plt"), "/jobs/wing.v2.dpl");
    EXPECT_TRUE(HasParametersFolder("/jobs/wing.plt"));
    EXPECT_FALSE(HasParametersFolder("wing.plt"));
    EXPECT_FALSE(HasParametersFolder("jobs/wing.plt"));

    // Another section stays; the old one goes with a key of its own.
    const QString path = dir.Write("wing.dpl", "[Other]\r\nkeep=1\r\n[Duplication_parameters]\r\nold=9\r\n");
    DuplicationParams entered = Params(3.7, 2);
    entered.SpacingX = 62.5;
    entered.GapHorizontal = 0;
    const DuplicationGrid grid = ConfirmDuplication(entered);
    ASSERT_TRUE(WriteDplFile(path, grid));
    EXPECT_EQ(ReadAll(path), "[Other]\r\nkeep=1\r\n[Duplication_parameters]\r\n"
                             "Number of elements in a row=3\r\nNumber of rows=2\r\n"
                             "Space between the elements=62.5\r\nSpace between the rows=40\r\n"
                             "Space between the elements and the vertical connecting line=5\r\n"
                             "Space between the elements and the horizontal connecting line=0.025\r\n");
    ASSERT_TRUE(ReadDplFile(path, 50, 30, p));
    EXPECT_EQ(p, (DuplicationParams{3, 2, 62.5, 40, 5, 0.025}));

    // Another program's code page, byte-order mark and line ends come back
    // unchanged; the new section ends its lines as the file does.
    const QString latin = dir.Write("latin.dpl", "\xEF\xBB\xBF[Other]\nname=K\xF6ln");
    ASSERT_TRUE(WriteDplFile(latin, grid));
    EXPECT_TRUE(ReadAll(latin).startsWith("\xEF\xBB\xBF[Other]\nname=K\xF6ln\n[Duplication_parameters]\n"
                                          "Number of elements in a row=3\n"));

    // UTF-16, with its mark or without: every byte outside the section as it
    // was, the section in the same encoding, and its lines read back.
    const QString other = QString::fromUtf8("[Other]\r\nname=Łódź\n\r\n");
    const QString tail = QString::fromUtf8("[Tail]\rx=1\r\n");
    for (bool mark : {true, false}) {
        const QByteArray prefix = mark ? QByteArray("\xFF\xFE") : QByteArray();
        auto wide = [](const QString& text) {
            return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        };
        const QString path = dir.Write("wide.dpl", prefix + wide(other + "[Duplication_parameters]\r\nold=1\r\n" + tail));
        ASSERT_TRUE(WriteDplFile(path, grid));
        const QByteArray bytes = ReadAll(path);
        EXPECT_TRUE(bytes.startsWith(prefix + wide(other + tail))) << mark;
        EXPECT_TRUE(bytes.endsWith(wide("line=0.025\r\n"))) << mark;
        EXPECT_FALSE(bytes.contains("\r\n")) << "no single-byte line end among the wide ones";
        ASSERT_TRUE(ReadDplFile(path, 50, 30, p)) << mark;
        EXPECT_EQ(p.RowCount, 2);
    }

    // Decimal commas; the missing gaps halve the free space as read.
    dir.Write("comma.dpl", "[duplication_parameters]\nNumber of rows=4\nSpace between the elements=70,5\n"
                           "Space between the rows = 41,25\n");
    ASSERT_TRUE(ReadDplFile(dir.File("comma.dpl"), 50, 30, p));
    EXPECT_EQ(p, (DuplicationParams{2, 4, 70.5, 41.25, 10.25, 5.625}));

    // A folder or a file without the section is not read; a failed write says why.
    EXPECT_FALSE(ReadDplFile(dir.Write("x.dpl", "[Other]\n"), 50, 30, p));
    QDir(dir.Path()).mkdir("folder.dpl");
    EXPECT_FALSE(ReadDplFile(dir.File("folder.dpl"), 50, 30, p));
    const WriteResult failed = WriteDplFile(dir.File("missing/wing.dpl"), grid);
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.reason.isEmpty());
}

TEST_F(DuplicationTest, ChecksRefuseInOrderAndSendTheOperatorBack)
{
    struct Case {
        DuplicationParams params;
        DuplicationField field;
        const char* key;
    };
    DuplicationParams hugeSpacing = Params(2, 1);
    hugeSpacing.SpacingX = 6e7;  // the second column would leave the step range
    DuplicationParams hugeRows = Params(2, 1);
    hugeRows.SpacingY = 3e7;
    hugeRows.RowCount = 2;
    DuplicationParams tallGap = Params(2, 1);
    tallGap.GapHorizontal = 10;
    DuplicationParams lowRows = Params(2, 1);
    lowRows.SpacingY = 29.9;
    const Case cases[] = {
        {Params(0.5, 1), DuplicationField::ElementsPerRow, "BlednaIloscElem"},
        {Params(1000001, 1), DuplicationField::ElementsPerRow, "BlednaIloscElem"},
        {hugeSpacing, DuplicationField::ElementsPerRow, "BlednaIloscElem"},
        {Params(1, 0.9), DuplicationField::RowCount, "BlednaIloscWierszy"},
        {Params(1000, 1001), DuplicationField::RowCount, "BlednaIloscWierszy"},
        {hugeRows, DuplicationField::RowCount, "BlednaIloscWierszy"},
        {lowRows, DuplicationField::SpacingY, "BlednePrzesMdzyWier"},
        {tallGap, DuplicationField::GapHorizontal, "OdlLacznikaPoziomZaDuza"},
    };
    for (const Case& c : cases) {
        boxes.shown.clear();
        EXPECT_EQ(CheckDuplication(c.params, pattern), c.field) << c.key;
        ASSERT_EQ(boxes.shown.size(), 1u) << c.key;
        EXPECT_TRUE(boxes.shown[0].text.startsWith(Message(c.key))) << c.key;
    }
    boxes.shown.clear();
    EXPECT_EQ(CheckDuplication(lowRows, pattern), DuplicationField::SpacingY);
    EXPECT_EQ(boxes.shown[0].text, Message("BlednePrzesMdzyWier") + "\nmin: 30.00 mm");
    EXPECT_EQ(CheckDuplication(Params(1.5, 1.5), pattern), DuplicationField::None);

    // Overlapping elements are a question; after Yes the free space is
    // negative and no gap fits.
    DuplicationParams overlap = Params(2, 1);
    overlap.SpacingX = 40;
    overlap.GapVertical = 0;
    boxes.shown.clear();
    boxes.answers = {mrCancel, mrYes};
    EXPECT_EQ(CheckDuplication(overlap, pattern), DuplicationField::SpacingX);
    EXPECT_EQ(boxes.asked.at(0).text, Message("ElNachodzaNaSiebie") + "\n" + Message("SzerokoscPojedynElem") +
                                          ": 50.00 mm\n\n" + Message("CzyAkceptujesz"));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(CheckDuplication(overlap, pattern), DuplicationField::GapVertical);
    EXPECT_EQ(boxes.shown.at(0).text, Message("OdlLacznikaPionZaDuza"));
}

TEST_F(DuplicationTest, ConnectorRunsAlongOneRowAndZigZagsOverTwo)
{
    // SX 2400, SY 1600, gaps 200, jog 240, M 40; the pattern enters at (400, 200).
    const Points oneRow = {{160, -40},  {400, 200},  {640, 0},   {2560, 0},  {2800, 200},
                           {3040, 0},   {4960, 0},   {5200, 200}, {5200, -40}, {160, -40}};
    EXPECT_EQ(DuplicationConnector(pattern, ConfirmDuplication(Params(3, 1))), oneRow);
    // From the top row's left end to the right, down past the last column,
    // back right to left, and home.
    const Points twoRows = {{160, 0},    {160, 1600}, {400, 1800}, {640, 1600}, {2560, 1600},
                            {2800, 1800}, {3040, 1600}, {5000, 1600}, {5000, 0},   {3040, 0},
                            {2800, 200},  {2560, 0},   {640, 0},    {400, 200},  {160, 0}};
    EXPECT_EQ(DuplicationConnector(pattern, ConfirmDuplication(Params(2, 2))), twoRows);
}

TEST_F(DuplicationTest, GridCopiesEveryPatternFigureAndPlansThemAsOne)
{
    // A planned pattern of two figures, one inside the other.
    TJob planned;
    plan_test::Add(planned, plan_test::Rect(0, 0, 2000, 1200));
    plan_test::Add(planned, plan_test::Rect(500, 300, 1500, 900));
    plan_test::Finish(planned);
    ASSERT_EQ(planned.ciecie(), PlainPlanner::Result::Planned);
    const auto k = static_cast<int32_t>(planned.FigureList.size());

    TJob target;
    const DuplicationGrid grid = ConfirmDuplication(Params(2, 3));
    EXPECT_EQ(BuildDuplicate(planned, grid, target), PlainPlanner::Result::Planned);
    for (int32_t a = 0; a < 3; ++a)
        for (int32_t b = 0; b < 2; ++b)
            for (int32_t i = 0; i < k; ++i) {
                const tfigura& copy = *target.FigureList.at((a * 2 + b) * k + i);
                ASSERT_EQ(copy.Points.size(), planned.FigureList[i]->Points.size());
                EXPECT_EQ(copy.Points[0].x, planned.FigureList[i]->Points[0].x + b * 2400);
                EXPECT_EQ(copy.Points[0].y, planned.FigureList[i]->Points[0].y + a * 1600);
                EXPECT_EQ(copy.IsFigure, 1);
            }
    const tfigura& connector = *target.FigureList.at(6 * k);
    EXPECT_EQ(connector.IsFigure, 0);
    EXPECT_EQ(connector.Closed, 1);
    EXPECT_EQ(connector.Points, DuplicationConnector(planned, grid));
    for (const auto& f : target.FigureList)
        EXPECT_EQ(f->NotConnected, 0) << f->Index;
    EXPECT_EQ(target.SelectedFigure, -1);
    EXPECT_EQ(target.JobWidth, target.JobMaxX - target.JobMinX);
}
