// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/GameLaunchPlan.h"

#include <QDir>
#include <QFileInfo>

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
    if (installation.kind == GameInstallation::Kind::Steam) {
        // Steam starts its copy the way it is set up there; the address goes
        // to whatever Windows opens steam:// addresses with, as a click on a
        // link would.
        const QString systemRoot =
            environment.value(QStringLiteral("SystemRoot"), QStringLiteral("C:\\Windows"));
        plan.program = QDir(QDir::fromNativeSeparators(systemRoot))
                           .filePath(QStringLiteral("System32/rundll32.exe"));
        plan.arguments = {QStringLiteral("url.dll,FileProtocolHandler"),
                          QStringLiteral("steam://rungameid/%1").arg(installation.steamAppId)};
        return plan;
    }
    plan.program = QFileInfo(installation.executable).absoluteFilePath();
    return plan;
}
