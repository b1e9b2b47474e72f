#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/MainStatus.h"
#include "app/Settings.h"
#include "app/SettingsFiles.h"
#include "app/Translator.h"
#include "app/ui/Forms.h"
#include "app/ui/MainForm.h"
#include "job/ui/MDIChild.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

namespace {
const QByteArray kSquare = "IN;SP1;PU0,0;PD4000,0,4000,4000,0,4000,0,0;PU;";

// The open command with the file dialog answered from a list: each question's
// title is kept, and an empty answer is a cancelled dialog.
class OpenFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        setenv("LC_ALL", "C", 1);
        Settings().Reset();
        SetCommandLine({});
        ASSERT_TRUE(CreateForms());
        boxes.shown.clear();  // the settings file a fresh program folder lacks
        MainForm->ChooseFileToOpen = [this](const QString& title, const QString& folder, const QString&) {
            titles << title;
            folders << folder;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        };
    }
    void TearDown() override
    {
        DestroyForms();
        delete Interfejs;
        Interfejs = nullptr;
    }

    void Open(const QStringList& files)
    {
        answers = files;
        MainForm->FileOpenItemClick();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QList<TMDIChild*> Jobs() const { return MainForm->JobWindows(); }

    TempProgramDir dir;
    ScriptedPresenter boxes;
    QStringList answers, titles, folders;
};
}  // namespace

TEST_F(OpenFilesTest, SerialModeOpensTheNumberedFilesOfTheFolderHighestFirst)
{
    QDir().mkpath(dir.File("serial"));
    for (const char* name : {"serial/1.plt", "serial/2.plt", "serial/10.plt", "serial/notes.plt", "serial/3.dxf"})
        dir.Write(name, kSquare);
    Settings().SetItemIndex("Mode", 2);
    Open({dir.File("serial/2.plt")});
    const QList<TMDIChild*> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 3);
    EXPECT_EQ(jobs[0]->Job().SerialIndex, 10);
    EXPECT_EQ(jobs[1]->Job().SerialIndex, 2);
    EXPECT_EQ(jobs[2]->Job().SerialIndex, 1);
    EXPECT_TRUE(jobs[0]->windowTitle().endsWith("10.plt"));
    EXPECT_EQ(Gcf.OpenFolder, QDir::cleanPath(dir.File("serial")));
    EXPECT_TRUE(boxes.shown.empty());

    // The next open starts from the folder remembered, and replaces the series.
    Open({dir.File("serial/1.plt")});
    EXPECT_EQ(folders.last(), Gcf.OpenFolder);
    EXPECT_EQ(Jobs().size(), 3);

    // A chosen drawing outside the series is not opened, and the status bar says why.
    Open({dir.File("serial/notes.plt")});
    EXPECT_EQ(Jobs().size(), 3);
    EXPECT_EQ(MainStatusText(), Tr("Main_window", "seriaBezNumeru") + " notes.plt");
}

TEST_F(OpenFilesTest, TransverseModeOpensTheFrontAndItsSideDrawing)
{
    Settings().SetItemIndex("Mode", 5);
    const QString wing = dir.Write("wing.plt", kSquare);
    const QString wingSide = dir.Write("wing_bok.plt", kSquare);
    Open({wing});
    QList<TMDIChild*> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 2) << "the side drawing beside it is opened at once";
    EXPECT_EQ(titles, QStringList{Tr("Main_window", "VeOtworzPrzedni")});
    EXPECT_EQ(jobs[0]->windowTitle(), wing + "   " + Tr("Control", "KeyFront.caption"));
    EXPECT_EQ(jobs[1]->windowTitle(), wingSide + "   " + Tr("Control", "VeKeyBack.caption"));
    EXPECT_EQ(jobs[0]->Job().SideDrawing, 0);
    EXPECT_EQ(jobs[1]->Job().SideDrawing, 1);
    EXPECT_EQ(jobs[1]->Job().SerialIndex, 1);
    EXPECT_EQ(MainForm->FrontWindow, jobs[0]);
    EXPECT_GT(jobs[0]->parentWidget()->height(), jobs[0]->parentWidget()->width() / 4) << "tiled side by side";

    // A new front drawing without a companion: the pair goes, and the side
    // drawing is asked for next.
    const QString tail = dir.Write("tail.plt", kSquare);
    const QString tailSide = dir.Write("rudder.plt", kSquare);
    titles.clear();
    Open({tail, tailSide});
    jobs = Jobs();
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(titles, (QStringList{Tr("Main_window", "VeOtworzPrzedni"), Tr("Main_window", "VeOtworzBoczny")}));
    EXPECT_EQ(jobs[0]->windowTitle(), tail + "   " + Tr("Control", "KeyFront.caption"));
    EXPECT_EQ(jobs[1]->Job().SideDrawing, 1);
    EXPECT_EQ(MainForm->SideWindow, jobs[1]);

    // Cancelling the question for the side drawing leaves the front alone.
    Open({dir.Write("fin.plt", kSquare)});
    EXPECT_EQ(Jobs().size(), 1);
}

TEST_F(OpenFilesTest, IndependentWiresSplitTheDrawingByPenAndMergeIntoOneMixWindow)
{
    Settings().SetItemIndex("Mode", 4);
    const QString both = dir.Write("both.plt",
                                   "IN;SP4;PU0,0;PD4000,0,4000,4000,0,4000,0,0;PU;"
                                   "SP3;PU500,500;PD3000,500,3000,3000,500,3000,500,500;PU;");
    Open({both});
    QApplication::processEvents();
    const QList<TMDIChild*> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 1) << "FRONT and BACK closed";
    EXPECT_EQ(jobs[0]->windowTitle(), both + " Mix");
    const TJob& mix = jobs[0]->Job();
    EXPECT_TRUE(mix.TwoProfile);
    ASSERT_EQ(mix.FigureList.size(), 2u);
    const tfigura& front = *mix.FigureList[0];
    const tfigura& back = *mix.FigureList[1];
    EXPECT_EQ(front.Pen, 4);
    EXPECT_EQ(back.Pen, 3);
    ASSERT_GE(front.Points.size(), 5u);
    EXPECT_EQ(front.Points.size(), back.Points.size());
    // Each figure follows its own pen: only the green square has its corner at 4000, 4000.
    EXPECT_NE(std::find(front.Points.begin(), front.Points.end(), TFigPoint{4000, 4000}), front.Points.end());
    EXPECT_EQ(std::find(back.Points.begin(), back.Points.end(), TFigPoint{4000, 4000}), back.Points.end());
    EXPECT_EQ(mix.JobWidth, 4000);
    EXPECT_TRUE(boxes.shown.empty());

    const QString redOnly = dir.Write("red.plt", "IN;SP3;PU0,0;PD3000,0,3000,3000,0,3000,0,0;PU;");
    boxes.shown.clear();
    Open({redOnly});
    EXPECT_TRUE(Jobs().isEmpty());
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().text, Tr("Main_window", "RouzyjZielonyDlaFrontu"));
    EXPECT_EQ(boxes.shown.back().caption, "red.plt");
}

TEST_F(OpenFilesTest, OnlyDrawingsOpenWhateverTheCaseOfTheirExtension)
{
    const QString upper = dir.Write("DRAWING.PLT", kSquare);
    Open({upper});
    ASSERT_EQ(Jobs().size(), 1);
    EXPECT_EQ(Jobs()[0]->Job().InputFileType, 1);
    EXPECT_TRUE(boxes.shown.empty());

    for (const QString& refused : {dir.Write("drawing.hpgl", kSquare), dir.File("missing.plt")}) {
        boxes.shown.clear();
        Open({refused});
        EXPECT_EQ(Jobs().size(), 1) << refused.toStdString();
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, Tr("Universal", "zbioruNieMoznaOtworzyc") + refused);
    }
}

TEST_F(OpenFilesTest, TheDialogNamesTheDrawingsAndListsThemInAnyCase)
{
    for (const char* name : {"DRAWING.PLT", "part.dxf", "Wing.Plt", "notes.txt"})
        dir.Write(name, kSquare);
    MainForm->ChooseFileToOpen = nullptr;  // the program's own dialog
    QStringList filters, listed;
    QTimer::singleShot(0, [&] {
        auto* dialog = MainForm->findChild<QFileDialog*>();
        if (!dialog) {
            ADD_FAILURE() << "no file dialog of the program's own";
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
            return;
        }
        filters = dialog->nameFilters();
        auto* model = dialog->findChild<QFileSystemModel*>();
        const QModelIndex folder = model->index(dir.Path());
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(folder) >= 3; }, 5000));
        QTest::qWait(100);  // anything else the folder holds is read by now
        for (int row = 0; row < model->rowCount(folder); ++row)
            listed << model->fileName(model->index(row, 0, folder));
        dialog->reject();
    });
    MainForm->OpenFiles(dir.Path(), false);
    ASSERT_EQ(filters.size(), 3);
    EXPECT_EQ(filters[0], Tr("Universal", "wszystkiePliki") + " (*.plt *.dxf)");
    EXPECT_EQ(filters[1], Tr("Universal", "plikPLT") + " (*.plt)");
    EXPECT_EQ(filters[2], Tr("Universal", "plikDXF2D") + " (*.dxf)");
    listed.sort();
    EXPECT_EQ(listed, QStringList({"DRAWING.PLT", "Wing.Plt", "part.dxf"}));
    EXPECT_TRUE(Jobs().isEmpty());
}
