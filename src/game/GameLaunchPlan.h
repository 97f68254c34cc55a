// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "game/GameInstallation.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// How to start a game, decided from the way it is installed: the program this
// system starts such a copy with (see GameCommand), run in the game folder (or
// the working directory handed in).
struct GameLaunchPlan
{
    QString program; // full path; empty when the game cannot be started
    QStringList arguments;
    QString workingDirectory;
    QProcessEnvironment environment;
    QString error; // why it cannot be started, e.g. "wine is not installed (...)"

    bool canStart() const { return !program.isEmpty(); }

    static GameLaunchPlan forInstallation(const GameInstallation &installation,
                                          const QProcessEnvironment &environment,
                                          const QString &workingDirectory = {});
};
