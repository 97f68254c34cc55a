// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Where this system keeps the games: the folders Steam is installed in (each
// lists its further libraries in steamapps/libraryfolders.vdf), and the
// folders that boxed and publisher installers put games under. The home
// folder and the environment are handed in, so a search can run on a
// stand-in home.
namespace GamePlaces {

// Linux: $XDG_DATA_HOME/Steam, ~/.local/share/Steam, ~/.steam/steam,
// ~/.steam/root and the Flatpak's. Windows: the folder Steam's registry keys
// name, else the one its installer uses under Program Files (x86).
QStringList steamRoots(const QString &homeFolder, const QProcessEnvironment &environment);

// Windows: "Program Files" and "Program Files (x86)" (from the environment),
// under which the installers make "Rockstar Games\<game>" or a folder of the
// game's own. None on Linux, where such copies live in Wine prefixes.
QStringList installerFolders(const QProcessEnvironment &environment);

} // namespace GamePlaces
