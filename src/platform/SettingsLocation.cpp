// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SettingsLocation.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The canonical path of a file that may not exist yet (the settings file
// before the first run): the deepest existing folder above it is resolved,
// the rest is appended as written.
QString canonicalPathOf(const QString &file)
{
    QString existing = QDir::cleanPath(QFileInfo(file).absoluteFilePath());
    QStringList missing;
    while (!QFileInfo::exists(existing)) {
        const QFileInfo info(existing);
        const QString parent = info.path();
        if (parent == existing)
            break;
        missing.prepend(info.fileName());
        existing = parent;
    }
    QString canonical = QFileInfo(existing).canonicalFilePath();
    if (canonical.isEmpty())
        canonical = existing;
    for (const QString &part : std::as_const(missing))
        canonical = QDir(canonical).filePath(part);
    return canonical;
}

} // namespace

bool SettingsLocation::isRegistryKey(const QString &location)
{
    return location.startsWith(QStringLiteral("HKEY_"), Qt::CaseInsensitive);
}

QString SettingsLocation::identity(const QString &location)
{
    // A registry key has no other spelling on disk to resolve.
    if (isRegistryKey(location))
        return location;
    return canonicalPathOf(location);
}
