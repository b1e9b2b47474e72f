#include "app/NumericEntry.h"

#include "app/Translator.h"
#include "app/Units.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
// A number as significant decimal digits: value = 0.DIGITS × 10^exponent, no
// trailing zeros; zero has no digits.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

// Digits beyond this are never shown; asking for more only shows the noise of
// the binary value.
constexpr int kMaxPrecision = 18;
constexpr int kUnlimitedDecimals = 9999;

// Rounds a finite value to at most `precision` significant digits and at most
// `decimals` digits after the decimal point, half away from zero.
Decimal ToDecimal(double value, int precision, int decimals)
{
    Decimal d;
    if (value == 0.0)
        return d;
    // 41 significant digits: far more than any rounding below looks at, so the
    // digit that decides the rounding is the exact one.
    char buf[80];
    std::snprintf(buf, sizeof buf, "%.40e", std::fabs(value));
    std::string all;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            all.push_back(*p);
    const int exp10 = *p == 'e' ? std::atoi(p + 1) : 0;
    d.negative = value < 0;
    d.exponent = exp10 + 1;

    const int count = std::min(precision, d.exponent + decimals);
    if (count < 0) {
        return Decimal{};
    }
    if (count == 0) {
        if (all[0] >= '5') {
            d.digits.assign(1, '1');  // not = "1": GCC 12 warns falsely (-Wrestrict) on that
            d.exponent += 1;
            return d;
        }
        return Decimal{};
    }
    std::string kept = all.substr(0, static_cast<size_t>(count));
    if (static_cast<size_t>(count) < all.size() && all[static_cast<size_t>(count)] >= '5') {
        int i = count - 1;
        while (i >= 0 && kept[static_cast<size_t>(i)] == '9') {
            kept[static_cast<size_t>(i)] = '0';
            --i;
        }
        if (i < 0) {
            kept.insert(kept.begin(), '1');
            kept.pop_back();
            d.exponent += 1;
        } else {
            kept[static_cast<size_t>(i)] += 1;
        }
    }
    while (!kept.empty() && kept.back() == '0')
        kept.pop_back();
    if (kept.empty())
        return Decimal{};
    d.digits = kept;
    return d;
}

char DigitAt(const Decimal& d, int i)
{
    return i >= 0 && i < static_cast<int>(d.digits.size()) ? d.digits[static_cast<size_t>(i)] : '0';
}

QString Sign(const Decimal& d) { return d.negative ? QStringLiteral("-") : QString(); }

// Exponent text: "E", the sign (always for the exponent format, only "-"
// otherwise), at least minDigits digits.
QString ExponentText(int e, bool alwaysSign, int minDigits)
{
    QString s = QStringLiteral("E");
    if (e < 0)
        s += '-';
    else if (alwaysSign)
        s += '+';
    s += QString::number(std::abs(e)).rightJustified(minDigits, '0');
    return s;
}

// d.ddd…E±x with the shown digits (at least `minMantissa` of them).
QString Scientific(const Decimal& d, int minMantissa, bool alwaysSign, int expDigits, const QString& sep)
{
    const int n = std::max(static_cast<int>(d.digits.size()), std::max(minMantissa, 1));
    QString s = Sign(d);
    s += QChar(DigitAt(d, 0));
    if (n > 1) {
        s += sep;
        for (int i = 1; i < n; ++i)
            s += QChar(DigitAt(d, i));
    }
    const int e = d.digits.empty() ? 0 : d.exponent - 1;
    return s + ExponentText(e, alwaysSign, expDigits);
}

QString IntegerPart(const Decimal& d, const QString& group)
{
    QString s;
    if (d.exponent <= 0) {
        s = QStringLiteral("0");
    } else {
        for (int i = 0; i < d.exponent; ++i)
            s += QChar(DigitAt(d, i));
    }
    if (!group.isEmpty()) {
        for (int pos = s.size() - 3; pos > 0; pos -= 3)
            s.insert(pos, group);
    }
    return s;
}

// Fixed form with exactly `decimals` decimals (the value is already rounded to them).
QString Fixed(const Decimal& d, int decimals, const QString& sep, const QString& group)
{
    QString s = Sign(d) + IntegerPart(d, group);
    if (decimals > 0) {
        s += sep;
        for (int i = 0; i < decimals; ++i)
            s += QChar(DigitAt(d, d.exponent + i));
    }
    return s;
}

QString General(const Decimal& d, int precision, int expDigits, const QString& sep)
{
    if (d.digits.empty())
        return QStringLiteral("0");
    if (d.exponent > precision || d.exponent < -3)
        return Scientific(d, 1, false, expDigits, sep);
    QString s = Sign(d) + IntegerPart(d, QString());
    const int shown = static_cast<int>(d.digits.size());
    if (shown > d.exponent) {
        s += sep;
        for (int i = d.exponent; i < shown; ++i)
            s += QChar(DigitAt(d, i));
    }
    return s;
}

QString NonFinite(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }
}  // namespace

QString DecimalSeparator(const QLocale& locale)
{
    const QString sep = locale.decimalPoint();
    return sep.isEmpty() ? QStringLiteral(".") : sep;
}

QString FloatToStrF(double value, FloatFormat format, int precision, int digits, const QLocale& locale)
{
    if (!std::isfinite(value))
        return NonFinite(value);
    precision = std::clamp(precision, 1, kMaxPrecision);
    const QString sep = DecimalSeparator(locale);
    switch (format) {
    case ffExponent: {
        const int expDigits = std::clamp(digits, 0, 4);
        return Scientific(ToDecimal(value, precision, kUnlimitedDecimals), precision, true, expDigits, sep);
    }
    case ffFixed:
    case ffNumber: {
        digits = std::clamp(digits, 0, kMaxPrecision);
        const Decimal d = ToDecimal(value, precision, digits);
        if (d.exponent > precision)
            return Scientific(d, 1, false, 0, sep);
        return Fixed(d, digits, sep, format == ffNumber ? locale.groupSeparator() : QString());
    }
    case ffCurrency: {
        digits = std::clamp(digits, 0, kMaxPrecision);
        const Decimal d = ToDecimal(value, precision, digits);
        if (d.exponent > precision)
            return Scientific(d, 1, false, 0, sep);
        // The locale places the symbol and the sign; the digits are ours, so
        // that rounding is the same as in the other forms.
        double rounded = 0;
        TextToFloat(Fixed(d, digits, QStringLiteral("."), QString()), rounded, QLocale::c());
        return locale.toCurrencyString(rounded, locale.currencySymbol(), digits);
    }
    case ffGeneral:
    default:
        return General(ToDecimal(value, precision, kUnlimitedDecimals), precision, std::clamp(digits, 0, 4),
                       sep);
    }
}

QString FloatToStrGeneral(double value, const QLocale& locale)
{
    return FloatToStrF(value, ffGeneral, 15, 0, locale);
}

QString FormatEditValue(double value, FloatFormat format, int precision, int digit, const QLocale& locale)
{
    if (precision != 0 && digit != 0)
        return FloatToStrF(value, format, precision, digit, locale);
    return FloatToStrGeneral(value, locale);
}

QString FormatRangeBound(double value, const QLocale& locale)
{
    if (!std::isfinite(value))
        return NonFinite(value);
    // Grouped and never scientific, however large the bound.
    return Fixed(ToDecimal(value, kMaxPrecision, 2), 2, DecimalSeparator(locale), locale.groupSeparator());
}

bool TextToFloat(const QString& text, double& value, const QLocale& locale)
{
    const QString s = text.trimmed();
    const QString sep = DecimalSeparator(locale);
    QString plain;  // the same number in the C locale's form
    int i = 0;
    const int n = s.size();
    if (i < n && (s[i] == u'+' || s[i] == u'-'))
        plain += s[i++];
    int mantissaDigits = 0;
    bool separatorSeen = false;
    while (i < n) {
        if (IsAsciiDigit(s[i])) {
            plain += s[i++];
            ++mantissaDigits;
        } else if (!separatorSeen && (s[i] == u'.' || s.mid(i, sep.size()) == sep)) {
            separatorSeen = true;
            plain += u'.';
            i += s[i] == u'.' ? 1 : static_cast<int>(sep.size());
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        plain += u'e';
        ++i;
        if (i < n && (s[i] == u'+' || s[i] == u'-'))
            plain += s[i++];
        int expDigits = 0;
        while (i < n && IsAsciiDigit(s[i])) {
            plain += s[i++];
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (i != n)
        return false;
    bool ok = false;
    const double v = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

double ClampToRange(double x, double minValue, double maxValue)
{
    if (maxValue == minValue)
        return x;
    if (x > maxValue)
        return maxValue;
    if (x < minValue)
        return minValue;
    return x;
}

double AdjustIncrement(int32_t unit, double valueMm)
{
    double v = std::fabs(MmToUnit(unit, valueMm));
    double step = 0.1;
    if (!std::isfinite(v) || v == 0.0) {
        step = 0.1;
    } else if (v >= 1.0) {
        int n = 0;
        while (v / 10.0 >= 1.0) {
            v /= 10.0;
            ++n;
        }
        step = std::pow(10.0, n - 1);
    } else {
        int m = 0;
        while (v < 10.0) {
            v *= 10.0;
            ++m;
        }
        step = 1.0 / std::pow(10.0, m);
    }
    return UnitToMm(unit, step);
}

int32_t LengthEditDigits(int32_t unit, int32_t digit, int32_t digitMm, int32_t digitInch, int32_t digitFeet)
{
    if (digit == 0 || unit < 0 || unit >= UnitCount)
        return digit;
    if (digitMm != 0 && digitInch != 0 && digitFeet != 0) {
        const int32_t perUnit[UnitCount] = {digitMm, digitInch, digitFeet};
        return perUnit[unit];
    }
    return unit == 2 ? 4 : 3;
}

double LengthTextToMm(const QString& text, int32_t unit, double minValue, const QLocale& locale)
{
    if (text.isEmpty())
        return minValue;
    double v = 0;
    if (!TextToFloat(text, v, locale))
        return UnitToMm(unit, minValue);
    return UnitToMm(unit, v);
}

QString CheckErrorCaption() { return QStringLiteral("Błąd"); }

namespace {
bool HasRange(double minValue, double maxValue) { return minValue != maxValue; }

QString EmptyFieldMessage(const QString& fieldName)
{
    return QStringLiteral("Proszę wypełnić pole  »") + fieldName + QStringLiteral("«");
}
}  // namespace

QString UnreadableNumberMessage(const QString& text, const QString& fieldName, const QLocale& locale)
{
    double v = 0;
    if (text.trimmed().isEmpty() || TextToFloat(text, v, locale))
        return QString();
    const QString named = fieldName.isEmpty() ? QString() : QStringLiteral("»") + fieldName + QStringLiteral("«: ");
    return named + Tr("Universal", "liczbaNieczytelna").arg(text, DecimalSeparator(locale));
}

QString CheckValueMessage(const QString& text, double value, double minValue, double maxValue,
                          const QString& fieldName, const QLocale& locale)
{
    if (text.trimmed().isEmpty())
        return EmptyFieldMessage(fieldName);
    if (QString unreadable = UnreadableNumberMessage(text, fieldName, locale); !unreadable.isEmpty())
        return unreadable;
    if (HasRange(minValue, maxValue) && (value < minValue || value > maxValue)) {
        return QStringLiteral("W polu  »") + fieldName + QStringLiteral("«  wartość poza dopuszczalnym zakresem.") +
               QStringLiteral("\r\n") + QStringLiteral("( min= ") + FormatRangeBound(minValue, locale) +
               QStringLiteral("; max= ") + FormatRangeBound(maxValue, locale) + QStringLiteral(" )");
    }
    return QString();
}

QString CheckIntValueMessage(const QString& text, double value, double minValue, double maxValue,
                             const QString& fieldName, const QLocale& locale)
{
    if (text.trimmed().isEmpty())
        return EmptyFieldMessage(fieldName);
    if (QString unreadable = UnreadableNumberMessage(text, fieldName, locale); !unreadable.isEmpty())
        return unreadable;
    if (value != std::trunc(value)) {
        QString m = QStringLiteral("W polu  »") + fieldName + QStringLiteral("« wymagana jest liczba całkowita");
        if (HasRange(minValue, maxValue)) {
            m += QStringLiteral("\r\nDopuszczalny zakres (min= ") + FormatRangeBound(minValue, locale) +
                 QStringLiteral("; max= ") + FormatRangeBound(maxValue, locale) + QStringLiteral(" )");
        }
        return m;
    }
    return CheckValueMessage(text, value, minValue, maxValue, fieldName, locale);
}

KeyFilterDecision FilterLengthEditChar(QChar typed, bool editable, bool afterKeypadDecimal,
                                       const QString& decimalSeparator)
{
    KeyFilterDecision r;
    r.character = typed;
    const QChar sep = decimalSeparator.isEmpty() ? QChar(u'.') : decimalSeparator[0];
    if (afterKeypadDecimal && (typed == u',' || typed == u'.'))
        r.character = sep;
    const QChar c = r.character;
    const bool control = c.unicode() < 0x20 || c.unicode() == 0x7f;
    if (!editable) {
        r.accepted = control && c != u'\b';
        return r;
    }
    if (control)
        r.accepted = c != u'\r';
    else
        r.accepted = c == u'+' || c == u'-' || IsAsciiDigit(c) || c == sep;
    return r;
}

QString KeypadEdit(const QString& text, const QString& key)
{
    if (key == QLatin1String("C"))
        return QString();
    if (key == QLatin1String("CE"))
        return text.isEmpty() ? text : text.chopped(1);
    if (key == QLatin1String("-"))
        return text.startsWith(u'-') ? text : QStringLiteral("-") + text;
    return text + key;
}

QPoint KeypadPosition(QPoint origin, QSize size, QRect screen)
{
    QPoint p = origin;
    if (origin.x() + size.width() > screen.x() + screen.width())
        p.setX(origin.x() - size.width() - 5);
    if (origin.y() + size.height() > screen.y() + screen.height())
        p.setY(origin.y() - size.height() + 5);
    return p;
}
