// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GameLauncher.h"

#include "game/GameInstallationFinder.h"

#include <QFileInfo>
#include <QProcess>

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
    QProcess process;
    process.setProgram(plan.program);
    process.setArguments(plan.arguments);
    process.setWorkingDirectory(plan.workingDirectory);
    process.setProcessEnvironment(plan.environment);
    if (!process.startDetached())
        return {false, QStringLiteral("%1 failed to start: %2")
                           .arg(QFileInfo(plan.program).fileName(), process.errorString())};
    return {true, {}};
}
