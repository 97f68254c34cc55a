// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <functional>
#include <memory>

class Dialogs;
class FileOperations;
class QWidget;
class Shell;
class SocketComponent;

// What a buffering run needs of the program around it.
struct BufferingServices
{
    // The message boxes and questions, and the window they belong to.
    Dialogs *dialogs = nullptr;
    QWidget *dialogOwner = nullptr;
    // Starts the game.
    Shell *shell = nullptr;
    FileOperations *files = nullptr;
    // Creates the socket component the stations are reached through; null,
    // with *error naming the module and the reason, when it cannot be loaded.
    std::function<std::unique_ptr<SocketComponent>(QString *error)> createSocket;
    // Where installed games are looked for.
    QString homeFolder;
    QProcessEnvironment environment;
};
