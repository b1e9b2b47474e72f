#pragma once
#include <QChar>
#include <QLocale>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>

// The rules behind the numeric edits and the on-screen keypad, kept apart from
// the widgets so that they can be checked without windows. Numbers are shown
// and read in the default locale (the system's unless a test sets another).

// Display formats of a number, in the order the edits' ffFormat property counts them.
enum FloatFormat : int32_t { ffGeneral = 0, ffExponent = 1, ffFixed = 2, ffNumber = 3, ffCurrency = 4 };

// The locale's decimal separator ("." or "," in practice).
QString DecimalSeparator(const QLocale& locale = QLocale());

// A number as text with a format, a precision (significant digits, 1..18) and
// digits (decimals for fixed, number and currency; the minimum exponent digits,
// 0..4, for general and exponent). Rounding is half away from zero on the exact
// value; the sign is dropped when the shown digits are all zero.
// - general: the shortest of fixed and scientific form, trailing zeros dropped;
//   scientific when the integer part has more than precision digits or the
//   value is below 0.0001 ("1E-5", "1.5E20");
// - exponent: "-d.ddddE+dd" with precision digits in all;
// - fixed: "-ddd.dd" with digits decimals; scientific when the integer part
//   has more than precision digits;
// - number: fixed with the locale's thousands separator;
// - currency: number in the locale's currency form.
QString FloatToStrF(double value, FloatFormat format, int precision, int digits,
                    const QLocale& locale = QLocale());

// The shortest general form: up to 15 significant digits, no trailing zeros.
QString FloatToStrGeneral(double value, const QLocale& locale = QLocale());

// How an edit shows its value: with its format when both precision and digit
// are non-zero, else in the shortest general form.
QString FormatEditValue(double value, FloatFormat format, int precision, int digit,
                        const QLocale& locale = QLocale());

// A range bound in messages: thousands grouped, two decimals ("#,##0.00").
QString FormatRangeBound(double value, const QLocale& locale = QLocale());

// Text to a finite number. Leading and trailing blanks are allowed, then an
// optional sign, digits with at most one decimal separator (the locale's or
// "."), and an optional exponent. Anything else (thousands separators, a second
// separator, trailing letters) fails as a whole: a number is never cut short.
bool TextToFloat(const QString& text, double& value, const QLocale& locale = QLocale());

// x limited to [min, max]; equal bounds mean no range and x is returned.
double ClampToRange(double x, double minValue, double maxValue);

// The step of a length edit before each up or down click, from its value in
// millimetres shown in a unit: a power of ten one order below the shown value
// (250 steps by 10, 5 by 0.1, 0.25 by 0.01), 0.1 at zero; the step is chosen in
// the shown unit and returned in millimetres.
double AdjustIncrement(int32_t unit, double valueMm);

// Decimals of a TFltEditU shown in a unit: the per-unit digits when all three
// are set, else 3 for millimetres and inches and 4 for feet. A digit of 0
// (shortest form) stays 0, and an unknown unit keeps the current digit.
int32_t LengthEditDigits(int32_t unit, int32_t digit, int32_t digitMm, int32_t digitInch,
                         int32_t digitFeet);

// The millimetre value of a length edit's text shown in a unit: an empty text
// gives minValue itself, a text that does not convert gives minValue taken as
// a value in the unit.
double LengthTextToMm(const QString& text, int32_t unit, double minValue,
                      const QLocale& locale = QLocale());

// The message for a text a numeric field cannot read (a decimal comma where
// the host's mark is a point, a stray letter): the text, the field's name when
// it has one, and the decimal mark the field reads. Empty when the text is
// empty or reads as a number.
QString UnreadableNumberMessage(const QString& text, const QString& fieldName, const QLocale& locale = QLocale());

// The messages of the edits' checks before a dialog accepts its input; empty
// when the field passes: an empty field, a text that is no number, a value out
// of range. A range exists when minValue differs from maxValue.
QString CheckValueMessage(const QString& text, double value, double minValue, double maxValue,
                          const QString& fieldName, const QLocale& locale = QLocale());
// The same for a field that takes whole numbers only.
QString CheckIntValueMessage(const QString& text, double value, double minValue, double maxValue,
                             const QString& fieldName, const QLocale& locale = QLocale());

// Caption of the message boxes of these checks.
QString CheckErrorCaption();

// What the length edits do with one typed character.
struct KeyFilterDecision {
    bool accepted = false;  // refused characters are dropped with a beep
    QChar character;        // the character to insert (mapped decimal key)
};

// Editable: signs, digits, the decimal separator and control characters other
// than Enter; read-only: control characters other than backspace. Right after
// the numeric keypad's decimal key a "," or "." becomes the locale's separator,
// whatever the keyboard layout puts on that key.
KeyFilterDecision FilterLengthEditChar(QChar typed, bool editable, bool afterKeypadDecimal,
                                       const QString& decimalSeparator);

// The keypad's text after a key with the given caption: "C" clears, "CE" drops
// the last character, "-" puts a minus in front unless there is one, anything
// else (a digit or the separator) is appended.
QString KeypadEdit(const QString& text, const QString& key);

// Where a keypad of a size opens for an edit whose top-left corner is at origin
// on a screen: at the origin, moved to the left of it when it would pass the
// screen's right edge, and above it when it would pass the bottom.
QPoint KeypadPosition(QPoint origin, QSize size, QRect screen);
