#include "machine/ui/QtOperatorInput.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>

QtOperatorInput::QtOperatorInput()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

QtOperatorInput::~QtOperatorInput() = default;

PendingInput QtOperatorInput::TakePending()
{
    if (m_taken.empty()) {
        // Timers and sockets stay where they are; input arriving now meets
        // the filter below and goes no further.
        m_taking = true;
        QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers | QEventLoop::ExcludeSocketNotifiers);
        m_taking = false;
    }
    if (m_taken.empty())
        return PendingInput::None;
    const PendingInput next = m_taken.front();
    m_taken.pop_front();
    return next;
}

bool QtOperatorInput::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_taking)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
        // A held key repeating is no new press: it aborts nothing.
        m_taken.push_back(static_cast<QKeyEvent*>(event)->isAutoRepeat() ? PendingInput::Other
                                                                         : PendingInput::Abort);
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_taken.push_back(static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton ? PendingInput::Abort
                                                                                      : PendingInput::Other);
        return true;
    case QEvent::ShortcutOverride:
        // Taken as the key's own, so that no shortcut fires; the key press
        // that follows is the operator's input.
        event->accept();
        return true;
    case QEvent::KeyRelease:
        // An auto-repeated release is no release: the key is still held.
        if (static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
            m_taken.push_back(PendingInput::Other);
            return true;
        }
        [[fallthrough]];
    case QEvent::MouseButtonRelease:
        // Counted now, as it is dropped, not when the wait gets to it.
        ReleaseTaken();
        m_taken.push_back(PendingInput::Release);
        return true;
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        m_taken.push_back(PendingInput::Other);
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
