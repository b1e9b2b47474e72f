#pragma once
#include <QApplication>

// The program's application object. Every event passes through notify(), so
// whatever a slot, a timer or an event handler throws ends there: the
// operator is shown what went wrong in an error box and the program goes on
// with the next event. No exception ever crosses the event loop. Every
// window comes up by the program's window rules (WindowRules).
class GuardedApplication : public QApplication {
    Q_OBJECT
public:
    GuardedApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    bool m_reporting = false;
};
