#include "production/ModelReader.h"

#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
const std::string kNine = "1 2 3 4 5 6 7 8 9";

bool Parses(const std::string& line, TRawTriangle* out = nullptr, int32_t unit = 0)
{
    ModelBounds b;
    TRawTriangle t;
    const bool ok = ParseRawLine(line, unit, t, b);
    if (out)
        *out = t;
    return ok;
}

void ExpectCorner(const TRawTriangle& t, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(t.x1, x);
    EXPECT_FLOAT_EQ(t.y1, y);
    EXPECT_FLOAT_EQ(t.z1, z);
}

// A model the extents can be told from: what a failed read must leave alone.
void SetKnownModel()
{
    ModelTriangles.assign(1, TRawTriangle{});
    ModelInfoRec.xmin = -7;
    ModelInfoRec.xmax = 7;
    ModelSize = {14, 1, 1};
    ModelCentreX = 0.5;
}
}  // namespace

TEST(RawText, ALineIsExactlyNineNumbersBetweenSingleBlanks)
{
    TRawTriangle plain, leading;
    ASSERT_TRUE(Parses(kNine, &plain));
    ASSERT_TRUE(Parses(" " + kNine, &leading));
    ExpectCorner(plain, 1, 2, 3);
    EXPECT_FLOAT_EQ(plain.z3, 9);
    EXPECT_EQ(std::memcmp(&plain, &leading, sizeof plain), 0);

    for (const std::string& bad :
         {std::string("1 2 3 4 5 6 7 8"), kNine + " 10", kNine + " ", "  " + kNine, std::string("1  2 3 4 5 6 7 8 9"),
          std::string("1,5 2 3 4 5 6 7 8 9"), std::string("1e999 2 3 4 5 6 7 8 9"), std::string("1 2 3 4 inf 6 7 8 9"),
          std::string("1 2 3 4 5 6 7 8 nan"), std::string("1 2 3 4 5 6 7 8 9x"), std::string("1\t2 3 4 5 6 7 8 9"),
          std::string(""), std::string("    ")}) {
        TRawTriangle t{1, 1, 1, 1, 1, 1, 1, 1, 1};
        EXPECT_FALSE(Parses(bad, &t)) << '"' << bad << '"';
        EXPECT_EQ(t.x1, 0) << bad;
    }

    TRawTriangle t;
    ASSERT_TRUE(Parses("5E-1 -2.5e+1 +3 .25 5. 6 7 8 9", &t));
    ExpectCorner(t, 0.5f, -25, 3);
    EXPECT_FLOAT_EQ(t.x2, 0.25f);

    // In the settings unit: inch, foot; past the float range once in
    // millimetres, no infinite corner.
    ASSERT_TRUE(Parses("1 1 -1 1 1 1 1 1 1", &t, 1));
    ExpectCorner(t, 25.4f, 25.4f, -25.4f);
    ASSERT_TRUE(Parses("1 1 1 1 1 1 1 1 1", &t, 2));
    EXPECT_FLOAT_EQ(t.z3, 304.8f);
    EXPECT_FALSE(Parses("3e38 0 0 0 0 0 0 0 0", &t, 1));
}

TEST(RawText, ReadingSetsTheModelAndItsExtents)
{
    TempProgramDir dir(false);
    // A name line, a line naming an object after numbers, one triangle with
    // CR LF and one of far more than 255 characters (tiny numbers).
    std::string tiny = "0.";
    tiny += std::string(29, '0') + "1";
    std::string longLine = tiny;
    for (int i = 1; i < 9; ++i)
        longLine += " " + tiny;
    ASSERT_GT(longLine.size(), 255u);
    const QString file = dir.Write("Shape.Raw", QByteArray::fromStdString("Object1\r\n12 13 14 Object 1 2 3 4 5 6\r\n"
                                                                         "0 0 0 10 0 0 0 20 5\r\n" +
                                                                         longLine));
    SetKnownModel();
    ModelTriangles.clear();
    TRAWodczytWatek reader(file, 0);
    reader.Execute();
    EXPECT_TRUE(reader.Completed());
    ASSERT_EQ(ModelTriangles.size(), 2u);
    EXPECT_FLOAT_EQ(ModelTriangles[1].x1, 1e-30f);
    EXPECT_DOUBLE_EQ(ModelInfoRec.xmin, 0);
    EXPECT_DOUBLE_EQ(ModelInfoRec.xmax, 10);
    EXPECT_DOUBLE_EQ(ModelInfoRec.ymax, 20);
    EXPECT_DOUBLE_EQ(ModelInfoRec.zmax, 5);
    EXPECT_EQ(ModelSize, (std::array<float, 3>{10, 20, 5}));
    EXPECT_DOUBLE_EQ(ModelCentreX, 5);
    EXPECT_DOUBLE_EQ(ModelCentreY, 10);
    EXPECT_DOUBLE_EQ(ModelCentreZ, 2.5);

    // No triangle (only names, another extension, no file): an empty model
    // whose extents stay as they were.
    const QString names = dir.Write("names.raw", "Object1\nObject2\n");
    const QString other = dir.Write("shape.stl", "0 0 0 10 0 0 0 20 5\n");
    for (const QString& name : {names, other, dir.File("missing.raw")}) {
        SetKnownModel();
        TRAWodczytWatek empty(name, 0);
        empty.Execute();
        EXPECT_TRUE(ModelTriangles.empty()) << name.toStdString();
        EXPECT_EQ(ModelInfoRec.xmin, -7);
        EXPECT_EQ(ModelInfoRec.xmax, 7);
        EXPECT_EQ(ModelSize[0], 14);
        EXPECT_EQ(ModelCentreX, 0.5);
    }
}

TEST(RawText, AStopEndsTheReadBetweenLines)
{
    TempProgramDir dir(false);
    const QString file = dir.Write("four.raw", QByteArray::fromStdString(kNine + "\n" + kNine + "\n" + kNine + "\n" + kNine));
    int asked = 0;
    ModelBounds b;
    EXPECT_EQ(ReadRawText(file, 0, b, [&] { return ++asked == 3; }).size(), 2u);
    EXPECT_EQ(asked, 3);
}

TEST(RawText, TheReaderThreadEndsInTheHandlerOnTheCallersThread)
{
    TempProgramDir dir(false);
    const QString file = dir.Write("one.raw", "0 0 0 10 0 0 0 20 5\n");
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    QObject window;

    // Read through, and asked to stop before it starts (the window closing
    // during a load): the stopped one publishes nothing.
    for (const bool stop : {false, true}) {
        SetKnownModel();
        ModelTriangles.clear();
        QEventLoop loop;
        bool ended = false, onCaller = false, completed = false;
        auto* reader = new TRAWodczytWatek(file, 0);
        if (stop)
            reader->RequestStop();
        reader->Start(&window, [&](TRAWodczytWatek& r) {
            ended = true;
            onCaller = QThread::currentThread() == app.thread();
            completed = r.Completed();
            loop.quit();
        });
        const QPointer<TRAWodczytWatek> alive(reader);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        // The reader frees itself after its handler, as the program's event
        // loop would let it; the thread may still be queueing that when the
        // handler has run.
        if (alive)
            alive->wait();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(ended) << stop;
        EXPECT_TRUE(alive.isNull()) << "freed after its handler";
        EXPECT_TRUE(onCaller);
        EXPECT_EQ(completed, !stop);
        EXPECT_EQ(ModelTriangles.size(), stop ? 0u : 1u);
        EXPECT_EQ(ModelInfoRec.xmax, stop ? 7 : 10);
    }
}

TEST(RawText, TheShippedSampleModelReadsInMillimetres)
{
    ModelBounds b;
    const TriangleList list = ReadRawText(QString(PELV_PROGRAM_DIR) + "Samples/house.raw", 0, b);
    ASSERT_EQ(list.size(), 16u);
    EXPECT_EQ(b.xmax - b.xmin, 80);
    EXPECT_EQ(b.ymax - b.ymin, 80);
    EXPECT_EQ(b.zmax - b.zmin, 60);
}
