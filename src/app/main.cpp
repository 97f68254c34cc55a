// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLineOptions.h"
#include "app/ProgramEntry.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "ui/frmMain.h"
#include "ui/frmStart.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    CommandLineOptions options(CommandLineOptions::fromMain(argc, argv),
                               QProcessEnvironment::systemEnvironment());
    if (options.outcome() != CommandLineOptions::Outcome::Start) {
        // The usage text names the program from a core application; no
        // window system is needed for it.
        QCoreApplication core(argc, argv);
        return options.report();
    }

    QApplication app(argc, argv);
    options.closeDisplayCheck();
    // A second start with the same settings hands over to the running one.
    SingleInstance instance(Settings::defaultFilePath());
    switch (instance.claim(QCoreApplication::arguments().mid(1))) {
    case SingleInstance::Role::HandedOver:
        std::printf("Tavrix is already running; its window was brought to the front.\n");
        return 0;
    case SingleInstance::Role::NoAnswer:
        std::fprintf(stderr, "tavrix: already running, but %s\n",
                     qPrintable(instance.errorString()));
        return 1;
    case SingleInstance::Role::Unguarded:
    case SingleInstance::Role::Primary:
        if (!instance.errorString().isEmpty())
            std::fprintf(stderr, "tavrix: %s\n", qPrintable(instance.errorString()));
        break;
    }

    setUpApplication();
    ProductionPlatform platform;
    frmStart start(platform.services());
    QObject::connect(&instance, &SingleInstance::activationRequested, &start, [&start] {
        if (start.mainWindow())
            bringToFront(start.mainWindow());
        else if (start.isVisible())
            bringToFront(&start);
    });

    // Ended by the system, the terminal, Ctrl+C or the end of the Windows
    // session: the main window unloads as on "Exit" (session closed, settings
    // saved) and the program ends.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, [&start] {
        if (frmMain *window = start.mainWindow())
            window->exitProgram();
        else
            QApplication::quit();
    });
    return QApplication::exec();
}
