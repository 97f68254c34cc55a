#include "platform/Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

void DesktopShell::OpenDocument(const QString &target)
{
    const QUrl url = QUrl::fromUserInput(target);
    QDesktopServices::openUrl(url);
}

void DesktopShell::launchProgram(const QString &program, const QString &workingDirectory)
{
    if (program.isEmpty())
        return;
    const QFileInfo info(program);
    if (program.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive)) {
        const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (!wine.isEmpty()) {
            QProcess::startDetached(wine, {program}, workingDirectory);
            return;
        }
        QDesktopServices::openUrl(QUrl::fromLocalFile(program));
        return;
    }
    if (info.isExecutable())
        QProcess::startDetached(program, {}, workingDirectory);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(program));
}
