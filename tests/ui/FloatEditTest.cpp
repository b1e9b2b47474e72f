#include "app/NumericEntry.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/widgets/FloatEdit.h"
#include "app/widgets/NumPad.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QApplication>
#include <QLabel>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
int g_beeps = 0;
void CountBeep() { ++g_beeps; }

// A number as the default locale shows it: "39.37" or "39,37".
QString Num(const QString& withPoint) { return QString(withPoint).replace(".", DecimalSeparator()); }

// Answers every keypad that opens while it lives: presses the keys by caption,
// then OK or Cancel, and notes how the keypad showed.
class KeypadAnswer {
public:
    KeypadAnswer(QStringList keys, bool ok) : m_keys(std::move(keys)), m_ok(ok)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start(5);
    }

    int opened = 0;
    TNumPadForm* pad = nullptr;
    QRect geometry, okGeometry, sevenGeometry;
    QString title, display;
    int keysTop = 0;
    bool keysFit = true;
    int okFontSize = 0, digitFontSize = 0;

private:
    void Poll()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* p = qobject_cast<TNumPadForm*>(w);
            if (!p || !p->isVisible())
                continue;
            ++opened;
            pad = p;
            geometry = p->frameGeometry();
            okGeometry = p->ButtonOK->geometry();
            sevenGeometry = p->Buttons[7]->geometry();
            okFontSize = p->ButtonOK->font().pointSize();
            digitFontSize = p->Buttons[7]->font().pointSize();
            keysTop = p->Display->geometry().bottom() + 1 + 4;
            // Every key inside the window, below the number, its caption whole.
            for (QPushButton* b : p->findChildren<QPushButton*>())
                keysFit = keysFit && p->rect().contains(b->geometry()) &&
                          !b->geometry().intersects(p->Display->geometry()) &&
                          b->fontMetrics().horizontalAdvance(b->text()) + 8 <= b->width();
            for (const QString& key : m_keys)
                for (QPushButton* b : p->findChildren<QPushButton*>())
                    if (b->text() == key && b != p->ButtonOK && b != p->ButtonCancel)
                        b->click();
            title = p->windowTitle();
            display = p->Display->isVisible() && p->rect().contains(p->Display->geometry()) ? p->Display->text()
                                                                                         : "(not shown)";
            (m_ok ? p->ButtonOK : p->ButtonCancel)->click();
            return;
        }
    }

    QStringList m_keys;
    bool m_ok;
    QTimer m_timer;
};

void Wheel(QWidget* w, int delta)
{
    QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

void Leave(QWidget* w, Qt::FocusReason reason = Qt::TabFocusReason)
{
    QFocusEvent e(QEvent::FocusOut, reason);
    QApplication::sendEvent(w, &e);
}

QPoint SpinButton(NumericEdit* edit, QStyle::SubControl button)
{
    QStyleOptionSpinBox option;
    option.initFrom(edit);
    option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown | QStyle::SC_SpinBoxFrame;
    option.buttonSymbols = edit->buttonSymbols();
    option.frame = edit->hasFrame();
    return edit->style()->subControlRect(QStyle::CC_SpinBox, &option, button, edit).center();
}

// Types into the field as the user would, without the key filter.
void Type(NumericEdit* edit, const QString& text) { edit->findChild<QLineEdit*>()->setText(text); }

class FloatEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        g_beeps = 0;
        m_previousBeep = SetBeepHandler(CountBeep);
        m_previousUnit = CurrentLengthUnit;
    }
    void TearDown() override
    {
        SetBeepHandler(m_previousBeep);
        CurrentLengthUnit = m_previousUnit;
        NumPadForm = nullptr;
    }

private:
    BeepHandler m_previousBeep = nullptr;
    int32_t m_previousUnit = 0;
};
}  // namespace

TEST_F(FloatEditTest, LengthShownInAnotherUnitKeepsTheMillimetres)
{
    TFloatEditU edit;
    edit.SetDigit(2);
    edit.SetSunit(1);
    edit.SetValue(1000);
    EXPECT_EQ(edit.Text(), Num("39.37"));
    EXPECT_EQ(edit.GetValue(), 1000);

    CurrentLengthUnit = 2;
    edit.ApplyCurrentUnit();
    EXPECT_EQ(edit.Text(), Num("3.281"));
    // Visiting the field without typing does not round the value to the text.
    Leave(&edit);
    EXPECT_EQ(edit.GetValue(), 1000);

    // TFltEditU: decimals per unit, 3/3/4 unless all three are set.
    TFltEditU flt;
    flt.SetValue(1000);
    flt.SetUnit(2);
    EXPECT_EQ(flt.Text(), Num("3.2808"));
    flt.SetDigit_mm(1);
    flt.SetDigit_inch(2);
    flt.SetDigit_feet(3);
    flt.SetUnit(1);
    EXPECT_EQ(flt.Text(), Num("39.37"));
    EXPECT_EQ(flt.GetValue(), 1000);
    // Typed text is read in the shown unit.
    Type(&flt, Num("2"));
    EXPECT_DOUBLE_EQ(flt.GetValue(), 50.8);
}

TEST_F(FloatEditTest, PolishLocaleShowsACommaAndReadsBothSeparators)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    TFloatEditU edit;
    edit.SetSunit(1);
    edit.SetValue(1000);
    EXPECT_EQ(edit.Text(), "39,37");
    Type(&edit, "2.5");
    Leave(&edit);
    EXPECT_DOUBLE_EQ(edit.GetValue(), 63.5);
    EXPECT_EQ(edit.Text(), "2,50");
    QLocale::setDefault(previous);
}

TEST_F(FloatEditTest, ClampingAndLeavingTheField)
{
    TFltEdit edit;
    edit.SetValue(-5);  // no range
    EXPECT_EQ(edit.GetValue(), -5);
    edit.SetMinValue(1);
    edit.SetMaxValue(10);
    edit.SetValue(20);
    EXPECT_EQ(edit.Text(), Num("10.00"));
    edit.SetText("");
    EXPECT_EQ(edit.GetValue(), 1);

    QSignalSpy edited(&edit, &NumericEdit::valueEdited);
    Type(&edit, "50");
    Leave(&edit);
    EXPECT_EQ(edit.Text(), Num("10.00"));
    ASSERT_EQ(edited.size(), 1);
    EXPECT_EQ(edited[0][0].toDouble(), 10);
    // In range it stays as typed. A text that is no number ("7,5" where the
    // mark is a point) is never replaced: it stays, the value stays, and the
    // operator is told, on Enter at once.
    Type(&edit, "7");
    Leave(&edit);
    EXPECT_EQ(edit.Text(), "7");
    ScopedTranslator tr;
    ScriptedPresenter boxes;
    Type(&edit, "7x");
    Leave(&edit);
    EXPECT_EQ(edit.Text(), "7x");
    EXPECT_EQ(edited.size(), 2);
    QTest::keyClick(&edit, Qt::Key_Return);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Universal", "liczbaNieczytelna").arg("7x", DecimalSeparator()));
    edit.UpClick();
    EXPECT_EQ(edit.Text(), "7x") << "no step from a number that is not there";
    // Another window taking the focus is no leaving; Enter is.
    Type(&edit, "50");
    Leave(&edit, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(edit.Text(), "50");
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_EQ(edit.Text(), Num("10.00"));
    EXPECT_EQ(edited.size(), 3);

    // A stored length is read from its text only on leaving; an empty one
    // is refilled with the minimum.
    TFloatEditU length;
    length.SetMaxValue(500);
    length.SetValue(1000);
    EXPECT_EQ(length.GetValue(), 500);
    Type(&length, "5");
    EXPECT_EQ(length.GetValue(), 500);
    Leave(&length);
    EXPECT_EQ(length.GetValue(), 5);
    Type(&length, "");
    Leave(&length);
    EXPECT_EQ(length.Text(), Num("0.00"));
    length.SetValue(5);
    Type(&length, "0;5");
    Leave(&length);
    EXPECT_EQ(length.Text(), "0;5");
    EXPECT_EQ(length.GetValue(), 5);
}

TEST_F(FloatEditTest, StepsByButtonsWheelAndKeys)
{
    TFloatEdit edit;
    edit.SetIncrement(0.5);
    edit.SetValue(1);
    edit.resize(100, 30);
    edit.show();
    QSignalSpy edited(&edit, &NumericEdit::valueEdited);

    QTest::mouseClick(&edit, Qt::LeftButton, {}, SpinButton(&edit, QStyle::SC_SpinBoxUp));
    EXPECT_EQ(edit.GetValue(), 1.5);
    QTest::mouseClick(&edit, Qt::LeftButton, {}, SpinButton(&edit, QStyle::SC_SpinBoxDown));
    EXPECT_EQ(edit.GetValue(), 1);
    // The wheel turned towards the user steps up; half notches add up.
    Wheel(&edit, -120);
    EXPECT_EQ(edit.GetValue(), 1.5);
    Wheel(&edit, 60);
    Wheel(&edit, 60);
    EXPECT_EQ(edit.GetValue(), 1);
    QTest::keyClick(&edit, Qt::Key_Up);
    EXPECT_EQ(edit.GetValue(), 1.5);
    QTest::keyClick(&edit, Qt::Key_PageUp);
    EXPECT_EQ(edit.GetValue(), 1.5);
    EXPECT_EQ(edited.size(), 5);

    // A step held at the range's end is no new value.
    edit.SetMaxValue(1.5);
    edit.UpClick();
    EXPECT_EQ(edited.size(), 5);

    // Read-only: every way of stepping beeps, the button stays clickable.
    edit.setReadOnly(true);
    edit.DownClick();
    Wheel(&edit, 120);
    QTest::keyClick(&edit, Qt::Key_Down);
    QTest::mouseClick(&edit, Qt::LeftButton, {}, SpinButton(&edit, QStyle::SC_SpinBoxDown));
    EXPECT_EQ(edit.GetValue(), 1.5);
    EXPECT_EQ(g_beeps, 4);
}

TEST_F(FloatEditTest, LengthStepFollowsTheShownValue)
{
    TFloatEditU edit;
    edit.SetValue(250);
    edit.UpClick();
    EXPECT_DOUBLE_EQ(edit.Increment(), 10);
    EXPECT_DOUBLE_EQ(edit.GetValue(), 260);
    // From what was typed, not from the stored value.
    Type(&edit, "300");
    edit.UpClick();
    EXPECT_DOUBLE_EQ(edit.GetValue(), 310);

    TFltEditU linear;
    linear.SetLiniowyInkrement(true);
    linear.SetValue(250);
    linear.UpClick();
    EXPECT_DOUBLE_EQ(linear.GetValue(), 251);
}

TEST_F(FloatEditTest, LengthKeyFilter)
{
    TFltEditU edit;
    edit.SetText("");
    QTest::keyClicks(&edit, "1a2");
    EXPECT_EQ(edit.Text(), "12");
    EXPECT_EQ(g_beeps, 1);
    // The arrow keys do not step this edit.
    QTest::keyClick(&edit, Qt::Key_Up);
    EXPECT_EQ(edit.Text(), "12");

    // The numeric keypad's decimal key types the locale's separator; the same
    // character from the main keyboard beeps.
    const QString other = DecimalSeparator() == "." ? "," : ".";
    const Qt::Key key = other == "," ? Qt::Key_Comma : Qt::Key_Period;
    QKeyEvent fromKeypad(QEvent::KeyPress, key, Qt::KeypadModifier, other);
    QApplication::sendEvent(&edit, &fromKeypad);
    QKeyEvent fromMain(QEvent::KeyPress, key, Qt::NoModifier, other);
    QApplication::sendEvent(&edit, &fromMain);
    EXPECT_EQ(edit.Text(), "12" + DecimalSeparator());
    EXPECT_EQ(g_beeps, 2);
}

TEST_F(FloatEditTest, ChecksShowTheirMessage)
{
    ScriptedPresenter boxes;
    TFltEdit edit;
    edit.SetNzwPola("Długość");
    edit.SetText("");
    EXPECT_FALSE(edit.CheckValue());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, QString::fromUtf8("Błąd"));
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8("Proszę wypełnić pole  »Długość«"));

    edit.SetMinValue(1);
    edit.SetMaxValue(10);
    edit.SetText(Num("2.5"));
    EXPECT_TRUE(edit.CheckValue());
    EXPECT_FALSE(edit.CheckIntValue());
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(boxes.shown[1].text.endsWith("(min= " + Num("1.00") + "; max= " + Num("10.00") + " )"));

    // The length edit compares its millimetre value with the range.
    TFltEditU length;
    length.SetMaxValue(100);
    length.SetUnit(1);
    length.SetText("5");  // 127 mm
    EXPECT_FALSE(length.CheckValue());
}

TEST_F(FloatEditTest, KeypadKeysAndLayouts)
{
    TNumPadForm pad;
    EXPECT_TRUE(pad.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(pad.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    {
        KeypadAnswer answer({"5", "-", "-", "1", "CE", "2"}, true);
        EXPECT_EQ(pad.ShowModalAt(QPoint(10, 10)), mrOk);
        EXPECT_EQ(pad.Text(), "-52");
        EXPECT_EQ(answer.title, "-52");
        EXPECT_EQ(answer.display, "-52") << "the number shows inside the window";
        EXPECT_TRUE(answer.keysFit);
        // The keys of the small layout below the number; the right-hand keys as
        // wide as their captions need.
        EXPECT_EQ(answer.sevenGeometry, QRect(8, answer.keysTop, 22, 22));
        EXPECT_EQ(answer.okGeometry.topLeft(), QPoint(80, answer.keysTop + 72));
        EXPECT_GE(answer.okGeometry.width(), 41);
        EXPECT_EQ(answer.okGeometry.height(), 22);
    }
    {
        // Every showing starts empty; the large layout for touch use.
        pad.BigLayout = true;
        KeypadAnswer answer({"7"}, false);
        EXPECT_EQ(pad.ShowModalAt(QPoint(10, 10)), mrCancel);
        EXPECT_EQ(pad.Text(), "7");
        EXPECT_EQ(answer.okGeometry, QRect(224, answer.keysTop + 216, 57, 57));
        EXPECT_TRUE(answer.keysFit);
        EXPECT_EQ(answer.display, "7");
        EXPECT_EQ(answer.digitFontSize, 14);
        EXPECT_EQ(answer.okFontSize, 10);
    }
    {
        pad.BigLayout = false;
        KeypadAnswer answer({}, true);
        pad.ShowModalAt(QPoint(10, 10));
        EXPECT_EQ(answer.okFontSize, answer.digitFontSize);
        EXPECT_NE(answer.digitFontSize, 14);
    }
    QTimer::singleShot(20, [&pad] { QTest::keyClick(&pad, Qt::Key_Escape); });
    EXPECT_EQ(pad.ShowModalAt(QPoint(10, 10)), mrCancel);
}

TEST_F(FloatEditTest, KeypadNumberGoesThroughTheEdit)
{
    TFltEdit edit;
    edit.SetMaxValue(100);
    QSignalSpy edited(&edit, &NumericEdit::valueEdited);
    {
        KeypadAnswer answer({"5", "0", "0"}, true);
        edit.ShowNumPad();
    }
    EXPECT_EQ(edit.Text(), Num("100.00"));
    {
        KeypadAnswer answer({"7"}, false);
        edit.ShowNumPad();
    }
    EXPECT_EQ(edit.GetValue(), 100);
    EXPECT_EQ(edited.size(), 1);

    // Lengths are entered in the shown unit, and only when editable.
    TFltEditU length;
    length.SetUnit(1);
    KeypadAnswer answer({"2"}, true);
    length.ShowNumPad();
    EXPECT_DOUBLE_EQ(length.GetValue(), 50.8);
    length.setReadOnly(true);
    length.ShowNumPad();
    EXPECT_EQ(answer.opened, 1);

    // The float edits share the program's keypad.
    TNumPadForm shared;
    NumPadForm = &shared;
    TFloatEdit floatEdit;
    floatEdit.ShowNumPad();
    EXPECT_EQ(answer.pad, &shared);
    EXPECT_EQ(floatEdit.GetValue(), 2);
}

TEST_F(FloatEditTest, ClicksOpenTheKeypad)
{
    TFltEdit edit;
    edit.resize(80, 24);
    edit.show();
    QLineEdit* field = edit.findChild<QLineEdit*>();
    KeypadAnswer answer({}, false);
    QTest::mouseClick(field, Qt::LeftButton);
    EXPECT_EQ(answer.opened, 0);
    QTest::mouseDClick(field, Qt::LeftButton);
    EXPECT_EQ(answer.opened, 1);
    edit.SetJedenKlikKalkulator(true);
    QTest::mouseClick(field, Qt::LeftButton);
    EXPECT_EQ(answer.opened, 2);
}

TEST_F(FloatEditTest, KeypadOpensLeftOfAnEditAtTheScreensRightEdge)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget window;
    window.setGeometry(screen.right() - 90, screen.top() + 100, 80, 30);
    auto* edit = new TFltEdit(&window);
    edit->setGeometry(0, 0, 80, 24);
    edit->SetBigNumPad(true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPoint corner = edit->mapToGlobal(QPoint(0, 0));

    KeypadAnswer answer({}, false);
    edit->ShowNumPad();
    ASSERT_EQ(answer.opened, 1);
    EXPECT_EQ(answer.okGeometry.size(), QSize(57, 57));
    EXPECT_LT(answer.geometry.right(), corner.x());
    EXPECT_EQ(answer.geometry.top(), corner.y());

    // Away from the edges it opens at the edit's corner.
    window.move(screen.left() + 100, screen.top() + 100);
    QApplication::processEvents();
    edit->ShowNumPad();
    EXPECT_EQ(answer.geometry.topLeft(), edit->mapToGlobal(QPoint(0, 0)));
}

TEST_F(FloatEditTest, FormWideUnitsAndTouchInput)
{
    QWidget form;
    auto* inner = new QWidget(&form);
    auto* flt = new TFltEdit(&form);
    auto* fltU = new TFltEditU(inner);
    auto* flo = new TFloatEdit(&form);
    auto* floU = new TFloatEditU(inner);
    fltU->SetValue(1000);

    CurrentLengthUnit = 1;
    SetFormUnits(&form);
    EXPECT_EQ(fltU->Text(), Num("39.370"));
    EXPECT_EQ(floU->sunit(), 0);

    EnableTouchInput(&form);
    EXPECT_TRUE(flt->BigNumPad() && flt->JedenKlikKalkulator());
    EXPECT_TRUE(fltU->BigNumPad() && fltU->JedenKlikKalkulator());
    EXPECT_FALSE(flo->BigNumPad() || floU->JedenKlikKalkulator());

    // The settings file names the controls by their exact class.
    EXPECT_STREQ(fltU->metaObject()->className(), "TFltEditU");
    EXPECT_STREQ(floU->metaObject()->className(), "TFloatEditU");
}
