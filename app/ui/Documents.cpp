// The main window's documents (manual, catalogue, examples) and exports.
#include "app/Globals.h"
#include "app/HostInfo.h"
#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/WholeFile.h"
#include "app/ui/FolderDialog.h"
#include "app/ui/MainForm.h"
#include "job/DrawingExport.h"
#include "job/ui/MDIChild.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QUrl>

namespace {
// The manual and the catalogue: shown by the desktop's viewer for PDF files.
void OpenFound(const std::function<bool(const QString&)>& open, bool found, const QString& path,
               const char* missingKey)
{
    if (!found) {
        ShowMessageBox(Tr("Main_window", missingKey) + "\r\n" + path, true);
        return;
    }
    const bool shown = open ? open(path) : QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    if (!shown)
        ShowMessageBox(Tr("Main_window", "brakAcrobatReadera"), true);
}
}  // namespace

void TMainForm::miInstrObslugiClick()
{
    QString path;
    const bool found = ManualPath(path);
    OpenFound(OpenDocument, found, path, "brakPlikuInstrukcji");
}

void TMainForm::miKatalogClick()
{
    QString path;
    const bool found = CataloguePath(path);
    OpenFound(OpenDocument, found, path, "brakPlikuKatalogu");
}

void TMainForm::miPrzykladyClick()
{
    QString folder;
    if (SamplesFolder(folder))
        OpenFiles(folder, false);
    else
        ShowMessageBox(Tr("Main_window", "SampleNotInstaled"), false);
}

void TMainForm::FileSaveAsHPGLClick()
{
    TMDIChild* child = ActiveJob();
    if (!child || child->Job().FigureList.empty())
        return;
    const QString title = "Save output file as HPGL.plt";
    const QString filter = "HPGL.plt (*.plt);;all files (*.*)";
    QString file;
    if (ChooseFileToSave) {
        file = ChooseFileToSave(title, ProgramDir, filter);
    } else {
        QFileDialog dialog(this, title, ProgramDir, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("plt");
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            file = dialog.selectedFiles().first();
    }
    if (!file.isEmpty())
        ReportWrite(child->Job().SaveAsHPGL(file));
}

void TMainForm::miSaveSerialClick()
{
    std::vector<TJob*> jobs;
    const QList<TMDIChild*> windows = JobWindows();
    for (TMDIChild* child : windows)
        jobs.push_back(&child->Job());
    SerialSaveHooks hooks;
    hooks.chooseFolder = ChooseFolder ? ChooseFolder : SelectFolder;
    hooks.activate = [this, windows](TJob& job) {
        for (TMDIChild* child : windows) {
            if (&child->Job() != &job)
                continue;
            for (QMdiSubWindow* sub : MdiArea()->subWindowList())
                if (sub->widget() == child)
                    MdiArea()->setActiveSubWindow(sub);
        }
        if (!windows.isEmpty())
            windows.first()->repaint();
    };
    SaveSerialRun(jobs, GenSerFileName, hooks);
}
