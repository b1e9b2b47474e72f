#pragma once
#include "app/NumericEntry.h"

#include <QAbstractSpinBox>
#include <QString>
#include <cstdint>

// The numeric edits: a text field with up and down buttons for floating-point
// numbers with a range, a step, a display format and the on-screen keypad.
// The four classes differ in small ways (see each); the settings file names
// them by class, so each is a class of its own.
//
// Common behaviour:
// - the value is clamped to [MinValue, MaxValue] when set; equal bounds mean
//   no range;
// - leaving the field tidies what was typed (clamped, or re-read for lengths);
//   a text that is no number is never replaced by another: it stays as typed,
//   the value stays as it was, and the operator is told;
// - the spin buttons, the mouse wheel (turned towards the user steps up) and,
//   for most kinds, the arrow keys step by Increment; a read-only field beeps;
// - a double click (a single click with JedenKlikKalkulator) opens the keypad
//   at the field; OK there puts the keypad's number into the field;
// - valueEdited tells a dialog about every value the user made: typed and
//   left (or Enter), stepped, or entered on the keypad. Setting the value from
//   the program does not emit it.
class NumericEdit : public QAbstractSpinBox {
    Q_OBJECT
    Q_PROPERTY(double Increment READ Increment WRITE SetIncrement)
    Q_PROPERTY(double MaxValue READ MaxValue WRITE SetMaxValue)
    Q_PROPERTY(double MinValue READ MinValue WRITE SetMinValue)
    Q_PROPERTY(double Value READ GetValue WRITE SetValue NOTIFY valueEdited USER true STORED false)
    Q_PROPERTY(FloatFormat ffFormat READ ffFormat WRITE SetFfFormat)
    Q_PROPERTY(int Precision READ Precision WRITE SetPrecision)
    Q_PROPERTY(int Digit READ Digit WRITE SetDigit)
    Q_PROPERTY(QString NzwPola READ NzwPola WRITE SetNzwPola)
    Q_PROPERTY(bool BigNumPad READ BigNumPad WRITE SetBigNumPad)
    Q_PROPERTY(bool JedenKlikKalkulator READ JedenKlikKalkulator WRITE SetJedenKlikKalkulator)
public:
    // The value as the program uses it (millimetres for the length edits).
    double GetValue() const;
    // Sets the value (clamped) and shows it; no valueEdited.
    void SetValue(double value);
    double ClampValue(double value) const { return ClampToRange(value, m_min, m_max); }

    // The field's text as shown (in the display unit for the length edits).
    QString Text() const;
    // Puts text into the field as if typed; it is read when the field is left.
    void SetText(const QString& text);

    double Increment() const { return m_increment; }
    void SetIncrement(double step) { m_increment = step; }
    double MinValue() const { return m_min; }
    void SetMinValue(double v) { m_min = v; }
    double MaxValue() const { return m_max; }
    void SetMaxValue(double v) { m_max = v; }

    // Display: FormatEditValue with these; a change redraws the value.
    FloatFormat ffFormat() const { return m_format; }
    void SetFfFormat(FloatFormat format);
    int32_t Precision() const { return m_precision; }
    void SetPrecision(int32_t precision);
    int32_t Digit() const { return m_digit; }
    void SetDigit(int32_t digit);

    // The field's name in the check messages.
    QString NzwPola() const { return m_fieldName; }
    void SetNzwPola(const QString& name) { m_fieldName = name; }
    // Large keypad keys for touch use.
    bool BigNumPad() const { return m_bigNumPad; }
    void SetBigNumPad(bool on) { m_bigNumPad = on; }
    // The keypad opens on a single click instead of a double click.
    bool JedenKlikKalkulator() const { return m_oneClickKeypad; }
    void SetJedenKlikKalkulator(bool on) { m_oneClickKeypad = on; }

    // One step up or down (what the spin buttons do).
    void UpClick();
    void DownClick();
    // Opens the keypad at the field and takes its number on OK.
    void ShowNumPad();

    // What leaving the field does, also run on Enter. False, after telling the
    // operator and giving the field the focus, when the text is no number:
    // then nothing was taken and the caller goes no further.
    bool LeaveField();
    // The text is empty, a number, or the value as shown.
    bool TextReadable() const;
    // The error box for a text that is no number, with the focus on the field.
    void TellUnreadable();

    // The spin buttons' steps: UpClick or DownClick for each.
    void stepBy(int steps) override;

    // Wide enough for a length with a few decimals.
    QSize sizeHint() const override;

signals:
    // The user made a new value (millimetres for the length edits).
    void valueEdited(double value);
    // The focus left the field. TFltEditU tells it before re-reading the text
    // (so a handler still sees what was typed), the others after tidying it.
    void exited();

protected:
    enum class Kind { FltEdit, FloatEdit, FltEditU, FloatEditU };
    NumericEdit(Kind kind, QWidget* parent);

    bool IsLength() const { return m_kind == Kind::FltEditU || m_kind == Kind::FloatEditU; }

    // The length edits' display unit and millimetre value.
    int32_t m_unit = 0;
    double m_mm = 0;
    // Shows the millimetre value in the current unit and digits.
    void RedrawLength();
    // Another unit for the millimetre value; typed text is left alone.
    void ShowInUnit(int32_t unit);
    // TFltEditU: the step stays as set instead of following the value.
    bool m_linearIncrement = false;

    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    StepEnabled stepEnabled() const override;

private:
    void ApplyValue(double value);
    void ShowText(const QString& text);
    double TextValue() const;
    double LengthTextMm() const;
    void Step(int direction);
    void Redraw();
    void CommitUserChange();
    bool TakeTyped();

    Kind m_kind;
    double m_increment = 1;
    double m_min = 0;
    double m_max = 0;
    FloatFormat m_format = ffFixed;
    int32_t m_precision = 7;
    int32_t m_digit = 2;
    QString m_fieldName;
    bool m_bigNumPad = false;
    bool m_oneClickKeypad = false;
    QString m_shown;             // the text the value was last shown as
    double m_committed = 0;      // the value the program or valueEdited last gave
    bool m_afterKeypadDecimal = false;
    int m_wheelDelta = 0;
    bool m_tellPending = false;  // left with a text that is no number, not told yet
};

// Used by the serial-cut, duplication and generator dialogs. Opens a keypad of
// its own each time; offers the checks dialogs run before accepting.
class TFltEdit : public NumericEdit {
    Q_OBJECT
public:
    explicit TFltEdit(QWidget* parent = nullptr);

    // False after showing an error box and focusing the field when it is
    // empty or its value lies outside the range.
    virtual bool CheckValue();
    // The same, and also false for a value with a fractional part.
    virtual bool CheckIntValue();

protected:
    TFltEdit(Kind kind, QWidget* parent);
};

// Used by the settings dialog and the move window: no checks, and it opens
// the shared keypad.
class TFloatEdit : public NumericEdit {
    Q_OBJECT
public:
    explicit TFloatEdit(QWidget* parent = nullptr);

protected:
    TFloatEdit(Kind kind, QWidget* parent);
};

// A length in millimetres, shown in the unit sunit. The value is read from the
// text, and the arrow keys do not step; only signs, digits and the decimal
// separator can be typed, and the numeric keypad's decimal key types the
// locale's separator. Its decimals follow the unit (Digit_mm, Digit_inch,
// Digit_feet when all are set). The step follows the size of the value unless
// LiniowyInkrement. The keypad opens only when the field is editable.
class TFltEditU : public TFltEdit {
    Q_OBJECT
    Q_PROPERTY(int sunit READ sunit WRITE SetSunit)
    Q_PROPERTY(bool LiniowyInkrement READ LiniowyInkrement WRITE SetLiniowyInkrement)
    Q_PROPERTY(int Digit_mm READ Digit_mm WRITE SetDigit_mm)
    Q_PROPERTY(int Digit_inch READ Digit_inch WRITE SetDigit_inch)
    Q_PROPERTY(int Digit_feet READ Digit_feet WRITE SetDigit_feet)
public:
    explicit TFltEditU(QWidget* parent = nullptr);

    // Shows the same length in another unit, with the unit's decimals.
    void SetUnit(int32_t unit);

    int32_t sunit() const { return m_unit; }
    // Only the unit: the length is shown again in it, the decimals stay.
    void SetSunit(int32_t unit);
    bool LiniowyInkrement() const { return m_linearIncrement; }
    void SetLiniowyInkrement(bool on) { m_linearIncrement = on; }
    int32_t Digit_mm() const { return m_digitMm; }
    void SetDigit_mm(int32_t d) { m_digitMm = d; }
    int32_t Digit_inch() const { return m_digitInch; }
    void SetDigit_inch(int32_t d) { m_digitInch = d; }
    int32_t Digit_feet() const { return m_digitFeet; }
    void SetDigit_feet(int32_t d) { m_digitFeet = d; }

    // The millimetre value last set or read.
    double MmValue() const { return m_mm; }

private:
    int32_t m_digitMm = 0;
    int32_t m_digitInch = 0;
    int32_t m_digitFeet = 0;
};

// A length in millimetres shown in the unit sunit, used by the settings,
// material and start dialogs and the profile bender. The value is the stored
// millimetre value (the text is read when the field is left). The step follows
// the size of the value. Opens the shared keypad, only when editable.
class TFloatEditU : public TFloatEdit {
    Q_OBJECT
    Q_PROPERTY(int sunit READ sunit WRITE SetSunit)
public:
    explicit TFloatEditU(QWidget* parent = nullptr);

    // Shows the length in CurrentLengthUnit with its decimals (1 mm, 2 inch, 3 feet).
    void ApplyCurrentUnit();

    int32_t sunit() const { return m_unit; }
    // Only the unit: the length is shown again in it, the decimals stay.
    void SetSunit(int32_t unit);

    double MmValue() const { return m_mm; }
};

// Every TFltEditU of a form (at any depth) takes CurrentLengthUnit.
void SetFormUnits(QWidget* form);
// Every TFltEdit and TFltEditU of a form gets the large keypad opening on a
// single click (for touch panels).
void EnableTouchInput(QWidget* form);

// The beep of a refused key or step. Tests replace it to count beeps; the
// previous handler is returned (nullptr stands for the system beep).
using BeepHandler = void (*)();
BeepHandler SetBeepHandler(BeepHandler handler);
