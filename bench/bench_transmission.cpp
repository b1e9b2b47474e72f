// The transmission of the command file.
//
// (1) Its own time per command, against a link that costs nothing.
// (2) A cut of many 0.5 mm segments of both carriages streamed on virtual time
//     to the simulated controller over a link that takes 1 ms for every report
//     and every reply read: between the first "G" and the end of the file the
//     job memory must never run empty nor overflow. Reports the lowest fill
//     and the highest cutting speed at which the memory still never runs empty.
//
//   bench_transmission [vertices for (2), 1000000] [vertices for (1), 200000]
#include "bench/BenchMemory.h"
#include "app/MessageBoxes.h"
#include "machine/Bytes.h"
#include "machine/Clocks.h"
#include "machine/Machine.h"
#include "machine/MoveCommands.h"
#include "machine/OperatorInput.h"
#include "machine/SimulatedController.h"
#include "machine/Transmission.h"

#include <QFile>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {
class Silent : public MessagePresenter {
public:
    void Show(const MessageRequest& r) override
    {
        ++shown;
        std::fprintf(stderr, "box: %s\n", r.text.toUtf8().constData());
    }
    int Ask(const MessageRequest&) override { return mrCancel; }
    int shown = 0;
};

// A machine that takes everything at once and never has its buffer full.
class FreeLink : public ControllerLink {
public:
    bool MachineFound() override { return true; }
    int Write(const QByteArray&) override { return 0; }
    int ReadString(int) override { return 0; }
    const ReplyBlock& Reply() const override { return m_reply; }
    void SetLinkChanged(std::function<void(bool)>) override {}
    bool DeviceStrings(QString&, QString&, QString&) override { return false; }

private:
    ReplyBlock m_reply{};
};

// The simulated controller behind a link of 1 ms per report and per reply
// read (a full-speed HID device answers about 1000 reports a second). It
// watches the job memory after every exchange while `watching`.
class SlowLink : public ControllerLink {
public:
    SlowLink(SimulatedController& sim, VirtualClock& clock, size_t memory) : m_sim(sim), m_clock(clock), m_memory(memory) {}
    bool MachineFound() override { return true; }
    int Write(const QByteArray& command) override
    {
        for (qsizetype at = 0; at < command.size(); at += 16) {
            std::array<uint8_t, 16> payload{};
            const qsizetype n = std::min<qsizetype>(16, command.size() - at);
            std::copy_n(reinterpret_cast<const uint8_t*>(command.constData()) + at, n, payload.begin());
            m_sim.OutputReport(payload);
            m_clock.Advance(1);
            Watch();
        }
        if (command == "G")
            watching = true;
        return 0;
    }
    int ReadString(int index) override
    {
        std::vector<uint8_t> body;
        m_reply.fill(0);
        const bool ok = m_sim.StringDescriptor(index, body);
        std::copy_n(body.begin(), std::min(body.size(), m_reply.size()), m_reply.begin());
        m_clock.Advance(1);
        Watch();
        return ok ? 0 : 9;
    }
    const ReplyBlock& Reply() const override { return m_reply; }
    void SetLinkChanged(std::function<void(bool)>) override {}
    bool DeviceStrings(QString&, QString&, QString&) override { return false; }

    bool watching = false;
    size_t lowestFill = SIZE_MAX, highestFill = 0;
    long emptySamples = 0;

private:
    void Watch()
    {
        if (!watching)
            return;
        const size_t fill = m_memory - m_sim.FreeSlots();
        lowestFill = std::min(lowestFill, fill);
        highestFill = std::max(highestFill, fill);
        if (fill == 0)
            ++emptySamples;
    }
    SimulatedController& m_sim;
    VirtualClock& m_clock;
    size_t m_memory;
    ReplyBlock m_reply{};
};

// A closed square of 0.5 mm segments (30 and 40 hundredths) for both
// carriages, at `speed` mm/min; written in blocks, never whole in memory.
bool WriteJob(const std::string& path, long vertices, double speed, long& commands)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const int32_t dx[4] = {30, -30, -30, 30}, dy[4] = {40, 40, -40, -40};
    int64_t length = 0;
    BuildMove4('a', 2, dx[0], dx[0], dy[0], dy[0], 0, 0, 0, 0, length);
    // A 0.5 mm segment takes 0.5 / speed minutes; a move lasts its length
    // times the period in 0.8 us.
    const double us = 0.5 / speed * 60e6;
    const auto period = static_cast<uint16_t>(std::clamp<long>(std::lround(us / 0.8 / static_cast<double>(length)), 1, 65535));
    QByteArray block = Bytes({'v', 0}) + Int16ToBytes(static_cast<int16_t>(period)) + Bytes({'f', 0});
    commands = 2;
    for (long v = 0; v < vertices; ++v) {
        const int k = static_cast<int>(v & 3);
        const QByteArray move = BuildMove4('a', 2, dx[k], dx[k], dy[k], dy[k], 0, 0, 0, 0, length);
        block += move;
        commands += move.size() / 6;
        if (block.size() > (1 << 20)) {
            if (f.write(block) != block.size())
                return false;
            block.clear();
        }
    }
    return f.write(block) == block.size();
}

struct StreamResult {
    bool finished = false;
    size_t lowestFill = 0, highestFill = 0;
    long emptySamples = 0;
    int overruns = 0, starvations = 0;
    double virtualSeconds = 0, seconds = 0;
    bool Clean() const { return finished && emptySamples == 0 && overruns == 0 && starvations == 0; }
};

StreamResult Stream(const std::string& path, size_t memory)
{
    VirtualClock clock;
    SimulatedMachineSetup setup;
    setup.jobMemory = memory;
    SimulatedController sim(clock, setup);
    SlowLink link(sim, clock, memory);
    ScriptedInput input;
    Machine machine(link, clock, input);
    Transmission tx(machine);
    StreamResult r;
    const auto start = std::chrono::steady_clock::now();
    if (!tx.Start(QString::fromStdString(path)))
        return r;
    while (tx.Running())
        clock.Advance(1);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.virtualSeconds = static_cast<double>(clock.NowMs()) / 1000.0;
    r.finished = true;
    r.lowestFill = link.lowestFill;
    r.highestFill = link.highestFill;
    r.emptySamples = link.emptySamples;
    r.overruns = sim.Count(SimEvent::Overrun);
    r.starvations = sim.Count(SimEvent::Starvation);
    return r;
}
}  // namespace

int main(int argc, char** argv)
{
    const long vertices = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long ownVertices = argc > 2 ? std::atol(argv[2]) : 200000;
    Silent silent;
    SetMessagePresenter(&silent);
    const std::string path = (std::filesystem::temp_directory_path() / "bench_transmission.cn").string();
    const size_t memory = SimulatedMachineSetup().jobMemory;
    int failures = 0;

    // (1) The transmission's own work.
    {
        long commands = 0;
        if (!WriteJob(path, ownVertices, 1000, commands))
            return 2;
        VirtualClock clock;
        FreeLink link;
        ScriptedInput input;
        Machine machine(link, clock, input);
        Transmission tx(machine);
        const long before = CurrentRssKb();
        ResetPeak();
        const auto start = std::chrono::steady_clock::now();
        tx.Start(QString::fromStdString(path));
        while (tx.Running())
            tx.Tick();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double perCommand = seconds * 1e6 / static_cast<double>(tx.SentCount());
        std::printf("(1) %ld commands (%.1f MB) in %.3f s: %.3f us per command (target < 5 us) %s; "
                    "memory while sending %+.1f MB\n",
                    static_cast<long>(tx.SentCount()), static_cast<double>(std::filesystem::file_size(path)) / 1e6,
                    seconds, perCommand, perCommand < 5 ? "ok" : "TOO SLOW",
                    static_cast<double>(PeakRssKb() - before) / 1024.0);
        if (tx.SentCount() != commands || perCommand >= 5)
            ++failures;
    }

    // (2) The job at 1000 mm/min.
    {
        long commands = 0;
        if (!WriteJob(path, vertices, 1000, commands))
            return 2;
        const StreamResult r = Stream(path, memory);
        std::printf("(2) %ld vertices, %ld commands at 1000 mm/min, job memory %zu: %s; after the first G "
                    "the fill stayed within %zu..%zu commands, %ld empty samples, %d overruns, %d starvations "
                    "(%.0f s virtual, %.1f s real)\n",
                    vertices, commands, memory, r.Clean() ? "never empty, never overflowed" : "FAILED",
                    r.lowestFill, r.highestFill, r.emptySamples, r.overruns, r.starvations, r.virtualSeconds,
                    r.seconds);
        if (!r.Clean())
            ++failures;
    }

    // The highest speed at which the memory still never runs empty, to 10
    // mm/min, on a shorter job of the same segments.
    {
        const long shortVertices = std::min(vertices, 20000L);
        long commands = 0;
        double low = 1000, high = 20000;
        for (int i = 0; i < 12 && high - low > 10; ++i) {
            const double speed = (low + high) / 2;
            if (!WriteJob(path, shortVertices, speed, commands))
                return 2;
            (Stream(path, memory).Clean() ? low : high) = speed;
        }
        std::printf("    highest speed without the memory running empty: about %.0f mm/min "
                    "(%ld-vertex job, %.0f commands/s consumed)\n",
                    low, shortVertices, low / 60.0 / 0.5 * 6);
    }
    std::filesystem::remove(path);
    return failures ? 1 : 0;
}
