#include "app/MainStatus.h"
#include "app/Translator.h"
#include "machine/Bytes.h"
#include "machine/JobState.h"
#include "machine/MachineOperations.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"
#include "machine/SimulatedController.h"
#include "machine/Transmission.h"
#include "tests/support/CommandFile.h"
#include "tests/support/FakeLink.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <QTemporaryDir>
#include <memory>
#include <random>
#include <gtest/gtest.h>

namespace {
// Records the transmission's interval at every write: the interval a burst
// runs under.
class WatchedLink : public FakeLink {
public:
    int Write(const QByteArray& bytes) override
    {
        intervals.push_back(watched ? watched->Interval() : 0);
        return FakeLink::Write(bytes);
    }
    Transmission* watched = nullptr;
    std::vector<int> intervals;
};

// A box that lets time pass while it is open, as a real one's message loop
// lets timers fire.
class OpenBoxes : public ScriptedPresenter {
public:
    void Show(const MessageRequest& request) override
    {
        ScriptedPresenter::Show(request);
        statusAtBox.push_back(MainStatusText());
        if (whileOpen)
            whileOpen();
    }
    std::function<void()> whileOpen;
    std::vector<QString> statusAtBox;
};

QByteArray Dwells(int n)
{
    QByteArray file;
    for (int i = 0; i < n; ++i)
        file += Bytes({'p', static_cast<uint8_t>(i)});
    return file;
}

// The job memory's reports as the commands they hold.
std::vector<QByteArray> Received(const SimulatedController& sim)
{
    std::vector<QByteArray> received;
    for (const auto& r : sim.Reports())
        if (r[0] >= 'a' && r[0] <= 'z')
            received.push_back(QByteArray(reinterpret_cast<const char*>(r.data()), CommandLength(static_cast<char>(r[0]))));
    return received;
}

// A cut of `moves` short moves of both carriages at 100 mm/min, a dwell after
// every tenth: every command differs from the one before, so one sent twice
// shows.
QByteArray CutFile(int moves)
{
    QByteArray file = Bytes({'v', 0}) + Int16ToBytes(3750) + Bytes({'f', 0});
    for (int i = 0; i < moves; ++i) {
        int64_t length = 0;
        const int32_t dx = 20 + i % 37, dy = (i % 5 - 2) * 7;
        file += BuildMove4('a', 2, dx, dx, dy, dy, 0, 0, 0, 0, length);
        if (i % 10 == 9)
            file += Bytes({'p', static_cast<uint8_t>(1 + i % 50)});
    }
    return file;
}

// A simulated controller behind the program's link on a clock whose sleeps
// run nothing, the transfer, and the panel's pause and continue.
struct CutRig {
    explicit CutRig(size_t jobMemory = 160)
    {
        SimulatedMachineSetup setup;
        setup.jobMemory = jobMemory;
        sim = std::make_unique<SimulatedController>(clock, setup);
        link = std::make_unique<SimulatedLink>(*sim);
        m.SetLink(*link);
        IdentifyMachine(m);
        ops = std::make_unique<MachineOperations>(m, Settings(), false);
        tx.SetSettlePause([this] { return ops->SettlePause(); });
    }
    HidIdentity Id() { return link->Bus().MachineId(); }
    bool HeaterOn() { return sim->Status() & 0x4u; }
    // The carriages' steps where the whole file leads.
    static std::array<int64_t, 8> Ends(const QByteArray& file)
    {
        std::array<int64_t, 8> sum{};
        for (const auto& item : cmdfile::Decode(file))
            if (item.isMove)
                for (uint8_t axis = 0; axis < 8; ++axis)
                    sum[axis] += item.move.Value(axis);
        return sum;
    }

    VirtualClock clock{VirtualClock::SleepMode::Blocks};
    std::unique_ptr<SimulatedController> sim;
    std::unique_ptr<SimulatedLink> link;
    ScriptedInput input;
    NoMachineLink none;
    Machine m{none, clock, input};
    std::unique_ptr<MachineOperations> ops;
    Transmission tx{m};
};

class TransmissionTest : public MachineWorldTest {
protected:
    void SetUp() override
    {
        MachineWorldTest::SetUp();
        JobRunning = false;
        JobStopped = false;
        SetMainStatusText(QString());
        link.watched = &tx;
    }
    void TearDown() override
    {
        JobRunning = false;
        JobStopped = false;
        MachineWorldTest::TearDown();
    }
    QString File(const QByteArray& content)
    {
        const QString path = dir.path() + "/out.cn";
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        return path;
    }
    int Gs() const { return static_cast<int>(std::count(link.writes.begin(), link.writes.end(), QByteArray("G"))); }

    ScopedTranslator translator;
    QTemporaryDir dir;
    OpenBoxes boxes;
    WatchedLink link;
    TestMachine tm{link};
    Transmission tx{tm.machine};
};
}  // namespace

TEST_F(TransmissionTest, AnEmptyFileStartsTheJobAndEnds)
{
    JobStopped = true;
    ASSERT_TRUE(tx.Start(File({})));
    EXPECT_FALSE(JobStopped) << "a new transfer forgets an earlier STOP";
    EXPECT_TRUE(tx.Running());
    tm.clock.Advance(1);
    EXPECT_EQ(link.writes, std::vector<QByteArray>{"G"});
    EXPECT_TRUE(JobRunning);
    EXPECT_FALSE(tx.Running());
    EXPECT_EQ(MainStatusText(), "Transmisja zakonczona");
    tm.clock.Advance(5000);
    EXPECT_EQ(link.writes.size(), 1u);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(TransmissionTest, SeventeenCommandsThenGoThenTheStop)
{
    const QByteArray file = Dwells(17);
    ASSERT_TRUE(tx.Start(File(file)));
    tx.Tick();
    ASSERT_EQ(link.writes.size(), 18u);
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(link.writes[static_cast<size_t>(i)], file.mid(2 * i, 2));
    EXPECT_EQ(link.writes[17], "G") << "G follows the 17th command";
    EXPECT_TRUE(JobRunning);
    EXPECT_TRUE(tx.Running());
    EXPECT_EQ(MainStatusText(), "przeslano 100% \\");
    tx.Tick();
    EXPECT_EQ(link.writes.size(), 18u) << "no second G";
    EXPECT_FALSE(tx.Running());

    // A shorter file gets its G at its end, once.
    link.writes.clear();
    JobRunning = false;
    ASSERT_TRUE(tx.Start(File(Dwells(16))));
    tx.Tick();
    EXPECT_EQ(link.writes.size(), 16u);
    EXPECT_FALSE(JobRunning);
    tx.Tick();
    EXPECT_EQ(link.writes.size(), 17u);
    EXPECT_EQ(link.writes.back(), "G");
    EXPECT_FALSE(tx.Running());
}

TEST_F(TransmissionTest, BurstsOfAHundredUnderTheLongIntervalAndThePollWhileFull)
{
    ASSERT_TRUE(tx.Start(File(Dwells(250))));
    EXPECT_EQ(tx.Interval(), 1);

    // The buffer full before the first burst: nothing goes, a slower poll.
    link.Put32(10, 2, 0x200);
    tm.clock.Advance(1);
    EXPECT_TRUE(link.writes.empty());
    EXPECT_EQ(tx.Interval(), 50);
    EXPECT_EQ(MainStatusText(), "przeslano 0% ");
    tm.clock.Advance(49);
    EXPECT_TRUE(link.writes.empty()) << "the full buffer is polled every 50 ms";
    link.Put32(10, 2, 0);

    const char* texts[] = {"przeslano 40% \\", "przeslano 80% |", "przeslano 100% /"};
    const size_t sent[] = {101, 201, 251};  // with the G after the 17th
    for (int burst = 0; burst < 3; ++burst) {
        tm.clock.Advance(1);
        ASSERT_EQ(link.writes.size(), sent[burst]) << "burst " << burst;
        EXPECT_EQ(MainStatusText(), texts[burst]);
        EXPECT_EQ(tx.Interval(), 1);
        EXPECT_TRUE(tx.Running());
    }
    EXPECT_EQ(link.writes[17], "G");
    EXPECT_EQ(Gs(), 1);
    for (int interval : link.intervals)
        EXPECT_EQ(interval, 1000) << "every write of a burst runs under the 1000 ms interval";
    tm.clock.Advance(1);
    EXPECT_FALSE(tx.Running());
    EXPECT_EQ(link.writes.size(), 251u);
    EXPECT_EQ(MainStatusText(), "Transmisja zakonczona");
}

TEST_F(TransmissionTest, EachCommandTakesItsLettersLength)
{
    int64_t length = 0;
    const QByteArray move = BuildMove4('a', 2, 100, 0, 50, 0, 0, 0, 0, 0, length);
    ASSERT_EQ(move.size() % 6, 0);
    const std::vector<QByteArray> commands = {
        move.mid(0, 6), Bytes({'v', 1, 0x10, 0x20}), Bytes({'r', 1, 3}), Bytes({'p', 9}), Bytes({'f', 2}),
        Bytes({'V', 2, 0x30, 0x40}), Bytes({'t', 1, 7}), Bytes({'s', 4, 1, 0, 0, 0})};
    QByteArray file;
    for (const QByteArray& c : commands)
        file += c;
    ASSERT_TRUE(tx.Start(File(file)));
    tx.Tick();
    ASSERT_EQ(link.writes.size(), commands.size() + 0);
    EXPECT_EQ(link.writes, commands);
}

TEST_F(TransmissionTest, ALostLinkSendsThePauseAtOnceAndUntilItIsHeardThenOneBox)
{
    int settles = 0;
    tx.SetSettlePause([&] {
        ++settles;
        return true;
    });
    std::vector<QByteArray> writesAtBox;
    int settlesAtBox = -1;
    boxes.whileOpen = [&] {
        writesAtBox = link.writes;
        settlesAtBox = settles;
        tm.clock.Advance(3000);
    };
    link.Put32(10, 2, 0x2);  // the job works
    link.failAtWrite = 30;   // after the G, inside the first burst
    ASSERT_TRUE(tx.Start(File(Dwells(250))));
    tm.clock.Advance(1);
    ASSERT_EQ(link.writes.size(), 31u);
    EXPECT_EQ(link.writes.back(), "Q") << "the pause follows the failed write at once";
    EXPECT_TRUE(boxes.shown.empty()) << "the box never delays the pause";
    EXPECT_FALSE(tx.Running());
    EXPECT_FALSE(JobRunning);
    EXPECT_EQ(tx.DeliveredCount(), 28) << "the 29 commands before the failed one, the G not counted";

    // Reads that fail, then a job still working: "Q" again at each retry.
    link.replies.erase(10);
    tm.clock.Advance(Transmission::kPauseRetryMs);
    EXPECT_EQ(link.writes.size(), 32u);
    link.Put32(10, 2, 0x2);
    tm.clock.Advance(Transmission::kPauseRetryMs);
    EXPECT_EQ(link.writes.size(), 33u);
    EXPECT_EQ(link.writes.back(), "Q");
    EXPECT_EQ(settles, 0);
    EXPECT_TRUE(boxes.shown.empty());

    // Paused: the pause is completed, then the one box.
    link.Put32(10, 2, 0x40);
    tm.clock.Advance(Transmission::kPauseRetryMs);
    EXPECT_EQ(settles, 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Control", "ploterBrakLacznosci"));
    EXPECT_EQ(boxes.shown[0].caption, "31");
    EXPECT_EQ(settlesAtBox, 1) << "the box comes after the pause";
    EXPECT_EQ(writesAtBox.size(), 33u);
    tm.clock.Advance(10000);
    EXPECT_EQ(link.writes.size(), 33u) << "nothing more of the file is sent";
    EXPECT_EQ(settles, 1);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(tx.Interrupted());
}

TEST_F(TransmissionTest, AMachineThatDoesNotAnswerGetsItsBoxWhileThePauseGoesOn)
{
    int settles = 0;
    tx.SetSettlePause([&] {
        ++settles;
        return true;
    });
    size_t qWhileOpen = 0;
    boxes.whileOpen = [&] {
        const size_t before = link.writes.size();
        link.Put32(10, 2, 0x40);  // the machine answers again, paused
        tm.clock.Advance(500);
        qWhileOpen = link.writes.size() - before;
    };
    ASSERT_TRUE(tx.Start(File(Dwells(40))));
    link.replies.erase(10);
    tm.clock.Advance(1);
    EXPECT_EQ(link.writes, std::vector<QByteArray>{"Q"}) << "nothing of the file on a status not read";
    tm.clock.Advance(Transmission::kLostLinkBoxMs - Transmission::kPauseRetryMs);
    EXPECT_TRUE(boxes.shown.empty());
    tm.clock.Advance(Transmission::kPauseRetryMs);
    ASSERT_EQ(boxes.shown.size(), 1u) << "told after a second of silence";
    EXPECT_EQ(boxes.shown[0].caption, Tr("Universal", "blad")) << "no write code for a read";
    EXPECT_EQ(boxes.statusAtBox[0], "Transmisja zakonczona");
    EXPECT_EQ(settles, 1) << "the pause went on while the box waited";
    EXPECT_EQ(qWhileOpen, 0u) << "no Q once the pause is heard";
    tm.clock.Advance(5000);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(settles, 1);

    // A file that can't be opened starts nothing.
    EXPECT_FALSE(tx.Start(dir.path() + "/missing.cn"));
    EXPECT_FALSE(tx.Running());
    EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_F(TransmissionTest, AStrayLetterOrACutCommandStopsAsAFileError)
{
    const QString error = Tr("Control", "plikRozkazowUszkodzony");
    // A byte outside the command letters after 20 good commands.
    const QString path = File(Dwells(20) + "1" + Dwells(5));
    ASSERT_TRUE(tx.Start(path));
    tx.Tick();
    EXPECT_EQ(link.writes.size(), 21u) << "the 20 commands and the G";
    EXPECT_FALSE(tx.Running());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(error));
    EXPECT_TRUE(boxes.shown[0].text.endsWith(path));
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);

    // A move record the file's end cuts short is not sent, nor the G.
    link.writes.clear();
    JobRunning = false;
    ASSERT_TRUE(tx.Start(File(Dwells(3) + Bytes({'a', 1, 0, 0}))));
    tx.Tick();
    EXPECT_EQ(link.writes.size(), 3u);
    EXPECT_FALSE(JobRunning);
    EXPECT_FALSE(tx.Running());
    EXPECT_EQ(boxes.shown.size(), 2u);
    tm.clock.Advance(1000);
    EXPECT_EQ(link.writes.size(), 3u);
    EXPECT_FALSE(tx.Pausing());
}

TEST_F(TransmissionTest, ACommandFileReachesTheControllerAsItStands)
{
    // Moves of both carriages at 100 mm/min, a memory small enough that the
    // full bit holds the bursts back.
    SimulatedMachineSetup setup;
    setup.jobMemory = 160;
    SimulatedController sim(tm.clock, setup);
    SimulatedLink simLink(sim);
    tm.machine.SetLink(simLink);

    QByteArray file = Bytes({'v', 0}) + Int16ToBytes(3750) + Bytes({'f', 0});
    for (int i = 0; i < 60; ++i) {
        int64_t length = 0;
        const int32_t dx = 40 + i, dy = (i % 3 - 1) * 30;
        file += BuildMove4('a', 2, dx, dx, dy, dy, 0, 0, 0, 0, length);
        if (i % 10 == 9)
            file += Bytes({'p', 5});
    }
    const std::vector<cmdfile::Command> commands = cmdfile::Split(file);
    ASSERT_GT(commands.size(), 300u);

    ASSERT_TRUE(tx.Start(File(file)));
    for (int ms = 0; ms < 600000 && (tx.Running() || (sim.Status() & 0x3)); ++ms)
        tm.clock.Advance(1);
    EXPECT_FALSE(tx.Running());
    EXPECT_EQ(sim.Status() & 0x3u, 0u) << "the job has run to its end";
    EXPECT_EQ(sim.Count(SimEvent::Overrun), 0);
    EXPECT_EQ(sim.Count(SimEvent::Starvation), 0);
    EXPECT_EQ(sim.Count(SimEvent::UnknownCommand), 0);

    // The job memory got the file's commands, in order, and only those.
    std::vector<QByteArray> received;
    for (const auto& r : sim.Reports())
        if (r[0] >= 'a' && r[0] <= 'z')
            received.push_back(QByteArray(reinterpret_cast<const char*>(r.data()), CommandLength(static_cast<char>(r[0]))));
    ASSERT_EQ(received.size(), commands.size());
    for (size_t i = 0; i < commands.size(); ++i)
        EXPECT_EQ(received[i], commands[i].bytes) << "command " << i;

    // The carriages went where the file's moves lead.
    const std::vector<cmdfile::Item> items = cmdfile::Decode(file);
    for (uint8_t axis = 0; axis < 8; ++axis) {
        int64_t sum = 0;
        for (const auto& item : items)
            if (item.isMove)
                sum += item.move.Value(axis);
        EXPECT_EQ(sim.Counter(axis), sum) << "axis " << int(axis);
    }
    tm.machine.SetLink(link);
}

TEST_F(TransmissionTest, ContinueAfterALostLinkSendsExactlyTheRestOrRefusesACutTheControllerLost)
{
    const QByteArray file = CutFile(150);
    const std::vector<cmdfile::Command> commands = cmdfile::Split(file);
    const QString path = File(file);
    {
        CutRig r;
        ASSERT_TRUE(SendCommand(r.m, Bytes({'R', 1, 1})));
        ASSERT_TRUE(r.tx.Start(path));
        r.clock.Advance(2000);
        ASSERT_TRUE(r.tx.Running());
        // The next command's report is lost, and so is its one retry.
        r.link->Bus().LoseWrites(r.Id(), 2);
        for (int step = 0; step < 3000 && r.tx.Running(); ++step)
            r.clock.Advance(10);
        r.clock.Advance(1000);
        ASSERT_FALSE(r.tx.Running());
        EXPECT_FALSE(r.tx.Pausing());
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(r.sim->Status() & 0x47u, 0x40u) << "paused, the heater off";
        const size_t delivered = Received(*r.sim).size();
        EXPECT_EQ(r.tx.DeliveredCount(), static_cast<int64_t>(delivered));
        ASSERT_LT(delivered, commands.size());

        r.ops->kontynuuj(&r.tx);
        EXPECT_TRUE(r.tx.Running());
        for (int step = 0; step < 30000 && (r.tx.Running() || (r.sim->Status() & 0x3u)); ++step)
            r.clock.Advance(10);
        const std::vector<QByteArray> received = Received(*r.sim);
        ASSERT_EQ(received.size(), commands.size()) << "the rest, once";
        for (size_t i = 0; i < commands.size(); ++i)
            ASSERT_EQ(received[i], commands[i].bytes) << "command " << i;
        EXPECT_EQ(r.sim->Count(SimEvent::Starvation), 0);
        EXPECT_EQ(r.sim->Count(SimEvent::ResumeRefused), 0);
        const auto ends = CutRig::Ends(file);
        for (int axis = 0; axis < 8; ++axis)
            EXPECT_EQ(r.sim->Counter(axis), ends[static_cast<size_t>(axis)]) << "axis " << axis;
        EXPECT_EQ(boxes.shown.size(), 1u);
    }
    boxes.shown.clear();
    {
        // STOP, then the controller restarts and forgets the job.
        CutRig r;
        ASSERT_TRUE(r.tx.Start(path));
        r.clock.Advance(2000);
        ASSERT_TRUE(r.ops->wstrzymaj());
        r.sim->OutputReport({'S', 11});
        r.clock.Advance(5000);
        EXPECT_FALSE(r.tx.Running());
        EXPECT_FALSE(r.tx.Pausing());
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, Tr("Control", "ploterBrakLacznosci"));
        const size_t reports = r.sim->Reports().size();
        r.ops->kontynuuj(&r.tx);
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_EQ(boxes.shown[1].text, Tr("Control", "ciecieOdNowa"));
        EXPECT_EQ(r.sim->Reports().size(), reports) << "no heat, no move, no K";
        r.clock.Advance(5000);
        EXPECT_FALSE(r.tx.Running());
        EXPECT_EQ(r.sim->Reports().size(), reports);
    }
    boxes.shown.clear();
    {
        // The whole file is in the controller when STOP's "Q" is lost: the
        // cut is paused as a lost link's, not left running behind a box.
        CutRig r(4000);
        r.ops->SetCutLinkLost([&r] { r.tx.PauseLostCut(); });
        ASSERT_TRUE(r.tx.Start(path));
        for (int step = 0; step < 100 && r.tx.Running(); ++step)
            r.clock.Advance(10);
        ASSERT_FALSE(r.tx.Running());
        ASSERT_TRUE(JobRunning);
        r.link->Bus().LoseWrites(r.Id(), 2);
        EXPECT_FALSE(r.ops->wstrzymaj());
        EXPECT_TRUE(boxes.shown.empty()) << "the pause goes first";
        r.clock.Advance(3000);
        EXPECT_EQ(r.sim->Status() & 0x43u, 0x40u) << "paused";
        EXPECT_EQ(boxes.shown.size(), 1u);
        EXPECT_FALSE(JobRunning);
    }
}

// Seeded faults on the way to a simulated controller, through the program's
// own link, while the operator pauses and continues the cut: lost reports,
// reports delivered but called failed, failed reads short and long, STOP and
// CONTINUE among failed reads, the cable pulled during a pause, the
// controller restarted without its job. After every run the controller holds
// the file's first commands, none twice; a job it kept is cut to its end
// from the positions read (its carriages end where the file leads); one it
// lost is refused; and no box waits with the heater on once the machine
// answers.
TEST_F(TransmissionTest, UnderSeededFaultsTheControllerGetsAPrefixOfTheFileAndNothingTwice)
{
    const QByteArray file = CutFile(400);
    const std::vector<cmdfile::Command> commands = cmdfile::Split(file);
    const auto ends = CutRig::Ends(file);
    const QString path = File(file);
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        boxes.shown.clear();
        CutRig r;
        bool heaterAtBox = false, reset = false, unplugged = false;
        // The operator reads each box for two seconds, the link riding out
        // meanwhile whatever it was doing.
        boxes.whileOpen = [&] {
            r.link->Bus().ClearFaults(r.Id());
            r.clock.Advance(2000);
            if (r.sim->OnBus() && !unplugged && !r.tx.Pausing() && r.HeaterOn())
                heaterAtBox = true;
        };
        const auto unplugFor = [&](int ms) {
            unplugged = true;
            r.link->SetPresent(false);
            r.clock.Schedule(ms, [&] {
                r.link->SetPresent(true);
                unplugged = false;
            });
        };
        ASSERT_TRUE(SendCommand(r.m, Bytes({'R', 1, 1})));
        ASSERT_TRUE(r.tx.Start(path));
        bool refused = false;
        int step = 0;
        for (; step < 60000; ++step) {
            r.clock.Advance(10);
            const uint32_t status = r.sim->OnBus() && !unplugged ? r.sim->Status() : 0;
            const bool paused = status & 0x40u;
            if (!r.tx.Running() && !r.tx.Pausing() && !unplugged && r.sim->OnBus()) {
                if (r.tx.Interrupted() && !paused && !(status & 0x2u)) {
                    // The controller lost the job: CONTINUE must refuse it.
                    const size_t reports = r.sim->Reports().size();
                    r.ops->kontynuuj(&r.tx);
                    ASSERT_FALSE(boxes.shown.empty());
                    EXPECT_EQ(boxes.shown.back().text, Tr("Control", "ciecieOdNowa"));
                    EXPECT_EQ(r.sim->Reports().size(), reports) << "nothing sent";
                    refused = true;
                    break;
                }
                if (!paused && !(status & 0x3u) && Received(*r.sim).size() == commands.size())
                    break;  // cut to its end
            }
            if (paused && !r.tx.Pausing() && !unplugged && rng() % 20 == 0) {
                // CONTINUE, at times on a read that fails.
                r.link->Bus().ClearFaults(r.Id());
                if (rng() % 3 == 0)
                    r.link->Bus().FailReads(r.Id(), 10);
                r.ops->kontynuuj(&r.tx);
                continue;
            }
            if (rng() % 1000 >= 8)
                continue;
            const HidIdentity id = r.Id();
            switch (rng() % 8) {
            case 0: r.link->Bus().LoseWrites(id, 1 + static_cast<int>(rng() % 2)); break;
            case 1: r.link->Bus().FailDeliveredWrites(id, 1); break;
            case 2: r.link->Bus().FailReads(id, 1 + static_cast<int>(rng() % 9)); break;
            case 3: r.link->Bus().FailReads(id, 10 * (1 + static_cast<int>(rng() % 40))); break;
            case 4:
                if (status & 0x2u) {
                    // STOP, at times among failed reads.
                    r.link->Bus().ClearFaults(id);
                    if (rng() % 2)
                        r.link->Bus().FailReads(id, 10);
                    (void)r.ops->wstrzymaj();
                    if (rng() % 2)
                        r.link->Bus().FailReads(id, 10 * (1 + static_cast<int>(rng() % 5)));
                }
                break;
            case 5:
            case 6:
                if (paused && !unplugged)
                    unplugFor(300 + static_cast<int>(rng() % 3000));
                break;
            default:
                // Only some seeds meet a controller that restarts (its power
                // cut while it cuts or stands paused).
                if (seed % 4 == 3 && (status & 0x42u) && !reset) {
                    reset = true;
                    r.sim->OutputReport({'S', 11});
                }
            }
        }
        ASSERT_LT(step, 60000) << "no hang";
        const std::vector<QByteArray> received = Received(*r.sim);
        ASSERT_LE(received.size(), commands.size());
        for (size_t i = 0; i < received.size(); ++i)
            ASSERT_EQ(received[i], commands[i].bytes) << "command " << i;
        EXPECT_EQ(r.sim->Count(SimEvent::Overrun), 0);
        EXPECT_EQ(r.sim->Count(SimEvent::Starvation), 0) << "a paused job never ran out of commands";
        EXPECT_EQ(r.sim->Count(SimEvent::ResumeRefused), 0) << "K only at the paused position";
        EXPECT_FALSE(heaterAtBox) << "no box waits with the heater on";
        if (refused) {
            EXPECT_TRUE(reset);
        } else {
            for (int axis = 0; axis < 8; ++axis)
                EXPECT_EQ(r.sim->Counter(axis), ends[static_cast<size_t>(axis)]) << "axis " << axis;
        }
    }
}
