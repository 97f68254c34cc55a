// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GamePlaces.h"

#include <QDir>
#include <QSettings>

namespace {

QString registryText(const QString &key, const QString &name)
{
    return QSettings(key, QSettings::NativeFormat).value(name).toString();
}

QStringList programFilesFolders(const QProcessEnvironment &environment)
{
    QStringList folders;
    for (const QString &variable :
         {QStringLiteral("ProgramFiles(x86)"), QStringLiteral("ProgramFiles"),
          QStringLiteral("ProgramW6432")}) {
        const QString folder = QDir::fromNativeSeparators(environment.value(variable));
        if (QDir::isAbsolutePath(folder) && !folders.contains(folder, Qt::CaseInsensitive))
            folders << folder;
    }
    return folders;
}

} // namespace

QStringList GamePlaces::steamRoots(const QString &, const QProcessEnvironment &environment)
{
    QStringList roots;
    // Steam keeps its folder per user; its installer also notes it for the
    // machine, in the 32-bit view of the registry.
    for (const QString &root :
         {registryText(QStringLiteral("HKEY_CURRENT_USER\\Software\\Valve\\Steam"),
                       QStringLiteral("SteamPath")),
          registryText(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Valve\\Steam"),
                       QStringLiteral("InstallPath")),
          registryText(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Valve\\Steam"),
                       QStringLiteral("InstallPath"))}) {
        if (!root.isEmpty())
            roots << QDir::fromNativeSeparators(root);
    }
    for (const QString &folder : programFilesFolders(environment))
        roots << folder + QStringLiteral("/Steam");
    return roots;
}

QStringList GamePlaces::installerFolders(const QProcessEnvironment &environment)
{
    return programFilesFolders(environment);
}
