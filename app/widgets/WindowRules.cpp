#include "app/widgets/WindowRules.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {
bool IsRuledWindow(const QWidget* w)
{
    if (!w->isWindow() || w->windowType() == Qt::Desktop)
        return false;
    switch (w->windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::SplashScreen:
    case Qt::SubWindow: return false;
    default: return true;
    }
}

bool StaysOnTop(const QWidget* w) { return w->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

// `w` belongs, through its owners, to `front`.
bool InFrontOf(const QWidget* w, const QWidget* front)
{
    const QWindow* target = front->windowHandle();
    for (const QWindow* h = w->windowHandle(); h; h = h->transientParent())
        if (h == target)
            return true;
    return false;
}

// The frame around a window's client area, from a shown window when this one
// has none yet (a window gets its frame once the window manager maps it).
QMargins FrameOf(const QWidget* window)
{
    if (const QWindow* h = window->windowHandle(); h && !h->frameMargins().isNull())
        return h->frameMargins();
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowHandle() && !w->windowHandle()->frameMargins().isNull())
            return w->windowHandle()->frameMargins();
    return {};
}
}  // namespace

WindowRules::WindowRules(QObject* parent) : QObject(parent) {}

QMargins WindowRules::FrameMargins(const QWidget* window) { return FrameOf(window); }

QWidget* WindowRules::FrontOwner(const QWidget* opening)
{
    QWidget* top = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != opening && w->isVisible() && StaysOnTop(w) && IsRuledWindow(w))
            top = w;
    if (!top || (opening && StaysOnTop(opening)))
        return nullptr;
    // A box raised from a window already in front of it belongs to that window.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != opening && modal->isVisible() && InFrontOf(modal, top))
        return modal->window();
    return top;
}

void WindowRules::FitToScreen(QWidget* window)
{
    QScreen* screen = window->screen();
    if (!screen)
        return;
    const QMargins frame = FrameOf(window);
    const QRect area = screen->availableGeometry().marginsRemoved(frame);
    if (area.isEmpty())
        return;
    QRect g = window->geometry();
    const QSize fitted(std::min(g.width(), area.width()), std::min(g.height(), area.height()));
    const bool tooLarge = fitted != g.size();
    if (tooLarge) {
        window->resize(fitted.expandedTo(window->minimumSize()).boundedTo(area.size()));
        g.setSize(window->size());
    }
    // A window no one placed yet is centred by its own rules afterwards.
    if (!window->testAttribute(Qt::WA_Moved))
        return;
    // A window's move places its frame.
    const QRect screenArea = screen->availableGeometry();
    if (!tooLarge || screenArea.contains(g))
        return;  // a window that fits places itself
    const QSize outer = g.size().grownBy(frame);
    const QPoint was = window->frameGeometry().topLeft();
    QPoint at = was;
    at.setX(std::clamp(at.x(), screenArea.left(), std::max(screenArea.left(), screenArea.right() + 1 - outer.width())));
    at.setY(std::clamp(at.y(), screenArea.top(), std::max(screenArea.top(), screenArea.bottom() + 1 - outer.height())));
    if (at != was)
        window->move(at);
}

bool WindowRules::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
        if (auto* w = qobject_cast<QWidget*>(watched); w && !event->spontaneous() && IsRuledWindow(w)) {
            if (event->type() == QEvent::Show)
                Opening(w);
            else
                Closed(w);
        }
    }
    return QObject::eventFilter(watched, event);
}

// The window is about to be mapped: what it belongs to still counts.
void WindowRules::Opening(QWidget* window)
{
    FitToScreen(window);
    Shown& shown = m_shown[window];
    shown = Shown{QApplication::activeWindow(), false, nullptr};
    QWindow* handle = window->windowHandle();
    QWidget* owner = FrontOwner(window);
    if (!handle || !owner || !owner->windowHandle() || InFrontOf(window, owner))
        return;
    shown.ownerChanged = true;
    shown.ownParent = handle->transientParent();
    handle->setTransientParent(owner->windowHandle());
}

void WindowRules::Closed(QWidget* window)
{
    const auto it = m_shown.constFind(window);
    if (it == m_shown.constEnd())
        return;
    const Shown shown = *it;
    m_shown.erase(it);
    // Its own owner again, for the next time it opens without the panel.
    if (shown.ownerChanged)
        if (QWindow* handle = window->windowHandle())
            handle->setTransientParent(shown.ownParent);
    QWidget* before = shown.activeBefore;
    if (!before || before == window || !before->isVisible())
        return;
    // Not away from a modal window still up in front of it.
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == before || modal == window)
        before->activateWindow();
}
