#include "machine/ui/QtOperatorInput.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QThread>
#include <QWindow>

#include <algorithm>

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

void QtOperatorInput::LetWindowsPaint()
{
    if (m_painting)
        return;
    // The window system keeps the operator's input queued; what reaches the
    // filter anyway is held back below.
    m_painting = true;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers |
                                    QEventLoop::ExcludeSocketNotifiers);
    m_painting = false;
    m_opened.clear();
}

bool QtOperatorInput::OpenedWhilePainting(QObject* receiver) const
{
    // Input and closes come to the widgets or to their window-system window.
    const auto* widget = qobject_cast<QWidget*>(receiver);
    const QObject* window = widget ? widget->window() : receiver;
    return std::any_of(m_opened.begin(), m_opened.end(), [window](const QPointer<QWidget>& w) {
        return w && (w == window || w->windowHandle() == window);
    });
}

void QtOperatorInput::DeliverHeld()
{
    auto held = std::move(m_held);
    m_held.clear();
    for (auto& [receiver, event] : held)
        if (receiver)
            QCoreApplication::postEvent(receiver, event.release());
}

namespace {
bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Close: return true;
    default: return false;
    }
}
}  // namespace

bool QtOperatorInput::eventFilter(QObject* watched, QEvent* event)
{
    if (m_painting && !m_taking && event->type() == QEvent::Show) {
        // A box of a queued call runs its own loop inside the painting: the
        // operator must be able to answer it.
        if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->isWindow())
            m_opened.emplace_back(widget);
    }
    if (m_painting && !m_taking && IsInput(event->type()) && !OpenedWhilePainting(watched)) {
        // A close asked for meanwhile is refused: the window stays for the
        // wait's end, and the operator asks again.
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (event->type() != QEvent::ShortcutOverride)
            m_held.emplace_back(watched, event->clone());
        return true;
    }
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

void PaintingClock::Sleep(int ms)
{
    // Only the interface thread paints; short polls paint at most this often.
    constexpr int kPaintEveryMs = 40;
    const QCoreApplication* app = QCoreApplication::instance();
    if (ms <= 0 || !app || QThread::currentThread() != app->thread()) {
        RealClock::Sleep(ms);
        return;
    }
    QElapsedTimer slept;
    slept.start();
    for (;;) {
        if (!m_lastPaint.isValid() || m_lastPaint.elapsed() >= kPaintEveryMs) {
            m_input.LetWindowsPaint();
            m_lastPaint.start();
        }
        const qint64 left = ms - slept.elapsed();
        if (left <= 0)
            break;
        RealClock::Sleep(static_cast<int>(std::min<qint64>(left, kPaintEveryMs)));
    }
    m_input.DeliverHeld();
}
