// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/GameLauncher.h"

#include "game/GameInstallationFinder.h"

GameLauncher::GameLauncher(QString homeFolder, QProcessEnvironment environment)
    : m_home(std::move(homeFolder))
    , m_environment(std::move(environment))
{}

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

LaunchResult GameLauncher::start(const GameLaunchPlan &plan)
{
    if (!plan.canStart())
        return {false, plan.error};
    return ProcessStart::startDetached(plan.program, plan.arguments, plan.workingDirectory,
                                       plan.environment);
}
