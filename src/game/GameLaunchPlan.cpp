// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/GameLaunchPlan.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString notInstalled(const QString &program)
{
    return QStringLiteral("%1 is not installed (not found on the PATH)").arg(program);
}

} // namespace

QString GameLaunchPlan::findOnPath(const QString &name, const QProcessEnvironment &environment)
{
    // Searched by hand: QStandardPaths::findExecutable falls back to this
    // process' PATH when the list is empty.
    const QStringList folders =
        environment.value(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &folder : folders) {
        const QFileInfo candidate(QDir(folder).filePath(name));
        if (QDir::isAbsolutePath(folder) && candidate.isFile() && candidate.isExecutable())
            return candidate.absoluteFilePath();
    }
    return {};
}

GameLaunchPlan GameLaunchPlan::forInstallation(const GameInstallation &installation,
                                               const QProcessEnvironment &environment,
                                               const QString &workingDirectory)
{
    GameLaunchPlan plan;
    plan.environment = environment;
    plan.workingDirectory = workingDirectory.isEmpty() ? installation.gameFolder : workingDirectory;
    const QString executable = installation.executable;
    if (executable.isEmpty()) {
        plan.error = QStringLiteral("no game executable was found");
        return plan;
    }

    const auto through = [&](const QString &name, const QStringList &arguments) {
        plan.program = findOnPath(name, environment);
        if (plan.program.isEmpty())
            plan.error = notInstalled(name);
        else
            plan.arguments = arguments;
    };

    switch (installation.kind) {
    case GameInstallation::Kind::Steam: {
        // Steam starts the game the way it is set up there (Proton, options).
        const QString appId = QString::number(installation.steamAppId);
        through(QStringLiteral("steam"), {QStringLiteral("-applaunch"), appId});
        if (!plan.canStart())
            through(QStringLiteral("xdg-open"), {QStringLiteral("steam://rungameid/") + appId});
        if (!plan.canStart())
            plan.error = QStringLiteral("Steam is not installed (neither steam nor xdg-open "
                                        "found on the PATH)");
        break;
    }
    case GameInstallation::Kind::WinePrefix:
        through(QStringLiteral("wine"), {executable});
        plan.environment.insert(QStringLiteral("WINEPREFIX"), installation.winePrefix);
        break;
    case GameInstallation::Kind::Plain:
        if (executable.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive))
            through(QStringLiteral("wine"), {executable});
        else if (const QFileInfo info(executable); info.isFile() && info.isExecutable())
            plan.program = info.absoluteFilePath();
        else
            through(QStringLiteral("xdg-open"), {executable});
        break;
    }
    return plan;
}
