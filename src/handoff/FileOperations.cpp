// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/FileOperations.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool failed(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool DiskFileOperations::exists(const QString &path) const
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

bool DiskFileOperations::remove(const QString &path, QString *error)
{
    QFile file(path);
    return file.remove() || failed(error, file.errorString());
}

bool DiskFileOperations::move(const QString &from, const QString &to, QString *error)
{
    // QFile::rename refuses an existing target, like the platform's move, and
    // copies across file systems.
    QFile file(from);
    return file.rename(to) || failed(error, file.errorString());
}

bool DiskFileOperations::copy(const QString &from, const QString &to, QString *error)
{
    QFile file(from);
    return file.copy(to) || failed(error, file.errorString());
}
