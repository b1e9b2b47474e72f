#include "app/Globals.h"
#include "app/Settings.h"
#include "app/SettingsFiles.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings().Reset();
        Gcf = GcfRecord();
        OpenDialogState = OpenDialogSettings();
        CurrentLengthUnit = 0;
    }
    void TearDown() override { Settings().Reset(); }

    QByteArray Read(const QString& path)
    {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        return f.readAll();
    }

    ScopedTranslator translator;
    TempProgramDir dir{false};
    ScriptedPresenter boxes;
    TDlgkonfigModel& s = Settings();
};

int32_t Int32At(const QByteArray& b, int at)
{
    return static_cast<int32_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
                                static_cast<uint8_t>(b[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24);
}
}  // namespace

TEST_F(SettingsTest, GcfRecordHasItsFixedLayout)
{
    GcfRecord r;
    r.OpenFolder = QString(90, 'a');
    r.SaveFolder = QString::fromUtf8("/home/łukasz");
    r.SaveFilterIndex = 3;
    r.SettingsPath = "/opt/p/Pelvartonix.vkf";
    r.OpenFilterIndex = 2;
    const QByteArray b = GcfToBytes(r);
    ASSERT_EQ(b.size(), 864);
    EXPECT_EQ(b[0], 'a');
    EXPECT_EQ(b[1], 0);
    EXPECT_EQ(b[2 * 78], 'a');
    EXPECT_EQ(b[2 * 79], 0) << "at most 79 characters: the field always ends with a zero";
    EXPECT_EQ(static_cast<uint8_t>(b[160 + 2 * 6]), 0x42) << "UTF-16LE: the low byte of U+0142 first";
    EXPECT_EQ(static_cast<uint8_t>(b[160 + 2 * 6 + 1]), 0x01);
    EXPECT_EQ(Int32At(b, 320), 1);
    EXPECT_EQ(Int32At(b, 324), 3);
    EXPECT_EQ(b[328], 1);
    EXPECT_EQ(b[334], '/');
    EXPECT_EQ(Int32At(b, 844), 2);
    EXPECT_EQ(b.mid(848, 8), QByteArray::fromHex("000000000000f03f")) << "1.0 as a little-endian double";

    const GcfRecord back = GcfFromBytes(b);
    EXPECT_EQ(back.OpenFolder, QString(79, 'a'));
    EXPECT_EQ(back.SaveFolder, r.SaveFolder);
    EXPECT_EQ(back.SettingsPath, r.SettingsPath);
    EXPECT_EQ(back.SaveFilterIndex, 3);
    EXPECT_EQ(back.OpenFilterIndex, 2);
    EXPECT_EQ(back.Reserved848, 1.0);
}

TEST_F(SettingsTest, MissingOrShortGcfIsReplacedByTheDefaults)
{
    LoadGcf();
    EXPECT_EQ(Gcf.SettingsPath, dir.File("Pelvartonix.vkf"));
    EXPECT_EQ(Read(dir.File("Pelvartonix.gcf")).size(), 864);

    dir.Write("Pelvartonix.gcf", QByteArray(500, 'x'));
    Gcf.SettingsPath = "elsewhere";
    LoadGcf();
    EXPECT_EQ(Gcf.SettingsPath, dir.File("Pelvartonix.vkf"));
    EXPECT_EQ(Read(dir.File("Pelvartonix.gcf")).size(), 864) << "the short file is rewritten";
    EXPECT_TRUE(boxes.shown.empty()) << "without a message";

    Gcf.OpenFolder = "/data/jobs";
    OpenDialogState.FilterIndex = 2;
    ASSERT_TRUE(SaveGcf());
    Gcf = GcfRecord();
    LoadGcf();
    EXPECT_EQ(Gcf.OpenFolder, "/data/jobs");
    EXPECT_EQ(OpenDialogState.InitialDir, "/data/jobs");
    EXPECT_EQ(OpenDialogState.FilterIndex, 2);

    // The end writes the record only when it changed: an unchanged one is
    // still the very file it was.
    const QString gcf = dir.File("Pelvartonix.gcf");
    auto inode = [&gcf] {
        struct stat st {};
        return stat(gcf.toLocal8Bit().constData(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    const ino_t before = inode();
    ASSERT_TRUE(SettingsFormDestroy());
    EXPECT_EQ(inode(), before);
    Gcf.OpenFolder = "/data/other";
    ASSERT_TRUE(SettingsFormDestroy());
    EXPECT_NE(inode(), before);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsTest, ARecordThatIsThereButCanNotBeReadIsToldOnceAndNotReplacedAtTheEnd)
{
    const QString gcf = dir.File("Pelvartonix.gcf");
    ASSERT_TRUE(QDir().mkdir(gcf));
    LoadGcf();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains(gcf));
    EXPECT_EQ(Gcf.SettingsPath, dir.File("Pelvartonix.vkf")) << "the defaults hold in memory";
    EXPECT_FALSE(SettingsFormDestroy());
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(QFileInfo(gcf).isDir());
}

TEST_F(SettingsTest, SettingsFileListsEveryControlInOrder)
{
    QLocale::setDefault(QLocale(QLocale::Polish));
    s.SetValue("fuPlt_accuracy", 0.1);
    s.SetValue("Pauza_w_kacie", 12.5);
    ASSERT_TRUE(SaveKonfig(dir.File("a.vkf")));
    QLocale::setDefault(QLocale::c());
    const QList<QByteArray> lines = Read(dir.File("a.vkf")).split('\n');
    ASSERT_EQ(lines.size(), 42) << "41 settings, each line ended by CR LF";
    EXPECT_EQ(lines[0], "Mode := 0\r");
    EXPECT_EQ(lines[1], "AutoSave := cbUnchecked\r");
    EXPECT_EQ(lines[7], "Pauza_w_kacie := 12.5\r") << "a decimal point whatever the locale";
    EXPECT_EQ(lines[10], "skala := 100\r");
    EXPECT_EQ(lines[11], "AddFrame := cbChecked\r");
    EXPECT_EQ(lines[36], "sbWspSymulacji := 0\r");
    EXPECT_EQ(lines[37], "fuPlt_accuracy := 0.1\r");
    EXPECT_EQ(lines[40], "PowerOutput := 0\r");
    EXPECT_TRUE(lines[41].isEmpty());
}

TEST_F(SettingsTest, SettingLinesSplitAndFilterTheirNumbers)
{
    const QString path = dir.Write("b.vkf",
                                   "skala=250\r\n"
                                   "Xstolika := 1200mm\r\n"
                                   "Skala := 5\r\n"
                                   "nothing := 1\r\n"
                                   "Pauza_w_kacie := 1,5E2\r\n"
                                   "CzasRozgrzewania := 2.5e3\n"
                                   "Wstrzymaj := cbChecked\r"
                                   "Heavy := yes\r\n"
                                   "sbWspSymulacji := 7\r\n");
    s.SetChecked("Heavy", true);
    LoadKonfig(path);
    EXPECT_EQ(s.Value("skala"), 250);
    EXPECT_EQ(s.Value("Xstolika"), 1200);
    EXPECT_EQ(s.Value("Pauza_w_kacie"), 150);
    EXPECT_EQ(s.Value("CzasRozgrzewania"), 2500);
    EXPECT_TRUE(s.Checked("Wstrzymaj"));
    EXPECT_FALSE(s.Checked("Heavy")) << "any other word reads as unchecked";
    EXPECT_EQ(s.Value("sbWspSymulacji"), 7);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(s.Loading);
    EXPECT_TRUE(s.PowerChanged);

    EXPECT_EQ(NumericPrefix("-12.5abc"), "-12.5");
    EXPECT_EQ(NumericPrefix("1E-5"), "1E-5");
    EXPECT_EQ(NumericPrefix("3e"), "3");
    EXPECT_EQ(NumericPrefix("mm"), "");
    EXPECT_EQ(NumericPrefix("-"), "");
}

TEST_F(SettingsTest, ValuesThatDoNotConvertAreSkippedAndReported)
{
    const QString path = dir.Write("c.vkf",
                                   "skala := abc\r\n"
                                   "Mode := 1.5\r\n"
                                   "CatDir := 9\r\n"
                                   "sbWspSymulacji := 40\r\n"
                                   "radiounit := 7\r\n"
                                   "Ystolika := 300\r\n"
                                   "Pauza_w_ka");  // cut off
    s.Loading = true;
    LoadKonfig(path);
    EXPECT_EQ(s.Value("skala"), 100);
    EXPECT_EQ(s.Mode(), 0);
    EXPECT_EQ(s.CatDir(), 2);
    EXPECT_EQ(s.Value("sbWspSymulacji"), 0);
    EXPECT_EQ(s.ItemIndex("radiounit"), 0) << "an unknown unit reads as millimetres";
    EXPECT_EQ(s.Value("Ystolika"), 300) << "the lines after a bad one still load";
    EXPECT_FALSE(s.Loading);
    EXPECT_TRUE(s.PowerChanged);
    ASSERT_EQ(boxes.shown.size(), 1u);
    const QString text = boxes.shown[0].text;
    EXPECT_TRUE(text.startsWith(Tr("Configuration", "konfigPominieteWiersze") + "\r\n" + path)) << text.toStdString();
    for (const char* line : {"skala := abc", "Mode := 1.5", "CatDir := 9", "sbWspSymulacji := 40", "Pauza_w_ka"})
        EXPECT_TRUE(text.contains(line)) << line;
    EXPECT_FALSE(text.contains("Ystolika"));
}

TEST_F(SettingsTest, MissingSettingsFileIsReportedAndWritten)
{
    const QString path = dir.File("new.vkf");
    LoadKonfig(path);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Information);
    EXPECT_EQ(boxes.shown[0].text, path);
    EXPECT_EQ(boxes.shown[0].caption, Tr("Configuration", "brakKonfiga"));
    EXPECT_TRUE(Read(path).startsWith("Mode := 0\r\n"));
}

TEST_F(SettingsTest, UnreadableSettingsFileIsReportedAndLeftAlone)
{
    // Another file picked by mistake: not text.
    const QByteArray binary("skala := 250\r\n\0\x01\x02", 17);
    const QString vkf = dir.Write("Pelvartonix.vkf", binary);
    SettingsFormCreate(MachineFacts());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);
    EXPECT_TRUE(boxes.shown[0].text.contains(vkf));
    EXPECT_TRUE(boxes.shown[0].text.contains(Tr("Configuration", "konfigNieTekst")));
    EXPECT_EQ(s.Value("skala"), 100) << "nothing is taken from it";
    SettingsFormActivate(MachineFacts(), false);
    s.SetValue("skala", 300);
    SettingsOk();
    SettingsFormActivate(MachineFacts(), false);
    SettingsCancel();
    SettingsFormDestroy();
    EXPECT_EQ(Read(vkf), binary);
    EXPECT_EQ(Gcf.SettingsPath, vkf) << "still the file the settings are saved to when asked";

    // A folder where the load button's file should be: the settings and their
    // file stay as they were.
    boxes.shown.clear();
    const QString folder = dir.File("folder.vkf");
    ASSERT_TRUE(QDir().mkdir(folder));
    SettingsLoadFrom(folder);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.endsWith(folder + "\r\n" + Tr("Universal", "plikNieZwykly")))
        << boxes.shown[0].text.toStdString();
    EXPECT_EQ(s.Value("skala"), 300);
    EXPECT_EQ(Gcf.SettingsPath, vkf);
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST_F(SettingsTest, WorkModeEnablesAndForcesTheControls)
{
    s.SetItemIndex("Mode", 2);
    EXPECT_EQ(s.CatDir(), 2);
    EXPECT_FALSE(s.At("CatDir").enabled);
    EXPECT_EQ(s.StolikSwitch(), 1);
    EXPECT_EQ(s.ItemIndex("PowerOutput"), 0);
    EXPECT_FALSE(s.At("PowerOutput").enabled);
    EXPECT_TRUE(s.At("rgKatObrotu").enabled);
    EXPECT_TRUE(s.ModeChanged);

    s.SetItemIndex("Mode", 0);
    EXPECT_EQ(s.StolikSwitch(), 2);
    EXPECT_FALSE(s.At("StolikSwitch").enabled);
    EXPECT_FALSE(s.At("rgKatObrotu").enabled);
    EXPECT_TRUE(s.At("PowerOutput").enabled);
    EXPECT_TRUE(s.At("work_power_Bok").enabled);
    EXPECT_FALSE(s.At("Srednicamaterialu").enabled);

    s.SetItemIndex("Mode", 4);
    EXPECT_FALSE(s.At("work_power_Bok").enabled) << "no side wire in independent cutting";
    EXPECT_FALSE(s.At("PowerOutput").enabled);

    s.SetItemIndex("Mode", 3);
    EXPECT_EQ(s.ModeHint, 2);
    s.SetItemIndex("StolikSwitch", 2);
    EXPECT_FALSE(s.At("ilosckrokow").enabled) << "turning without a rotary axis has no steps per turn";
    s.SetItemIndex("StolikSwitch", 0);
    EXPECT_TRUE(s.At("ilosckrokow").enabled);
    s.SetItemIndex("CatDir", 1);
    EXPECT_FALSE(s.At("dopasujKierunek").enabled);
    s.SetItemIndex("CatDir", 2);
    EXPECT_TRUE(s.At("dopasujKierunek").enabled);

    s.SetItemIndex("Mode", 1);
    s.SetChecked("MoveAfter", true);
    EXPECT_EQ(s.ModeHint, 1);
    s.SetItemIndex("Mode", 5);
    EXPECT_FALSE(s.At("CatDir").enabled);
    EXPECT_TRUE(s.At("MoveAfter").enabled);
}

TEST_F(SettingsTest, FeedDirectionReachesTheJobWindows)
{
    std::vector<int> signs;
    s.OnFeedDirection = [&](int sign) { signs.push_back(sign); };
    s.SetItemIndex("CatDir", 1);
    s.SetItemIndex("CatDir", 0);
    s.OnFeedDirection = nullptr;
    ASSERT_GE(signs.size(), 2u);
    EXPECT_EQ(signs.front(), -1);
    EXPECT_EQ(signs.back(), 1);
}

TEST_F(SettingsTest, PowerLimitsClampBothHeaters)
{
    MachineFacts machine;
    s.SetValue("work_power", 10);
    s.SetValue("work_power_Bok", 9);
    s.ApplyMachineLimits(machine);
    EXPECT_EQ(s.Value("work_power"), 4);
    EXPECT_EQ(s.Value("work_power_Bok"), 4) << "the side heater is limited as well";

    machine.sideCurrentLimit = true;
    s.ApplyMachineLimits(machine);
    EXPECT_EQ(s.At("work_power_Bok").maxValue, 8);
    s.SetItemIndex("PowerOutput", 1);
    EXPECT_TRUE(s.PowerChanged);
    EXPECT_EQ(s.At("work_power").maxValue, 12);
    s.SetValue("work_power", 11);
    EXPECT_EQ(s.Value("work_power"), 11);
}

TEST_F(SettingsTest, ModeListFollowsTheMachineOnEveryShow)
{
    MachineFacts plain;  // an unidentified single-wire machine
    s.SetItemIndex("Mode", 4);
    SettingsFormActivate(plain, false);
    EXPECT_EQ(s.At("Mode").itemCount, 4);
    EXPECT_EQ(s.Mode(), 0) << "back to plain cutting, not to a neighbour";
    EXPECT_TRUE(s.ModeChanged) << "so the windows of the old mode close";
    SettingsCancel();
    EXPECT_TRUE(s.ModeChanged) << "cancelling does not bring the old mode back";

    MachineFacts twoWire;
    twoWire.twoWire = true;
    twoWire.productName = "Ve12    ";
    s.ModeChanged = false;
    SettingsFormActivate(twoWire, false);
    EXPECT_EQ(s.At("Mode").itemCount, 6) << "the list is rebuilt from the full list";
    EXPECT_FALSE(s.ModeChanged);

    SettingsFormActivate(plain, true);
    EXPECT_EQ(s.At("Mode").itemCount, 5) << "showAll keeps independent cutting";
}

TEST_F(SettingsTest, SavedHeaterPowersSurviveTheStartAndALoad)
{
    dir.Write("Pelvartonix.vkf", "work_power := 10\r\nwork_power_Bok := 6\r\nPowerOutput := 1\r\n");
    SettingsFormCreate(MachineFacts());
    EXPECT_EQ(s.Value("work_power"), 10) << "read before the output that allows it";
    EXPECT_EQ(s.Value("work_power_Bok"), 6);

    MachineFacts zu;
    zu.productName = "Zu40    ";
    zu.sideCurrentLimit = true;
    SettingsFormActivate(zu, false);
    EXPECT_EQ(s.Value("work_power"), 10) << "the shaped-wire output gives 12 A";
    EXPECT_EQ(s.Value("work_power_Bok"), 6);

    // Loaded while the dialog shows the straight-wire output.
    s.SetItemIndex("PowerOutput", 0);
    EXPECT_EQ(s.Value("work_power"), 4);
    SettingsLoadFrom(dir.Write("shaped.vkf", "work_power := 11\r\nPowerOutput := 1\r\n"));
    EXPECT_EQ(s.Value("work_power"), 11);
    SettingsLoadFrom(dir.Write("straight.vkf", "work_power := 10\r\nPowerOutput := 0\r\n"));
    EXPECT_EQ(s.Value("work_power"), 4) << "the limits of the output read still hold";
    EXPECT_TRUE(s.PowerChanged);
}

TEST_F(SettingsTest, RadioGroupsReadNoChoiceAndModesOfOtherMachines)
{
    SettingsFormActivate(MachineFacts(), false);  // four work modes on this machine
    s.SetItemIndex("Mode", 1);
    s.ModeChanged = false;
    LoadKonfig(dir.Write("other.vkf", "CatDir := -1\r\nMode := 5\r\n"));
    EXPECT_EQ(s.CatDir(), -1) << "as the settings file writes it";
    EXPECT_EQ(s.Mode(), 0) << "a mode this machine lacks reads as plain cutting";
    EXPECT_TRUE(s.ModeChanged);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsTest, CancelReturnsToTheValuesOfTheShowing)
{
    MachineFacts machine;
    const QByteArray defaults = "skala := 110\r\n";
    dir.Write("Pelvartonix.vkf", defaults);
    Gcf.SettingsPath = dir.File("second.vkf");
    s.SetValue("skala", 150);
    SettingsFormActivate(machine, false);
    s.SetValue("skala", 300);
    s.SetItemIndex("Mode", 1);
    SettingsCancel();
    EXPECT_EQ(s.Value("skala"), 150);
    EXPECT_EQ(s.Mode(), 0);
    EXPECT_FALSE(s.ModeChanged);

    s.SetValue("skala", 175);
    s.SetChecked("AutoSave", true);
    s.SetValue("fuPlt_accuracy", 0.1);
    EXPECT_FALSE(SettingsOk());
    EXPECT_EQ(PointTolerance, 4.0);
    EXPECT_TRUE(Read(Gcf.SettingsPath).contains("skala := 175"));
    EXPECT_EQ(Read(dir.File("Pelvartonix.vkf")), defaults) << "the default file is not the current one";
    EXPECT_EQ(Read(dir.File("Pelvartonix.gcf")).size(), 864);
    PointTolerance = 10.0;

    s.SetValue("feKalibracjaX", 2);
    EXPECT_TRUE(SettingsOk()) << "a calibration change asks for the resolution again";
}

TEST_F(SettingsTest, UnitChangeKeepsMillimetresAndShowsMoreDecimals)
{
    s.SetValue("szybkoscObrobki", 1000);
    s.SetItemIndex("radiounit", 1);
    EXPECT_EQ(CurrentLengthUnit, 1);
    EXPECT_EQ(s.Value("szybkoscObrobki"), 1000);
    EXPECT_EQ(s.At("szybkoscObrobki").digits, 2);
    EXPECT_EQ(s.At("fuPlt_accuracy").digits, 3);
    EXPECT_DOUBLE_EQ(s.At("szybkoscObrobki").increment, 25.4);
    s.SetItemIndex("radiounit", 2);
    EXPECT_EQ(s.At("Ystolika").digits, 3);
}

TEST_F(SettingsTest, RangesClampWhatIsSet)
{
    s.SetValue("skala", 5000);
    EXPECT_EQ(s.Value("skala"), 1000);
    s.SetValue("feuDystansYside", -5);
    EXPECT_EQ(s.Value("feuDystansYside"), -5) << "no range: nothing is clamped";
    s.SetValue("fuPlt_accuracy", 1);
    EXPECT_EQ(s.Value("fuPlt_accuracy"), 0.25);
}
