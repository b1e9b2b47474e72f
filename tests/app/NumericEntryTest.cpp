#include "app/NumericEntry.h"
#include "tests/support/TestSupport.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <limits>

namespace {
// Numbers are shown in the default locale; a test that needs a given one sets it.
class ScopedLocale {
public:
    explicit ScopedLocale(const QLocale& locale) : m_previous(QLocale()) { QLocale::setDefault(locale); }
    ~ScopedLocale() { QLocale::setDefault(m_previous); }

private:
    QLocale m_previous;
};

const QLocale kC = QLocale::c();
const QLocale kPolish(QLocale::Polish, QLocale::Poland);

QString Fixed(double v, int precision, int digits) { return FloatToStrF(v, ffFixed, precision, digits, kC); }
QString General(double v) { return FloatToStrGeneral(v, kC); }
}  // namespace

TEST(FloatToText, FixedRoundsHalfAwayWithinThePrecision)
{
    EXPECT_EQ(Fixed(39.370078740157, 7, 2), "39.37");
    EXPECT_EQ(Fixed(5, 7, 2), "5.00");
    EXPECT_EQ(Fixed(0.125, 7, 2), "0.13");
    EXPECT_EQ(Fixed(-0.125, 7, 2), "-0.13");
    EXPECT_EQ(Fixed(2.5, 7, 0), "3");
    EXPECT_EQ(Fixed(9.999, 7, 2), "10.00");
    // Seven significant digits, then padded to the decimals.
    EXPECT_EQ(Fixed(1234.5678, 7, 4), "1234.5680");
    EXPECT_EQ(Fixed(-0.001, 7, 2), "0.00");
    // An integer part longer than the precision goes scientific.
    EXPECT_EQ(Fixed(123456789, 7, 2), "1.234568E8");
}

TEST(FloatToText, GeneralExponentNumberAndCurrency)
{
    EXPECT_EQ(General(0), "0");
    EXPECT_EQ(General(100), "100");
    EXPECT_EQ(General(0.1 + 0.2), "0.3");
    EXPECT_EQ(General(2.0 / 3.0), "0.666666666666667");
    EXPECT_EQ(General(0.0001), "0.0001");
    EXPECT_EQ(General(0.00001), "1E-5");
    EXPECT_EQ(General(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(FloatToStrF(1234.5, ffExponent, 4, 2, kC), "1.235E+03");
    EXPECT_EQ(FloatToStrF(-999.5, ffNumber, 15, 0, kC), "-1,000");
    EXPECT_EQ(FloatToStrF(0.125, ffCurrency, 15, 2, QLocale(QLocale::English, QLocale::UnitedStates)), "$0.13");
    EXPECT_EQ(FloatToStrF(std::numeric_limits<double>::quiet_NaN(), ffFixed, 7, 2), "NAN");
    // The edits fall back on the general form without precision or digits.
    EXPECT_EQ(FormatEditValue(2.5, ffFixed, 7, 2, kC), "2.50");
    EXPECT_EQ(FormatEditValue(2.5, ffFixed, 0, 2, kC), "2.5");
    EXPECT_EQ(FormatEditValue(2.5, ffFixed, 7, 0, kC), "2.5");
    // Range bounds: grouped, two decimals, never scientific.
    EXPECT_EQ(FormatRangeBound(1234567.891, kC), "1,234,567.89");
    EXPECT_EQ(FormatRangeBound(1e20, kC), "100,000,000,000,000,000,000.00");
}

TEST(FloatToText, FollowsTheDefaultLocalesSeparators)
{
    ScopedLocale pl(kPolish);
    EXPECT_EQ(DecimalSeparator(), ",");
    EXPECT_EQ(FloatToStrF(39.370078, ffFixed, 7, 2), "39,37");
    EXPECT_EQ(FloatToStrF(1.5e20, ffGeneral, 15, 0), "1,5E20");
    const QString group = QLocale().groupSeparator();
    EXPECT_NE(group, ",");
    EXPECT_EQ(FormatRangeBound(12345.678), "12" + group + "345,68");
}

TEST(TextToNumber, AcceptsTheLocalesSeparatorAndAPoint)
{
    double v = 0;
    EXPECT_TRUE(TextToFloat(" -2 ", v, kC));
    EXPECT_EQ(v, -2);
    EXPECT_TRUE(TextToFloat("+4.", v, kC));
    EXPECT_EQ(v, 4);
    EXPECT_TRUE(TextToFloat(".25", v, kC));
    EXPECT_EQ(v, 0.25);
    EXPECT_TRUE(TextToFloat("1.5E-2", v, kC));
    EXPECT_EQ(v, 0.015);

    ScopedLocale pl(kPolish);
    EXPECT_TRUE(TextToFloat("1,5", v));
    EXPECT_EQ(v, 1.5);
    // A file written with a decimal point reads back whole.
    EXPECT_TRUE(TextToFloat("2.5", v));
    EXPECT_EQ(v, 2.5);
}

TEST(TextToNumber, RefusesWholeInsteadOfCuttingShort)
{
    for (const char* text : {"", "abc", "-", ".", "1.5.2", "12abc", "1 000", "1e", "inf", "nan", "1e999", "0x10",
                             "1,5", "\u0663"}) {
        double v = 42;
        EXPECT_FALSE(TextToFloat(QString::fromUtf8(text), v, kC)) << text;
        EXPECT_EQ(v, 42) << text;
    }
}

TEST(Steps, RangeAndIncrement)
{
    // Equal bounds mean no range.
    EXPECT_EQ(ClampToRange(-5, 0, 0), -5);
    EXPECT_EQ(ClampToRange(-5, 1, 10), 1);
    EXPECT_EQ(ClampToRange(50, 1, 10), 10);
    EXPECT_EQ(ClampToRange(2.5, 1, 10), 2.5);

    // One order below the shown value, chosen in the unit, given in mm.
    EXPECT_DOUBLE_EQ(AdjustIncrement(0, 250), 10);
    EXPECT_DOUBLE_EQ(AdjustIncrement(0, -250), 10);
    EXPECT_DOUBLE_EQ(AdjustIncrement(0, 10), 1);
    EXPECT_DOUBLE_EQ(AdjustIncrement(0, 9.99), 0.1);
    EXPECT_DOUBLE_EQ(AdjustIncrement(0, 0.25), 0.01);
    EXPECT_DOUBLE_EQ(AdjustIncrement(0, 0.05), 0.001);
    EXPECT_DOUBLE_EQ(AdjustIncrement(0, 0), 0.1);
    EXPECT_DOUBLE_EQ(AdjustIncrement(1, 6350), 254);  // 250 in
    EXPECT_DOUBLE_EQ(AdjustIncrement(2, 76.2), 3.048);  // 0.25 ft
    EXPECT_DOUBLE_EQ(AdjustIncrement(1, 0), 2.54);
    EXPECT_DOUBLE_EQ(AdjustIncrement(0, std::numeric_limits<double>::quiet_NaN()), 0.1);
}

TEST(LengthEdit, DigitsAndTextPerUnit)
{
    EXPECT_EQ(LengthEditDigits(1, 2, 1, 2, 0), 3);
    EXPECT_EQ(LengthEditDigits(2, 2, 0, 0, 0), 4);
    EXPECT_EQ(LengthEditDigits(2, 2, 1, 2, 5), 5);
    EXPECT_EQ(LengthEditDigits(1, 0, 1, 2, 5), 0);
    EXPECT_EQ(LengthEditDigits(3, 2, 1, 2, 5), 2);

    EXPECT_DOUBLE_EQ(LengthTextToMm("-1.5", 2, 5, kC), -457.2);
    // Empty: the minimum itself; no number: the minimum taken in the unit.
    EXPECT_DOUBLE_EQ(LengthTextToMm("", 1, 5, kC), 5);
    EXPECT_DOUBLE_EQ(LengthTextToMm("x", 1, 5, kC), 127);
}

TEST(Checks, Messages)
{
    EXPECT_EQ(CheckValueMessage(" ", 0, 1, 10, "Szerokość", kC), QString::fromUtf8("Proszę wypełnić pole  »Szerokość«"));
    EXPECT_EQ(CheckValueMessage("0", 0.5, 1, 12345, "W", kC),
              QString::fromUtf8("W polu  »W«  wartość poza dopuszczalnym zakresem.\r\n( min= 1.00; max= 12,345.00 )"));
    EXPECT_TRUE(CheckValueMessage("10", 10, 1, 10, "W", kC).isEmpty());
    // A decimal comma where the mark is a point reads as nothing: the minimum
    // the edit falls back to must not pass for it.
    ScopedTranslator english("US");
    EXPECT_TRUE(CheckValueMessage("1,5", 1, 1, 10, "W", kC).contains("1,5"));
    EXPECT_TRUE(CheckIntValueMessage("1,5", 1, 1, 10, "W", kC).contains("1,5"));
    EXPECT_TRUE(CheckValueMessage("-1e9", -1e9, 0, 0, "W", kC).isEmpty());

    EXPECT_EQ(CheckIntValueMessage("2.5", 2.5, 1, 10, "Ilość", kC),
              QString::fromUtf8("W polu  »Ilość« wymagana jest liczba całkowita\r\nDopuszczalny zakres (min= 1.00; "
                                "max= 10.00 )"));
    EXPECT_EQ(CheckIntValueMessage("-0.5", -0.5, 0, 0, "X", kC),
              QString::fromUtf8("W polu  »X« wymagana jest liczba całkowita"));
    // A whole number still has to lie in the range.
    EXPECT_TRUE(CheckIntValueMessage("20", 20, 1, 10, "X", kC).startsWith(QString::fromUtf8("W polu  »X«  wartość")));
    EXPECT_TRUE(CheckIntValueMessage("7", 7, 1, 10, "X", kC).isEmpty());

    ScopedLocale pl(kPolish);
    EXPECT_TRUE(CheckIntValueMessage("2,5", 2.5, 1, 10, "X").endsWith("(min= 1,00; max= 10,00 )"));
}

TEST(KeyFilter, LengthEditTakesNumbersOnly)
{
    for (QChar c : QString("0123456789+-.\b\x03\x16"))
        EXPECT_TRUE(FilterLengthEditChar(c, true, false, ".").accepted) << int(c.unicode());
    for (QChar c : QString("aE ,*\r"))
        EXPECT_FALSE(FilterLengthEditChar(c, true, false, ".").accepted) << int(c.unicode());
    EXPECT_FALSE(FilterLengthEditChar(u'.', true, false, ",").accepted);

    // The numeric keypad's decimal key types the locale's separator.
    KeyFilterDecision d = FilterLengthEditChar(u'.', true, true, ",");
    EXPECT_TRUE(d.accepted);
    EXPECT_EQ(d.character, u',');
    EXPECT_EQ(FilterLengthEditChar(u',', true, true, ".").character, u'.');

    // Read-only: control characters but backspace.
    EXPECT_FALSE(FilterLengthEditChar(u'5', false, false, ".").accepted);
    EXPECT_FALSE(FilterLengthEditChar(u'\b', false, false, ".").accepted);
    EXPECT_TRUE(FilterLengthEditChar(QChar(0x03), false, false, ".").accepted);
}

TEST(Keypad, KeysEditTheNumber)
{
    auto press = [](QStringList keys) {
        QString t;
        for (const QString& k : keys)
            t = KeypadEdit(t, k);
        return t;
    };
    EXPECT_EQ(press({"-", "5"}), "-5");
    EXPECT_EQ(press({"5", "-", "-"}), "-5");
    EXPECT_EQ(press({"1", ",", "2"}), "1,2");
    EXPECT_EQ(press({"CE"}), "");
    EXPECT_EQ(press({"1", "2", "CE"}), "1");
    EXPECT_EQ(press({"1", "C", "7"}), "7");
}

TEST(Keypad, StaysOnTheScreen)
{
    const QRect screen(0, 0, 1024, 768);
    const QSize size(129, 111);
    EXPECT_EQ(KeypadPosition({100, 200}, size, screen), QPoint(100, 200));
    EXPECT_EQ(KeypadPosition({1024 - 129, 768 - 111}, size, screen), QPoint(1024 - 129, 768 - 111));
    // Left of the edit at the right edge, above it at the bottom.
    EXPECT_EQ(KeypadPosition({1000, 700}, size, screen), QPoint(1000 - 129 - 5, 700 - 111 + 5));
    // A second screen to the right of the first.
    EXPECT_EQ(KeypadPosition({1900, 100}, size, QRect(1024, 0, 1280, 1024)), QPoint(1900, 100));
    EXPECT_EQ(KeypadPosition({2250, 100}, size, QRect(1024, 0, 1280, 1024)), QPoint(2250 - 134, 100));
}
