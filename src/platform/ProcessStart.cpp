// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProcessStart.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace ProcessStart {

LaunchResult startDetached(const QString &program, const QStringList &arguments,
                           const QString &workingDirectory, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDirectory);
    process.setProcessEnvironment(environment);
    if (!process.startDetached())
        return {false, QStringLiteral("%1 failed to start: %2")
                           .arg(QFileInfo(program).fileName(), process.errorString())};
    return {true, {}};
}

QString findOnPath(const QString &name, const QProcessEnvironment &environment)
{
    // Searched by hand: QStandardPaths::findExecutable falls back to this
    // process' PATH when the list is empty.
    const QStringList folders =
        environment.value(QStringLiteral("PATH")).split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString &folder : folders) {
        const QFileInfo candidate(QDir(folder).filePath(name));
        if (QDir::isAbsolutePath(folder) && candidate.isFile() && candidate.isExecutable())
            return candidate.absoluteFilePath();
    }
    return {};
}

} // namespace ProcessStart
