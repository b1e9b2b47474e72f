#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/Settings.h"
#include "app/SettingsFiles.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/ui/Forms.h"
#include "app/ui/MainForm.h"
#include "app/ui/SettingsDialog.h"
#include "app/widgets/FloatEdit.h"
#include "app/widgets/QtMessagePresenter.h"
#include "job/ui/MDIChild.h"
#include "machine/Bytes.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/WireSelection.h"
#include "tests/support/FakeLink.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {
class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        setenv("LC_ALL", "C", 1);
        QLocale::setDefault(QLocale::c());
        Settings().Reset();
        PlotState = tplotstate();
        ResetMachineConstants();
        WireSelection() = TsterModel();
        CurrentLengthUnit = 0;
    }
    void TearDown() override
    {
        DestroyForms();
        delete Interfejs;
        Interfejs = nullptr;
        SetCommandLine({});
        TDlgkonfig::SetFileChooser(nullptr);
        QLocale::setDefault(QLocale::c());
        QApplication::setLayoutDirection(Qt::LeftToRight);
        ApplicationRightToLeft = false;
        DealerBrandName.clear();
    }

    // The program's windows in the test's program folder. A first start finds
    // no settings file: it is reported once and written.
    void Start(const QStringList& parameters = {}, bool firstRun = true)
    {
        SetCommandLine(parameters);
        ASSERT_TRUE(CreateForms());
        ASSERT_NE(Dlgkonfig, nullptr);
        // Without a machine the control panel says so at every start.
        if (firstRun) {
            ASSERT_EQ(boxes.shown.size(), 2u);
            EXPECT_EQ(boxes.shown[0].caption, Tr("Configuration", "brakKonfiga"));
        } else {
            ASSERT_EQ(boxes.shown.size(), 1u);
        }
        EXPECT_EQ(boxes.shown.back().text, Tr("Control", "brakPlotera"));
        boxes.shown.clear();
    }

    // The program ends and starts again in the same folder.
    void Restart(const QStringList& parameters = {})
    {
        DestroyForms();
        delete Interfejs;
        Interfejs = nullptr;
        Settings().Reset();
        CurrentLengthUnit = 0;
        Start(parameters, false);
    }

    template <typename T>
    T* Child(const char* name) const
    {
        T* w = Dlgkonfig->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    NumericEdit* Edit(const char* name) const { return Child<NumericEdit>(name); }
    QRadioButton* Item(const char* setting, int index) const
    {
        QRadioButton* b = Dlgkonfig->Item(setting, index);
        EXPECT_NE(b, nullptr) << setting << index;
        return b;
    }
    QString Label(const char* name) const { return Child<QLabel>(name)->text(); }

    // What the operator does in a numeric field: types and leaves it.
    static void Type(NumericEdit* edit, const QString& text)
    {
        QLineEdit* field = edit->findChild<QLineEdit*>();
        field->selectAll();
        QTest::keyClicks(field, text);
        edit->LeaveField();
    }

    // The main window's settings command, with the operator's actions run
    // while the dialog is open. The dialog is closed with Cancel should the
    // actions leave it open.
    void RunSettingsCommand(const std::function<void()>& actions)
    {
        QTimer::singleShot(0, Dlgkonfig, [this, actions] {
            actions();
            if (Dlgkonfig->isVisible())
                Dlgkonfig->reject();
        });
        MainForm->KonfiguracjaClick();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Every text an operator can see, page by page.
    QStringList ShownTexts() const
    {
        QStringList texts{Dlgkonfig->windowTitle()};
        QTabWidget* pages = Dlgkonfig->Pages();
        for (int i = 0; i < pages->count(); ++i) {
            if (!pages->isTabVisible(i))
                continue;
            pages->setCurrentIndex(i);
            texts << pages->tabText(i);
            for (QWidget* w : Dlgkonfig->findChildren<QWidget*>()) {
                // The tab bar's own scroll buttons carry no text.
                if (!w->isVisibleTo(Dlgkonfig) || qobject_cast<QTabBar*>(w->parentWidget()))
                    continue;
                if (auto* l = qobject_cast<QLabel*>(w))
                    texts << l->text();
                else if (auto* b = qobject_cast<QAbstractButton*>(w))
                    texts << b->text();
                else if (auto* g = qobject_cast<QGroupBox*>(w))
                    texts << g->title();
            }
        }
        pages->setCurrentIndex(0);
        return texts;
    }

    TempProgramDir dir;
    ScriptedPresenter boxes;
};

// The status reply of a machine: status word and front carriage counters.
void PutStatus(FakeLink& link, bool homed, bool working = false, int32_t counterX = 0, int32_t counterY = 0)
{
    link.replies[10].fill(0);
    link.replies[10][2] = working ? 0x02 : 0;
    link.replies[10][4] = homed ? 0x04 : 0;
    link.Put32(10, 6, counterX);
    link.Put32(10, 10, counterY);
}

QByteArray PowerOutputCommand(int32_t n) { return QByteArray("S\x04", 2) + Int32ToBytes(n); }

int CountStartingWith(const std::vector<QByteArray>& writes, const QByteArray& prefix)
{
    return static_cast<int>(
        std::count_if(writes.begin(), writes.end(), [&](const QByteArray& w) { return w.startsWith(prefix); }));
}
}  // namespace

TEST_F(SettingsDialogTest, EverySettingHasItsControlNamedLikeIt)
{
    Start();
    for (const SettingEntry& e : Settings().Entries()) {
        QWidget* w = Dlgkonfig->Control(e.name);
        ASSERT_NE(w, nullptr) << e.name;
        EXPECT_EQ(w->objectName(), e.name);
        switch (e.kind) {
        case SettingKind::RadioGroup:
            EXPECT_NE(qobject_cast<QGroupBox*>(w), nullptr) << e.name;
            EXPECT_NE(Dlgkonfig->Item(e.name, e.itemCount - 1), nullptr) << e.name;
            break;
        case SettingKind::CheckBox:
            EXPECT_NE(qobject_cast<QCheckBox*>(w), nullptr) << e.name;
            break;
        case SettingKind::FloatEdit:
            EXPECT_STREQ(w->metaObject()->className(), "TFloatEdit") << e.name;
            break;
        case SettingKind::FloatEditU:
            EXPECT_STREQ(w->metaObject()->className(), "TFloatEditU") << e.name;
            break;
        case SettingKind::ScrollBar:
            EXPECT_EQ(qobject_cast<QScrollBar*>(w)->maximum(), 20) << e.name;
            break;
        }
    }
    // Kept and saved, never shown.
    EXPECT_FALSE(Dlgkonfig->Control("cbCheckForUpdate")->isVisibleTo(Dlgkonfig));
    Dlgkonfig->Pages()->setCurrentWidget(Child<QWidget>("Tabsheet2"));
    EXPECT_FALSE(Dlgkonfig->Control("Xnarzedzia")->isVisibleTo(Dlgkonfig));
    EXPECT_TRUE(Dlgkonfig->Control("Xstolika")->isVisibleTo(Dlgkonfig));
    // The side wire's edits sit on their own panel.
    QWidget* pBok = Child<QWidget>("pBok");
    for (const char* side : {"szybkoscObrobkiBok", "work_power_Bok", "CzasRozgrzewaniaBok", "Pauza_w_kacie_Bok"})
        EXPECT_TRUE(pBok->isAncestorOf(Dlgkonfig->Control(side))) << side;
}

TEST_F(SettingsDialogTest, EveryShownTextIsTranslatedInEnglish)
{
    Start();
    EXPECT_EQ(Dlgkonfig->windowTitle(), dir.File("Pelvartonix.vkf"));
    const QStringList texts = ShownTexts();
    EXPECT_GT(texts.size(), 60);
    for (const QString& t : texts) {
        EXPECT_NE(t, "error");
        EXPECT_FALSE(t.trimmed().isEmpty()) << "a control without its text";
    }
    QTabWidget* pages = Dlgkonfig->Pages();
    EXPECT_EQ(pages->tabText(0), "Machine");
    EXPECT_EQ(pages->tabText(1), "Rotary axis");
    EXPECT_EQ(pages->tabText(2), "Other");
    EXPECT_FALSE(pages->isTabVisible(3)) << "the special page needs collision checking off";
    EXPECT_EQ(Child<QGroupBox>("rgKatObrotu")->title(), " Rotation angle [Serial cutting] ");
    EXPECT_EQ(Child<QCheckBox>("MoveAfter")->text(), Tr("Configuration", "VePrzesunPoCieciu"));
    EXPECT_EQ(Label("lFront"), "Front");
    EXPECT_EQ(Label("lBok"), "Side");
    EXPECT_EQ(Item("radiounit", 0)->text(), "mm");
    EXPECT_EQ(Item("radiounit", 1)->text(), "in");
    EXPECT_EQ(Item("radiounit", 2)->text(), "ft");
    EXPECT_EQ(Item("Mode", 5)->text(), "Transverse cutting");
    EXPECT_EQ(Item("rgBazowanie", 1)->text(), "Slower (X first, then Y)");
    EXPECT_EQ(Label("lUnitSpeed"), "[mm/min]");
    EXPECT_EQ(Label("lUnitSrednica"), "[mm]");
}

TEST_F(SettingsDialogTest, PolishSwitchTranslatesTheDialogAndShowsTheSpecialPage)
{
    Start({"PL", "disableWiresCrashChecking"});
    QTabWidget* pages = Dlgkonfig->Pages();
    ASSERT_TRUE(pages->isTabVisible(3));
    EXPECT_EQ(pages->tabText(3), Tr("Configuration", "tabSpecial.caption"));
    const QStringList texts = ShownTexts();
    for (const QString& t : texts) {
        EXPECT_NE(t, "error");
        EXPECT_FALSE(t.trimmed().isEmpty());
    }
    EXPECT_TRUE(texts.contains(Label("lDystansYside")));
    EXPECT_EQ(Label("lFront"), QString::fromUtf8("Przód"));
    EXPECT_EQ(Label("lBok"), "Bok");
    EXPECT_EQ(Child<QPushButton>("cancel")->text(), Tr("Configuration", "cancel.caption"));
    EXPECT_NE(Child<QPushButton>("cancel")->text(), "Cancel");
    EXPECT_EQ(Item("Mode", 0)->text(), Tr("Configuration", "mode.2D"));
    EXPECT_EQ(Item("radiounit", 1)->text(), "in") << "unit names are the same in every language";
}

TEST_F(SettingsDialogTest, OkKeepsTheEditsAcrossARestart)
{
    Start();
    Dlgkonfig->show();
    Child<QCheckBox>("AutoSave")->click();
    Type(Edit("skala"), "250");
    Item("Mode", 1)->click();
    Type(Edit("Srednicamaterialu"), "800");
    Child<QScrollBar>("sbWspSymulacji")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_TRUE(Settings().Checked("AutoSave"));
    EXPECT_EQ(Settings().Value("skala"), 250);
    EXPECT_EQ(Settings().ItemIndex("sbWspSymulacji"), 1);
    Child<QPushButton>("Button1")->click();
    EXPECT_FALSE(Dlgkonfig->isVisible());
    EXPECT_EQ(Dlgkonfig->result(), QDialog::Accepted);
    EXPECT_EQ(QFile(dir.File("Pelvartonix.gcf")).size(), kGcfSize);
    QFile vkf(dir.File("Pelvartonix.vkf"));
    ASSERT_TRUE(vkf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(vkf.readAll().contains("skala := 250\r\n"));
    vkf.close();

    Restart();
    EXPECT_EQ(Settings().Value("skala"), 250);
    EXPECT_EQ(Edit("skala")->Text(), "250");
    EXPECT_EQ(Edit("Srednicamaterialu")->Text(), "800.0");
    EXPECT_TRUE(Item("Mode", 1)->isChecked());
    EXPECT_TRUE(Child<QCheckBox>("AutoSave")->isChecked());
    EXPECT_EQ(Child<QScrollBar>("sbWspSymulacji")->value(), 1);
}

TEST_F(SettingsDialogTest, OkTakesWhatIsStillBeingTyped)
{
    Start();
    Dlgkonfig->show();
    QApplication::setActiveWindow(Dlgkonfig);
    NumericEdit* skala = Edit("skala");
    skala->setFocus();
    QLineEdit* field = skala->findChild<QLineEdit*>();
    field->selectAll();
    QTest::keyClicks(field, "321");
    EXPECT_EQ(Settings().Value("skala"), 100) << "not taken before the field is left";
    QTest::keyClick(skala, Qt::Key_Return);
    EXPECT_FALSE(Dlgkonfig->isVisible()) << "Enter is the OK button's";
    EXPECT_EQ(Dlgkonfig->result(), QDialog::Accepted);
    EXPECT_EQ(Settings().Value("skala"), 321);

    Dlgkonfig->show();
    QApplication::setActiveWindow(Dlgkonfig);
    NumericEdit* speed = Edit("szybkoscObrobki");
    speed->setFocus();
    field = speed->findChild<QLineEdit*>();
    field->selectAll();
    QTest::keyClicks(field, "1500");
    Child<QPushButton>("Button1")->click();
    EXPECT_EQ(Settings().Value("szybkoscObrobki"), 1500);
}

TEST_F(SettingsDialogTest, CancelEscapeAndCloseButtonReturnToTheValuesOfTheShowing)
{
    Start();
    auto bytes = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    // The operator works with a second machine's file; the default one is
    // theirs as well and no showing may write it.
    const QByteArray defaults = bytes(dir.File("Pelvartonix.vkf"));
    ASSERT_FALSE(defaults.isEmpty());
    Gcf.SettingsPath = dir.Write("second.vkf", "skala := 110\r\n");
    Settings().SetValue("skala", 120);
    const std::function<void()> ways[] = {
        [this] { Child<QPushButton>("cancel")->click(); },
        [] { QTest::keyClick(Dlgkonfig, Qt::Key_Escape); },
        [] { Dlgkonfig->close(); },
    };
    for (const auto& leave : ways) {
        Dlgkonfig->show();
        Type(Edit("skala"), "300");
        Item("Mode", 2)->click();
        Item("radiounit", 1)->click();
        Child<QCheckBox>("AddFrame")->click();
        ASSERT_EQ(Settings().Value("skala"), 300);
        ASSERT_EQ(Settings().ItemIndex("StolikSwitch"), 1);
        leave();
        EXPECT_FALSE(Dlgkonfig->isVisible());
        EXPECT_EQ(Dlgkonfig->result(), QDialog::Rejected);
        EXPECT_EQ(Settings().Value("skala"), 120);
        EXPECT_EQ(Edit("skala")->Text(), "120");
        EXPECT_EQ(Settings().Mode(), 0);
        EXPECT_TRUE(Item("Mode", 0)->isChecked());
        EXPECT_EQ(Settings().StolikSwitch(), 2) << "what the mode forced is undone too";
        EXPECT_TRUE(Child<QCheckBox>("AddFrame")->isChecked());
        EXPECT_FALSE(Settings().ModeChanged);
        EXPECT_EQ(CurrentLengthUnit, 0);
        EXPECT_EQ(Edit("szybkoscObrobki")->Text(), "1000.0");
    }
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(bytes(dir.File("Pelvartonix.vkf")), defaults);
    EXPECT_EQ(bytes(Gcf.SettingsPath), "skala := 110\r\n");
}

TEST_F(SettingsDialogTest, InchesShowEveryLengthInInchesWhileTheStoreKeepsMillimetres)
{
    Start();
    Dlgkonfig->show();
    Item("radiounit", 1)->click();
    EXPECT_EQ(CurrentLengthUnit, 1);
    EXPECT_EQ(Settings().Value("szybkoscObrobki"), 1000);
    const std::pair<const char*, const char*> shown[] = {
        {"szybkoscObrobki", "39.37"}, {"szybkoscObrobkiBok", "39.37"}, {"PrzeSpeed", "39.37"},
        {"Srednicamaterialu", "19.69"}, {"Xwrzeciona", "0.47"}, {"Ywrzeciona", "28.74"},
        {"Xstolika", "39.37"}, {"Ystolika", "9.84"}, {"Xnarzedzia", "0.00"}, {"Ynarzedzia", "0.00"},
        {"feuDystansYside", "0.00"}, {"fuPlt_accuracy", "0.010"}};  // the accuracy: one decimal more
    for (const auto& [name, text] : shown)
        EXPECT_EQ(Edit(name)->Text(), text) << name;
    EXPECT_EQ(Edit("skala")->Text(), "100") << "not a length";
    EXPECT_EQ(Label("lUnitSpeed"), "[in/min]");
    EXPECT_EQ(Label("lUnitPrzeSpeed"), "[in/min]");
    for (const char* unit : {"lUnitSrednica", "lUnitXwrzeciona", "lUnitYwrzeciona", "lUnitXstolika",
                             "lUnitYstolika", "lUnitXnarzedzia", "lUnitYnarzedzia", "lUnitPlt_accuracy",
                             "lUnitDystansYside"})
        EXPECT_EQ(Label(unit), "[in]") << unit;

    // What the operator types is in inches; the store gets millimetres.
    Type(Edit("Xstolika"), "10");
    EXPECT_DOUBLE_EQ(Settings().Value("Xstolika"), 254.0);
    EXPECT_EQ(Edit("Xstolika")->Text(), "10.00");

    // A decimal comma where the mark is a point is no number: it stays as
    // typed, the store keeps its value, the operator is told, and OK waits.
    const double accuracy = Settings().Value("fuPlt_accuracy");
    Type(Edit("fuPlt_accuracy"), "0,5");
    EXPECT_EQ(Edit("fuPlt_accuracy")->Text(), "0,5");
    EXPECT_EQ(Settings().Value("fuPlt_accuracy"), accuracy);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains("0,5")) << boxes.shown[0].text.toStdString();
    Dlgkonfig->accept();
    EXPECT_TRUE(Dlgkonfig->isVisible());
    EXPECT_EQ(boxes.shown.size(), 2u);

    Item("radiounit", 2)->click();
    EXPECT_EQ(Edit("szybkoscObrobki")->Text(), "3.281");
    EXPECT_EQ(Label("lUnitXstolika"), "[ft]");
    Item("radiounit", 0)->click();
    EXPECT_EQ(Edit("Xstolika")->Text(), "254.0");
    EXPECT_EQ(Settings().Value("szybkoscObrobki"), 1000) << "no drift through the units";

    // Shown and read with the locale's decimal separator.
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    Item("radiounit", 1)->click();
    EXPECT_EQ(Edit("szybkoscObrobki")->Text(), "39,37");
    Type(Edit("Xstolika"), "2,5");
    EXPECT_DOUBLE_EQ(Settings().Value("Xstolika"), 63.5);
}

TEST_F(SettingsDialogTest, WorkModeDisablesAndForcesTheControls)
{
    Start();
    Dlgkonfig->show();
    Item("Mode", 2)->click();
    EXPECT_TRUE(Settings().ModeChanged);
    EXPECT_FALSE(Dlgkonfig->Control("CatDir")->isEnabled());
    EXPECT_TRUE(Item("CatDir", 2)->isChecked());
    EXPECT_TRUE(Item("StolikSwitch", 1)->isChecked());
    EXPECT_TRUE(Dlgkonfig->Control("StolikSwitch")->isEnabled());
    EXPECT_FALSE(Dlgkonfig->Control("PowerOutput")->isEnabled());
    EXPECT_TRUE(Item("PowerOutput", 0)->isChecked());
    EXPECT_TRUE(Dlgkonfig->Control("rgKatObrotu")->isEnabled());
    EXPECT_FALSE(Dlgkonfig->Control("KierunekObrotow")->isEnabled());
    EXPECT_FALSE(Dlgkonfig->Control("ilosckrokow")->isEnabled());
    EXPECT_FALSE(Child<QLabel>("Labelilkrok")->isEnabled()) << "a label goes with its edit";
    EXPECT_FALSE(Dlgkonfig->Control("MoveAfter")->isEnabled());
    EXPECT_TRUE(Dlgkonfig->Control("Wstrzymaj")->isEnabled());
    EXPECT_TRUE(Dlgkonfig->Control("Srednicamaterialu")->isEnabled());
    EXPECT_TRUE(Child<QLabel>("lUnitSrednica")->isEnabled());
    EXPECT_TRUE(Dlgkonfig->Control("Mode")->toolTip().isEmpty());

    // Plain cutting: the rotary fields go, the forced values stay as forced.
    Item("Mode", 0)->click();
    EXPECT_TRUE(Dlgkonfig->Control("CatDir")->isEnabled());
    EXPECT_FALSE(Dlgkonfig->Control("Srednicamaterialu")->isEnabled());
    EXPECT_FALSE(Child<QLabel>("Labelsrednica")->isEnabled());
    EXPECT_FALSE(Child<QLabel>("lUnitSrednica")->isEnabled());
    EXPECT_FALSE(Dlgkonfig->Control("PrzeSpeed")->isEnabled());
    EXPECT_FALSE(Child<QLabel>("lUnitPrzeSpeed")->isEnabled());
    EXPECT_FALSE(Dlgkonfig->Control("rgKatObrotu")->isEnabled());
    EXPECT_FALSE(Dlgkonfig->Control("Wstrzymaj")->isEnabled()) << "no passes to hold between";
    EXPECT_TRUE(Item("StolikSwitch", 2)->isChecked());

    // Rotary cutting recommends the straight wire, turning the shaped one.
    Item("Mode", 1)->click();
    EXPECT_EQ(Dlgkonfig->Control("Mode")->toolTip(), "Straight wire : recommended");
    EXPECT_TRUE(Dlgkonfig->Control("ilosckrokow")->isEnabled());
    Item("StolikSwitch", 0)->click();
    EXPECT_TRUE(Dlgkonfig->Control("ilosckrokow")->isEnabled());
    Item("StolikSwitch", 2)->click();
    EXPECT_FALSE(Dlgkonfig->Control("ilosckrokow")->isEnabled()) << "no rotary axis fitted";
    EXPECT_FALSE(Dlgkonfig->Control("il_obr_rys")->isEnabled());
    Item("Mode", 3)->click();
    EXPECT_EQ(Dlgkonfig->Control("Mode")->toolTip(), "Shaped wire : recommended");
    EXPECT_TRUE(Dlgkonfig->Control("dopasujKierunek")->isEnabled()) << "both ways feed";
    Item("CatDir", 0)->click();
    EXPECT_FALSE(Dlgkonfig->Control("dopasujKierunek")->isEnabled());
}

TEST_F(SettingsDialogTest, TheMachineDecidesWhichModesAreOffered)
{
    Start();
    Dlgkonfig->show();
    // An unknown single-wire machine: plain, rotary, serial and turning.
    EXPECT_FALSE(Item("Mode", 3)->isHidden());
    EXPECT_TRUE(Item("Mode", 4)->isHidden());
    EXPECT_TRUE(Item("Mode", 5)->isHidden());
    EXPECT_TRUE(Dlgkonfig->Control("MoveAfter")->isHidden());
    Dlgkonfig->reject();

    // A two-wire machine offers every mode and the move after cutting.
    PlotState.ModelCode = "Ky";
    PlotState.ProductName = "Ky100   ";
    Dlgkonfig->show();
    EXPECT_FALSE(Item("Mode", 5)->isHidden());
    EXPECT_FALSE(Dlgkonfig->Control("MoveAfter")->isHidden());
    Item("Mode", 4)->click();
    EXPECT_FALSE(Child<QWidget>("pBok")->isEnabled()) << "independent cutting runs without the side panel";
    EXPECT_FALSE(Dlgkonfig->Control("work_power_Bok")->isEnabled());
    EXPECT_FALSE(Dlgkonfig->Control("PowerOutput")->isEnabled());
    EXPECT_FALSE(Dlgkonfig->Control("Wstrzymaj")->isEnabled());
    Item("Mode", 0)->click();
    EXPECT_TRUE(Child<QWidget>("pBok")->isEnabled());
    EXPECT_TRUE(Dlgkonfig->Control("PowerOutput")->isEnabled());
    Dlgkonfig->reject();
}

TEST_F(SettingsDialogTest, PowerLimitsReachTheHeaterFields)
{
    Start();
    Dlgkonfig->show();
    auto* power = Edit("work_power");
    EXPECT_EQ(power->MaxValue(), 4);
    Item("PowerOutput", 1)->click();
    EXPECT_EQ(power->MaxValue(), 12);
    Type(power, "9");
    EXPECT_EQ(Settings().Value("work_power"), 9);
    Item("PowerOutput", 0)->click();
    EXPECT_EQ(power->Text(), "4") << "the straight wire's output lowers the power";
    Dlgkonfig->reject();
}

TEST_F(SettingsDialogTest, ReadPositionNeedsAHomedMachine)
{
    Start();
    Dlgkonfig->show();
    Dlgkonfig->Pages()->setCurrentWidget(Child<QWidget>("Tabsheet2"));

    // No machine at all: whether it is homed was not read.
    Child<QPushButton>("btnPobierzXYstolika")->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Control", "ploterBrakLacznosci"));
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);

    // A machine that has not been homed.
    FakeLink link;
    MainForm->AttachedMachine().SetLink(link);
    PutStatus(link, false, false, 123456, 45678);
    Child<QPushButton>("btnPobierzXYwrzeciona")->click();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, Tr("Configuration", "wykonajBazowaniePrzed"));
    EXPECT_EQ(Settings().Value("Xwrzeciona"), 12);
    EXPECT_EQ(Settings().Value("Xstolika"), 1000);

    // Homed: the front carriage's position, hundredths of a millimetre.
    PutStatus(link, true, false, 123456, 45678);
    Child<QPushButton>("btnPobierzXYstolika")->click();
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_DOUBLE_EQ(Settings().Value("Xstolika"), 1234.56);
    EXPECT_DOUBLE_EQ(Settings().Value("Ystolika"), 456.78);
    EXPECT_EQ(Edit("Xstolika")->Text(), "1234.6");
    EXPECT_EQ(Edit("Ystolika")->Text(), "456.8");
    EXPECT_EQ(Settings().Value("Xwrzeciona"), 12) << "the other pair stays";

    PutStatus(link, true, false, -50025, 70050);
    Child<QPushButton>("btnPobierzXYwrzeciona")->click();
    EXPECT_DOUBLE_EQ(Settings().Value("Xwrzeciona"), -500.25);
    EXPECT_DOUBLE_EQ(Settings().Value("Ywrzeciona"), 700.5);
    EXPECT_DOUBLE_EQ(Settings().Value("Xstolika"), 1234.56);
    EXPECT_TRUE(link.writes.empty()) << "reading positions sends nothing";
    Dlgkonfig->reject();
}

TEST_F(SettingsDialogTest, SaveAndLoadGoThroughTheFileChooser)
{
    Start();
    std::vector<SettingsFileRequest> requests;
    QString answer;
    TDlgkonfig::SetFileChooser([&](QWidget* parent, const SettingsFileRequest& r) {
        EXPECT_EQ(parent, Dlgkonfig);
        requests.push_back(r);
        return answer;
    });
    Dlgkonfig->show();
    Child<QCheckBox>("AutoSave")->click();
    Type(Edit("skala"), "150");
    Item("radiounit", 1)->click();

    const QString other = dir.File("other.vkf");
    answer = other;
    Child<QPushButton>("zapis")->click();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].defaultSuffix, "vkf");
    EXPECT_TRUE(requests[0].filter.contains("(*.vkf)"));
    EXPECT_EQ(requests[0].folder + "/", dir.Path()) << "starts beside the current settings file";
    EXPECT_EQ(Dlgkonfig->windowTitle(), other);
    EXPECT_EQ(Gcf.SettingsPath, other);
    QFile saved(other);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    EXPECT_TRUE(text.contains("skala := 150\r\n"));
    EXPECT_TRUE(text.contains("radiounit := 1\r\n"));

    // Given up: nothing changes.
    Type(Edit("skala"), "175");
    answer.clear();
    Child<QPushButton>("Odczyt")->click();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[1].save);
    EXPECT_EQ(requests[1].title, Tr("Configuration", "opendialogkonfig.title"));
    EXPECT_EQ(Settings().Value("skala"), 175);

    // A file with another work mode and unit: the dialog shows it at once.
    const QString serial = dir.Write("serial.vkf", "Mode := 2\r\nradiounit := 0\r\nskala := 60\r\n");
    answer = serial;
    Child<QPushButton>("Odczyt")->click();
    EXPECT_EQ(Dlgkonfig->windowTitle(), serial);
    EXPECT_EQ(Edit("skala")->Text(), "60");
    EXPECT_TRUE(Item("Mode", 2)->isChecked());
    EXPECT_FALSE(Dlgkonfig->Control("CatDir")->isEnabled());
    EXPECT_EQ(Edit("szybkoscObrobki")->Text(), "1000.0");
    EXPECT_EQ(Label("lUnitSpeed"), "[mm/min]");

    answer = other;
    Child<QPushButton>("Odczyt")->click();
    EXPECT_EQ(Edit("skala")->Text(), "150");
    EXPECT_EQ(Edit("szybkoscObrobki")->Text(), "39.37");

    // The chosen file is the program's settings file from now on.
    Type(Edit("skala"), "140");
    Child<QPushButton>("Button1")->click();
    Restart();
    EXPECT_EQ(Dlgkonfig->windowTitle(), other);
    EXPECT_EQ(Settings().Value("skala"), 140);
    EXPECT_EQ(CurrentLengthUnit, 1);
}

TEST_F(SettingsDialogTest, SettingsCommandClosesTheJobsOnlyForANewWorkMode)
{
    Start();
    MainForm->NewJobWindow();
    MainForm->NewJobWindow();
    RunSettingsCommand([this] {
        Item("Mode", 1)->click();
        Child<QPushButton>("cancel")->click();
    });
    EXPECT_EQ(MainForm->JobWindows().size(), 2) << "a cancelled mode change closes nothing";

    RunSettingsCommand([this] {
        Type(Edit("skala"), "90");
        Child<QPushButton>("Button1")->click();
    });
    EXPECT_EQ(MainForm->JobWindows().size(), 2);
    EXPECT_EQ(Settings().Value("skala"), 90);

    RunSettingsCommand([this] {
        Item("Mode", 1)->click();
        Child<QPushButton>("Button1")->click();
    });
    EXPECT_TRUE(MainForm->JobWindows().isEmpty());
    EXPECT_EQ(Settings().Mode(), 1);
}

TEST_F(SettingsDialogTest, SettingsCommandSendsTheHeaterOutputAfterTheDialogCloses)
{
    Start();
    FakeLink link;
    MainForm->AttachedMachine().SetLink(link);
    PutStatus(link, false);

    size_t whileOpen = 99;
    RunSettingsCommand([&] {
        whileOpen = link.writes.size();
        Item("PowerOutput", 1)->click();
        Child<QPushButton>("Button1")->click();
    });
    EXPECT_EQ(whileOpen, 0u);
    ASSERT_FALSE(link.writes.empty());
    EXPECT_EQ(link.writes.back(), PowerOutputCommand(1));

    // The straight wire: 0 with the front wire selected, 5 without it. Sent
    // even after Cancel: Cancel sets the values of the showing as a load does.
    WireSelection().KeyFront = false;
    RunSettingsCommand([this] { Item("PowerOutput", 0)->click(); });
    EXPECT_EQ(link.writes.back(), PowerOutputCommand(1)) << "cancelled: the output of the showing";
    link.writes.clear();
    RunSettingsCommand([this] {
        Item("PowerOutput", 0)->click();
        Child<QPushButton>("Button1")->click();
    });
    EXPECT_EQ(link.writes, std::vector<QByteArray>{PowerOutputCommand(5)});

    // A job in progress keeps its output.
    link.writes.clear();
    PutStatus(link, false, true);
    RunSettingsCommand([this] { Child<QPushButton>("Button1")->click(); });
    EXPECT_EQ(CountStartingWith(link.writes, QByteArray("S\x04", 2)), 0);

    // No machine: nothing goes out and nobody is told.
    link.found = false;
    PutStatus(link, false);
    RunSettingsCommand([this] { Child<QPushButton>("Button1")->click(); });
    EXPECT_TRUE(link.writes.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsDialogTest, SettingsCommandPlansThePlainJobsNotPlannedYet)
{
    Start();
    TMDIChild* child = MainForm->NewJobWindow();
    for (int i = 0; i < 3; ++i) {
        auto f = std::make_unique<tfigura>();
        f->Points = {{i * 1000, 0}, {i * 1000 + 400, 0}, {i * 1000 + 400, 400}, {i * 1000, 400}, {i * 1000, 0}};
        child->Job().AddFigure(std::move(f));
    }
    child->Job().Ustaw_PPiPK();
    ASSERT_EQ(child->Job().PathPlanned, 0);
    RunSettingsCommand([this] { Child<QPushButton>("Button1")->click(); });
    EXPECT_EQ(child->Job().PathPlanned, 1);
    for (const auto& f : child->Job().FigureList)
        EXPECT_EQ(f->NotConnected, 0);
}

TEST(SkippedLinesBox, ThousandsOfLinesStayOnTheScreenWithTheirOkButton)
{
    App();
    MessageRequest request;
    request.kind = MessageKind::Error;
    request.text = "These lines were skipped:\r\n" + QString("x := ?\r\n").repeated(40000);
    const std::unique_ptr<QDialog> box = MakeMessageBox(request, nullptr);
    box->show();
    QApplication::processEvents();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(box->frameGeometry().height(), screen.height());
    EXPECT_NE(box->findChild<QPlainTextEdit*>("messageText"), nullptr);
    box->close();

    // A short text under a long caption: the box is as wide as its caption
    // and the window manager's title buttons besides.
    request.text = "/tmp/a.vkf";
    request.caption = "Settings file not found - a new one has been created";
    const std::unique_ptr<QDialog> small = MakeMessageBox(request, nullptr);
    small->show();
    QApplication::processEvents();
    EXPECT_GE(small->width(),
              QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(request.caption) + 120);
    small->close();

    // A question whose Yes gives work up answers No (else Cancel) to Enter;
    // any other keeps the presenter's usual default.
    MessageRequest question;
    question.kind = MessageKind::Question;
    question.buttons = MessageButtons::YesNo;
    question.keepsWorkByDefault = true;
    const std::unique_ptr<QMessageBox> yesNo = MakeQuestionBox(question, nullptr);
    EXPECT_EQ(yesNo->defaultButton(), yesNo->button(QMessageBox::No));
    question.buttons = MessageButtons::OkCancel;
    const std::unique_ptr<QMessageBox> okCancel = MakeQuestionBox(question, nullptr);
    EXPECT_EQ(okCancel->defaultButton(), okCancel->button(QMessageBox::Cancel));
    question.keepsWorkByDefault = false;
    const std::unique_ptr<QMessageBox> plain = MakeQuestionBox(question, nullptr);
    EXPECT_NE(plain->defaultButton(), plain->button(QMessageBox::Cancel));
}
