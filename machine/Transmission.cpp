#include "machine/Transmission.h"

#include "app/MainStatus.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/WholeFile.h"
#include "machine/CommandLayer.h"
#include "machine/JobState.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"

#include <cstring>

namespace {
// Big enough that a read rarely comes up, small beside any job.
constexpr size_t kBufferBytes = 64 * 1024;
const char* const kSpinner[4] = {"--", "\\", "|", "/"};
const QString kEnded = QStringLiteral("Transmisja zakonczona");
}  // namespace

Transmission::Transmission(Machine& machine) : m_machine(machine) {}

Transmission::~Transmission()
{
    if (m_timerId)
        m_machine.Clock().Cancel(m_timerId);
}

bool Transmission::Start(const QString& path)
{
    const bool wasRunning = m_running;
    if (m_timerId)
        m_machine.Clock().Cancel(m_timerId);
    m_timerId = 0;
    m_running = false;
    m_pausing = false;
    m_file.reset();
    ++m_generation;

    m_path = path;
    QString error;
    if (!Open(0, error)) {
        if (wasRunning)
            SetMainStatusText(kEnded);
        ShowMessageBox(Tr("Universal", "zbioruNieMoznaOtworzyc") + path + "\r\n" + error, true);
        return false;
    }
    m_sentCount = 0;
    m_delivered = 0;
    m_deliveredAt = 0;
    m_interrupted = false;
    m_goSent = false;
    // A STOP of an earlier job says nothing about this one.
    JobStopped = false;
    Run();
    return true;
}

bool Transmission::Resume()
{
    if (!m_interrupted || m_pausing || m_running)
        return false;
    // The file is the one the cut wrote; the commands before the first one
    // not delivered are in the controller already.
    QString error;
    if (!Open(m_deliveredAt, error))
        return false;
    m_sentCount = m_delivered;
    m_interrupted = false;
    ++m_generation;
    Run();
    return true;
}

bool Transmission::Open(int64_t at, QString& error)
{
    auto file = std::make_unique<InputFile>(m_path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !file->seek(at)) {
        error = file->errorString();
        return false;
    }
    m_file = std::move(file);
    m_fileSize = m_file->size();
    m_buffer.resize(kBufferBytes);
    m_bufferAt = m_bufferEnd = 0;
    m_consumed = at;
    m_eof = false;
    return true;
}

void Transmission::Run()
{
    m_interval = kNextBurstMs;
    m_running = true;
    // Inside a tick the tick schedules the next one when it returns.
    if (!m_inTick)
        ScheduleNext(m_interval);
}

void Transmission::Stop()
{
    if (!m_running)
        return;
    SetMainStatusText(kEnded);
    m_running = false;
    if (m_timerId)
        m_machine.Clock().Cancel(m_timerId);
    m_timerId = 0;
    m_file.reset();
    ++m_generation;
}

void Transmission::ScheduleNext(int ms)
{
    m_timerId = m_machine.Clock().Schedule(ms, [this] {
        m_timerId = 0;
        Tick();
    });
}

bool Transmission::Fill()
{
    if (m_bufferAt > 0) {
        const size_t left = m_bufferEnd - m_bufferAt;
        std::memmove(m_buffer.data(), m_buffer.data() + m_bufferAt, left);
        m_bufferAt = 0;
        m_bufferEnd = left;
    }
    while (!m_eof && m_bufferEnd < m_buffer.size()) {
        const qint64 n = m_file->read(m_buffer.data() + m_bufferEnd, static_cast<qint64>(m_buffer.size() - m_bufferEnd));
        if (n < 0)
            return false;
        if (n == 0)
            m_eof = true;
        m_bufferEnd += static_cast<size_t>(n);
        if (n > 0)
            break;
    }
    return true;
}

Transmission::Read Transmission::NextCommand(QByteArray& command)
{
    if (m_bufferAt == m_bufferEnd && !Fill())
        return Read::FileError;
    if (m_bufferAt == m_bufferEnd)
        return Read::End;
    const int length = CommandLength(m_buffer[m_bufferAt]);
    if (length <= 0)
        return Read::FileError;  // no command of the controller
    while (m_bufferEnd - m_bufferAt < static_cast<size_t>(length)) {
        const size_t had = m_bufferEnd - m_bufferAt;
        if (!Fill() || m_bufferEnd - m_bufferAt == had)
            return Read::FileError;  // the file ends inside the command
    }
    command.resize(length);
    std::memcpy(command.data(), m_buffer.data() + m_bufferAt, static_cast<size_t>(length));
    m_bufferAt += static_cast<size_t>(length);
    m_consumed += length;
    return Read::Command;
}

QString Transmission::Progress() const
{
    const double p = m_fileSize > 0 ? RoundEven(static_cast<double>(m_consumed) * 100.0 / static_cast<double>(m_fileSize))
                                    : 100.0;
    return QStringLiteral("przeslano ") + QString::number(static_cast<int64_t>(p)) + QStringLiteral("% ");
}

void Transmission::FileError()
{
    const QString path = m_path;
    Stop();
    ShowMessageBox(Tr("Control", "plikRozkazowUszkodzony") + "\r\n" + path, true);
}

void Transmission::SendPause()
{
    // "Q" needs no status: sent blind, it is the one command that can only
    // stop the machine. A failure is told by the box that follows the pause.
    (void)WriteCommand(m_machine, "Q");
}

void Transmission::LinkLost(int code)
{
    Stop();
    // The controller runs on through what it holds: the pause goes first,
    // the operator is told after it.
    m_interrupted = true;
    m_pausing = true;
    m_boxShown = false;
    m_failCode = code;
    m_pauseSinceMs = m_machine.Clock().NowMs();
    JobRunning = false;
    m_machine.ArmSideCut(false);
    SendPause();
    SchedulePauseTick();
}

void Transmission::SchedulePauseTick()
{
    m_timerId = m_machine.Clock().Schedule(kPauseRetryMs, [this] {
        m_timerId = 0;
        PauseTick();
    });
}

void Transmission::PauseTick()
{
    if (!m_pausing)
        return;
    bool settled = false;
    if (m_machine.TicksHeldOff()) {
        // Another tick's box must not hold the pause back; a wait in the
        // middle of its exchange is not broken into.
        if (!m_machine.WaitHoldsTicks())
            SendPause();
    } else {
        const Machine::TickMark mark(m_machine);
        if (ReadStatus(m_machine) && m_machine.Connected() &&
            (PlotState.Paused() || !PlotState.JobWorking() || PlotState.WaitsForGo()))
            settled = !m_settlePause || m_settlePause();
        else
            SendPause();
    }
    if (settled)
        m_pausing = false;
    else
        SchedulePauseTick();
    if (!m_boxShown && (settled || m_machine.Clock().NowMs() - m_pauseSinceMs >= kLostLinkBoxMs)) {
        // Outside any tick: while the box waits, "Q" goes on until it is heard.
        m_boxShown = true;
        ShowMessageBox(Tr("Control", "ploterBrakLacznosci"), true,
                       m_failCode ? QString::number(m_failCode) : QString());
    }
}

void Transmission::Tick()
{
    if (!m_running || m_inTick)
        return;
    if (m_timerId) {
        m_machine.Clock().Cancel(m_timerId);
        m_timerId = 0;
    }
    // Inside another tick, a planner run or a machine wait: nothing is sent now.
    if (m_machine.TicksHeldOff()) {
        ScheduleNext(kHeldOffMs);
        return;
    }
    const Machine::TickMark mark(m_machine);
    m_inTick = true;
    const uint64_t generation = m_generation;
    // Whatever a box inside the tick did (a stop, a new start), this tick
    // leaves the transfer as it found it from then on.
    const auto changed = [&] { return generation != m_generation; };
    const auto sendGo = [&] {
        const int code = WriteCommand(m_machine, "G");
        if (changed())
            return false;
        if (code != 0) {
            LinkLost(code);
            return false;
        }
        m_goSent = true;
        JobRunning = true;
        return true;
    };

    [&] {
        if (m_bufferAt == m_bufferEnd) {
            if (!Fill()) {
                FileError();
                return;
            }
            if (m_bufferAt == m_bufferEnd) {
                if (!m_goSent && !sendGo())
                    return;
                Stop();
                return;
            }
        }

        // A status that was not read says nothing of the buffer: a burst on
        // its zeros would go into a full controller and be lost.
        if (!ReadStatus(m_machine) || !m_machine.Connected()) {
            LinkLost(0);
            return;
        }
        if (PlotState.BufferFull()) {
            m_interval = kBufferFullMs;
            SetMainStatusText(Progress());
            return;
        }

        m_interval = kInBurstMs;
        QByteArray command;
        for (int burst = 0; burst < kBurstCommands; ++burst) {
            const Read read = NextCommand(command);
            if (read == Read::End)
                break;
            if (read == Read::FileError) {
                FileError();
                return;
            }
            ++m_sentCount;
            const int code = WriteCommand(m_machine, command);
            if (changed())
                return;
            if (code != 0) {
                // Not in the controller: the rest starts with this one.
                --m_sentCount;
                LinkLost(code);
                return;
            }
            m_delivered = m_sentCount;
            m_deliveredAt = m_consumed;
            if (m_sentCount == kGoAfterCommands && !m_goSent && !sendGo())
                return;
        }
        m_spinner = (m_spinner + 1) & 3;
        SetMainStatusText(Progress() + kSpinner[m_spinner]);
        m_interval = kNextBurstMs;
    }();

    m_inTick = false;
    if (m_running && !m_timerId)
        ScheduleNext(m_interval);
}
