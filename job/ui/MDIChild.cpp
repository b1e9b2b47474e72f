#include "job/ui/MDIChild.h"

#include "app/MainStatus.h"
#include "app/Translator.h"
#include "job/ui/JobView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QVBoxLayout>

namespace {
std::function<void()>& InfoWindowHook()
{
    static std::function<void()> hook;
    return hook;
}
}  // namespace

void TMDIChild::SetInfoWindowHook(std::function<void()> hook) { InfoWindowHook() = std::move(hook); }

TMDIChild::TMDIChild(QWidget* parent) : QWidget(parent), m_job(this)
{
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_view = new JobView(m_job, this);
    m_statusBar = new QStatusBar(this);
    m_statusBar->setSizeGripEnabled(false);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_statusBar);
    connect(m_view, &JobView::StatusText, this, &TMDIChild::SetOwnStatus);
    connect(m_view, &JobView::InfoRequested, this, [] {
        if (InfoWindowHook())
            InfoWindowHook()();
    });
    m_view->SetStatusBarHeight(m_statusBar->sizeHint().height());
    if (Interfejs && Interfejs->RightToLeft)
        setLayoutDirection(Qt::RightToLeft);
    resize(480, 360);
}

// Planning runs on the window's own thread: this reports its progress in the
// main window's status bar, keeps the windows painted, and offers Cancel in a
// small dialog that blocks the other windows meanwhile.
class TMDIChild::Progress : public PlanProgress {
public:
    explicit Progress(QWidget* owner)
    {
        m_dialog = new QProgressDialog(owner);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(400);
        m_dialog->setRange(0, 100);
        m_dialog->setCancelButtonText(QString(Tr("Base_points", "anuluj.Caption")).remove('&'));
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_clock.start();
    }
    ~Progress() override { delete m_dialog; }

    bool Continue(int percent) override
    {
        if (percent != m_last) {
            m_last = percent;
            const QString text = "Ready " + QString::number(percent) + "%";
            SetMainStatusText(text);
            m_dialog->setLabelText(text);
            m_dialog->setValue(percent);
        }
        // Events now and then: enough to repaint and to see Cancel, without
        // slowing a large job down.
        // Until the dialog shows and blocks the other windows, no input is
        // taken: a command started now would work on the job being planned.
        if (m_clock.elapsed() >= 40) {
            QCoreApplication::processEvents(m_dialog->isVisible() ? QEventLoop::AllEvents
                                                                  : QEventLoop::ExcludeUserInputEvents);
            m_clock.restart();
        }
        return !m_dialog->wasCanceled();
    }

private:
    QProgressDialog* m_dialog;
    QElapsedTimer m_clock;
    int m_last = -1;
};

TMDIChild::~TMDIChild()
{
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

bool TMDIChild::Load(const QString& fileName, uint8_t penFilter)
{
    bool ok = false;
    try {
        ok = m_job.Load(fileName, penFilter);
    } catch (...) {
        // Whatever else stopped the load, no half-read job stays on screen;
        // the application's guard tells the operator what it was.
        SetBusy(false);
        CloseWindow();
        throw;
    }
    if (!m_closing)
        m_view->update();
    return ok;
}

void TMDIChild::SetCaption(const QString& caption)
{
    setWindowTitle(caption);
    FitTitleBar();
}

void TMDIChild::FitTitleBar()
{
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!sub)
        return;
    QString shown = windowTitle();
    if (!sub->isMaximized()) {
        QStyleOptionTitleBar option;
        option.initFrom(sub);
        option.titleBarFlags = sub->windowFlags();
        option.subControls = QStyle::SC_All;
        // The bar as the window lays it out: inside its frame.
        const int frame = sub->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, sub);
        option.rect = QRect(frame, frame, sub->width() - 2 * frame,
                            sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, sub));
        const QRect label = sub->style()->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarLabel, sub);
        // Some room for the bar's own margins: a text it cuts again loses the end.
        shown = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar"))
                    .elidedText(shown, Qt::ElideLeft, std::max(0, label.width() - 8));
    }
    if (sub->windowTitle() != shown)
        sub->setWindowTitle(shown);
}

void TMDIChild::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The window it sits in has taken the whole caption over by now.
    if (event->type() == QEvent::WindowTitleChange)
        FitTitleBar();
}

bool TMDIChild::event(QEvent* event)
{
    if (event->type() == QEvent::ParentAboutToChange && parentWidget())
        parentWidget()->removeEventFilter(this);
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ParentChange && parentWidget()) {
        parentWidget()->installEventFilter(this);
        FitTitleBar();
    }
    return handled;
}

bool TMDIChild::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && (event->type() == QEvent::Resize || event->type() == QEvent::WindowStateChange))
        FitTitleBar();
    return QWidget::eventFilter(watched, event);
}

void TMDIChild::SetOwnStatus(const QString& text) { m_statusBar->showMessage(text); }

void TMDIChild::SetBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TMDIChild::CloseWindow()
{
    m_closing = true;
    // Closing is deferred by Qt (the window is deleted later), so a caller still
    // inside one of this window's operations is safe.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

PlanProgress* TMDIChild::BeginPlanning()
{
    m_planning = std::make_unique<Progress>(this);
    SetBusy(true);
    return m_planning.get();
}

void TMDIChild::EndPlanning()
{
    m_planning.reset();
    SetBusy(false);
    m_view->update();
    if (m_closeAfterPlanning)
        CloseWindow();
}

void TMDIChild::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The view leaves room for the status bar as it is once shown.
    m_view->SetStatusBarHeight(m_statusBar->sizeHint().height());
}

void TMDIChild::closeEvent(QCloseEvent* event)
{
    // The planner is still working on this window's figures: it closes when done.
    if (m_planning) {
        m_closeAfterPlanning = true;
        event->ignore();
        return;
    }
    m_closing = true;
    m_view->StopReplay();
    QWidget::closeEvent(event);
}
