#include "job/ui/MDIChild.h"

#include "app/Translator.h"
#include "job/ui/JobView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QVBoxLayout>

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
    if (Interfejs && Interfejs->RightToLeft)
        setLayoutDirection(Qt::RightToLeft);
    resize(480, 360);
}

TMDIChild::~TMDIChild()
{
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

bool TMDIChild::Load(const QString& fileName, uint8_t penFilter)
{
    const bool ok = m_job.Load(fileName, penFilter);
    if (!m_closing)
        m_view->update();
    return ok;
}

void TMDIChild::SetCaption(const QString& caption)
{
    setWindowTitle(caption);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->setWindowTitle(caption);
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

void TMDIChild::closeEvent(QCloseEvent* event)
{
    m_closing = true;
    QWidget::closeEvent(event);
}
