#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/MessageBoxes.h"
#include "app/ui/Forms.h"
#include "app/ui/GuardedApplication.h"
#include "app/ui/MainForm.h"
#include "app/widgets/QtMessagePresenter.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !(platform && *platform)) {
        std::fprintf(stderr,
                     "Pelvartonix needs a graphical display, and none was found (DISPLAY is not set).\n"
                     "Start it from a desktop session, or through ssh -X.\n");
        return 2;
    }
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName("Pelvartonix");

    ProgramDir = FolderWithSeparator(QApplication::applicationFilePath());
    QStringList parameters = QApplication::arguments();
    parameters.removeFirst();
    SetCommandLine(parameters);

    QtMessagePresenter presenter;
    SetMessagePresenter(&presenter);

    if (!CreateForms())
        return 1;
    MainForm->show();
    const int result = QApplication::exec();
    DestroyForms();
    SetMessagePresenter(nullptr);
    return result;
}
