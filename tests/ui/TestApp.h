#pragma once
#include "app/ui/GuardedApplication.h"

#include <QApplication>

// The one application object of the window tests, made by whichever suite
// runs first: the program's own, with its guard around every event.
inline QApplication* App()
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return app;
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new GuardedApplication(argc, argv);
    return app;
}
