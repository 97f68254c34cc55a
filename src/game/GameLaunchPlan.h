// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "game/GameInstallation.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// How to start a game, decided from the way it is installed and the programs
// on the PATH of `environment`:
// - a Steam copy through Steam: "steam -applaunch <appid>", or, without steam
//   on the PATH, "xdg-open steam://rungameid/<appid>";
// - a copy in a Wine prefix: "wine <exe>" with WINEPREFIX set to the prefix;
// - any other ".exe": "wine <exe>" in the environment's own prefix;
// - anything else: the file itself when it is executable, else "xdg-open <file>".
// Programs run in the game folder (or the working directory handed in).
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

    // The executable `name` in the folders of the environment's PATH; empty
    // when none of them holds it.
    static QString findOnPath(const QString &name, const QProcessEnvironment &environment);
};
