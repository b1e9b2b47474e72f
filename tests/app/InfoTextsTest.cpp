#include "app/JobInfo.h"
#include "app/MemoryInfo.h"
#include "app/Translator.h"
#include "tests/support/TestSupport.h"

#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <cstdlib>
#include <gtest/gtest.h>

TEST(MemoryInfo, KilobytesGroupedByThousandsWithTheLocalesSeparator)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(KilobyteText(1536000, english), "1,500 KB");
    EXPECT_EQ(KilobyteText(1536000ull * 1024, english), "1,536,000 KB");
    EXPECT_EQ(KilobyteText(1024 * 999 + 1023, english), "999 KB") << "the remainder is dropped";
    const QLocale polish(QLocale::Polish, QLocale::Poland);
    ASSERT_NE(polish.groupSeparator(), ",");
    EXPECT_EQ(KilobyteText(1536000, polish), "1" + polish.groupSeparator() + "500 KB");
    EXPECT_EQ(KilobyteText(1000, english), "0 KB") << "a zero is written, never left blank";
    EXPECT_EQ(KilobyteText(0, english), "0 KB");
}

TEST(MemoryInfo, FiguresComeFromTheHostAndTheHeap)
{
    QFile meminfo("/proc/meminfo");
    ASSERT_TRUE(meminfo.open(QIODevice::ReadOnly));
    const auto m = QRegularExpression(R"(MemTotal:\s+(\d+) kB)").match(QString::fromLatin1(meminfo.readAll()));
    ASSERT_TRUE(m.hasMatch());
    const MemoryFigures before = ReadMemoryFigures();
    EXPECT_EQ(before.totalPhys, m.captured(1).toULongLong() * 1024);
    EXPECT_LE(before.availPhys, before.totalPhys);
    EXPECT_LT(before.availVirtual, before.totalVirtual) << "the program's own size is taken off";

    // A large block is mapped apart from the arena: allocated and address space
    // grow by it. Under AddressSanitizer malloc is the sanitizer's own, which
    // keeps no glibc arena to report.
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the heap figures come from glibc's allocator";
#endif
    constexpr size_t block = 64u << 20;
    void* p = std::malloc(block);
    ASSERT_NE(p, nullptr);
    static_cast<volatile char*>(p)[0] = 1;
    const MemoryFigures after = ReadMemoryFigures();
    std::free(p);
    EXPECT_GE(after.heapTotalAllocated, before.heapTotalAllocated + block);
    EXPECT_GE(after.heapTotalAddrSpace, before.heapTotalAddrSpace + block);
    EXPECT_EQ(after.heapTotalCommitted, after.heapTotalAddrSpace);
    EXPECT_EQ(after.heapFreeSmall + after.heapFreeBig, after.heapTotalFree);
}

TEST(JobInfo, LengthAndTimeByWorkModeUnitAndSpeed)
{
    JobInfoInput in;
    in.widthSteps = 40 * 250;
    in.heightSteps = 40 * 120;
    in.totalLengthSteps = 40 * 1000;
    in.figureCount = 10;
    in.cutSpeed = 100;
    JobInfoTexts t = MakeJobInfo(in);
    EXPECT_EQ(t.width, "250.00 mm");
    EXPECT_EQ(t.height, "120.00 mm");
    EXPECT_EQ(t.length, "1.00 m");
    EXPECT_EQ(t.time, "10 min") << "1000 mm at 100 mm/min plus 0.3 for the figures";

    in.figureCount = 20;
    EXPECT_EQ(MakeJobInfo(in).time, "11 min");

    in.mode = 1;
    in.repeats = 2;
    t = MakeJobInfo(in);
    EXPECT_EQ(t.length, "2.00 m");
    EXPECT_EQ(t.time, "21 min");
    in.mode = 2;
    EXPECT_EQ(MakeJobInfo(in).length, "1.00 m") << "only rotary and turning jobs repeat the path";

    in.skala = 50;
    in.unit = 1;
    t = MakeJobInfo(in);
    EXPECT_EQ(t.width, "4.92 in");
    EXPECT_EQ(t.length, "19.69 in");

    in.cutSpeed = 0;
    t = MakeJobInfo(in);
    EXPECT_EQ(t.length, "19.69 in");
    EXPECT_TRUE(t.time.isEmpty());

    in.cutSpeed = 100;
    in.mode = 5;
    t = MakeJobInfo(in);
    EXPECT_TRUE(t.length.isEmpty());
    EXPECT_TRUE(t.time.isEmpty());
    EXPECT_EQ(t.height, "2.36 in");
}

// The host's locale of the tests writes "." and English months: only the
// chosen language can give the Polish forms.
TEST(JobInfo, NumbersAndDatesAreWrittenAsTheChosenLanguageWritesThem)
{
    JobInfoInput in;
    in.totalLengthSteps = 40 * 1500;
    {
        ScopedTranslator english("US");
        EXPECT_EQ(MakeJobInfo(in).length, "1.50 m");
        EXPECT_EQ(LanguageLocale().toString(1.5), "1.5");
    }
    ScopedTranslator polish("PL");
    EXPECT_EQ(MakeJobInfo(in).length, "1,50 m");
    EXPECT_EQ(LanguageLocale().toString(QDate(2026, 12, 9), "d MMMM"), "9 grudnia");
}
