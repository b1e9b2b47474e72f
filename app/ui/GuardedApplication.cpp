#include "app/ui/GuardedApplication.h"

#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/widgets/WindowRules.h"

#include <cstdio>
#include <exception>
#include <new>

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    installEventFilter(new WindowRules(this));
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    QString text;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        text = Tr("Universal", "brakPamieci");
    } catch (const std::exception& e) {
        text = Tr("Universal", "bladProgramu") + "\n" + QString::fromUtf8(e.what());
    } catch (...) {
        text = Tr("Universal", "bladProgramu");
    }
    // The box runs an event loop of its own; what fails again meanwhile (a
    // paint that throws each time) is logged rather than stacking boxes.
    if (m_reporting) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return false;
    }
    m_reporting = true;
    ShowMessageBox(text, true);
    m_reporting = false;
    return false;
}
