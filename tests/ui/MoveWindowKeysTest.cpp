#include "machine/ui/MoveForms.h"
#include "tests/support/ScriptedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {
class MoveWindowKeysTest : public MachineWorldTest {};

// The service tests' buttons lie below the window's client area: only their
// mnemonics start them.
TEST_F(MoveWindowKeysTest, AltGAndAltTStartTheTestsWhoseButtonsLieOutOfSight)
{
    App();
    ScopedTranslator translator;
    ScriptedPresenter boxes;
    ScriptedLink link;
    TestMachine t{link};
    Tprzesun window(nullptr, t.machine);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    t.input.queue = {PendingInput::Abort};
    QTest::keyClick(&window, Qt::Key_G, Qt::AltModifier);
    QTest::qWait(250);  // a mnemonic clicks its button as a short animation
    ASSERT_FALSE(link.writes.empty());
    EXPECT_EQ(link.writes.front()[0], 'R');

    t.input.queue = {PendingInput::Abort};
    QTest::keyClick(&window, Qt::Key_T, Qt::AltModifier);
    QTest::qWait(250);
    EXPECT_TRUE(window.Wykonaj->text().contains('/')) << "the link test's counts";
    EXPECT_TRUE(boxes.shown.empty());
}

// Polish texts are the longest: the window grows with them.
TEST_F(MoveWindowKeysTest, PolishTextsAreShownWhole)
{
    App();
    ScopedTranslator translator("PL");
    ScriptedPresenter boxes;
    ScriptedLink link;
    TestMachine t{link};
    Tprzesun move(nullptr, t.machine);
    move.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&move));
    EXPECT_GE(move.toCoordinates->width(), move.toCoordinates->sizeHint().width());
    EXPECT_GE(move.findChild<QPushButton*>("test")->y(), move.height()) << "the service tests stay out of sight";
}
}  // namespace

// A double click on a base point goes to it, as its button does: the first
// click must not refill the list under the mouse.
TEST_F(MoveWindowKeysTest, ADoubleClickOnABasePointGoesToIt)
{
    App();
    ScopedTranslator translator;
    ScriptedLink link;
    TestMachine t{link};
    int asked = 0;
    TPunkty_bazowe window(nullptr, t.machine, [&asked]() -> MachineOperations* {
        ++asked;
        return nullptr;
    });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_GT(window.lista->count(), 0);
    const QPoint at = window.lista->visualItemRect(window.lista->item(0)).center();
    QTest::mouseClick(window.lista->viewport(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(window.ustaw->isEnabled());
    QTest::mouseDClick(window.lista->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(asked, 1);
}
