#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/MainStatus.h"
#include "app/MemoryInfo.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/ui/AppForms.h"
#include "app/ui/Forms.h"
#include "app/ui/MainForm.h"
#include "app/widgets/FloatEdit.h"
#include "app/widgets/PlainForm.h"
#include "job/ui/JobView.h"
#include "job/ui/MDIChild.h"
#include "machine/JobState.h"
#include "machine/Machine.h"
#include "machine/SimulatedMachine.h"
#include "machine/ui/MachineForms.h"
#include "machine/ui/MoveForms.h"
#include "production/ui/ProductionForms.h"
#include "tests/support/TestMachine.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>

namespace {
class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        // The host's locale must not choose a language or a dealer brand here.
        setenv("LC_ALL", "C", 1);
        Settings().Reset();
        JobRunning = false;
        JobStopped = false;
    }
    void TearDown() override
    {
        DestroyForms();
        delete Interfejs;
        Interfejs = nullptr;
        SetCommandLine({});
        DealerBrandName.clear();
        QApplication::setLayoutDirection(Qt::LeftToRight);
        ApplicationRightToLeft = false;
    }

    // The forms as the program creates them, in a program folder of the test's own.
    void Start(const QStringList& parameters = {})
    {
        SetCommandLine(parameters);
        ASSERT_TRUE(CreateForms());
        // A fresh program folder has no settings file: the settings dialog
        // reports that once and writes one; the control panel then finds no
        // machine. The tests look at what follows.
        const bool machine = qEnvironmentVariableIsSet("PELVARTONIX_SIM");
        ASSERT_EQ(boxes.shown.size(), machine ? 1u : 2u);
        EXPECT_EQ(boxes.shown[0].caption, Tr("Configuration", "brakKonfiga"));
        if (!machine) {
            EXPECT_EQ(boxes.shown[1].text, Tr("Control", "brakPlotera"));
        }
        boxes.shown.clear();
    }

    TMDIChild* OpenDrawing(const QString& name, const QByteArray& hpgl)
    {
        const QString path = dir.Write(name, hpgl);
        TMDIChild* child = MainForm->NewJobWindow();
        child->Job().InputFileType = 1;
        child->Load(path, 255);
        MainForm->UpdateMenuItems();
        return child;
    }

    TempProgramDir dir;
    ScriptedPresenter boxes;
};

bool Enabled(QAction* a) { return a->isEnabled(); }

// A tool button shows a caption, an icon or an arrow where its style draws it.
bool ShowsSomething(const QToolButton* b)
{
    const bool text = b->toolButtonStyle() != Qt::ToolButtonIconOnly && !b->text().isEmpty();
    const bool glyph =
        b->toolButtonStyle() != Qt::ToolButtonTextOnly && (!b->icon().isNull() || b->arrowType() != Qt::NoArrow);
    return text || glyph;
}

// The job's corners as its view draws them lie inside the view.
bool ShowsWholeJob(TMDIChild* child)
{
    const TJob& job = child->Job();
    const JobViewTransform t = child->View()->Transform();
    const QRect view = child->View()->rect();
    return t.Valid() && view.contains(t.ToScreen(job.JobMinX, job.JobMinY)) &&
           view.contains(t.ToScreen(job.JobMinX + job.JobWidth, job.JobMinY + job.JobHeight));
}
}  // namespace

TEST_F(MainFormTest, StartsWithTitleVersionAndEnglishMenus)
{
    Start();
    EXPECT_EQ(MainForm->windowTitle(), "Pelvartonix   ver. " + QString(PELV_PROJECT_VERSION));
    EXPECT_EQ(MainForm->FileOpenItem->text(), Tr("Main_window", "FileOpenItem.Caption"));
    EXPECT_NE(MainForm->FileOpenItem->text(), "error");
    EXPECT_EQ(MainForm->File1->title(), Tr("Main_window", "File1.Caption"));
    EXPECT_FALSE(MainForm->FileSaveAsHPGL->isVisible());
    EXPECT_TRUE(MainForm->sbSideUp->isHidden());
    EXPECT_TRUE(boxes.shown.empty());
    // Every window exists, in its class.
    const QList<const void*> forms = {Dlgkonfig, NumPadForm, Punkty_bazowe, fMemoryInfo, UpgradeProgramForm,
                                      AboutBox, przesun, infoform, fUsb, TransArm, ster,
                                      fModelInfo, fDlgSeryjne, fZaginacz, fDlgDir};
    for (const void* w : forms)
        EXPECT_NE(w, nullptr);
    EXPECT_EQ(MainStatusText(), Tr("Control", "brakLacznosci")) << "no machine is connected";
}

TEST_F(MainFormTest, PolishSwitchGivesPolishMenus)
{
    Start({"PL"});
    EXPECT_EQ(Interfejs->LangCode, "PL");
    EXPECT_EQ(MainForm->File1->title(), QString::fromUtf8("&Plik"));
    EXPECT_EQ(MainForm->Cicie1->title(), QString::fromUtf8("&Cięcie"));
}

TEST_F(MainFormTest, QtsOwnTextsFollowTheProgramsLanguage)
{
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_pl.qm"))
        GTEST_SKIP() << "Qt's Polish translation is not installed";
    auto cancelText = [] {
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        return box.button(QDialogButtonBox::Cancel)->text();
    };
    Start({"PL"});
    EXPECT_EQ(cancelText(), "Anuluj");
    DestroyForms();
    delete Interfejs;
    Interfejs = nullptr;
    // The translation goes with the windows; an English start speaks English.
    SetCommandLine({"US"});
    ASSERT_TRUE(CreateForms());
    EXPECT_EQ(cancelText(), "Cancel");
}

TEST_F(MainFormTest, ArabicCountryLaysTheProgramOutRightToLeft)
{
    Start({"SA"});
    EXPECT_TRUE(Interfejs->RightToLeft);
    EXPECT_EQ(Interfejs->LangCode, "SA");
    EXPECT_EQ(MainForm->layoutDirection(), Qt::RightToLeft);
    TMDIChild* child = MainForm->NewJobWindow();
    EXPECT_EQ(child->layoutDirection(), Qt::RightToLeft);
    MainForm->Start1Click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].rightToLeft);
    EXPECT_EQ(boxes.shown[0].caption, Tr("Universal", "blad"));
}

TEST_F(MainFormTest, SideWireButtonsOnlyWithoutCrashChecking)
{
    Start({"disableWiresCrashChecking"});
    EXPECT_FALSE(WiresCrashChecking);
    EXPECT_FALSE(MainForm->sbSideUp->isHidden());
    EXPECT_FALSE(MainForm->sbSideDown->isHidden());
    for (const QToolButton* b : MainForm->pPrzyciski->findChildren<QToolButton*>())
        EXPECT_TRUE(ShowsSomething(b)) << b->objectName().toStdString() << " shows blank";
}

TEST_F(MainFormTest, StopStartAndContinueWithoutAMachineSayItIsNotConnected)
{
    Start();
    JobRunning = true;  // as a lost link would leave it
    MainForm->Wstrzymaj1Click();
    MainForm->Start1Click();
    MainForm->Kontynuacja1Click();
    ASSERT_EQ(boxes.shown.size(), 3u);
    for (const auto& box : boxes.shown)
        EXPECT_EQ(box.text, Tr("Control", "ploterBrakLacznosci"));
    EXPECT_FALSE(JobStopped) << "nothing was paused";
}

TEST_F(MainFormTest, ASimulatedMachineNamedInTheEnvironmentIsAttached)
{
    setenv("PELVARTONIX_SIM", "Ky", 1);
    // The simulated wires start at the same height, which the collision
    // check would refuse.
    Start({"disableWiresCrashChecking"});
    unsetenv("PELVARTONIX_SIM");
    EXPECT_EQ(MainStatusText(), Tr("Control", "polaczony"));
    ASSERT_TRUE(MainForm->AttachedMachine().Connected());

    // START through the menu item sends the drawing to the simulated controller.
    Settings().SetChecked("AddFrame", false);
    OpenDrawing("square.plt", "PU0,0;PD400,0,400,400,0,400,0,0;PU;");
    auto* simBus = dynamic_cast<SimulatedMachineBus*>(&fUsb->Bus());
    ASSERT_NE(simBus, nullptr);
    const size_t before = simBus->Controller().Reports().size();
    MainForm->Start1->trigger();
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_TRUE(TransArm->Running());
    // The job window's writer told the machine its heater output before the "U".
    const auto& reports = simBus->Controller().Reports();
    size_t output = reports.size(), position = reports.size();
    for (size_t i = reports.size(); i-- > before;) {
        if (reports[i][0] == 'S' && reports[i][1] == 4)
            output = i;
        if (reports[i][0] == 'U')
            position = i;
    }
    EXPECT_LT(output, position) << "\"S\", 4 of the command file's beginning";
    bool counted = false;
    for (int i = 0; i < 500 && !JobRunning; ++i) {
        QTest::qWait(10);
        counted = counted || MainStatusText().startsWith("przeslano ");
    }
    ASSERT_TRUE(JobRunning) << "the transfer sent \"G\"";
    EXPECT_TRUE(counted);
    MainForm->Wstrzymaj1Click();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(JobStopped) << "STOP reached the attached machine";
    EXPECT_FALSE(JobRunning);
    MainForm->Kontynuacja1Click();
    EXPECT_FALSE(JobStopped);
    EXPECT_TRUE(JobRunning) << "the job goes on";
    for (int i = 0; i < 1500 && TransArm->Running(); ++i)
        QTest::qWait(10);
    EXPECT_EQ(MainStatusText(), "Transmisja zakonczona");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainFormTest, JobWindowsOpenInsideTheAreaAndCascadeKeepsThemUsable)
{
    Start();
    MainForm->show();
    QTest::qWait(50);  // laid out and maximised
    const QRect area = MainForm->MdiArea()->viewport()->rect();
    QList<TMDIChild*> jobs;
    for (int i = 0; i < 5; ++i) {
        jobs << OpenDrawing(QString("part%1.plt").arg(i), "PU0,0;PD8000,0,8000,2000,0,2000,0,0;PU;");
        QWidget* sub = jobs.last()->parentWidget();
        EXPECT_TRUE(area.contains(sub->geometry())) << "window " << i << " opens out of sight";
    }
    QApplication::processEvents();
    for (TMDIChild* job : jobs)
        EXPECT_TRUE(ShowsWholeJob(job));

    MainForm->WindowCascadeItemClick();
    QApplication::processEvents();
    QSet<int> tops;
    for (TMDIChild* job : jobs) {
        const QRect window = job->parentWidget()->geometry();
        EXPECT_TRUE(area.contains(window));
        EXPECT_GE(window.width(), area.width() / 2);
        EXPECT_GE(window.height(), area.height() / 2);
        EXPECT_TRUE(ShowsWholeJob(job));
        tops.insert(window.top());
    }
    EXPECT_EQ(tops.size(), jobs.size()) << "every title bar shows";
    EXPECT_EQ(MainForm->ActiveJob(), jobs.last()) << "the active window stays on top";

    // Tiled narrow, a title bar shows the end of a long caption, where the
    // path names the file and its number.
    const QString path = QString("/a/folder/deep/down/").repeated(8) + "00042.plt";
    jobs[0]->SetCaption(path);
    MainForm->WindowTileItemClick();
    QApplication::processEvents();
    const QWidget* tiled = jobs[0]->parentWidget();
    EXPECT_EQ(jobs[0]->windowTitle(), path);
    EXPECT_TRUE(tiled->windowTitle().endsWith("00042.plt")) << tiled->windowTitle().toStdString();
    EXPECT_LT(QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(tiled->windowTitle()),
              tiled->width());
}

TEST_F(MainFormTest, InformationWindowsOpenFromTheirItems)
{
    Start();
    const QList<QAction*> items = MainForm->File1->actions();
    EXPECT_EQ(items.indexOf(MainForm->miMemoryInfo), items.indexOf(MainForm->About1) + 1);
    EXPECT_EQ(MainForm->miMemoryInfo->text(), Tr("MemoryInfo", "caption"));
    EXPECT_TRUE(Enabled(MainForm->miMemoryInfo));
    EXPECT_TRUE(Enabled(MainForm->About1));
    EXPECT_FALSE(Enabled(MainForm->info)) << "no job to tell of";

    TMDIChild* child = OpenDrawing("part.plt", "PU0,0;PD400,0,400,400,0,400,0,0;PU;");
    ASSERT_TRUE(Enabled(MainForm->info));
    QStringList shown;
    QTimer::singleShot(0, [&] {
        shown = {infoform->fname->text(), infoform->szerokosc->text(), infoform->totlen->text()};
        infoform->accept();
    });
    MainForm->infoClick();  // what a right click on the job asks for
    EXPECT_EQ(shown, QStringList({child->windowTitle(), "10.00 mm", "0.04 m"}));
    QTimer::singleShot(0, [&] {
        shown = {AboutBox->ver->text(), AboutBox->model->text()};
        AboutBox->accept();
    });
    MainForm->HelpAboutItemClick();
    EXPECT_EQ(shown, QStringList({BuildDateText, Tr("About", "brakDanych")}));
    QTimer::singleShot(0, [&] {
        auto* memory = qobject_cast<TfMemoryInfo*>(QApplication::activeModalWidget());
        shown = {memory ? memory->ValueLabel("lTotalPhysMem")->text() : QString()};
        if (memory)
            memory->accept();
    });
    MainForm->miMemoryInfo->trigger();
    EXPECT_EQ(shown, QStringList{KilobyteText(ReadMemoryFigures().totalPhys)});
}

// The control panel stays on top: what opens while it is up comes in front
// of it and takes the keyboard, and the window it came from is active again
// when it closes.
TEST_F(MainFormTest, WindowsOpenedWhileThePanelIsUpComeInFrontOfIt)
{
    // With a machine: without one the panel closes itself at its next tick,
    // which a slow run reaches before its windows have closed.
    setenv("PELVARTONIX_SIM", "Ky", 1);
    Start({"disableWiresCrashChecking"});
    unsetenv("PELVARTONIX_SIM");
    ASSERT_TRUE(MainForm->AttachedMachine().Connected());
    MainForm->show();
    ster->show();
    ster->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(ster));
    QWindow* ownOwner = przesun->windowHandle() ? przesun->windowHandle()->transientParent() : nullptr;
    bool inFront = false, active = false;
    QTimer::singleShot(0, [&] {
        inFront = przesun->windowHandle()->transientParent() == ster->windowHandle();
        active = QTest::qWaitForWindowActive(przesun);
        przesun->reject();
    });
    ster->Input().keyprzesunClick();
    EXPECT_TRUE(inFront);
    EXPECT_TRUE(active);
    EXPECT_TRUE(QTest::qWaitForWindowActive(ster)) << "the panel shows and jogs again at once";
    EXPECT_NE(przesun->windowHandle()->transientParent(), ster->windowHandle());
    if (ownOwner) {
        EXPECT_EQ(przesun->windowHandle()->transientParent(), ownOwner);
    }

    // Opened from the main window as well; the main window is active again.
    QApplication::setActiveWindow(MainForm);
    ASSERT_TRUE(QTest::qWaitForWindowActive(MainForm));
    inFront = false;
    QTimer::singleShot(0, [&] {
        inFront = AboutBox->windowHandle()->transientParent() == ster->windowHandle();
        AboutBox->accept();
    });
    MainForm->HelpAboutItemClick();
    EXPECT_TRUE(inFront);
    EXPECT_TRUE(QTest::qWaitForWindowActive(MainForm));

    // Without the panel a window belongs to its own owner.
    ster->hide();
    QTimer::singleShot(0, [&] {
        inFront = AboutBox->windowHandle()->transientParent() == ster->windowHandle();
        AboutBox->accept();
    });
    MainForm->HelpAboutItemClick();
    EXPECT_FALSE(inFront);
}

TEST_F(MainFormTest, MenuItemsFollowTheJobWindows)
{
    Start();
    QAction* const needJob[] = {MainForm->FileCloseItem, MainForm->miZaginaczProfili,
                                MainForm->info, MainForm->Symulacja, MainForm->Start1, MainForm->WindowCascadeItem,
                                MainForm->WindowTileItem, MainForm->Window1Action};
    for (QAction* a : needJob)
        EXPECT_FALSE(Enabled(a)) << a->objectName().toStdString();
    EXPECT_FALSE(MainForm->SpeedStart->isEnabled());
    EXPECT_FALSE(MainForm->SpeedSymulacja->isEnabled());
    EXPECT_FALSE(Enabled(MainForm->miDuplikujPlt));
    EXPECT_FALSE(Enabled(MainForm->miSaveSerial));
    EXPECT_TRUE(Enabled(MainForm->Wstrzymaj1));
    EXPECT_TRUE(Enabled(MainForm->Kontynuacja1));

    TMDIChild* child = OpenDrawing("part.plt", "PU0,0;PD400,0,400,400,0,400,0,0;PU;");
    ASSERT_EQ(MainForm->JobWindows().size(), 1);
    EXPECT_EQ(child->StatusBar()->currentMessage(), Tr("Project_window", "iloscFigur") + "1");
    for (QAction* a : needJob)
        EXPECT_TRUE(Enabled(a)) << a->objectName().toStdString();
    EXPECT_TRUE(MainForm->SpeedStart->isEnabled());
    EXPECT_TRUE(Enabled(MainForm->miDuplikujPlt)) << "a drawing that is not a duplication job, mode 0";

    child->SetCaption("grid.DPL");
    MainForm->UpdateMenuItems();
    EXPECT_FALSE(Enabled(MainForm->miDuplikujPlt)) << "a duplication job is not duplicated again";
    child->SetCaption("part.plt");
    Settings().SetItemIndex("Mode", 2);
    MainForm->UpdateMenuItems();
    EXPECT_FALSE(Enabled(MainForm->miDuplikujPlt));
    EXPECT_TRUE(Enabled(MainForm->miSaveSerial));

    MainForm->CloseAllClick();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(MainForm->JobWindows().isEmpty());
    EXPECT_FALSE(Enabled(MainForm->Start1));
}

TEST_F(MainFormTest, AFailedLoadClosesItsWindowAndTheProgramGoesOn)
{
    Start();
    OpenDrawing("empty.plt", "IN;PU0,0;");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(MainForm->JobWindows().isEmpty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Project_window", "zbiorPusty"));
    EXPECT_FALSE(Enabled(MainForm->FileCloseItem));
}

TEST_F(MainFormTest, F6OpensTheSerialGeneratorAndNotTheSettings)
{
    Start();
    MainForm->show();
    QApplication::setActiveWindow(MainForm);
    QSignalSpy generator(MainForm->miGenSeryjnego3D, &QAction::triggered);
    QSignalSpy settings(MainForm->Konfiguracja, &QAction::triggered);
    // The generator is modal: it is looked at and closed from inside (its
    // viewer is not drawn off screen; the window's own tests run on X).
    bool shown = false;
    QRect frame, screen;
    QString fileLabel;
    QTimer::singleShot(0, [&] {
        shown = fGenSer && fGenSer->isVisible();
        if (fGenSer) {
            frame = fGenSer->frameGeometry();
            screen = fGenSer->screen()->availableGeometry();
            fileLabel = fGenSer->findChild<QLabel*>("lPlik")->text();
            fGenSer->close();
        }
    });
    QTest::keyClick(MainForm, Qt::Key_F6);
    EXPECT_EQ(generator.count(), 1);
    EXPECT_EQ(settings.count(), 0);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(screen.contains(frame)) << "placed and sized inside the screen";
    // Its frame, title bar and borders included, ends at the corner given.
    QTimer::singleShot(0, [&] {
        frame = fGenSer->frameGeometry();
        fGenSer->close();
    });
    ShowGenSer(screen.right() + 1, screen.bottom() + 1, {}, MainForm, &fGenSer);
    EXPECT_EQ(frame.bottomRight(), screen.bottomRight());
    EXPECT_FALSE(fileLabel.contains('&'));
    EXPECT_FALSE(fileLabel.isEmpty());
    // Any window: one larger than the screen and placed past its corner.
    PlainForm big("Big", MainForm);
    big.resize(screen.size() * 2);
    big.move(screen.bottomRight() - QPoint(50, 50));
    big.show();
    EXPECT_TRUE(screen.contains(big.frameGeometry()));
    EXPECT_EQ(fGenSer, nullptr) << "freed when closed";
}

TEST_F(MainFormTest, DocumentItemsShowOnlyWhatIsInstalled)
{
    Start();
    EXPECT_FALSE(MainForm->miInstrObslugi->isVisible());
    EXPECT_FALSE(MainForm->miPrzyklady->isVisible());
    EXPECT_FALSE(MainForm->miKatalog->isVisible());
    EXPECT_EQ(MainForm->miKatalog->text(), "Dravinor " + Tr("Main_window", "miKatalog.Caption"));
    dir.Write("Pelvartonix_manual_US.pdf", "%PDF");
    dir.Write("Catalogue_US.pdf", "%PDF");
    QDir(dir.Path()).mkdir("Samples");
    MainForm->UpdateMenuItems();
    EXPECT_TRUE(MainForm->miInstrObslugi->isVisible());
    EXPECT_TRUE(MainForm->miPrzyklady->isVisible());
    EXPECT_TRUE(MainForm->miKatalog->isVisible());
}

TEST_F(MainFormTest, DocumentsOpenThroughTheDesktopOrSayWhatIsMissing)
{
    Start();
    QStringList opened;
    bool viewer = true;
    MainForm->OpenDocument = [&](const QString& path) {
        opened << path;
        return viewer;
    };
    MainForm->miInstrObslugiClick();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              Tr("Main_window", "brakPlikuInstrukcji") + "\r\n" + dir.Path() + "Pelvartonix_manual_US.pdf");
    const QString manual = dir.Write("Pelvartonix_manual_US.pdf", "%PDF");
    MainForm->miInstrObslugiClick();
    EXPECT_EQ(opened, QStringList{manual});
    EXPECT_EQ(boxes.shown.size(), 1u);
    viewer = false;
    dir.Write("Catalogue_US.pdf", "%PDF");
    MainForm->miKatalogClick();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, Tr("Main_window", "brakAcrobatReadera"));
    MainForm->miPrzykladyClick();
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[2].text, Tr("Main_window", "SampleNotInstaled"));
    // With the examples: the open dialog starts in them, and the next open
    // still starts where the last one did.
    QDir(dir.Path()).mkdir("Samples");
    QStringList folders;
    MainForm->ChooseFileToOpen = [&](const QString&, const QString& folder, const QString&) {
        folders << folder;
        return QString();
    };
    MainForm->miPrzykladyClick();
    MainForm->FileOpenItemClick();
    ASSERT_EQ(folders.size(), 2);
    EXPECT_EQ(folders[0], dir.Path() + "Samples");
    EXPECT_NE(folders[1], folders[0]);

    // The hidden HPGL export writes the active job where the dialog says.
    OpenDrawing("part.plt", "PU0,0;PD400,0,400,400,0,400,0,0;PU;");
    MainForm->ChooseFileToSave = [&](const QString&, const QString& folder, const QString&) {
        EXPECT_EQ(folder, ProgramDir);
        return dir.Path() + "copy.plt";
    };
    MainForm->FileSaveAsHPGLClick();
    QFile copy(dir.Path() + "copy.plt");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_TRUE(copy.readAll().startsWith("PA "));
}

TEST_F(MainFormTest, DealerBrandNamesTheCatalogue)
{
    dir.Write("Catalogue_US_ACME.pdf", "%PDF");
    Start({"D:acme"});
    EXPECT_EQ(DealerBrandName, "ACME");
    EXPECT_EQ(MainForm->miKatalog->text(), "ACME " + Tr("Main_window", "miKatalog.Caption"));
    EXPECT_TRUE(MainForm->miKatalog->isVisible());
}

TEST_F(MainFormTest, SpaceReachesStopEvenFromAnEditField)
{
    Start();
    MainForm->show();
    auto* edit = new QLineEdit(MainForm);
    edit->show();
    edit->setFocus();
    QSignalSpy stop(MainForm->Wstrzymaj1, &QAction::triggered);
    QTest::keyClick(edit, Qt::Key_Space);
    EXPECT_EQ(stop.count(), 1);
    EXPECT_TRUE(edit->text().isEmpty()) << "the space does not go into the field";
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(edit->text(), "a");
    EXPECT_EQ(stop.count(), 1);
}

TEST_F(MainFormTest, ClosingIsRefusedWhileATransmissionRuns)
{
    Start();
    dir.Write("out.cn", "p\x01");
    ASSERT_TRUE(TransArm->start());
    EXPECT_FALSE(MainForm->close());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Main_window", "wyjscieNiemozliwe"));
    EXPECT_EQ(boxes.shown[0].caption, Tr("Universal", "uwaga"));

    JobStopped = true;
    EXPECT_TRUE(MainForm->close()) << "a job paused by STOP may be left";
    EXPECT_FALSE(TransArm->Running());
    EXPECT_EQ(fUsb, nullptr);
}

TEST_F(MainFormTest, ClosingWhileTheMachineCutsOrCantBeReadAsksWithNoAsTheDefault)
{
    setenv("PELVARTONIX_SIM", "Ky", 1);
    Start();
    unsetenv("PELVARTONIX_SIM");
    auto* simBus = dynamic_cast<SimulatedMachineBus*>(&fUsb->Bus());
    ASSERT_NE(simBus, nullptr);
    // The whole job is in the controller: nothing is being sent any more.
    RunOneMoveJob(MainForm->AttachedMachine(), 100000);
    ASSERT_FALSE(TransArm->Running());
    boxes.answers = {mrNo};
    EXPECT_FALSE(MainForm->close());
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text, Tr("Main_window", "wyjscieMaszynaTnie"));
    EXPECT_EQ(boxes.asked[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(boxes.asked[0].keepsWorkByDefault);
    EXPECT_NE(fUsb, nullptr);
    // A paused cut can't be continued once the program is gone.
    Machine& machine = MainForm->AttachedMachine();
    ASSERT_TRUE(SendCommand(machine, "Q"));
    for (int i = 0; i < 300 && !(ReadStatus(machine) && PlotState.Paused()); ++i)
        QTest::qWait(10);
    ASSERT_TRUE(PlotState.Paused());
    boxes.answers = {mrNo};
    EXPECT_FALSE(MainForm->close());
    EXPECT_EQ(boxes.asked.size(), 2u);
    // A status that can't be read is no sign that the cut ended.
    simBus->FailReads(simBus->MachineId(), SimulatedBus::kForever);
    boxes.answers = {mrYes};
    EXPECT_TRUE(MainForm->close());
    EXPECT_EQ(boxes.asked.size(), 3u);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainFormTest, ShutDownWhileATransmissionRunsFreesItBeforeTheMachineClock)
{
    Start();
    dir.Write("out.cn", "p\x01");
    ASSERT_TRUE(TransArm->start());
    ASSERT_TRUE(TransArm->Running());
    // The program ends without a close: the transfer's timer still waits on
    // the main window's clock, which must outlive it.
    DestroyForms();
    EXPECT_EQ(TransArm, nullptr);
}

TEST_F(MainFormTest, AlternatingFeedRunsEachSimulationTheOtherWay)
{
    Start();
    TMDIChild* child = OpenDrawing("a.plt", "PU0,0;PD400,0;PU;");
    Settings().SetItemIndex("CatDir", 2);
    const int8_t first = child->Job().FeedSign[0];
    MainForm->SymulacjaClick();
    EXPECT_EQ(child->Job().FeedSign[0], -first);
    MainForm->SymulacjaClick();
    EXPECT_EQ(child->Job().FeedSign[0], first);
    EXPECT_EQ(child->Job().ShowPath, 0);
}

TEST(ExtractFileExtTest, TakesTheLastDotOfTheName)
{
    EXPECT_EQ(ExtractFileExt("a/b.c/grid.dpl"), ".dpl");
    EXPECT_EQ(ExtractFileExt("a/b.c/grid"), "");
    EXPECT_EQ(ExtractFileExt("drawing.plt FRONT"), ".plt FRONT");
}

TEST_F(MainFormTest, ProfileBenderMakesThePlannedStripWindowAndStaysOpenWhileNotchesOverlap)
{
    Start();
    MainForm->show();
    // Two 45 degree bends 5 mm apart, arching upwards.
    TMDIChild* source = OpenDrawing("arch.plt", "PU0,0;PD1000,1000,1200,1000,2200,0;PU;");
    ASSERT_TRUE(source->Job().SingleOpenFigure);
    ASSERT_TRUE(Enabled(MainForm->miZaginaczProfili));
    const QString caption = source->windowTitle();
    const QRect sourceFrame = source->parentWidget()->geometry();

    QString overlapCaption;
    QRect overlapFrame;
    bool stayedOpen = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TfZaginacz*>(QApplication::activeModalWidget());
        if (!form) {
            QApplication::activeModalWidget()->close();
            return;
        }
        form->feuGlebokoscNaciec->SetValue(10);  // notches of 4.1 mm: they overlap
        form->btnGenerujClick();
        stayedOpen = form->isVisible();
        overlapCaption = MainForm->ActiveJob()->windowTitle();
        overlapFrame = MainForm->ActiveJob()->parentWidget()->geometry();
        // Typed and entered: Enter takes the text and generates.
        form->feuGlebokoscNaciec->SetText("2");
        QTest::keyClick(form->feuGlebokoscNaciec, Qt::Key_Return);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (form->isVisible())
            form->reject();
    });
    MainForm->miZaginaczProfili->trigger();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(overlapCaption, "!!! Invalid path !!!  " + caption);
    EXPECT_EQ(overlapFrame, sourceFrame);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Profile bender : Invalid path");
    EXPECT_TRUE(boxes.shown[0].text.endsWith(" 'Notch depth' "));

    // The faulty strip made way for the good one, which the dialog closed on.
    const QList<TMDIChild*> jobs = MainForm->JobWindows();
    ASSERT_EQ(jobs.size(), 2);
    TMDIChild* strip = jobs.last();
    EXPECT_EQ(strip->windowTitle(), caption + " : Profile bender");
    EXPECT_TRUE(strip->parentWidget()->isMaximized());
    const TJob& job = strip->Job();
    EXPECT_TRUE(job.PathPlanned);
    ASSERT_FALSE(job.FigureList.empty());
    EXPECT_EQ(job.FigureList[0]->Points.size(), 8u);
    EXPECT_EQ(job.JobWidth, 1614 + 1414);
    EXPECT_EQ(job.JobHeight, 80);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// Closing a job window in the background, by its title bar's close button,
// leaves the window the operator works in active and in front.
TEST_F(MainFormTest, ClosingABackgroundJobWindowKeepsTheActiveOne)
{
    Start();
    MainForm->show();
    QTest::qWait(50);
    QList<TMDIChild*> jobs;
    for (int i = 0; i < 4; ++i)
        jobs << OpenDrawing(QString("part%1.plt").arg(i), "PU0,0;PD400,0,400,400,0,400,0,0;PU;");
    ASSERT_EQ(MainForm->ActiveJob(), jobs[3]);
    auto* first = qobject_cast<QMdiSubWindow*>(jobs[0]->parentWidget());
    QStyleOptionTitleBar option;
    option.initFrom(first);
    option.rect = QRect(0, 0, first->width(), first->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, first));
    option.subControls = QStyle::SC_All;
    option.titleBarFlags = first->windowFlags();
    const QRect close = first->style()->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarCloseButton, first);
    QTest::mouseMove(first, close.center());
    QTest::mouseClick(first, Qt::LeftButton, {}, close.center());
    QTest::qWait(50);
    ASSERT_EQ(MainForm->JobWindows().size(), 3);
    EXPECT_EQ(MainForm->ActiveJob(), jobs[3]);
}
