// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FolderCheck.h"

#include <QDir>
#include <QFileInfo>

namespace FolderCheck {

namespace {

// The path as it leads on disk, ending with '/'. A path that does not exist
// (yet) is only made absolute and clean.
QString resolved(const QString &path)
{
    const QFileInfo info(path);
    QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QDir::cleanPath(info.absoluteFilePath());
    if (!canonical.endsWith(QLatin1Char('/')))
        canonical += QLatin1Char('/');
    return canonical;
}

} // namespace

QString problem(const QString &folder)
{
    // "file/" would not exist at all: the entry itself is looked at.
    const QFileInfo info(QDir::cleanPath(folder));
    if (!info.exists())
        return QStringLiteral("does not exist");
    if (!info.isDir())
        return QStringLiteral("is not a folder");
    return writeProblem(folder);
}

bool overlap(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QString first = resolved(a);
    const QString second = resolved(b);
    return first.startsWith(second) || second.startsWith(first);
}

} // namespace FolderCheck
