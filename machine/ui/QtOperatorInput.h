#pragma once
#include "machine/Clocks.h"
#include "machine/Machine.h"
#include "machine/OperatorInput.h"

#include <QObject>
#include <deque>

// The operator's input during a wait on the machine, over the real event
// queue: while a wait takes input, keys and mouse events are taken off the
// queue and dropped before any window sees them, and no timer runs.
class QtOperatorInput : public QObject, public OperatorInput {
public:
    QtOperatorInput();
    ~QtOperatorInput() override;
    PendingInput TakePending() override;
    // A wait is taking input off the queue right now.
    bool Taking() const { return m_taking; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_taking = false;
    std::deque<PendingInput> m_taken;
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
    RealClock m_clock;
    QtOperatorInput m_input;
    Machine m_machine{m_link, m_clock, m_input};
};
