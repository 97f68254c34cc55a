// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/GameLaunchPlan.h"

#include "platform/GameCommand.h"

GameLaunchPlan GameLaunchPlan::forInstallation(const GameInstallation &installation,
                                               const QProcessEnvironment &environment,
                                               const QString &workingDirectory)
{
    GameLaunchPlan plan;
    plan.environment = environment;
    plan.workingDirectory = workingDirectory.isEmpty() ? installation.gameFolder : workingDirectory;
    if (installation.executable.isEmpty()) {
        plan.error = QStringLiteral("no game executable was found");
        return plan;
    }

    GameCommand command;
    switch (installation.kind) {
    case GameInstallation::Kind::Steam:
        command = GameCommand::throughSteam(installation.steamAppId, environment);
        break;
    case GameInstallation::Kind::WinePrefix:
        command = GameCommand::inWinePrefix(installation.executable, installation.winePrefix,
                                            environment);
        break;
    case GameInstallation::Kind::Plain:
        command = GameCommand::plain(installation.executable, environment);
        break;
    }
    plan.program = command.program;
    plan.arguments = command.arguments;
    plan.environment = command.environment;
    plan.error = command.error;
    return plan;
}
