#include "app/Translator.h"
#include "app/Units.h"
#include "job/DrawingExport.h"
#include "job/Job.h"
#include "tests/job/JobTestSupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <clocale>

namespace {
std::unique_ptr<tfigura> Figure(std::vector<TFigPoint> points)
{
    auto f = std::make_unique<tfigura>();
    f->Points = std::move(points);
    return f;
}

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class DrawingExportTest : public ::testing::Test {
protected:
    void TearDown() override { CurrentLengthUnit = 0; }
    QString File(const QString& name) const { return dir.Path() + name; }
    TempProgramDir dir{false};
    ScriptedPresenter boxes;
    TJob job;
};

TEST_F(DrawingExportTest, HpglHoldsOnlyThePolylinesAndReadsBackIntoTheSameFigure)
{
    const std::vector<TFigPoint> square{{0, 0}, {4000, 0}, {4000, -400}, {0, -400}, {0, 0}};
    job.FigureList.push_back(Figure(square));
    job.FigureList.push_back(Figure({}));  // no points: not written
    ASSERT_TRUE(job.SaveAsHPGL(File("a.plt")));
    const QByteArray text = Read(File("a.plt"));
    EXPECT_EQ(text, "PA 0,0;\r\nPD 4000,0;\r\nPD 4000,-400;\r\nPD 0,-400;\r\nPD 0,0;\r\nPU;\r\n");
    const auto figures = ReadAllFigures(text.toStdString(), 1);
    ASSERT_EQ(figures.size(), 1u);
    EXPECT_EQ(figures[0].Points, square);
}

TEST_F(DrawingExportTest, DxfWritesMillimetresWithTheUnitsDecimalsAndAPointWhateverTheLocale)
{
    job.FigureList.push_back(Figure({{400, 80}, {-40, -1}}));
    // A locale whose numbers take a decimal comma, in Qt and in C.
    QLocale::setDefault(QLocale(QLocale::Polish));
    std::setlocale(LC_NUMERIC, "pl_PL.UTF-8");
    ASSERT_TRUE(job.ZapiszDXF(File("a.dxf")));
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(Read(File("a.dxf")),
              "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nPOLYLINE\r\n"
              "  0\r\nVERTEX\r\n  10\r\n10.0\r\n  20\r\n2.0\r\n  30\r\n0.0\r\n"
              "  0\r\nVERTEX\r\n  10\r\n-1.0\r\n  20\r\n0.0\r\n  30\r\n0.0\r\n"
              "  0\r\nSEQEND\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n");
    // Seven significant digits: 123456.7 mm and 12345.675 mm (12345.67 with
    // the inch unit's two decimals).
    job.FigureList.push_back(Figure({{4938268, 493827}}));
    ASSERT_TRUE(job.ZapiszDXF(File("c.dxf")));
    EXPECT_TRUE(Read(File("c.dxf")).contains("  10\r\n123456.7\r\n"));
    CurrentLengthUnit = 1;
    ASSERT_TRUE(job.ZapiszDXF(File("b.dxf")));
    EXPECT_TRUE(Read(File("b.dxf")).contains("  10\r\n10.00\r\n  20\r\n2.00\r\n"));
    EXPECT_TRUE(Read(File("b.dxf")).contains("  20\r\n12345.67\r\n"));
}

TEST_F(DrawingExportTest, AFailedWriteSaysWhyAndLeavesTheTellingToTheCaller)
{
    job.FigureList.push_back(Figure({{0, 0}, {40, 0}}));
    const WriteResult result = job.ZapiszDXF(File("no/such/folder/a.dxf"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.path, File("no/such/folder/a.dxf"));
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DrawingExportTest, ASerialRunGoesIntoNumberedFilesAfterAskingAboutOlderOnes)
{
    TJob a, b, c;
    a.SerialIndex = 1234;
    b.SerialIndex = 7;
    c.SerialIndex = 42;
    for (TJob* j : {&a, &b, &c})
        j->FigureList.push_back(Figure({{0, 0}, {40, 0}}));
    const QString folder = dir.Path() + "run";
    QDir().mkpath(folder);
    QString initial = "unset", proposed = "unset";
    std::vector<int32_t> order;
    SerialSaveHooks hooks;
    hooks.chooseFolder = [&](const QString&, const QString&, const QString& i, const QString& p, QString& out) {
        initial = i;
        proposed = p;
        out = folder;
        return true;
    };
    hooks.activate = [&](TJob& j) { order.push_back(j.SerialIndex); };
    ASSERT_TRUE(SaveSerialRun({&a, &b, &c}, QString(), hooks));
    EXPECT_TRUE(initial.isEmpty() && proposed.isEmpty()) << "no generation ran";
    EXPECT_EQ(order, (std::vector<int32_t>{7, 42, 1234}));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"007.dxf", "042.dxf", "1234.dxf"}));
    EXPECT_TRUE(boxes.asked.empty());

    // Older DXF files, in any case: asked first, and Cancel writes nothing.
    QFile::remove(folder + "/007.dxf");
    QFile::remove(folder + "/042.dxf");
    QFile::rename(folder + "/1234.dxf", folder + "/OLD.DXF");
    order.clear();
    EXPECT_FALSE(SaveSerialRun({&a, &b, &c}, "/models/chair.raw", hooks));
    EXPECT_EQ(initial, "/models");
    EXPECT_EQ(proposed, "chair");
    EXPECT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"OLD.DXF"});
    EXPECT_EQ(boxes.asked[0].caption, Tr("Universal", "uwaga"));
    EXPECT_TRUE(boxes.asked[0].keepsWorkByDefault) << "Enter keeps the older files";
    boxes.answers = {mrOk};
    EXPECT_TRUE(SaveSerialRun({&a, &b, &c}, "/models/chair.raw", hooks));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"007.dxf", "042.dxf", "1234.dxf", "OLD.DXF"}));
    order.clear();

    // No folder chosen: nothing lands at the root.
    hooks.chooseFolder = [](const QString&, const QString&, const QString&, const QString&, QString& out) {
        out.clear();
        return true;
    };
    EXPECT_FALSE(SaveSerialRun({&a}, QString(), hooks));
    EXPECT_TRUE(order.empty());
}
}  // namespace
