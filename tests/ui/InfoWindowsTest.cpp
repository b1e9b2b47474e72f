#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/ui/AppForms.h"
#include "app/ui/FolderDialog.h"
#include "machine/SimulatedController.h"
#include "tests/support/SimulatedLink.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <deque>
#include <gtest/gtest.h>
#include <memory>

namespace {
class FolderDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        ASSERT_TRUE(tmp.isValid());
        root = QDir::cleanPath(tmp.path());
    }
    // The dialog with the temporary folder selected and the input box answered
    // from `names` (cancelled once they run out).
    std::unique_ptr<TfDlgDir> Dialog()
    {
        auto d = std::make_unique<TfDlgDir>();
        d->ProposedName = "proposed";
        d->AskFolderName = [this](QString& name) {
            offered.push_back(name);
            if (names.empty())
                return false;
            name = names.front();
            names.pop_front();
            return true;
        };
        d->Beep = [this] { ++beeps; };
        d->GoToFolder(root);
        return d;
    }
    QStringList Entries() const { return QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

    ScopedTranslator tr;
    ScriptedPresenter boxes;
    QTemporaryDir tmp;
    QString root;
    std::deque<QString> names;
    QStringList offered;
    int beeps = 0;
};

TEST_F(FolderDialogTest, RefusedNamesAreAskedAgainWithTheForbiddenCharacters)
{
    auto d = Dialog();
    names = {"a/b", ""};
    d->btnNewFolder->click();
    const QString tail = "\r\n\r\n" + Tr("SelectFolder", "msgZnakiNiedozwolone") + " :  " + R"(\/:*?"<>|)";
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, Tr("SelectFolder", "msgNiepoprawnaNazwaFolderu") + "\r\n\r\na/b" + tail);
    EXPECT_EQ(boxes.shown[1].text, Tr("SelectFolder", "msgNiepoprawnaNazwaFolderu") + "\r\n\r\n" + tail);
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(offered, QStringList({"proposed", "a/b", ""})) << "each time with the name refused";
    EXPECT_TRUE(Entries().isEmpty());
    EXPECT_EQ(d->SelectedFolder(), root);
}

TEST_F(FolderDialogTest, ExistingFolderIsOnlyReportedANewOneIsMadeAndSelected)
{
    ASSERT_TRUE(QDir(root).mkdir("old"));
    auto d = Dialog();
    names = {"old"};
    d->btnNewFolder->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("SelectFolder", "folderJuzIstnieje") + "\r\n" + root + "/old");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(Entries(), QStringList({"old"}));
    EXPECT_EQ(d->SelectedFolder(), root);

    boxes.shown.clear();
    names = {"new"};
    d->btnNewFolder->click();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(Entries(), QStringList({"new", "old"}));
    EXPECT_EQ(d->SelectedFolder(), root + "/new");
    EXPECT_EQ(beeps, 1);
}

// The tree fills itself folder by folder after it is shown; the preselected
// folder is still in sight when it has.
TEST_F(FolderDialogTest, ThePreselectedFolderIsScrolledIntoSight)
{
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(QDir(root).mkdir(QString("f%1").arg(i, 3, 10, QChar('0'))));
    const QString target = root + "/f199";
    TfDlgDir d;
    d.InitialFolder = target;
    d.show();
    QTreeView* tree = d.ShellTreeView1;
    QElapsedTimer guard;
    guard.start();
    const QModelIndex index = tree->currentIndex();
    while (tree->model()->rowCount(index.parent()) < 200 && guard.elapsed() < 10000)
        QTest::qWait(20);
    QTest::qWait(100);
    ASSERT_EQ(d.SelectedFolder(), target);
    EXPECT_TRUE(tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex())))
        << "in sight, not left where the tree opened";
}

TEST_F(FolderDialogTest, NothingToChooseOrMakeWithoutASelection)
{
    TfDlgDir fresh;
    EXPECT_FALSE(fresh.btnZapisz->isEnabled());
    EXPECT_FALSE(fresh.btnNewFolder->isEnabled());
    auto d = Dialog();
    EXPECT_TRUE(d->btnZapisz->isEnabled());
    d->ShellTreeView1->clearSelection();
    EXPECT_FALSE(d->btnZapisz->isEnabled());
    EXPECT_FALSE(d->btnNewFolder->isEnabled());
}

TEST_F(FolderDialogTest, SelectFolderGivesTheFolderOnChooseAndFalseOnCancel)
{
    auto press = [](bool choose) {
        QTimer::singleShot(0, [choose] {
            auto* d = qobject_cast<TfDlgDir*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            EXPECT_EQ(d->windowTitle(), "Where to");
            EXPECT_EQ(d->btnZapisz->text(), "Pick");
            (choose ? d->btnZapisz : d->btnAnuluj)->click();
        });
    };
    QString folder = "untouched";
    press(false);
    EXPECT_FALSE(SelectFolder("Where to", "Pick", root, "run", folder));
    EXPECT_EQ(folder, "untouched");
    press(true);
    EXPECT_TRUE(SelectFolder("Where to", "Pick", root, "run", folder));
    EXPECT_EQ(folder, root);
}

class AboutBoxTest : public MachineWorldTest {
protected:
    void SetUp() override
    {
        App();
        MachineWorldTest::SetUp();
        CurrentLengthUnit = 0;
        DealerBrandName.clear();  // the translator's US country chose one
    }
    void TearDown() override
    {
        DealerBrandName.clear();
        MachineWorldTest::TearDown();
    }
    // A controller of the model, the machine talking to it.
    void Plug(const QString& model)
    {
        SimulatedMachineSetup setup;
        setup.modelCode = model;
        setup.frontLimitX = 1200;
        setup.frontLimitY = 800;
        setup.sideLimitX = 900;
        setup.sideLimitY = 500;
        setup.machineWidth = 650;
        setup.counter1 = 125;
        setup.counter2 = 12345;
        setup.firmwareMajor = 3;
        setup.firmwareMinor = 7;
        links.clear();
        sims.push_back(std::make_unique<SimulatedController>(t.clock, setup));
        links.push_back(std::make_unique<SimulatedLink>(*sims.back()));
        t.machine.SetLink(*links.back());
    }
    QList<QLabel*> Values(const TAboutBox& box) const
    {
        return {box.prod, box.model, box.obszarFront, box.obszarSide, box.szerokosc, box.przebieg, box.ilpl,
                box.ARMwersja};
    }

    ScopedTranslator tr;
    NoMachineLink none;
    TestMachine t{none};
    std::vector<std::unique_ptr<SimulatedController>> sims;
    std::vector<std::unique_ptr<SimulatedLink>> links;
};

TEST_F(AboutBoxTest, WithoutAMachineEveryValueReadsNoData)
{
    for (Machine* m : {&t.machine, static_cast<Machine*>(nullptr)}) {
        TAboutBox box(nullptr, m);
        box.Activate();
        for (QLabel* value : Values(box))
            EXPECT_EQ(value->text(), Tr("About", "brakDanych")) << value->objectName().toStdString();
        EXPECT_FALSE(box.szerokosc->isHidden());
    }
}

TEST_F(AboutBoxTest, MachineRowsFollowTheMachineAttachedAtEachActivation)
{
    Plug("Ky");
    TAboutBox box(nullptr, &t.machine);
    box.Activate();
    EXPECT_EQ(box.prod->text(), "Dravinor");
    EXPECT_EQ(box.model->text(), "Ky100");
    EXPECT_EQ(box.obszarFront->text(), "1200.0x800.0 mm");
    EXPECT_EQ(box.obszarSide->text(), "900.0x500.0 mm");
    EXPECT_EQ(box.szerokosc->text(), "650.0 mm");
    EXPECT_EQ(box.przebieg->text(), "2" + Tr("About", "godz") + "5 min.");
    EXPECT_EQ(box.ilpl->text(), "12345") << "in plain decimal, ungrouped";
    EXPECT_EQ(box.ARMwersja->text(), "3.7");
    EXPECT_FALSE(box.szerokosc->isHidden());
    EXPECT_FALSE(box.labelSzerokosc->isHidden());

    Plug("Ve");
    SetCommandLine({"noXside"});
    box.Activate();
    EXPECT_EQ(box.model->text(), "Ve100");
    EXPECT_EQ(box.obszarSide->text(), "500.0 mm");
    EXPECT_TRUE(box.szerokosc->isHidden());
    EXPECT_TRUE(box.labelSzerokosc->isHidden());

    Plug("Ky");
    CurrentLengthUnit = 1;
    box.Activate();
    EXPECT_FALSE(box.szerokosc->isHidden());
    EXPECT_EQ(box.szerokosc->text(), "25.59 in");
    EXPECT_EQ(box.obszarFront->text(), "47.2x31.5 in");
    {
        ScopedTranslator polish("PL");
        box.Activate();
        EXPECT_EQ(box.obszarFront->text(), "47,2x31,5 in") << "the language's decimal comma";
        EXPECT_EQ(box.ilpl->text(), "12345");
    }
    CurrentLengthUnit = 0;
}

TEST_F(AboutBoxTest, DealerBrandHidesTheMakerAndBringsItsLogo)
{
    {
        TAboutBox box;
        EXPECT_FALSE(box.prod->isHidden());
        EXPECT_TRUE(box.pLogo->isHidden());
        EXPECT_TRUE(box.pLink->isHidden()) << "no web address is built in";
    }
    QImage logo(31, 17, QImage::Format_RGB32);
    logo.fill(Qt::red);
    ASSERT_TRUE(logo.save(ProgramDir + "VOSKAR.bmp", "BMP"));
    DealerBrandName = "VOSKAR";
    TAboutBox box;
    EXPECT_TRUE(box.prod->isHidden());
    EXPECT_TRUE(box.Labelprod->isHidden());
    EXPECT_FALSE(box.pLogo->isHidden());
    EXPECT_EQ(box.dealer->pixmap().size(), QSize(31, 17));
    DealerBrandName = "OTHER";
    TAboutBox other;
    EXPECT_TRUE(other.pLogo->isHidden());
    EXPECT_TRUE(other.prod->isHidden());
}
}  // namespace
