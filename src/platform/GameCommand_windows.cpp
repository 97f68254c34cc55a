// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GameCommand.h"

#include <QDir>
#include <QFileInfo>

GameCommand GameCommand::throughSteam(int steamAppId, const QProcessEnvironment &environment)
{
    // Steam starts its copy the way it is set up there; the address goes to
    // whatever Windows opens steam:// addresses with, as a click on a link
    // would.
    GameCommand command;
    command.environment = environment;
    const QString systemRoot =
        environment.value(QStringLiteral("SystemRoot"), QStringLiteral("C:\\Windows"));
    command.program = QDir(QDir::fromNativeSeparators(systemRoot))
                          .filePath(QStringLiteral("System32/rundll32.exe"));
    command.arguments = {QStringLiteral("url.dll,FileProtocolHandler"),
                         QStringLiteral("steam://rungameid/%1").arg(steamAppId)};
    return command;
}

GameCommand GameCommand::inWinePrefix(const QString &executable, const QString &,
                                      const QProcessEnvironment &environment)
{
    // Wine prefixes are a Linux way of installing; a copy found in one is
    // started like any other.
    return plain(executable, environment);
}

GameCommand GameCommand::plain(const QString &executable, const QProcessEnvironment &environment)
{
    GameCommand command;
    command.environment = environment;
    command.program = QFileInfo(executable).absoluteFilePath();
    return command;
}
