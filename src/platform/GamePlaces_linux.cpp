// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GamePlaces.h"

#include <QDir>

QStringList GamePlaces::steamRoots(const QString &homeFolder,
                                   const QProcessEnvironment &environment)
{
    QStringList roots;
    // Steam's own start script honours XDG_DATA_HOME; ~/.steam/steam and
    // ~/.steam/root are links its installer makes to the same place.
    const QString dataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
    if (QDir::isAbsolutePath(dataHome))
        roots << dataHome + QStringLiteral("/Steam");
    const QString flatpakHome = homeFolder + QStringLiteral("/.var/app/com.valvesoftware.Steam");
    roots << homeFolder + QStringLiteral("/.local/share/Steam")
          << homeFolder + QStringLiteral("/.steam/steam")
          << homeFolder + QStringLiteral("/.steam/root")
          // The Flatpak keeps Steam's home folder in its own data folder.
          << flatpakHome + QStringLiteral("/.local/share/Steam")
          << flatpakHome + QStringLiteral("/data/Steam");
    return roots;
}

QStringList GamePlaces::installerFolders(const QProcessEnvironment &)
{
    return {};
}
