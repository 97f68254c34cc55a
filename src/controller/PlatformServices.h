// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <functional>
#include <memory>

class Dialogs;
class Shell;
class FileOperations;
class SocketComponent;

// What the windows and the buffering controller need of the platform, handed
// to them by the program's entry (production) or by a test (scripted dialogs,
// recording shell, ...).
struct PlatformServices
{
    Dialogs *dialogs = nullptr;
    Shell *shell = nullptr;
    FileOperations *files = nullptr;
    // The folder that holds the socket component module (the executable's
    // own folder in production).
    QString componentFolder;
    // Creates the socket component the stations are reached through; null,
    // with *error naming the module and the reason, when it cannot be loaded.
    std::function<std::unique_ptr<SocketComponent>(QString *error)> createSocket;
    // The settings file (the user's TAVRIX.conf in production).
    QString settingsFile;
    // Where installed games are looked for: the home folder and environment
    // (PATH, WINEPREFIX, XDG_DATA_HOME) of this user in production.
    QString homeFolder;
    QProcessEnvironment environment;
};
