#pragma once
#include <deque>

// What the operator did while the program waits on the machine.
enum class PendingInput {
    None,   // nothing was waiting
    Other,  // some input (a key release, a mouse move, ...), dropped
    Abort,  // a key press or a left mouse click: abortable waits stop on it
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
        return next;
    }
    std::deque<PendingInput> queue;
    int polls = 0;
};
