// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "game/GameInstallation.h"

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// What a search found, and the files that could not be read on the way
// (each "<path>: <reason>"); a problem never stops the search.
struct GameSearch
{
    QList<GameInstallation> installations;
    QStringList problems;
};

// Finds the copies of GTA III and Vice City the way people install them on
// Linux: Steam libraries (native, ~/.steam, Flatpak, and every library listed
// in libraryfolders.vdf) and Wine prefixes (~/.wine, $WINEPREFIX, Lutris,
// Heroic, Bottles). The home folder and the environment are handed in, so the
// search can run on a stand-in home. File names from the game are matched
// whatever their letter case.
class GameInstallationFinder final
{
public:
    GameInstallationFinder(QString homeFolder, QProcessEnvironment environment);

    // Every installation once (the same folder reached through a symbolic
    // link counts once): Steam copies first, then those in Wine prefixes.
    GameSearch find() const;

    // The existing Steam library folders (canonical paths), each once.
    QStringList steamLibraries(QStringList *problems = nullptr) const;

    // The existing Wine prefixes (folders holding drive_c), each once.
    QStringList winePrefixes() const;

    // How the given executable is installed: Steam when it lies in a
    // library's steamapps/common folder that the game's manifest names, Wine
    // prefix when it lies under a prefix's drive_c, plain otherwise.
    GameInstallation describe(const QString &executable) const;

private:
    QStringList steamRoots() const;
    QString flatpakSteamHome() const;
    QList<GameInstallation> steamInstallations(const QString &library, QStringList *problems) const;

    QString m_home;
    QProcessEnvironment m_environment;
};
