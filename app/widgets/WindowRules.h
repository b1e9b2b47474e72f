#pragma once
#include <QHash>
#include <QMargins>
#include <QObject>
#include <QPointer>

class QWidget;
class QWindow;

// How every window of the program comes up, kept in one place so that no
// window can forget it: each is placed inside the available area of its
// screen and sized to fit it; while a stay-on-top window (the control panel)
// is shown, each window or box opened meanwhile belongs to it, or to the
// modal window in front of it, so that it comes up in front and takes the
// keyboard; and when it closes, the window that was active before it is
// active again.
class WindowRules : public QObject {
public:
    explicit WindowRules(QObject* parent = nullptr);

    // The window a window opened now belongs to: the modal window in front of
    // the stay-on-top window, else the stay-on-top window; none while no
    // stay-on-top window is shown.
    static QWidget* FrontOwner(const QWidget* opening);
    // Moves and shrinks `window` so that its frame lies inside the available
    // area of its screen.
    static void FitToScreen(QWidget* window);
    // The frame the window manager puts around a window's client area, taken
    // from a shown window while this one has none yet.
    static QMargins FrameMargins(const QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Opening(QWidget* window);
    void Closed(QWidget* window);

    // What a shown window had before the rules changed it.
    struct Shown {
        QPointer<QWidget> activeBefore;
        bool ownerChanged = false;
        QPointer<QWindow> ownParent;
    };
    QHash<const QWidget*, Shown> m_shown;
};
