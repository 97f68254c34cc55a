#include "platform/FileOperations.h"

#include <QFile>
#include <QFileInfo>

bool DiskFileOperations::exists(const QString &path) const
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

bool DiskFileOperations::remove(const QString &path)
{
    return QFile::remove(path);
}

bool DiskFileOperations::move(const QString &from, const QString &to)
{
    // QFile::rename refuses an existing target, like the platform's move.
    return QFile::rename(from, to);
}

bool DiskFileOperations::copy(const QString &from, const QString &to)
{
    return QFile::copy(from, to);
}
