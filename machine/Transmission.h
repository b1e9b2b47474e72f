#pragma once
#include "machine/Machine.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Streams a machine command file to the controller on the machine's clock:
// bursts of at most 100 commands, each cut from the file by its letter's
// length, while the controller has room; "G" once per transfer, after the
// 17th command or at the end of a shorter file. Progress goes to the main
// status bar.
//
// The file is read through a buffer of fixed size, so a job of any length
// takes the same memory. Ticks never overlap: the next one is scheduled only
// when a tick has returned, so a box shown inside a tick (whose message loop
// lets timers fire) can't start another.
class Transmission {
public:
    // Timer intervals: between bursts, while a burst runs, while the
    // controller's buffer is full.
    static constexpr int kNextBurstMs = 1;
    static constexpr int kInBurstMs = 1000;
    static constexpr int kBufferFullMs = 50;
    static constexpr int kBurstCommands = 100;
    static constexpr int kGoAfterCommands = 17;
    // A tick that falls inside a wait taking input comes back after this.
    static constexpr int kHeldOffMs = 20;

    explicit Transmission(Machine& machine);
    ~Transmission();
    Transmission(const Transmission&) = delete;
    Transmission& operator=(const Transmission&) = delete;

    // A lost link (a status that could not be read, a write that failed)
    // cuts the transfer: nothing more of the file goes, "Q" goes out at once
    // and again every kPauseRetryMs until a status read shows the job paused
    // or ended. Then this completes the pause (the positions it stopped at,
    // the heater off); false when it could not yet, and it is asked again at
    // the next retry. One lost-link box follows the pause, or comes after
    // kLostLinkBoxMs if the machine does not answer; "Q" goes on meanwhile.
    void SetSettlePause(std::function<bool()> settle) { m_settlePause = std::move(settle); }
    static constexpr int kPauseRetryMs = 50;
    static constexpr int kLostLinkBoxMs = 1000;

    // Opens `path` and starts a new transfer from its beginning (a running one
    // is given up). A file that can't be opened or sized is told in an error
    // box and nothing starts (false).
    bool Start(const QString& path);
    // Ends a running transfer: "Transmisja zakonczona", the timer off, the file
    // closed. Nothing when no transfer runs.
    void Stop();
    // Takes up a transfer a lost link cut, from the first command that did
    // not reach the controller. Only for a job the controller holds paused;
    // false (nothing runs, nothing told) when no cut transfer waits or the
    // file can't be opened again.
    bool Resume();
    // A lost link seen outside the transfer while a cut runs: paused as
    // above, once (nothing when the pause is being sent already).
    void PauseLostCut()
    {
        if (!m_pausing)
            LinkLost(0);
    }
    // One tick of the timer (the clock calls it; tests may call it directly).
    void Tick();

    // The timer is enabled: a transfer runs.
    bool Running() const { return m_running; }
    int Interval() const { return m_interval; }
    int64_t SentCount() const { return m_sentCount; }
    bool GoSent() const { return m_goSent; }
    // Commands of the file that reached the controller.
    int64_t DeliveredCount() const { return m_delivered; }
    // A lost link cut the transfer; its rest waits for Resume.
    bool Interrupted() const { return m_interrupted; }
    // "Q" is still being sent after a lost link.
    bool Pausing() const { return m_pausing; }

private:
    enum class Read { Command, End, FileError };
    // Opens the file of the transfer at byte `at`; the reason in `error`.
    bool Open(int64_t at, QString& error);
    // The timer on from the next burst.
    void Run();
    Read NextCommand(QByteArray& command);
    bool Fill();
    int64_t Position() const { return m_consumed; }
    QString Progress() const;
    void FileError();
    // The link lost in the transfer: `code` of the failed write, 0 for a
    // status that could not be read.
    void LinkLost(int code);
    void SendPause();
    void PauseTick();
    void SchedulePauseTick();
    void ScheduleNext(int ms);

    Machine& m_machine;
    std::function<bool()> m_settlePause;
    std::unique_ptr<QFile> m_file;
    QString m_path;
    int64_t m_fileSize = 0;
    std::vector<char> m_buffer;
    size_t m_bufferAt = 0, m_bufferEnd = 0;
    int64_t m_consumed = 0;  // bytes of the file taken as commands
    bool m_eof = false;
    int64_t m_sentCount = 0;
    // Commands that reached the controller, and the file position after them.
    int64_t m_delivered = 0;
    int64_t m_deliveredAt = 0;
    bool m_interrupted = false;
    bool m_pausing = false;
    bool m_boxShown = true;
    int m_failCode = 0;
    int64_t m_pauseSinceMs = 0;
    bool m_goSent = false;
    uint8_t m_spinner = 0;
    int m_interval = kNextBurstMs;
    bool m_running = false;
    bool m_inTick = false;
    int m_timerId = 0;
    // Goes up with every start and stop, so a tick that comes back from a box
    // during which the transfer was stopped or restarted touches nothing more.
    uint64_t m_generation = 0;
};
