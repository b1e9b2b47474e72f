#include "app/MainStatus.h"
#include "app/Translator.h"
#include "machine/SimulatedController.h"
#include "machine/Transmission.h"
#include "machine/WireSelection.h"
#include "machine/ui/MachineForms.h"
#include "machine/ui/QtOperatorInput.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
class ControlPanelWindowTest : public MachineWorldTest {
protected:
    void SetUp() override
    {
        App();
        MachineWorldTest::SetUp();
        WireSelection() = TsterModel();
    }
    void TearDown() override
    {
        WireSelection() = TsterModel();
        MachineWorldTest::TearDown();
    }
    int Sent(const SimulatedController& sim, char letter) const
    {
        int n = 0;
        for (const auto& r : sim.Reports())
            n += r[0] == static_cast<uint8_t>(letter);
        return n;
    }
    ScriptedPresenter boxes;
};

TEST_F(ControlPanelWindowTest, KeysOnThePanelJogTheMachineAndTheirReleaseStopsIt)
{
    VirtualClock clock;
    QtOperatorInput input;
    SimulatedController sim(clock);
    SimulatedLink link(sim);
    Machine machine(link, clock, input);
    Transmission transfer(machine);
    Tster panel(nullptr, machine, transfer);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    const int moves = Sent(sim, 'A'), stops = Sent(sim, 'Y');
    QTest::keyPress(&panel, Qt::Key_Left);
    EXPECT_GT(Sent(sim, 'A'), moves);
    EXPECT_TRUE(panel.Input().Jogging());
    QTest::keyRelease(&panel, Qt::Key_Left);
    EXPECT_EQ(Sent(sim, 'Y'), stops + 1);
    EXPECT_FALSE(panel.Input().Jogging());

    // The keypad's 8 jogs; the main keyboard's 8 does not.
    QTest::keyPress(&panel, Qt::Key_8);
    EXPECT_FALSE(panel.Input().Jogging());
    QTest::keyRelease(&panel, Qt::Key_8);
    QTest::keyPress(&panel, Qt::Key_8, Qt::KeypadModifier);
    EXPECT_TRUE(panel.Input().Jogging());
    // A wait on the machine takes the release off the queue: the jog still
    // ends; an auto-repeated release taken so does not end it.
    auto release = [&](bool autoRepeat) {
        QCoreApplication::postEvent(&panel, new QKeyEvent(QEvent::KeyRelease, Qt::Key_8, Qt::KeypadModifier,
                                                          QString(), autoRepeat));
        while (input.TakePending() != PendingInput::None) {
        }
        clock.Advance(PanelInput::kReleaseCheckMs);
    };
    release(true);
    EXPECT_TRUE(panel.Input().Jogging());
    // Nor does the held key's repeat abort what waits.
    QCoreApplication::postEvent(&panel, new QKeyEvent(QEvent::KeyPress, Qt::Key_8, Qt::KeypadModifier, QString(), true));
    EXPECT_EQ(input.TakePending(), PendingInput::Other);
    release(false);
    EXPECT_FALSE(panel.Input().Jogging());
    EXPECT_EQ(Sent(sim, 'Y'), stops + 2);

    // Hiding the panel ends the jog.
    QTest::keyPress(&panel, Qt::Key_8, Qt::KeypadModifier);
    EXPECT_TRUE(panel.Input().Jogging());
    panel.hide();
    EXPECT_FALSE(panel.Input().Jogging());
    EXPECT_EQ(Sent(sim, 'Y'), stops + 3);
    EXPECT_TRUE(boxes.shown.empty());

    // A link lost while the panel shows closes it, and the status bar says why.
    ScopedTranslator translator;
    SetMainStatusText(QString());
    panel.show();
    QApplication::setActiveWindow(&panel);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    link.SetPresent(false);
    QTest::qWait(ControlPanel::kLinkIntervalMs + 20);  // the keys' time to the link has passed
    panel.Panel().Tick();
    EXPECT_TRUE(panel.isHidden());
    EXPECT_EQ(MainStatusText(), Tr("Control", "ploterBrakLacznosci"));
    EXPECT_TRUE(boxes.shown.empty()) << "told once, in the status bar";
}

// A heat-up or a travel to the table sleeps on the interface thread: the
// windows repaint meanwhile, but the operator's keys wait for its end.
TEST_F(ControlPanelWindowTest, ALongSleepRepaintsTheWindowsAndHoldsTheKeys)
{
    QtOperatorInput input;
    PaintingClock clock(input);
    struct Counting : QWidget {
        int paints = 0, keys = 0;
        void paintEvent(QPaintEvent*) override { ++paints; }
        void keyPressEvent(QKeyEvent*) override { ++keys; }
    } window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    const int paints = window.paints;
    window.update();
    QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    bool ticked = false;
    QTimer::singleShot(1, Qt::PreciseTimer, &window, [&] { ticked = true; });
    clock.Sleep(100);
    EXPECT_GT(window.paints, paints);
    EXPECT_EQ(window.keys, 0);
    EXPECT_FALSE(ticked) << "no timer runs inside the sleep";
    QCoreApplication::processEvents();
    EXPECT_EQ(window.keys, 1) << "the key is handled after the sleep, not lost";
    EXPECT_TRUE(ticked);
}

// A reader's "finished" handler, queued, may open a box in the middle of a
// sleep's painting: the box takes the operator's keys at once, while the
// machine's ticks stay held off until the sleep ends.
TEST_F(ControlPanelWindowTest, ABoxOpenedWhileASleepPaintsTakesItsKeys)
{
    QtOperatorInput input;
    PaintingClock clock(input);
    int result = -1;
    bool heldOff = false;
    QMetaObject::invokeMethod(
        qApp,
        [&] {
            QDialog box;
            // Only so that a box deaf to its keys can't hang the test.
            QTimer::singleShot(2000, &box, [&box] {
                box.setResult(42);
                box.hide();
            });
            QTimer::singleShot(0, &box, [&] {
                heldOff = input.Taking();
                QTest::keyClick(&box, Qt::Key_Escape);
            });
            result = box.exec();
        },
        Qt::QueuedConnection);
    clock.Sleep(100);
    EXPECT_EQ(result, QDialog::Rejected) << "Escape answered the box";
    EXPECT_TRUE(heldOff) << "no machine tick inside the sleep";
    EXPECT_FALSE(input.Taking());
}
}  // namespace
