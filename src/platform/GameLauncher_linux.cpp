// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GameLauncher.h"

#include "game/GameInstallationFinder.h"

LaunchResult GameLauncher::launch(const QString &executable, const QString &workingDirectory) const
{
    if (executable.isEmpty())
        return {false, QStringLiteral("no game executable was found")};
    const GameInstallation installation =
        GameInstallationFinder(m_home, m_environment).describe(executable);
    return start(GameLaunchPlan::forInstallation(installation, m_environment, workingDirectory));
}

LaunchResult GameLauncher::launch(const GameInstallation &installation) const
{
    return start(GameLaunchPlan::forInstallation(installation, m_environment));
}
