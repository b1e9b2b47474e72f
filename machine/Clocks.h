#pragma once
#include "machine/MachineClock.h"

#include <QElapsedTimer>
#include <map>
#include <memory>

// Wall-clock time; callbacks run from the Qt event loop.
class RealClock : public MachineClock {
public:
    RealClock();
    ~RealClock() override;
    int64_t NowMs() const override;
    void Sleep(int ms) override;
    int Schedule(int ms, std::function<void()> callback) override;
    void Cancel(int id) override;

private:
    QElapsedTimer m_started;
    int m_nextId = 1;
    std::map<int, std::unique_ptr<class QTimer>> m_timers;
};

// Time that moves only when told to (Sleep or Advance), running what falls due
// in order of due time, then of scheduling.
class VirtualClock : public MachineClock {
public:
    enum class SleepMode {
        // Sleep runs what falls due on the way, as Advance does.
        RunsDue,
        // Sleep only lets time pass, as the real clock's does (it runs no event
        // loop): what fell due meanwhile runs at the next Advance. Waits that
        // a device notice or a timer should end show here whether they would
        // end on the real clock.
        Blocks,
    };
    explicit VirtualClock(SleepMode mode = SleepMode::RunsDue) : m_sleepMode(mode) {}
    int64_t NowMs() const override { return m_now; }
    void Sleep(int ms) override;
    int Schedule(int ms, std::function<void()> callback) override;
    void Cancel(int id) override;
    // Moves time on by ms, running every callback that falls due on the way,
    // each at its own time (callbacks may schedule more).
    void Advance(int64_t ms);
    size_t Pending() const { return m_due.size(); }

private:
    struct Key {
        int64_t at;
        int id;
        bool operator<(const Key& o) const { return at != o.at ? at < o.at : id < o.id; }
    };
    SleepMode m_sleepMode;
    int64_t m_now = 0;
    int m_nextId = 1;
    std::map<Key, std::function<void()>> m_due;
};
