// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/GameLaunchPlan.h"

#include <QDir>
#include <QFileInfo>

QString GameLaunchPlan::findOnPath(const QString &name, const QProcessEnvironment &environment)
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
