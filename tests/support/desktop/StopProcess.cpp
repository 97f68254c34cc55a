// SPDX-License-Identifier: GPL-3.0-or-later
#include "StopProcess.h"

#include <QProcess>

void stopProcess(QProcess &process, int graceMs)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(graceMs)) {
        process.kill();
        process.waitForFinished();
    }
}
