#include "platform/Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcessEnvironment>
#include <QUrl>

void DesktopShell::OpenDocument(const QString &target)
{
    const QUrl url = QUrl::fromUserInput(target);
    QDesktopServices::openUrl(url);
}

LaunchResult DesktopShell::launchProgram(const QString &program, const QString &workingDirectory)
{
    return GameLauncher(QDir::homePath(), QProcessEnvironment::systemEnvironment())
        .launch(program, workingDirectory);
}
