// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/DesktopShell.h"
#include "app/SocketModuleLoader.h"
#include "controller/PlatformServices.h"
#include "handoff/FileOperations.h"
#include "platform/Dialogs.h"
#include "settings/Settings.h"
#include "ui/Resources.h"
#include "ui/WindowFont.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

// What the program's entry sets up before its first window: used by main()
// and by the start-up benchmark, so both start the program the same way.

inline void setUpApplication()
{
    QApplication::setWindowIcon(programIcon());
    // Message boxes and pickers use the windows' own font.
    QApplication::setFont(WindowFont::standard());
    // Lets desktops match the window to the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("net.oribel.Tavrix"));
}

// Shows a window in front of the others, restored if it was minimised, for a
// later start that handed over to this one.
inline void bringToFront(QWidget *window)
{
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

// The real dialogs, shell and file operations; the socket component is looked
// for in the executable's own folder, games in this user's home folder.
struct ProductionPlatform
{
    QtDialogs dialogs;
    DesktopShell shell;
    DiskFileOperations files;

    PlatformServices services()
    {
        return PlatformServices{&dialogs,
                                &shell,
                                &files,
                                QCoreApplication::applicationDirPath(),
                                socketModuleIn(QCoreApplication::applicationDirPath()),
                                Settings::defaultFilePath(),
                                QDir::homePath(),
                                QProcessEnvironment::systemEnvironment()};
    }
};
