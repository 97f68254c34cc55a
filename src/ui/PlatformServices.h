// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcessEnvironment>
#include <QString>

class Dialogs;
class Shell;
class FileOperations;

// What the windows need of the platform, handed to them by the program's
// entry (production) or by a test (scripted dialogs, recording shell, ...).
struct PlatformServices
{
    Dialogs *dialogs = nullptr;
    Shell *shell = nullptr;
    FileOperations *files = nullptr;
    // The folder that holds the socket component module (the executable's
    // own folder in production).
    QString componentFolder;
    // The settings file (the user's TAVRIX.conf in production).
    QString settingsFile;
    // Where installed games are looked for: the home folder and environment
    // (PATH, WINEPREFIX, XDG_DATA_HOME) of this user in production.
    QString homeFolder;
    QProcessEnvironment environment;
};
