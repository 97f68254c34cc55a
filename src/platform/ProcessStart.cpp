// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProcessStart.h"

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

} // namespace ProcessStart
