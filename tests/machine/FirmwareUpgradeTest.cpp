#include "app/Globals.h"
#include "app/Translator.h"
#include "machine/FirmwareUpgrade.h"
#include "tests/support/ScriptedLink.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
// A firmware image of the given version whose words are a pattern of their own.
QByteArray Image(uint16_t major, uint16_t minor, int words = kFirmwareProgramWords)
{
    QByteArray b;
    auto put = [&b](uint16_t w) {
        b.append(static_cast<char>(w & 0xFF));
        b.append(static_cast<char>(w >> 8));
    };
    put(major);
    put(minor);
    for (int i = 0; i < words; ++i)
        put(static_cast<uint16_t>(i * 7919u + 3u));
    return b;
}

uint16_t ImageWord(int i) { return static_cast<uint16_t>(i * 7919u + 3u); }

class FirmwareUpgradeTest : public MachineWorldTest {
protected:
    void Attach(uint8_t major, uint8_t minor, const QString& model = "Ky")
    {
        m.SetLink(none);
        link.reset();
        SimulatedMachineSetup s;
        s.firmwareMajor = major;
        s.firmwareMinor = minor;
        s.modelCode = model;
        sim = std::make_unique<SimulatedController>(clock, s);
        link = std::make_unique<SimulatedLink>(*sim);
        m.SetLink(*link);
        IdentifyMachine(m);
        up = std::make_unique<FirmwareUpgrade>(m, [this] { link->FindMachineAgain(); });
    }
    QString Rom() const { return RomFilePath(ProgramDir, PlotState.ModelCode, FirmwareMajor); }
    void PlaceFile(const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(Rom()).absolutePath());
        QFile f(Rom());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    int Count(uint8_t letter, int sub) const
    {
        int n = 0;
        for (const auto& r : sim->Reports())
            n += r[0] == letter && (sub < 0 || r[1] == sub);
        return n;
    }

    ScopedTranslator translator;
    ScriptedPresenter boxes;
    // The upgrade runs no event loop: its sleeps block, as on the real clock.
    VirtualClock clock{VirtualClock::SleepMode::Blocks};
    ScriptedInput input;
    NoMachineLink none;
    Machine m{none, clock, input};
    std::unique_ptr<SimulatedController> sim;
    std::unique_ptr<SimulatedLink> link;
    std::unique_ptr<FirmwareUpgrade> up;
};

TEST_F(FirmwareUpgradeTest, FilePathsAndTheUpgradeButtonFollowModelAndVersions)
{
    EXPECT_TRUE(RomFilePath("/p/", "Ve", 1).endsWith("ROM/Ve/Quormelt.rom"));
    EXPECT_TRUE(RomFilePath("/p/", "Ky", 1).endsWith("ROM/Ro/Quormelt81.rom"));
    EXPECT_TRUE(RomFilePath("/p/", "Ky", 2).endsWith("ROM/Ro/Quormelt162.rom"));

    struct Case {
        uint8_t major, minor;
        bool enabled;
    };
    for (const Case c : {Case{1, 1, false}, Case{0, 5, false}, Case{10, 3, false}, Case{1, 2, true}}) {
        Attach(c.major, c.minor);
        PlaceFile(Image(2, 2));
        up->FormActivate(ProgramDir);
        EXPECT_EQ(up->View().upgradeEnabled, c.enabled) << int(c.major) << "." << int(c.minor);
        EXPECT_EQ(up->View().deviceVersion, QString("%1.%2").arg(c.major).arg(c.minor));
        EXPECT_EQ(up->View().fileVersion, "2.2");
        QFile::remove(Rom());
    }
    // No whole file: nothing to upgrade with.
    Attach(2, 2);
    up->FormActivate(ProgramDir);
    EXPECT_EQ(up->View().fileVersion, Tr("Upgrade_firmware", "brakPliku"));
    EXPECT_FALSE(up->View().upgradeEnabled);
    PlaceFile(Image(2, 2).left(kFirmwareFileBytes - 2));
    up->FormActivate(ProgramDir);
    EXPECT_FALSE(up->View().upgradeEnabled);
}

TEST_F(FirmwareUpgradeTest, AnOlderFileAsksBeforeItReplacesTheProgram)
{
    struct Case {
        uint8_t fileMajor, fileMinor, devMajor, devMinor;
        bool asks;
    };
    for (const Case c : {Case{2, 0, 2, 1, true}, Case{1, 10, 2, 2, true}, Case{2, 2, 1, 10, false}}) {
        Attach(c.devMajor, c.devMinor);
        PlaceFile(Image(c.fileMajor, c.fileMinor));
        up->FormActivate(ProgramDir);
        boxes.asked.clear();
        const size_t before = sim->Reports().size();
        const bool done = up->ButtonUpgradeClick();  // Cancel when asked
        EXPECT_EQ(done, !c.asks);
        EXPECT_EQ(boxes.asked.size(), c.asks ? 1u : 0u);
        if (c.asks) {
            EXPECT_EQ(sim->Reports().size(), before) << "nothing is sent after Cancel";
            EXPECT_TRUE(up->View().upgradeEnabled);
        }
        QFile::remove(Rom());
    }
}

TEST_F(FirmwareUpgradeTest, AFullUpgradeWritesTheFileIntoTheFlashAndVerifiesIt)
{
    Attach(2, 1);
    PlaceFile(Image(2, 3));
    up->FormActivate(ProgramDir);
    const size_t before = sim->Reports().size();
    ASSERT_TRUE(up->ButtonUpgradeClick());
    EXPECT_TRUE(up->UpgradeOk);
    for (int i = 0; i < kFirmwareProgramWords; ++i)
        ASSERT_EQ(sim->FlashWord(static_cast<size_t>(i)), ImageWord(i)) << i;
    // After the erase: one address command, then every word once.
    size_t lastAddress = 0;
    for (size_t i = before; i < sim->Reports().size(); ++i) {
        const auto& r = sim->Reports()[i];
        if (r[0] == 'S' && r[1] == 8 && (i + 1 < sim->Reports().size() && sim->Reports()[i + 1][1] == 10))
            lastAddress = i;
    }
    int words = 0;
    for (size_t i = lastAddress + 1; i < sim->Reports().size() && sim->Reports()[i][1] == 10; ++i)
        ++words;
    EXPECT_EQ(words, kFirmwareProgramWords);
    EXPECT_EQ(Count('S', 9), 1);
    EXPECT_EQ(up->View().verify, Tr("Upgrade_firmware", "WeryfikacjaOk"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(Tr("Upgrade_firmware", "aktualizacjaOK1") + "\r\n\r\n"));
    EXPECT_TRUE(boxes.asked.empty()) << "a newer file asks nothing";

    // The verify reads to the last word: one differing there fails it.
    ASSERT_TRUE(SendCommand(m, Bytes({'S', 8}) + Int32ToBytes(0x02000000 + kFirmwareProgramWords - 1)));
    ASSERT_TRUE(SendCommand(m, Bytes({'S', 10}) + Int32ToBytes(0)));
    ASSERT_NE(sim->FlashWord(kFirmwareProgramWords - 1), ImageWord(kFirmwareProgramWords - 1));
    up->VerifyProgramClick();
    EXPECT_EQ(up->View().verify, Tr("Upgrade_firmware", "WeryfikacjaBledy"));
    EXPECT_FALSE(up->UpgradeOk);

    // The same version again: no question, the upgrade runs.
    Attach(2, 3);
    up->FormActivate(ProgramDir);
    EXPECT_TRUE(up->ButtonUpgradeClick());
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(FirmwareUpgradeTest, AStuckWordFailsTheVerificationAndAShortOrLongFileIsRefusedBeforeTheErase)
{
    Attach(2, 2);
    // The first word reads erased, the second is stuck at 0: no erase before
    // the write, which can only clear bits.
    ASSERT_TRUE(SendCommand(m, Bytes({'S', 9})));
    clock.Sleep(20000);
    ASSERT_TRUE(SendCommand(m, Bytes({'S', 8}) + Int32ToBytes(0x02000000)));
    ASSERT_TRUE(SendCommand(m, Bytes({'S', 10}) + Int32ToBytes(0xFFFF)));
    ASSERT_TRUE(SendCommand(m, Bytes({'S', 10}) + Int32ToBytes(0)));
    PlaceFile(Image(2, 3));
    up->FormActivate(ProgramDir);
    EXPECT_FALSE(up->ButtonUpgradeClick());
    EXPECT_EQ(up->View().verify, Tr("Upgrade_firmware", "WeryfikacjaBledy"));
    EXPECT_FALSE(up->UpgradeOk);
    EXPECT_TRUE(boxes.shown.empty());

    for (int words : {kFirmwareProgramWords - 1, kFirmwareProgramWords + 1}) {
        SCOPED_TRACE(words);
        PlaceFile(Image(2, 3, words));
        const int erases = Count('S', 9), writes = Count('S', 10);
        up->WrtieProgramClick(true);
        EXPECT_EQ(Count('S', 9), erases);
        EXPECT_EQ(Count('S', 10), writes);
        EXPECT_FALSE(up->UpgradeOk);
    }
}

TEST_F(FirmwareUpgradeTest, ALostLinkEndsWriteAndDumpWithOneMessageAndKeepsTheFile)
{
    Attach(2, 2);
    PlaceFile(Image(2, 3));
    up->FormActivate(ProgramDir);
    up->SetChanged([this] {
        if (up->View().ticked[1] && up->View().gauge == 50)
            link->SetPresent(false);
    });
    EXPECT_FALSE(up->ButtonUpgradeClick());
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(up->UpgradeOk);

    // The dump: a read that fails halfway leaves the file as it was.
    Attach(2, 2);
    const QByteArray original = Image(2, 3);
    PlaceFile(original);
    up->FormActivate(ProgramDir);
    boxes.shown.clear();
    up->SetChanged([this] {
        if (up->View().gauge == 50)
            link->SetPresent(false);
    });
    up->ReadProgramClick();
    EXPECT_EQ(boxes.shown.size(), 1u);
    QFile f(Rom());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), original);
}

TEST_F(FirmwareUpgradeTest, TheDumpWritesTheControllersProgramAndTheResetFindsItAgain)
{
    Attach(2, 2);
    up->FormActivate(ProgramDir);
    up->ReadProgramClick();
    const FirmwareFile dumped = ReadFirmwareFile(Rom());
    ASSERT_TRUE(dumped.valid);
    EXPECT_EQ(dumped.major, 2);
    EXPECT_EQ(dumped.words[12345], sim->FlashWord(12345));

    const int hellos = sim->Hellos();
    up->ButtonResetClick();
    EXPECT_TRUE(sim->OnBus());
    EXPECT_TRUE(link->MachineFoundFlag());
    EXPECT_GT(sim->Hellos(), hellos);
    EXPECT_EQ(up->View().deviceVersion, "2.2");
}

// The erased test reads bytes 6..9 as one value: bytes 8..9 must be zero too.
TEST(FirmwareBlankTest, ErasedOnlyWhenTheWholeValueIs0xFFFF)
{
    ScriptedLink fake;
    VirtualClock clock;
    ScriptedInput input;
    Machine m(fake, clock, input);
    FirmwareUpgrade up(m, {});
    fake.Put32(17, 6, 0xFFFF);
    EXPECT_TRUE(up.IsBlanc());
    fake.Put32(17, 6, 0x1FFFF);
    EXPECT_FALSE(up.IsBlanc());
}
}  // namespace
