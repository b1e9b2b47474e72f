#pragma once
#include <cstdint>
#include <deque>

// What the operator did while the program waits on the machine.
enum class PendingInput {
    None,   // nothing was waiting
    Other,    // some input (a mouse move, an auto-repeated key, ...), dropped
    Abort,    // a key press or a left mouse click: abortable waits stop on it
    Release,  // a key or a mouse button let go, dropped
};

// The operator's input during the waits that watch the machine. Such a wait
// takes input off the queue without acting on it: no window reacts and no
// timer of the program runs meanwhile. The windows install one over the real
// event queue; tests script it.
class OperatorInput {
public:
    virtual ~OperatorInput() = default;
    // Takes the oldest pending input off the queue, unhandled, and tells what
    // it was.
    virtual PendingInput TakePending() = 0;
    // How many key or button releases the waits have dropped so far: a jog
    // whose release one of them took must still be stopped.
    uint64_t ReleasesTaken() const { return m_releasesTaken; }

protected:
    // Counts a release as dropped.
    void ReleaseTaken() { ++m_releasesTaken; }

private:
    uint64_t m_releasesTaken = 0;
};

// Input given in advance: each poll takes the next entry, then None.
class ScriptedInput : public OperatorInput {
public:
    PendingInput TakePending() override
    {
        ++polls;
        if (queue.empty())
            return PendingInput::None;
        const PendingInput next = queue.front();
        queue.pop_front();
        if (next == PendingInput::Release)
            ReleaseTaken();
        return next;
    }
    std::deque<PendingInput> queue;
    int polls = 0;
};
