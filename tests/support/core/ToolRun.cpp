// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToolRun.h"

#include <QProcess>

ToolRun runTool(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForStarted()) {
        run.failure = QStringLiteral("%1 did not start: %2").arg(program, process.errorString());
    } else if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.failure = QStringLiteral("%1 did not finish in time").arg(program);
    } else {
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        if (!run.ok)
            run.failure = QStringLiteral("%1 %2 failed: %3")
                              .arg(program, arguments.join(QLatin1Char(' ')),
                                   QString::fromLocal8Bit(run.err + run.out).trimmed());
    }
    if (!run.ok && run.err.isEmpty())
        run.err = run.failure.toUtf8();
    return run;
}
