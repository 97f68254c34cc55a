#include "app/ProgramEntry.h"
#include "platform/TerminationSignals.h"
#include "ui/frmMain.h"
#include "ui/frmStart.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication();
    ProductionPlatform platform;
    frmStart start(platform.services());

    // Ended by the system, the terminal or Ctrl+C: the main window unloads as
    // on "Exit" (session closed, settings saved) and the program ends.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, [&start] {
        if (frmMain *window = start.mainWindow())
            window->close();
        else
            QApplication::quit();
    });
    return QApplication::exec();
}
