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

    // Pauses the running job (heater off); called once when a write of the
    // transfer failed or the link was lost.
    void SetPauseJob(std::function<void()> pauseJob) { m_pauseJob = std::move(pauseJob); }

    // Opens `path` and starts a new transfer from its beginning (a running one
    // is given up). A file that can't be opened or sized is told in an error
    // box and nothing starts (false).
    bool Start(const QString& path);
    // Ends a running transfer: "Transmisja zakonczona", the timer off, the file
    // closed. Nothing when no transfer runs.
    void Stop();
    // One tick of the timer (the clock calls it; tests may call it directly).
    void Tick();

    // The timer is enabled: a transfer runs.
    bool Running() const { return m_running; }
    int Interval() const { return m_interval; }
    int64_t SentCount() const { return m_sentCount; }
    bool GoSent() const { return m_goSent; }

private:
    enum class Read { Command, End, FileError };
    Read NextCommand(QByteArray& command);
    bool Fill();
    int64_t Position() const { return m_consumed; }
    QString Progress() const;
    void FileError();
    void WriteFailed();
    void LinkLost();
    void ScheduleNext(int ms);

    Machine& m_machine;
    std::function<void()> m_pauseJob;
    std::unique_ptr<QFile> m_file;
    QString m_path;
    int64_t m_fileSize = 0;
    std::vector<char> m_buffer;
    size_t m_bufferAt = 0, m_bufferEnd = 0;
    int64_t m_consumed = 0;  // bytes of the file taken as commands
    bool m_eof = false;
    int64_t m_sentCount = 0;
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
