// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FolderCheck.h"

#include <QDir>
#include <QTemporaryFile>

namespace FolderCheck {

QString writeProblem(const QString &folder)
{
    // The read-only attribute of a Windows folder says nothing about its
    // files, and access lists decide: a file is made there and removed.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("tavrix-XXXXXX.tmp")));
    if (!probe.open())
        return QStringLiteral("cannot be written: ") + probe.errorString();
    return {};
}

} // namespace FolderCheck
