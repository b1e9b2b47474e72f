#include "app/widgets/FloatEdit.h"

#include "app/MessageBoxes.h"
#include "app/Units.h"
#include "app/widgets/NumPad.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTimer>
#include <QWheelEvent>
#include <cstdlib>
#include <memory>

namespace {
BeepHandler g_beep = nullptr;

void Beep()
{
    if (g_beep)
        g_beep();
    else
        QApplication::beep();
}

// One notch of a mouse wheel.
constexpr int kWheelNotch = 120;
}  // namespace

BeepHandler SetBeepHandler(BeepHandler handler)
{
    const BeepHandler previous = g_beep;
    g_beep = handler;
    return previous;
}

NumericEdit::NumericEdit(Kind kind, QWidget* parent) : QAbstractSpinBox(parent), m_kind(kind)
{
    // Clicks on the text open the keypad.
    lineEdit()->installEventFilter(this);
    ApplyValue(0);
    m_committed = GetValue();
}

QString NumericEdit::Text() const { return lineEdit()->text(); }

void NumericEdit::SetText(const QString& text)
{
    lineEdit()->setText(text);
    m_committed = GetValue();
}

double NumericEdit::TextValue() const
{
    double v = 0;
    return TextToFloat(Text(), v) ? v : m_min;
}

double NumericEdit::LengthTextMm() const
{
    // The shown text is the millimetre value rounded to a few decimals in the
    // unit; reading it back unchanged would let the value drift with every
    // unit switch or visit of the field.
    const QString text = Text();
    if (text == m_shown)
        return m_mm;
    return LengthTextToMm(text, m_unit, m_min);
}

double NumericEdit::GetValue() const
{
    switch (m_kind) {
    case Kind::FltEditU:
        return LengthTextMm();
    case Kind::FloatEditU:
        return m_mm;
    default:
        return TextValue();
    }
}

void NumericEdit::ShowText(const QString& text)
{
    m_shown = text;
    lineEdit()->setText(text);
}

void NumericEdit::RedrawLength()
{
    ShowText(FormatEditValue(MmToUnit(m_unit, m_mm), m_format, m_precision, m_digit));
}

void NumericEdit::ShowInUnit(int32_t unit)
{
    m_unit = unit;
    if (Text() == m_shown)
        RedrawLength();
}

void NumericEdit::ApplyValue(double value)
{
    if (IsLength()) {
        m_mm = ClampValue(value);
        RedrawLength();
    } else {
        ShowText(FormatEditValue(ClampValue(value), m_format, m_precision, m_digit));
    }
}

void NumericEdit::SetValue(double value)
{
    ApplyValue(value);
    m_committed = GetValue();
}

void NumericEdit::Redraw()
{
    if (IsLength()) {
        // What the user is typing is left alone.
        if (Text() == m_shown)
            RedrawLength();
        return;
    }
    double v = 0;
    if (TextToFloat(Text(), v))
        ShowText(FormatEditValue(v, m_format, m_precision, m_digit));
}

void NumericEdit::SetFfFormat(FloatFormat format)
{
    m_format = format;
    Redraw();
}

void NumericEdit::SetPrecision(int32_t precision)
{
    m_precision = precision;
    Redraw();
}

void NumericEdit::SetDigit(int32_t digit)
{
    m_digit = digit;
    Redraw();
}

void NumericEdit::CommitUserChange()
{
    const double v = GetValue();
    if (v != m_committed) {
        m_committed = v;
        emit valueEdited(v);
    }
}

bool NumericEdit::TextReadable() const
{
    const QString text = Text();
    double v = 0;
    return text.trimmed().isEmpty() || (IsLength() && text == m_shown) || TextToFloat(text, v);
}

void NumericEdit::TellUnreadable()
{
    m_tellPending = false;
    setFocus();
    ShowMessageBox(UnreadableNumberMessage(Text(), m_fieldName), true);
}

bool NumericEdit::TakeTyped()
{
    if (m_kind == Kind::FltEditU)
        emit exited();
    if (!TextReadable()) {
        // "800,5" where the mark is a point: any number put in its place
        // (the minimum) would be taken without a word.
        if (m_kind != Kind::FltEditU)
            emit exited();
        return false;
    }
    switch (m_kind) {
    case Kind::FltEditU:
    case Kind::FloatEditU:
        ApplyValue(LengthTextMm());
        break;
    default: {
        // An empty text is left for CheckValue to report.
        double v = 0;
        if (TextToFloat(Text(), v) && ClampValue(v) != v)
            ApplyValue(v);
        break;
    }
    }
    CommitUserChange();
    if (m_kind != Kind::FltEditU)
        emit exited();
    return true;
}

bool NumericEdit::LeaveField()
{
    if (TakeTyped())
        return true;
    TellUnreadable();
    return false;
}

void NumericEdit::Step(int direction)
{
    // A text that is no number has no value to step from.
    if (isReadOnly() || !TextReadable()) {
        Beep();
        return;
    }
    // A stored length steps from what was typed, not from the value before it.
    if (m_kind == Kind::FloatEditU && Text() != m_shown)
        m_mm = LengthTextMm();
    if (IsLength() && !m_linearIncrement)
        m_increment = AdjustIncrement(m_unit, GetValue());
    ApplyValue(GetValue() + direction * m_increment);
    CommitUserChange();
}

void NumericEdit::UpClick() { Step(1); }

void NumericEdit::DownClick() { Step(-1); }

void NumericEdit::stepBy(int steps)
{
    for (int i = 0; i < std::abs(steps); ++i)
        Step(steps > 0 ? 1 : -1);
}

QSize NumericEdit::sizeHint() const
{
    // The spin box measures its range's texts, which this edit has none of.
    ensurePolished();
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QSize text(fontMetrics().horizontalAdvance(QStringLiteral("-00000.000 ")) + 2,
                     lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, text, this);
}

QAbstractSpinBox::StepEnabled NumericEdit::stepEnabled() const
{
    // Always enabled: a read-only field answers a click with a beep.
    return StepUpEnabled | StepDownEnabled;
}

void NumericEdit::ShowNumPad()
{
    if (IsLength() && isReadOnly())
        return;
    const bool shared = m_kind == Kind::FloatEdit || m_kind == Kind::FloatEditU;
    TNumPadForm* pad = shared ? NumPadForm : nullptr;
    std::unique_ptr<TNumPadForm> own;
    if (!pad) {
        own = std::make_unique<TNumPadForm>(this);
        pad = own.get();
    }
    pad->BigLayout = m_bigNumPad;
    if (pad->ShowModalAt(mapToGlobal(QPoint(0, 0))) != mrOk)
        return;
    lineEdit()->setText(pad->Text());
    if (!TextReadable()) {
        TellUnreadable();  // a lone "-"
        return;
    }
    ApplyValue(IsLength() ? LengthTextMm() : GetValue());
    CommitUserChange();
}

void NumericEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    m_afterKeypadDecimal =
        (event->modifiers() & Qt::KeypadModifier) && (key == Qt::Key_Period || key == Qt::Key_Comma);

    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Take what was typed before the dialog sees the key; a text that is
        // no number keeps the key from the dialog.
        if (LeaveField())
            QAbstractSpinBox::keyPressEvent(event);
        else
            event->accept();
        return;
    }
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
        // TFltEditU's own key handling has no steps; page keys never step.
        if (m_kind != Kind::FltEditU && key == Qt::Key_Up)
            UpClick();
        else if (m_kind != Kind::FltEditU && key == Qt::Key_Down)
            DownClick();
        event->accept();
        return;
    }
    if (m_kind == Kind::FltEditU && !event->text().isEmpty()) {
        const QString sep = DecimalSeparator();
        QString mapped;
        for (const QChar c : event->text()) {
            const KeyFilterDecision d = FilterLengthEditChar(c, !isReadOnly(), m_afterKeypadDecimal, sep);
            if (!d.accepted) {
                Beep();
                event->accept();
                return;
            }
            mapped += d.character;
        }
        if (mapped != event->text()) {
            QKeyEvent replaced(event->type(), key, event->modifiers(), mapped, event->isAutoRepeat(),
                               static_cast<quint16>(event->count()));
            QAbstractSpinBox::keyPressEvent(&replaced);
            event->setAccepted(replaced.isAccepted());
            return;
        }
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void NumericEdit::wheelEvent(QWheelEvent* event)
{
    // Turned towards the user (negative) steps up, away steps down.
    m_wheelDelta += event->angleDelta().y();
    while (m_wheelDelta <= -kWheelNotch) {
        m_wheelDelta += kWheelNotch;
        UpClick();
    }
    while (m_wheelDelta >= kWheelNotch) {
        m_wheelDelta -= kWheelNotch;
        DownClick();
    }
    event->accept();
}

void NumericEdit::focusOutEvent(QFocusEvent* event)
{
    // Another window taking the focus (the keypad, a message box) is no
    // leaving of the field.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason &&
        !TakeTyped()) {
        // Told once the focus has settled, unless the dialog was closed by
        // that click or told it first.
        m_tellPending = true;
        QTimer::singleShot(0, this, [this] {
            if (m_tellPending && isVisible() && !TextReadable())
                TellUnreadable();
            m_tellPending = false;
        });
    }
    QAbstractSpinBox::focusOutEvent(event);
}

bool NumericEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit()) {
        if (event->type() == QEvent::MouseButtonDblClick && !m_oneClickKeypad) {
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                ShowNumPad();
                return true;
            }
        } else if (event->type() == QEvent::MouseButtonRelease && m_oneClickKeypad) {
            const auto* m = static_cast<QMouseEvent*>(event);
            if (m->button() == Qt::LeftButton && lineEdit()->rect().contains(m->position().toPoint()))
                ShowNumPad();
        }
    }
    return QAbstractSpinBox::eventFilter(watched, event);
}

TFltEdit::TFltEdit(QWidget* parent) : NumericEdit(Kind::FltEdit, parent) {}

TFltEdit::TFltEdit(Kind kind, QWidget* parent) : NumericEdit(kind, parent) {}

bool TFltEdit::CheckValue()
{
    const QString message = CheckValueMessage(Text(), GetValue(), MinValue(), MaxValue(), NzwPola());
    if (message.isEmpty())
        return true;
    setFocus();
    ShowMessageBox(message, true, CheckErrorCaption());
    return false;
}

bool TFltEdit::CheckIntValue()
{
    const QString message = CheckIntValueMessage(Text(), GetValue(), MinValue(), MaxValue(), NzwPola());
    if (message.isEmpty())
        return true;
    setFocus();
    ShowMessageBox(message, true, CheckErrorCaption());
    return false;
}

TFloatEdit::TFloatEdit(QWidget* parent) : NumericEdit(Kind::FloatEdit, parent) {}

TFloatEdit::TFloatEdit(Kind kind, QWidget* parent) : NumericEdit(kind, parent) {}

TFltEditU::TFltEditU(QWidget* parent) : TFltEdit(Kind::FltEditU, parent) {}

void TFltEditU::SetUnit(int32_t unit)
{
    const double value = GetValue();
    m_unit = unit;
    SetDigit(LengthEditDigits(unit, Digit(), m_digitMm, m_digitInch, m_digitFeet));
    SetValue(value);
}

void TFltEditU::SetSunit(int32_t unit) { ShowInUnit(unit); }

TFloatEditU::TFloatEditU(QWidget* parent) : TFloatEdit(Kind::FloatEditU, parent) {}

void TFloatEditU::ApplyCurrentUnit()
{
    const double value = GetValue();
    m_unit = CurrentLengthUnit;
    SetValue(value);
    if (CurrentLengthUnit >= 0 && CurrentLengthUnit < UnitCount)
        SetDigit(UnitDecimalsFor(CurrentLengthUnit));
}

void TFloatEditU::SetSunit(int32_t unit) { ShowInUnit(unit); }

void SetFormUnits(QWidget* form)
{
    if (!form)
        return;
    for (TFltEditU* edit : form->findChildren<TFltEditU*>())
        edit->SetUnit(CurrentLengthUnit);
}

void EnableTouchInput(QWidget* form)
{
    if (!form)
        return;
    // TFltEditU is a TFltEdit, so both kinds are found.
    for (TFltEdit* edit : form->findChildren<TFltEdit*>()) {
        edit->SetBigNumPad(true);
        edit->SetJedenKlikKalkulator(true);
    }
}
