#pragma once
#include <cstdint>
#include <functional>

// Time for everything that talks to the machine: sleeps, polling waits and
// timers. The program runs on the real clock; tests on a virtual one, on which
// the simulated controller moves, so no test waits for real time.
class MachineClock {
public:
    virtual ~MachineClock() = default;
    // Milliseconds since an arbitrary start; never goes back.
    virtual int64_t NowMs() const = 0;
    // Blocks for ms (the virtual clock moves on by ms and runs what falls due).
    virtual void Sleep(int ms) = 0;
    // Runs `callback` once after ms, from the event loop (the virtual clock: when
    // time passes that point). Returns an id for Cancel.
    virtual int Schedule(int ms, std::function<void()> callback) = 0;
    virtual void Cancel(int id) = 0;
};
