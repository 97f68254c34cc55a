// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Shell.h"

#include <QProcessEnvironment>
#include <QString>

// Production shell: QDesktopServices for documents; the game through
// GameLauncher with this user's home folder and environment, or those handed
// in (a stand-in home and PATH).
class DesktopShell final : public Shell
{
public:
    DesktopShell();
    DesktopShell(QString homeFolder, QProcessEnvironment environment);

    void OpenDocument(const QString &target) override;
    LaunchResult launchProgram(const QString &program, const QString &workingDirectory) override;

private:
    QString m_home;
    QProcessEnvironment m_environment;
};
