// Opening drawings into job windows, as the work mode needs them.
#include "app/Globals.h"
#include "app/HostInfo.h"
#include "app/MainStatus.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "app/SettingsFiles.h"
#include "app/Translator.h"
#include "app/ui/MainForm.h"
#include "job/ui/JobView.h"
#include "job/ui/MDIChild.h"
#include "machine/WireSelection.h"
#include "production/TwoWireMerge.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <algorithm>

namespace {
// 1 HPGL, 2 DXF, 0 for anything else; the case of the extension doesn't matter.
int32_t FileTypeOf(const QString& file)
{
    const QString ext = QFileInfo(file).suffix().toUpper();
    return ext == "PLT" ? 1 : ext == "DXF" ? 2 : 0;
}

// The last open folder, as the settings record keeps it (at most 79 characters).
void RememberFolder(const QString& file)
{
    Gcf.OpenFolder = QFileInfo(file).absolutePath().left(79);
    OpenDialogState.InitialDir = Gcf.OpenFolder;
}

bool HasFigures(TMDIChild* child) { return child && !child->Closing() && !child->Job().FigureList.empty(); }

// The window's planned path as its view draws it, captured instead of drawn.
void CapturePlannedPath(TMDIChild& window)
{
    TJob& job = window.Job();
    job.CapturedPath.clear();
    job.ShowPath = 1;
    job.CapturePath = 1;
    window.View()->PaintPath();
    job.ShowPath = 0;
    job.CapturePath = 0;
}
}  // namespace

void TMainForm::pomieszaj(TMDIChild* front, TMDIChild* back, TMDIChild* mix, const QString& caption)
{
    if (!front || !back || !mix)
        return;
    auto capture = [&](TJob& job) {
        for (TMDIChild* w : {front, back})
            if (&w->Job() == &job)
                CapturePlannedPath(*w);
    };
    if (MergeTwoWireJobs(front->Job(), back->Job(), mix->Job(), capture) != MergeOutcome::Merged) {
        ShowMessageBox(Tr("Main_window", "RoiloscFigurJednakowa"), false, caption);
        return;
    }
    front->CloseWindow();
    back->CloseWindow();
    mix->View()->update();
}

QString TMainForm::BuildOpenFilter() const
{
    // The dialog matches these whatever the case of the extension.
    return Tr("Universal", "wszystkiePliki") + " (*.plt *.dxf);;" + Tr("Universal", "plikPLT") + " (*.plt);;" +
           Tr("Universal", "plikDXF2D") + " (*.dxf)";
}

void TMainForm::TileVertically()
{
    const QList<QMdiSubWindow*> subs = m_mdiArea->subWindowList();
    if (subs.isEmpty())
        return;
    const QRect area = m_mdiArea->viewport()->rect();
    const int width = area.width() / static_cast<int>(subs.size());
    for (qsizetype i = 0; i < subs.size(); ++i) {
        subs[i]->showNormal();
        subs[i]->setGeometry(static_cast<int>(i) * width, 0, width, area.height());
    }
}

void TMainForm::OpenFiles(const QString& initialFolder, bool rememberFolder)
{
    const int mode = Settings().Mode();
    // A new front and side pair starts when both drawings of the last are open.
    if (mode == 5 && JobWindows().size() == 2)
        CloseAllClick();
    const qsizetype windowsBefore = JobWindows().size();
    QString title = Tr("Main_window", "otworz");
    bool side = WireSelection().KeySide;
    if (mode == 5) {
        side = windowsBefore == 1;
        title = Tr("Main_window", side ? "VeOtworzBoczny" : "VeOtworzPrzedni");
    }
    QString chosen;
    if (ChooseFileToOpen) {
        chosen = ChooseFileToOpen(title, initialFolder, BuildOpenFilter());
    } else {
        // The dialog offers the filter chosen last time, and remembers the one chosen now.
        const QString filter = BuildOpenFilter();
        const QStringList filters = filter.split(";;");
        QString selected = filters.value(std::clamp(OpenDialogState.FilterIndex, 1, static_cast<int>(filters.size())) - 1);
        // Qt's own dialog: it matches the patterns in any case (a desktop's
        // dialog may not) and speaks the program's language.
        chosen = QFileDialog::getOpenFileName(this, title, initialFolder, filter, &selected,
                                              QFileDialog::DontUseNativeDialog);
        if (!chosen.isEmpty() && filters.contains(selected))
            OpenDialogState.FilterIndex = static_cast<int32_t>(filters.indexOf(selected)) + 1;
    }
    if (chosen.isEmpty())
        return;
    const int32_t type = FileTypeOf(chosen);
    if (!QFileInfo::exists(chosen) || type == 0) {
        ShowMessageBox(Tr("Universal", "zbioruNieMoznaOtworzyc") + chosen, true);
        return;
    }

    auto open = [&](const QString& file, uint8_t filter, uint8_t sideDrawing, int32_t serialIndex) {
        TMDIChild* child = NewJobWindow();
        child->Job().InputFileType = type;
        child->Job().SideDrawing = sideDrawing;
        child->Job().SerialIndex = serialIndex;
        child->Load(file, filter);
        return child;
    };

    switch (mode) {
    case 2: {
        CloseAllClick();
        SerialFileNames.Clear();
        if (rememberFolder)
            RememberFolder(chosen);
        SerialFolder = QFileInfo(chosen).absolutePath();
        SerialFileNames.Fill(SerialFolder, "." + QFileInfo(chosen).suffix());
        for (int i = SerialFileTable::kSize - 1; i >= 0; --i)
            if (!SerialFileNames.At(i).isEmpty())
                open(SerialFolder + "/" + SerialFileNames.At(i), 255, 0, i);
        WindowTileItemClick();
        // Otherwise the chosen drawing silently stays closed; said last, so
        // that the loads' own status texts don't hide it.
        const QString chosenName = QFileInfo(chosen).fileName();
        if (SerialFileTable::NumberOf(chosenName) < 0)
            SetMainStatusText(Tr("Main_window", "seriaBezNumeru") + " " + chosenName);
        break;
    }
    case 4: {
        CloseAllClick();
        const QString name = QFileInfo(chosen).fileName();
        TMDIChild* front = open(chosen, 4, 0, 0);
        if (!HasFigures(front)) {
            ShowMessageBox(Tr("Main_window", "RouzyjZielonyDlaFrontu"), false, name);
            CloseAllClick();
            return;
        }
        front->SetCaption(chosen + " FRONT");
        TMDIChild* back = open(chosen, 3, 0, 0);
        if (!HasFigures(back)) {
            ShowMessageBox(Tr("Main_window", "RouzyjCzerwonyDlaTylu"), false, name);
            CloseAllClick();
            return;
        }
        back->SetCaption(chosen + " BACK");
        if (rememberFolder)
            RememberFolder(chosen);
        TMDIChild* mix = NewJobWindow();
        mix->SetCaption(chosen + " Mix");
        pomieszaj(front, back, mix, name);
        break;
    }
    case 5: {
        const QString suffix = Tr("Control", windowsBefore > 0 ? "VeKeyBack.caption" : "KeyFront.caption");
        TMDIChild* child = open(chosen, 255, side ? 1 : 0, static_cast<int32_t>(windowsBefore));
        if (!child->Closing())
            child->SetCaption(chosen + "   " + suffix);
        if (rememberFolder)
            RememberFolder(chosen);
        QString companion;
        if (JobWindows().size() == 1) {
            FrontWindow = child;
            if (FindSideFile(chosen, companion)) {
                TMDIChild* sideChild = open(companion, 255, 1, 1);
                if (!sideChild->Closing())
                    sideChild->SetCaption(companion + "   " + Tr("Control", "VeKeyBack.caption"));
                if (rememberFolder)
                    RememberFolder(companion);
            }
        }
        const QList<TMDIChild*> jobs = JobWindows();
        if (jobs.size() == 2)
            SideWindow = ActiveJob();
        if (jobs.size() >= 2) {
            if (FrontWindow)
                m_mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(FrontWindow->parentWidget()));
            TileVertically();
        } else if (jobs.size() == 1) {
            FileOpenItemClick();  // the side drawing next
        }
        break;
    }
    default:
        open(chosen, 255, side ? 1 : 0, 0);
        if (rememberFolder)
            RememberFolder(chosen);
        break;
    }
    UpdateMenuItems();
}
