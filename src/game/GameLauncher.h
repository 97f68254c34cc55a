// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "game/GameLaunchPlan.h"
#include "platform/ProcessStart.h"

#include <QProcessEnvironment>
#include <QString>

// Starts a game detached, the way it was installed (see GameLaunchPlan), with
// the home folder and environment handed in.
class GameLauncher final
{
public:
    GameLauncher(QString homeFolder, QProcessEnvironment environment);

    // Works out how `executable` is installed, then starts it.
    LaunchResult launch(const QString &executable, const QString &workingDirectory = {}) const;
    LaunchResult launch(const GameInstallation &installation) const;

    // Starts the planned program detached; it outlives this program.
    static LaunchResult start(const GameLaunchPlan &plan);

private:
    QString m_home;
    QProcessEnvironment m_environment;
};
