// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopShell.h"

#include "game/GameLauncher.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcessEnvironment>
#include <QUrl>

DesktopShell::DesktopShell()
    : DesktopShell(QDir::homePath(), QProcessEnvironment::systemEnvironment())
{}

DesktopShell::DesktopShell(QString homeFolder, QProcessEnvironment environment)
    : m_home(std::move(homeFolder))
    , m_environment(std::move(environment))
{}

void DesktopShell::OpenDocument(const QString &target)
{
    const QUrl url = QUrl::fromUserInput(target);
    QDesktopServices::openUrl(url);
}

LaunchResult DesktopShell::launchProgram(const QString &program, const QString &workingDirectory)
{
    return GameLauncher(m_home, m_environment).launch(program, workingDirectory);
}
