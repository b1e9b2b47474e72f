#include "app/ui/MainForm.h"

#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/HostInfo.h"
#include "app/MainStatus.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "app/SettingsFiles.h"
#include "app/Translator.h"
#include "app/ui/AppForms.h"
#include "app/ui/Forms.h"
#include "job/ui/JobView.h"
#include "job/ui/MDIChild.h"
#include "machine/CommandLayer.h"
#include "machine/CutStart.h"
#include "machine/MachineOperations.h"
#include "machine/JobState.h"
#include "machine/MachineState.h"
#include "machine/ProgramClose.h"
#include "machine/SideWire.h"
#include "machine/WireSelection.h"
#include "machine/ui/MachineForms.h"
#include "machine/ui/MaterialDialog.h"
#include "machine/ui/QtOperatorInput.h"
#include "machine/ui/StartPointsDialog.h"
#include "production/ui/DuplicateDialog.h"
#include "production/ui/ProductionForms.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {
// Space is the operator's pause key during a cut: it reaches STOP even when an
// edit field has the focus, in every window that is not a modal dialog.
class SpaceKeyFilter : public QObject {
public:
    explicit SpaceKeyFilter(TMainForm* form) : QObject(form), m_form(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier)
            return false;
        if (QApplication::activeModalWidget() || !watched->isWidgetType())
            return false;
        if (!key->isAutoRepeat() && m_form->Wstrzymaj1->isEnabled())
            m_form->Wstrzymaj1->trigger();
        return true;
    }

private:
    TMainForm* m_form;
};

QAction* MakeAction(QObject* owner, const char* name, const QKeySequence& shortcut = {})
{
    auto* a = new QAction(owner);
    a->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    return a;
}

// How far each job window of a cascade lies below the one before: its title
// bar shows.
int TitleBarStep(const QWidget* sub)
{
    return std::max(sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub), sub->fontMetrics().height()) + 4;
}

QToolButton* MakeButton(QWidget* parent, const char* name)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setAutoRaise(false);
    b->setMinimumWidth(80);
    return b;
}
}  // namespace

QSize JobWindowSize(QSize area)
{
    // An area not laid out yet (a window never shown) gives no measure.
    if (area.width() < 160 || area.height() < 120)
        return {480, 360};
    return {std::min(area.width(), std::max(480, area.width() * 2 / 3)),
            std::min(area.height(), std::max(360, area.height() * 2 / 3))};
}

QPoint CascadePosition(QSize area, QSize size, qsizetype index, int step)
{
    step = std::max(step, 1);
    const int room = std::min(area.width() - size.width(), area.height() - size.height());
    const qsizetype places = 1 + std::max(0, room / step);
    const int offset = static_cast<int>(index % places) * step;
    return {offset, offset};
}

QString ExtractFileExt(const QString& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    const qsizetype sep = std::max(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    if (dot < 0 || dot < sep)
        return QString();
    return name.mid(dot);
}

TMainForm::TMainForm()
{
    setObjectName("MainForm");
    setMinimumSize(447, 142);

    // main() names the program folder before any window exists; a window made
    // without it (a test) takes the executable's folder.
    if (ProgramDir.isEmpty())
        ProgramDir = FolderWithSeparator(QCoreApplication::applicationFilePath());
    WiresCrashChecking = !HasSwitch("disableWiresCrashChecking");

    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // A closed window hands the focus back to the one active before it: a
    // click on a background window's close button activates that window
    // first, and the window the operator was working in is active again.
    m_mdiArea->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    setCentralWidget(m_mdiArea);
    statusBar()->setSizeGripEnabled(true);
    SetMainStatusSink([this](const QString& text) {
        statusBar()->showMessage(text);
        statusBar()->repaint();
    });

    BuildMenus();
    BuildSpeedButtons();

    delete Interfejs;
    Interfejs = new tInterfejs();
    if (!Interfejs->Loaded)
        return;  // the translator has told why; the program ends
    TranslateMainForm();
    RepeatReturnX = 0;
    JogStopPosA = 0;
    JogStopPosB = 0;

    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &TMainForm::UpdateMenuItems);
    // A right click on a job opens the job information window.
    TMDIChild::SetInfoWindowHook([this] { infoClick(); });
    // The feed direction of the settings is every open job's direction.
    Settings().OnFeedDirection = [this](int sign) {
        for (TMDIChild* job : JobWindows())
            job->Job().FeedSign[0] = job->Job().FeedSign[1] = static_cast<int8_t>(sign);
    };
    m_spaceKey = std::make_unique<SpaceKeyFilter>(this);
    qApp->installEventFilter(m_spaceKey.get());
    UpdateMenuItems();
    m_created = true;
}

TMainForm::~TMainForm()
{
    // The job windows go with the frame; their last signals must not reach a
    // window that is already half destroyed.
    m_mdiArea->disconnect(this);
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
        sub->disconnect(this);
        if (sub->widget())
            sub->widget()->disconnect(this);
    }
    if (m_spaceKey)
        qApp->removeEventFilter(m_spaceKey.get());
    m_spaceKey.release();  // a child of the window: freed with it
    Settings().OnFeedDirection = nullptr;
    TMDIChild::SetInfoWindowHook(nullptr);
    // The panel, the transfer and the USB link run on the machine's clock and
    // go before it, the panel (which holds the transfer's pause) first; as
    // children they would go only after the machine.
    delete ster;
    ster = nullptr;
    delete TransArm;
    TransArm = nullptr;
    ReleaseUsbLink();
    SetMainStatusSink(nullptr);
}

void TMainForm::BuildMenus()
{
    FileOpenItem = MakeAction(this, "FileOpenItem", Qt::Key_F3);
    FileSaveAsHPGL = MakeAction(this, "FileSaveAsHPGL");
    FileSaveAsHPGL->setText("Save as HPGL...");
    FileSaveAsHPGL->setVisible(false);
    FileCloseItem = MakeAction(this, "FileCloseItem");
    miDuplikujPlt = MakeAction(this, "miDuplikujPlt", Qt::Key_F4);
    // F6 belongs to two items; the first in menu order takes it.
    miGenSeryjnego3D = MakeAction(this, "miGenSeryjnego3D", Qt::Key_F6);
    miSaveSerial = MakeAction(this, "miSaveSerial", QKeySequence(Qt::SHIFT | Qt::Key_F6));
    miZaginaczProfili = MakeAction(this, "miZaginaczProfili", Qt::Key_F7);
    info = MakeAction(this, "info");
    Symulacja = MakeAction(this, "Symulacja", Qt::Key_F1);
    About1 = MakeAction(this, "About1");
    miMemoryInfo = MakeAction(this, "miMemoryInfo");
    miInstrObslugi = MakeAction(this, "miInstrObslugi");
    miPrzyklady = MakeAction(this, "miPrzyklady");
    miKatalog = MakeAction(this, "miKatalog");
    FileExitItem = MakeAction(this, "FileExitItem", QKeySequence(Qt::ALT | Qt::Key_X));
    Start1 = MakeAction(this, "Start1", Qt::Key_F2);
    // Space is delivered by the key filter, which also reaches it from edit fields.
    Wstrzymaj1 = MakeAction(this, "Wstrzymaj1");
    Kontynuacja1 = MakeAction(this, "Kontynuacja1", QKeySequence(Qt::SHIFT | Qt::Key_F2));
    sterowanie = MakeAction(this, "sterowanie", Qt::Key_F5);
    Konfiguracja = MakeAction(this, "Konfiguracja");
    WindowCascadeItem = MakeAction(this, "WindowCascadeItem");
    WindowTileItem = MakeAction(this, "WindowTileItem");
    CloseAll = MakeAction(this, "CloseAll");

    QMenuBar* bar = menuBar();
    File1 = bar->addMenu(QString());
    File1->setObjectName("File1");
    for (QAction* a : {FileOpenItem, FileSaveAsHPGL, FileCloseItem, miDuplikujPlt, miGenSeryjnego3D, miSaveSerial,
                       miZaginaczProfili, info, Symulacja, About1, miMemoryInfo, miInstrObslugi, miPrzyklady,
                       miKatalog})
        File1->addAction(a);
    File1->addSeparator();
    File1->addAction(FileExitItem);
    Cicie1 = bar->addMenu(QString());
    Cicie1->setObjectName("Cicie1");
    Cicie1->addActions({Start1, Wstrzymaj1, Kontynuacja1});
    bar->addAction(sterowanie);
    bar->addAction(Konfiguracja);
    Window1 = bar->addMenu(QString());
    Window1->setObjectName("Window1");
    Window1->addActions({WindowCascadeItem, WindowTileItem, CloseAll});
    Window1Action = Window1->menuAction();
    // Shortcuts work wherever the focus is in the main window.
    addActions({FileOpenItem, FileCloseItem, miDuplikujPlt, miGenSeryjnego3D, miSaveSerial, miZaginaczProfili,
                info, Symulacja, About1, FileExitItem, Start1, Wstrzymaj1, Kontynuacja1, sterowanie, Konfiguracja});

    connect(FileOpenItem, &QAction::triggered, this, &TMainForm::FileOpenItemClick);
    connect(FileCloseItem, &QAction::triggered, this, &TMainForm::FileCloseItemClick);
    connect(CloseAll, &QAction::triggered, this, &TMainForm::CloseAllClick);
    connect(WindowCascadeItem, &QAction::triggered, this, &TMainForm::WindowCascadeItemClick);
    connect(WindowTileItem, &QAction::triggered, this, &TMainForm::WindowTileItemClick);
    connect(FileExitItem, &QAction::triggered, this, &TMainForm::FileExitItemClick);
    connect(About1, &QAction::triggered, this, &TMainForm::HelpAboutItemClick);
    connect(info, &QAction::triggered, this, &TMainForm::infoClick);
    connect(miMemoryInfo, &QAction::triggered, this, [] { ShowMemoryInfo(); });
    connect(Symulacja, &QAction::triggered, this, &TMainForm::SymulacjaClick);
    connect(sterowanie, &QAction::triggered, this, &TMainForm::SterowanieClick);
    connect(Konfiguracja, &QAction::triggered, this, &TMainForm::KonfiguracjaClick);
    connect(miGenSeryjnego3D, &QAction::triggered, this, &TMainForm::miGenSeryjnego3DClick);
    connect(miDuplikujPlt, &QAction::triggered, this, &TMainForm::miDuplikujPltClick);
    connect(miZaginaczProfili, &QAction::triggered, this, &TMainForm::miZaginaczProfiliClick);
    connect(Start1, &QAction::triggered, this, &TMainForm::Start1Click);
    connect(Wstrzymaj1, &QAction::triggered, this, &TMainForm::Wstrzymaj1Click);
    connect(Kontynuacja1, &QAction::triggered, this, &TMainForm::Kontynuacja1Click);
    connect(miInstrObslugi, &QAction::triggered, this, &TMainForm::miInstrObslugiClick);
    connect(miKatalog, &QAction::triggered, this, &TMainForm::miKatalogClick);
    connect(miPrzyklady, &QAction::triggered, this, &TMainForm::miPrzykladyClick);
    connect(FileSaveAsHPGL, &QAction::triggered, this, &TMainForm::FileSaveAsHPGLClick);
    connect(miSaveSerial, &QAction::triggered, this, &TMainForm::miSaveSerialClick);
}

void TMainForm::BuildSpeedButtons()
{
    auto* speedPanel = new QToolBar(this);
    speedPanel->setObjectName("SpeedPanel");
    speedPanel->setMovable(false);
    speedPanel->setFloatable(false);
    pPrzyciski = new QWidget(speedPanel);
    pPrzyciski->setObjectName("pPrzyciski");
    auto* layout = new QHBoxLayout(pPrzyciski);
    layout->setContentsMargins(2, 2, 2, 2);
    OpenBtn = MakeButton(pPrzyciski, "OpenBtn");
    OpenBtn->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    OpenBtn->setToolButtonStyle(Qt::ToolButtonIconOnly);
    OpenBtn->setMinimumWidth(0);
    SpeedSymulacja = MakeButton(pPrzyciski, "SpeedSymulacja");
    SpeedSymulacja->setEnabled(false);
    SpeedStart = MakeButton(pPrzyciski, "SpeedStart");
    SpeedStop = MakeButton(pPrzyciski, "SpeedStop");
    Skont = MakeButton(pPrzyciski, "Skont");
    sbSideUp = MakeButton(pPrzyciski, "sbSideUp");
    sbSideUp->setArrowType(Qt::UpArrow);
    sbSideDown = MakeButton(pPrzyciski, "sbSideDown");
    sbSideDown->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {OpenBtn, SpeedSymulacja, SpeedStart, SpeedStop, Skont, sbSideUp, sbSideDown})
        layout->addWidget(b);
    layout->addStretch(1);
    speedPanel->addWidget(pPrzyciski);
    addToolBar(Qt::TopToolBarArea, speedPanel);

    connect(OpenBtn, &QToolButton::clicked, this, &TMainForm::FileOpenItemClick);
    connect(SpeedSymulacja, &QToolButton::clicked, this, &TMainForm::SymulacjaClick);
    connect(SpeedStart, &QToolButton::clicked, this, &TMainForm::Start1Click);
    connect(SpeedStop, &QToolButton::clicked, this, &TMainForm::Wstrzymaj1Click);
    connect(Skont, &QToolButton::clicked, this, &TMainForm::Kontynuacja1Click);
    // Arrows, so that the buttons never show blank (they have no caption).
    for (QToolButton* b : {sbSideUp, sbSideDown})
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    connect(sbSideUp, &QToolButton::clicked, this,
            [this] { ::sbSideUpClick(AttachedMachine(), Settings(), Operations()); });
    connect(sbSideDown, &QToolButton::clicked, this,
            [this] { ::sbSideDownClick(AttachedMachine(), Settings(), Operations()); });
}

void TMainForm::TranslateMainForm()
{
    Interfejs->RightToLeft = Interfejs->CountryCode == 966;
    DealerBrand(DealerBrandName);

    setWindowTitle(QString("Pelvartonix") + "   " + Tr("Universal", "txtWer") + " " + VersionText(true, true));

    if (Interfejs->RightToLeft) {
        // Qt mirrors the menus, the button panel and every layout.
        ApplicationRightToLeft = true;
        QApplication::setLayoutDirection(Qt::RightToLeft);
        setLayoutDirection(Qt::RightToLeft);
    }

    File1->setTitle(Tr("Main_window", "File1.Caption"));
    FileOpenItem->setText(Tr("Main_window", "FileOpenItem.Caption"));
    FileCloseItem->setText(Tr("Main_window", "FileCloseItem.Caption"));
    miDuplikujPlt->setText(Tr("Main_window", "miDuplikujPlt.Caption"));
    miGenSeryjnego3D->setText(Tr("Main_window", "miGenSeryjnego3D.caption"));
    miZaginaczProfili->setText(Tr("Main_window", "miZaginaczProfili.caption"));
    miSaveSerial->setText(Tr("Main_window", "miSaveSerial.Caption"));
    info->setText(Tr("Main_window", "info.Caption"));
    Symulacja->setText(Tr("Main_window", "Symulacja.Caption"));
    About1->setText(Tr("Main_window", "About1.Caption"));
    miMemoryInfo->setText(Tr("MemoryInfo", "caption"));
    miInstrObslugi->setText(Tr("Main_window", "miInstrObslugi.Caption"));
    miPrzyklady->setText(Tr("Main_window", "miPrzyklady.Caption"));
    FileExitItem->setText(Tr("Main_window", "FileExitItem.Caption"));
    Cicie1->setTitle(Tr("Main_window", "Cicie1.Caption"));
    Start1->setText(Tr("Main_window", "Start1.Caption"));
    Wstrzymaj1->setText(Tr("Main_window", "Wstrzymaj1.Caption") + "\t" + QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText));
    Kontynuacja1->setText(Tr("Main_window", "Kontynuacja1.Caption"));
    sterowanie->setText(Tr("Main_window", "sterowanie.Caption"));
    Konfiguracja->setText(Tr("Main_window", "Konfiguracja.Caption"));
    Window1->setTitle(Tr("Main_window", "Window1.Caption"));
    WindowCascadeItem->setText(Tr("Main_window", "WindowCascadeItem.Caption"));
    WindowTileItem->setText(Tr("Main_window", "WindowTileItem.Caption"));
    CloseAll->setText(Tr("Main_window", "CloseAll.Caption"));
    SpeedSymulacja->setText(Tr("Main_window", "SpeedSymulacja.Caption"));
    SpeedStart->setText(Tr("Main_window", "SpeedStart.Caption"));
    SpeedStop->setText(Tr("Main_window", "SpeedStop.Caption"));
    Skont->setText(Tr("Main_window", "Skont.Caption"));
    OpenBtn->setToolTip(QString(FileOpenItem->text()).remove('&'));

    QString path;
    const QString catalogue = Tr("Main_window", "miKatalog.Caption");
    miKatalog->setText(BrandCataloguePath(path) ? DealerBrandName + " " + catalogue : "Dravinor " + catalogue);

    // Hints: the status bar shows what a menu item or button does while the
    // pointer rests on it.
    for (QAction* a : actions()) {
        const QString text = a->text().section('\t', 0, 0).remove('&');
        a->setStatusTip(text);
    }
    for (QToolButton* b : {SpeedSymulacja, SpeedStart, SpeedStop, Skont}) {
        b->setStatusTip(b->text());
        b->setToolTip(b->text());
    }
    OpenBtn->setStatusTip(OpenBtn->toolTip());

    sbSideUp->setVisible(!WiresCrashChecking);
    sbSideDown->setVisible(!WiresCrashChecking);
}

QList<TMDIChild*> TMainForm::JobWindows() const
{
    QList<TMDIChild*> jobs;
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
        auto* child = qobject_cast<TMDIChild*>(sub->widget());
        if (child && !child->Closing() && !sub->isHidden())
            jobs.append(child);
    }
    return jobs;
}

TMDIChild* TMainForm::ActiveJob() const
{
    QMdiSubWindow* sub = m_mdiArea->currentSubWindow();
    if (!sub)
        return nullptr;
    auto* child = qobject_cast<TMDIChild*>(sub->widget());
    return child && !child->Closing() ? child : nullptr;
}

TMDIChild* TMainForm::NewJobWindow(const QString&)
{
    auto* child = new TMDIChild();
    // The job's command file begins by telling the machine its heater output.
    child->SetMachine(&AttachedMachine());
    const qsizetype before = JobWindows().size();
    QMdiSubWindow* sub = m_mdiArea->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // Inside the visible area, a title bar below the window opened before:
    // the area's own placement would put it beside the others, out of sight.
    const QSize area = m_mdiArea->viewport()->size();
    const QSize size = JobWindowSize(area);
    sub->setGeometry(QRect(CascadePosition(area, size, before, TitleBarStep(sub)), size));
    connect(sub, &QObject::destroyed, this, &TMainForm::UpdateMenuItems);
    connect(child, &QWidget::windowTitleChanged, this, &TMainForm::UpdateMenuItems);
    sub->show();
    m_mdiArea->setActiveSubWindow(sub);
    UpdateMenuItems();
    return child;
}

void TMainForm::UpdateMenuItems()
{
    const QList<TMDIChild*> jobs = JobWindows();
    const bool any = !jobs.isEmpty();
    for (QAction* a : {FileCloseItem, FileSaveAsHPGL, miZaginaczProfili, info, Symulacja, Start1, WindowCascadeItem,
                       WindowTileItem, Window1Action})
        a->setEnabled(any);
    SpeedSymulacja->setEnabled(any);
    SpeedStart->setEnabled(any);

    const int mode = Settings().Mode();
    TMDIChild* active = ActiveJob();
    const QString caption = active ? active->windowTitle() : QString();
    miDuplikujPlt->setEnabled(any && ExtractFileExt(caption).toUpper() != ".DPL" && mode == 0);
    miSaveSerial->setEnabled(any && mode == 2);
    for (QAction* a : {About1, miInstrObslugi, miPrzyklady, miKatalog})
        a->setEnabled(true);

    QString path;
    miInstrObslugi->setVisible(ManualPath(path));
    miPrzyklady->setVisible(SamplesFolder(path));
    miKatalog->setVisible(CataloguePath(path));
}

void TMainForm::FileOpenItemClick() { OpenFiles(OpenDialogState.InitialDir, true); }

void TMainForm::FileCloseItemClick()
{
    if (QMdiSubWindow* sub = m_mdiArea->currentSubWindow())
        sub->close();
}

void TMainForm::CloseAllClick()
{
    const QList<QMdiSubWindow*> subs = m_mdiArea->subWindowList();
    for (qsizetype i = subs.size() - 1; i >= 0; --i)
        subs[i]->close();
    UpdateMenuItems();
}

void TMainForm::WindowCascadeItemClick() { CascadeJobWindows(); }

void TMainForm::CascadeJobWindows()
{
    QList<QMdiSubWindow*> subs;
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList(QMdiArea::CreationOrder))
        if (!sub->isHidden())
            subs.append(sub);
    if (subs.isEmpty())
        return;
    // The active window goes last, on top of the others.
    QMdiSubWindow* active = m_mdiArea->activeSubWindow();
    if (active && subs.removeOne(active))
        subs.append(active);
    const QSize area = m_mdiArea->viewport()->size();
    const int step = TitleBarStep(subs.first());
    // As large as the cascade leaves room for, never below the size a new
    // window opens at.
    const QSize least = JobWindowSize(area);
    const int shift = step * static_cast<int>(subs.size() - 1);
    const QSize size(std::max(least.width(), area.width() - shift), std::max(least.height(), area.height() - shift));
    for (qsizetype i = 0; i < subs.size(); ++i) {
        subs[i]->showNormal();
        subs[i]->setGeometry(QRect(CascadePosition(area, size, i, step), size));
        subs[i]->raise();
    }
    if (active)
        m_mdiArea->setActiveSubWindow(active);
}

void TMainForm::WindowTileItemClick() { m_mdiArea->tileSubWindows(); }

void TMainForm::FileExitItemClick() { close(); }

void TMainForm::HelpAboutItemClick()
{
    if (About1->isEnabled())
        AboutBox->exec();
}

// Also the right click on a job: nothing while the window is not built.
void TMainForm::infoClick()
{
    if (info->isEnabled())
        infoform->exec();
}

void TMainForm::SymulacjaClick()
{
    TMDIChild* child = ActiveJob();
    if (!child)
        return;
    TJob& job = child->Job();
    if (Settings().Mode() == 2) {
        const int8_t sign = (job.SerialIndex % 2 != 0) ? 1 : -1;
        job.FeedSign[0] = sign;
        job.FeedSign[1] = sign;
    }
    // The replay is worked out now, with the feed sign as it is, and then
    // animates on its own while the program goes on.
    job.ShowPath = 1;
    child->View()->PaintPath();
    job.ShowPath = 0;
    if (!job.TwoProfile)
        child->View()->update();
    if (Settings().CatDir() == 2) {
        job.FeedSign[0] = static_cast<int8_t>(-job.FeedSign[0]);
        job.FeedSign[1] = static_cast<int8_t>(-job.FeedSign[1]);
    }
}

void TMainForm::SterowanieClick()
{
    ster->show();
    ster->raise();
}

void TMainForm::KonfiguracjaClick()
{
    TDlgkonfigModel& settings = Settings();
    settings.RotaryChanged = false;
    Dlgkonfig->exec();
    if (settings.ModeChanged)
        CloseAllClick();
    // Loading a settings file raises the power flag too, and nothing lowers
    // it: the heater output goes to the machine after every settings command.
    Machine& machine = AttachedMachine();
    if (settings.PowerChanged) {
        if (ReadStatus(machine) && !PlotState.JobWorking()) {
            const int32_t output =
                settings.ItemIndex("PowerOutput") != 0 ? 1 : (WireSelection().KeyFront ? 0 : 5);
            SendPowerOutput(machine, output);
        }
    }
    const QList<TMDIChild*> jobs = JobWindows();
    if (settings.RotaryChanged && !jobs.isEmpty() && machine.Connected())
        SendUnitMode(machine, settings.ItemIndex("radiounit"));
    // Plain jobs whose planning was not finished are planned now; rotary jobs
    // are planned again, as the rotary device may have changed. A rotary job
    // that can't be planned any more closes once its planner is done.
    // A window still planning is left to its planner.
    if (settings.Mode() == 0) {
        for (qsizetype i = jobs.size() - 1; i >= 0; --i)
            if (!jobs[i]->Planning() && !jobs[i]->Job().PathPlanned)
                jobs[i]->Job().ciecie();
    } else if (settings.Mode() == 1) {
        for (qsizetype i = jobs.size() - 1; i >= 0; --i)
            if (!jobs[i]->Planning() && !jobs[i]->Job().ciecie_obrotowe())
                jobs[i]->CloseWindow();
    }
    for (qsizetype i = jobs.size() - 1; i >= 0; --i)
        if (!jobs[i]->Closing())
            jobs[i]->View()->repaint();
    UpdateMenuItems();
}

void TMainForm::miDuplikujPltClick()
{
    ShowDuplicateDialog(this, ActiveJob(), [this] { return NewJobWindow(); });
}

void TMainForm::miGenSeryjnego3DClick()
{
    // Its frame ends where the main window's client area ends: the corner
    // just past the area's last pixel.
    const QRect client = m_mdiArea->geometry();
    const QPoint corner = mapToGlobal(client.bottomRight() + QPoint(1, 1));
    GenSerJobHooks jobs;
    jobs.NewJobWindow = [this] { return NewJobWindow(); };
    jobs.CloseAllClick = [this] { CloseAllClick(); };
    jobs.Tile = [this] { m_mdiArea->tileSubWindows(); };
    ShowGenSer(corner.x(), corner.y(), std::move(jobs), this, &fGenSer);
    // The series may have switched the work mode.
    UpdateMenuItems();
}

void TMainForm::miZaginaczProfiliClick()
{
    TMDIChild* source = ActiveJob();
    if (!source || !miZaginaczProfili->isEnabled())
        return;
    ShowZaginacz(source, [this] { return NewJobWindow(); });
    UpdateMenuItems();
}

Machine& TMainForm::AttachedMachine()
{
    if (!m_machine) {
        m_machine = std::make_unique<ProgramMachine>();
        // The machine's timers wait while a job window plans or a machine
        // wait takes the operator's input.
        m_machine->Get().SetTicksHeldOff([this] {
            if (m_machine->TakingInput())
                return true;
            for (TMDIChild* child : JobWindows())
                if (child->Planning())
                    return true;
            return false;
        });
        // Homing, STOP and the moves to a position wait on the machine.
        m_machine->Get().SetBusyIndicator([](bool busy) {
            if (busy)
                QApplication::setOverrideCursor(Qt::WaitCursor);
            else
                QApplication::restoreOverrideCursor();
        });
    }
    return m_machine->Get();
}

void TMainForm::AttachUsbLink(ControllerLink& link) { AttachedMachine().SetLink(link); }

void TMainForm::ReleaseUsbLink()
{
    if (m_machine)
        m_machine->DetachLink();
    delete fUsb;
    fUsb = nullptr;
}

void TMainForm::MachineNotConnected() { ShowMessageBox(Tr("Control", "ploterBrakLacznosci"), true); }

MachineOperations& TMainForm::Operations()
{
    // The panel owns the operations (its pause and go-to state); before it
    // exists, and after it is gone, the window keeps its own over the machine.
    if (ster)
        return ster->Panel().Operations();
    if (!m_operations)
        m_operations = std::make_unique<MachineOperations>(AttachedMachine(), Settings(), HasSwitch("noXside"));
    return *m_operations;
}

CutStartHooks TMainForm::CutHooks()
{
    CutStartHooks hooks;
    hooks.busyCursor = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    hooks.activate = [this](TJob& job) {
        for (TMDIChild* child : JobWindows())
            if (&child->Job() == &job)
                if (auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget()))
                    m_mdiArea->setActiveSubWindow(sub);
    };
    hooks.parkSideWire = [this] { return ParkSideWire(AttachedMachine(), Settings(), Operations()); };
    hooks.showControlPanel = [] {
        if (ster)
            ster->show();
    };
    // The pair is looked up each time: either window may have been closed.
    hooks.startPointsDialog = [this] {
        const StartPointWindows pair{
            [this]() -> const TJob* { return FrontWindow && !FrontWindow->Closing() ? &FrontWindow->Job() : nullptr; },
            [this]() -> const TJob* { return SideWindow && !SideWindow->Closing() ? &SideWindow->Job() : nullptr; }};
        return ShowStartPointsDialog(this, pair);
    };
    hooks.serialCutDialog = [this] {
        std::vector<std::pair<TJob*, QString>> windows;
        for (TMDIChild* child : JobWindows())
            windows.emplace_back(&child->Job(), child->windowTitle());
        return ShowDlgSeryjne(this, fDlgSeryjne, SerialCutRows(windows), &AttachedMachine()) == mrOk;
    };
    hooks.twoPlaneDialog = [this, busy = hooks.busyCursor] {
        TMDIChild* child = ActiveJob();
        return child && ShowMaterialDialog(this, AttachedMachine(), child->Job(), busy);
    };
    return hooks;
}

void TMainForm::Start1Click()
{
    if (!TransArm) {
        MachineNotConnected();
        return;
    }
    std::vector<TJob*> jobs;
    bool planning = false;
    for (TMDIChild* child : JobWindows()) {
        jobs.push_back(&child->Job());
        planning = planning || child->Planning();
    }
    TMDIChild* active = ActiveJob();
    // A click comes with its menu item or button; the panel's machine key calls directly.
    const StartSource source = sender() ? StartSource::MenuOrButton : StartSource::MachineKey;
    // A failed write of the transfer pauses the job the panel's way.
    CutStart cut(AttachedMachine(), Settings(), WireSelection(), Operations(), TransArm->Transfer(), CutHooks());
    cut.Start1Click(jobs, active ? &active->Job() : nullptr, source, planning);
    UpdateMenuItems();
}

void TMainForm::Wstrzymaj1Click()
{
    if (!AttachedMachine().Connected() || !TransArm) {
        MachineNotConnected();
        return;
    }
    CutStart cut(AttachedMachine(), Settings(), WireSelection(), Operations(), TransArm->Transfer(), CutHooks());
    cut.Wstrzymaj1Click();
}

void TMainForm::Kontynuacja1Click()
{
    if (!AttachedMachine().Connected() || !TransArm) {
        MachineNotConnected();
        return;
    }
    CutStart cut(AttachedMachine(), Settings(), WireSelection(), Operations(), TransArm->Transfer(), CutHooks());
    cut.Kontynuacja1Click();
}

void TMainForm::ContinueSideCut()
{
    const QPointer<TMDIChild> side = SideWindow;
    auto showSide = [this, side] {
        if (auto* sub = side ? qobject_cast<QMdiSubWindow*>(side->parentWidget()) : nullptr)
            m_mdiArea->setActiveSubWindow(sub);
    };
    // Called straight from the panel's timer: START as the machine's key gives it.
    ::ContinueSideCut(AttachedMachine(), Settings(), Operations(), side ? &side->Job() : nullptr, showSide,
                      [this] { Start1Click(); });
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    const bool sending = TransArm && TransArm->Running();
    if (!ProgramMayClose(AttachedMachine(), sending, TransArm && TransArm->Transfer().Pausing())) {
        event->ignore();
        return;
    }
    if (sending)
        TransArm->stop();
    ReleaseUsbLink();
    event->accept();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!isMaximized())
        QTimer::singleShot(0, this, [this] { setWindowState(windowState() | Qt::WindowMaximized); });
}
