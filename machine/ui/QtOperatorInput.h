#pragma once
#include "machine/Clocks.h"
#include "machine/Machine.h"
#include "machine/OperatorInput.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <deque>
#include <memory>
#include <vector>

// The operator's input during a wait on the machine, over the real event
// queue: while a wait takes input, keys and mouse events are taken off the
// queue and dropped before any window sees them, and no timer runs.
class QtOperatorInput : public QObject, public OperatorInput {
public:
    QtOperatorInput();
    ~QtOperatorInput() override;
    PendingInput TakePending() override;
    // A wait is taking input off the queue right now.
    bool Taking() const { return m_taking || m_painting; }
    // Lets the windows repaint in the middle of a wait: the operator's input
    // stays queued for afterwards, and no timer runs. Queued calls run: a
    // window one of them opens takes its input as usual, while the machine's
    // ticks stay held off (Taking) until the wait ends.
    void LetWindowsPaint();
    // The input held back while the windows painted goes to its windows now.
    void DeliverHeld();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A window opened while the windows paint (a box of a queued call):
    // its own input reaches it.
    bool OpenedWhilePainting(QObject* receiver) const;

    bool m_taking = false;
    bool m_painting = false;
    std::vector<QPointer<QWidget>> m_opened;
    std::deque<PendingInput> m_taken;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_held;
};

// The program's wall clock. Its sleeps (a heat-up, a travel to the table)
// keep the windows painted, though they act on no input and run no timer
// meanwhile.
class PaintingClock : public RealClock {
public:
    explicit PaintingClock(QtOperatorInput& input) : m_input(input) {}
    void Sleep(int ms) override;

private:
    QtOperatorInput& m_input;
    QElapsedTimer m_lastPaint;
};

// The program's machine: its link, the real clock and the operator's input.
// Until the USB link is attached the program has no way to the machine, so
// the machine shows as not connected.
class ProgramMachine {
public:
    Machine& Get() { return m_machine; }
    bool TakingInput() const { return m_input.Taking(); }
    // Back to no way to the machine (the USB link is going).
    void DetachLink() { m_machine.SetLink(m_link); }

private:
    NoMachineLink m_link;
    QtOperatorInput m_input;
    PaintingClock m_clock{m_input};
    Machine m_machine{m_link, m_clock, m_input};
};
