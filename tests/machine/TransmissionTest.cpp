#include "app/MainStatus.h"
#include "app/Translator.h"
#include "machine/Bytes.h"
#include "machine/JobState.h"
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

TEST_F(TransmissionTest, AFailedWriteEndsTheTransferAndPausesTheJobOnce)
{
    int pauses = 0;
    tx.SetPauseJob([&] { ++pauses; });
    size_t writesWhileOpen = 0;
    boxes.whileOpen = [&] {
        const size_t before = link.writes.size();
        tm.clock.Advance(3000);
        writesWhileOpen += link.writes.size() - before;
    };
    link.failAtWrite = 30;  // after the G, inside the first burst
    ASSERT_TRUE(tx.Start(File(Dwells(250))));
    tm.clock.Advance(1);
    EXPECT_EQ(writesWhileOpen, 0u) << "no tick runs while the error box is open";
    EXPECT_EQ(link.writes.size(), 30u);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(pauses, 1);
    EXPECT_FALSE(tx.Running());
    tm.clock.Advance(10000);
    EXPECT_EQ(link.writes.size(), 30u) << "nothing more of the file is sent";
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(TransmissionTest, AStrayLetterOrACutCommandStopsAsAFileError)
{
    int pauses = 0;
    tx.SetPauseJob([&] { ++pauses; });
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
    EXPECT_EQ(pauses, 0);
}

TEST_F(TransmissionTest, ALostLinkEndsTheTransferBeforeItsBox)
{
    ASSERT_TRUE(tx.Start(File(Dwells(40))));
    link.found = false;
    tm.clock.Advance(1);
    EXPECT_FALSE(tx.Running());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Control", "ploterBrakLacznosci"));
    EXPECT_EQ(boxes.statusAtBox[0], "Transmisja zakonczona");

    // A file that can't be opened starts nothing.
    EXPECT_FALSE(tx.Start(dir.path() + "/missing.cn"));
    EXPECT_FALSE(tx.Running());
    EXPECT_EQ(boxes.shown.size(), 2u);

    // A status that could not be read: nothing goes on its zeros, the job is
    // paused, one box.
    int pauses = 0;
    tx.SetPauseJob([&] { ++pauses; });
    link.found = true;
    link.replies.erase(10);
    link.writes.clear();
    ASSERT_TRUE(tx.Start(File(Dwells(40))));
    tm.clock.Advance(1);
    EXPECT_FALSE(tx.Running());
    EXPECT_TRUE(link.writes.empty());
    EXPECT_EQ(pauses, 1);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[2].text, Tr("Control", "ploterBrakLacznosci"));
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

// Seeded faults on the way to a simulated controller, through the program's
// own link: lost reports, reports delivered but called failed, failed reads,
// full-buffer spells and a pulled cable. Whatever happens, the controller holds
// exactly the file's first commands, none twice, and the transfer either ends
// complete or stops with one lost-link box and the job paused.
TEST_F(TransmissionTest, UnderSeededFaultsTheControllerGetsAPrefixOfTheFileAndNothingTwice)
{
    // Every command differs from the one before, so a doubled one shows.
    QByteArray file;
    for (int i = 0; i < 100000; ++i)
        file += i % 97 == 96 ? Bytes({'p', 60}) : Bytes({'v', static_cast<uint8_t>(i % 4)}) + Int16ToBytes(static_cast<int16_t>(i));
    const std::vector<cmdfile::Command> commands = cmdfile::Split(file);
    const QString path = File(file);
    for (const uint32_t seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        boxes.shown.clear();
        VirtualClock clock{VirtualClock::SleepMode::Blocks};
        SimulatedController sim(clock);
        SimulatedLink simLink(sim);
        ScriptedInput input;
        Machine m(simLink, clock, input);
        Transmission t(m);
        int pauses = 0;
        t.SetPauseJob([&] { ++pauses; });
        ASSERT_TRUE(t.Start(path));
        // Odd seeds may lose the link for good; even ones only meet faults the
        // link rides out.
        const int kinds = seed % 2 ? 6 : 3;
        for (int step = 0; step < 100000 && t.Running(); ++step) {
            clock.Advance(10);
            if (rng() % 1000 >= 15)
                continue;
            const HidIdentity id = simLink.Bus().MachineId();
            switch (rng() % kinds) {
            case 0: simLink.Bus().LoseWrites(id, 1); break;
            case 1: simLink.Bus().FailDeliveredWrites(id, 1); break;
            case 2: simLink.Bus().FailReads(id, 1 + static_cast<int>(rng() % 9)); break;
            case 3: simLink.Bus().FailReads(id, 10); break;
            case 4: simLink.Bus().LoseWrites(id, 2); break;
            default:
                simLink.SetPresent(false);
                clock.Schedule(300, [&simLink] { simLink.SetPresent(true); });
            }
        }
        ASSERT_FALSE(t.Running()) << "no hang";
        std::vector<QByteArray> received;
        for (const auto& r : sim.Reports())
            if (r[0] >= 'a' && r[0] <= 'z')
                received.push_back(QByteArray(reinterpret_cast<const char*>(r.data()), CommandLength(static_cast<char>(r[0]))));
        ASSERT_LE(received.size(), commands.size());
        for (size_t i = 0; i < received.size(); ++i)
            ASSERT_EQ(received[i], commands[i].bytes) << "command " << i;
        EXPECT_EQ(sim.Count(SimEvent::Overrun), 0);
        if (boxes.shown.empty()) {
            EXPECT_EQ(received.size(), commands.size()) << "complete";
            EXPECT_EQ(pauses, 0);
        } else {
            ASSERT_EQ(boxes.shown.size(), 1u);
            EXPECT_EQ(boxes.shown[0].text, Tr("Control", "ploterBrakLacznosci"));
            EXPECT_EQ(pauses, 1) << "the job paused";
        }
    }
}
