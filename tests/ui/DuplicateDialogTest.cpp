#include "app/CommandLine.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/ui/Forms.h"
#include "app/ui/MainForm.h"
#include "app/widgets/FloatEdit.h"
#include "job/ui/MDIChild.h"
#include "production/ui/DuplicateDialog.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {
// 50 mm by 30 mm.
const QByteArray kPattern = "IN;SP1;PU0,0;PD2000,0,2000,1200,0,1200,0,0;PU;";

class DuplicateDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        setenv("LC_ALL", "C", 1);
        Settings().Reset();
        SetCommandLine({});
        ASSERT_TRUE(CreateForms());
        Settings().SetChecked("AddFrame", false);
        boxes.shown.clear();
    }
    void TearDown() override
    {
        DestroyForms();
        delete Interfejs;
        Interfejs = nullptr;
    }

    TMDIChild* Open(const QString& path, const QString& caption)
    {
        TMDIChild* child = MainForm->NewJobWindow();
        child->Job().InputFileType = 1;
        child->Load(path, 255);
        child->SetCaption(caption);
        MainForm->UpdateMenuItems();
        return child;
    }

    // F4 on `pattern`, the dialog handled by `act` while it is open.
    void Duplicate(TMDIChild* pattern, const std::function<void(TfParDup&)>& act)
    {
        MainForm->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(pattern->parentWidget()));
        MainForm->UpdateMenuItems();
        ASSERT_TRUE(MainForm->miDuplikujPlt->isEnabled());
        bool seen = false;
        QTimer::singleShot(0, [&] {
            if (auto* d = qobject_cast<TfParDup*>(QApplication::activeModalWidget())) {
                seen = true;
                act(*d);
            }
            if (QApplication::activeModalWidget() == fParDup && fParDup)
                fParDup->reject();
        });
        MainForm->miDuplikujPlt->trigger();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(seen);
    }

    TempProgramDir dir;
    ScriptedPresenter boxes;
};
}  // namespace

TEST_F(DuplicateDialogTest, F4BuildsThePlannedGridAndTheNextF4ReadsItsParametersBack)
{
    const QString path = dir.Write("part.plt", kPattern);
    TMDIChild* pattern = Open(path, path);
    Duplicate(pattern, [](TfParDup& d) {
        EXPECT_EQ(d.pWzorzecSzerokosc->text(), "50.0 ");
        EXPECT_EQ(d.feuPrzesuniecieMdzyElem->GetValue(), 60);
        EXPECT_EQ(d.pCalySzer->text(), "120.0 ");
        d.feIloscElemWWierszu->setFocus();
        d.feIloscElemWWierszu->SetText("3");
        QTest::keyClick(d.feIloscElemWWierszu, Qt::Key_Return);
    });
    const QList<TMDIChild*> jobs = MainForm->JobWindows();
    ASSERT_EQ(jobs.size(), 2);
    TMDIChild* grid = jobs[1];
    EXPECT_EQ(grid->windowTitle(), dir.File("part.dpl"));
    EXPECT_GE(grid->Job().StartFigure, 0) << "planned";
    EXPECT_GT(grid->Job().JobWidth, 3 * 2000);
    EXPECT_TRUE(boxes.shown.empty());
    QFile file(dir.File("part.dpl"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Number of elements in a row=3\r\n"));

    Duplicate(pattern, [](TfParDup& d) {
        EXPECT_EQ(d.feIloscElemWWierszu->GetValue(), 3);
        // The caption of the field in hand turns bold; the dialog keeps its size.
        const QSize size = d.size();
        for (NumericEdit* e : d.findChildren<NumericEdit*>()) {
            e->setFocus();
            QApplication::processEvents();
            EXPECT_EQ(d.size(), size) << e->objectName().toStdString();
        }
        QTest::keyClick(d.feIloscWierszy, Qt::Key_Escape);
    });
    EXPECT_EQ(MainForm->JobWindows().size(), 2);
}

TEST_F(DuplicateDialogTest, TheGridStandsWhereItsParametersFileCanNotBeWritten)
{
    // A caption without a folder has no place for the file.
    const QString path = dir.Write("part.plt", kPattern);
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.Path());
    Duplicate(Open(path, "part.plt"), [](TfParDup& d) { d.btnZatwierdzClick(); });
    EXPECT_FALSE(QFile::exists(dir.File("part.dpl")));
    QDir::setCurrent(cwd);
    ASSERT_EQ(MainForm->JobWindows().size(), 2);
    EXPECT_EQ(MainForm->JobWindows()[1]->windowTitle(), "part.dpl");

    // A folder where the file would go: the grid first, then the error.
    QDir(dir.Path()).mkdir("wing.dpl");
    const QString wing = dir.Write("wing.plt", kPattern);
    Duplicate(Open(wing, wing), [](TfParDup& d) { d.btnZatwierdzClick(); });
    ASSERT_EQ(MainForm->JobWindows().size(), 4);
    EXPECT_FALSE(MainForm->JobWindows()[3]->Job().FigureList.empty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(Tr("Universal", "zapisNieudany") + "\r\n" + dir.File("wing.dpl")));
}

// Cancel while a long row is planned: no half-built grid window stays, no
// parameters file is written, and the operator is back in the dialog.
TEST_F(DuplicateDialogTest, CancelWhileTheGridIsPlannedLeavesNoWindow)
{
    const QString path = dir.Write("part.plt", kPattern);
    TMDIChild* pattern = Open(path, path);
    bool cancelled = false;
    Duplicate(pattern, [&](TfParDup& d) {
        d.feIloscElemWWierszu->SetText("3000");
        QTimer cancel;
        QObject::connect(&cancel, &QTimer::timeout, [&] {
            for (QProgressDialog* p : MainForm->findChildren<QProgressDialog*>()) {
                p->cancel();
                cancelled = true;
            }
        });
        cancel.start(0);
        d.btnZatwierdzClick();
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_TRUE(cancelled);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(MainForm->JobWindows().size(), 1);
    EXPECT_FALSE(QFile::exists(dir.File("part.dpl")));
}
