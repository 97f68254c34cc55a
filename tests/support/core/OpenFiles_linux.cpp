// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenFiles.h"

#include <QDir>
#include <QFileInfo>

QStringList openFilesIn(const QString &folder)
{
    QStringList open;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &link : descriptors.entryInfoList(QDir::Files | QDir::System)) {
        if (const QString target = link.symLinkTarget(); target.startsWith(folder))
            open << target;
    }
    return open;
}
