// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ProcessStart.h"

#include <QString>

// Hands documents, links and the game to the desktop. Opening a document
// reports nothing; starting the game tells whether it started.
class Shell
{
public:
    virtual ~Shell() = default;

    // Opens a web address, a "mailto:" address or a file with the user's
    // default handler.
    virtual void OpenDocument(const QString &target) = 0;

    // Starts the game's executable detached, the way it is installed (Steam,
    // a Wine prefix, wine, the desktop's handler), in the given working
    // directory.
    virtual LaunchResult launchProgram(const QString &program, const QString &workingDirectory) = 0;
};
