// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GameCommand.h"

#include "platform/ProcessStart.h"

#include <QFileInfo>

namespace {

// `name` from the PATH with `arguments`, or why it cannot be.
GameCommand through(const QString &name, const QStringList &arguments,
                    const QProcessEnvironment &environment)
{
    GameCommand command;
    command.environment = environment;
    command.program = ProcessStart::findOnPath(name, environment);
    if (command.program.isEmpty())
        command.error = QStringLiteral("%1 is not installed (not found on the PATH)").arg(name);
    else
        command.arguments = arguments;
    return command;
}

} // namespace

GameCommand GameCommand::throughSteam(int steamAppId, const QProcessEnvironment &environment)
{
    // Steam starts the game the way it is set up there (Proton, options).
    const QString appId = QString::number(steamAppId);
    GameCommand command =
        through(QStringLiteral("steam"), {QStringLiteral("-applaunch"), appId}, environment);
    if (command.program.isEmpty())
        command = through(QStringLiteral("xdg-open"),
                          {QStringLiteral("steam://rungameid/") + appId}, environment);
    if (command.program.isEmpty())
        command.error = QStringLiteral("Steam is not installed (neither steam nor xdg-open "
                                       "found on the PATH)");
    return command;
}

GameCommand GameCommand::inWinePrefix(const QString &executable, const QString &prefix,
                                      const QProcessEnvironment &environment)
{
    GameCommand command = through(QStringLiteral("wine"), {executable}, environment);
    command.environment.insert(QStringLiteral("WINEPREFIX"), prefix);
    return command;
}

GameCommand GameCommand::plain(const QString &executable, const QProcessEnvironment &environment)
{
    if (executable.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive))
        return through(QStringLiteral("wine"), {executable}, environment);
    if (const QFileInfo info(executable); info.isFile() && info.isExecutable()) {
        GameCommand command;
        command.environment = environment;
        command.program = info.absoluteFilePath();
        return command;
    }
    return through(QStringLiteral("xdg-open"), {executable}, environment);
}
