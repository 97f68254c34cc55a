// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One copy of GTA III or Vice City found on this computer, and how it was
// installed, which decides how it is started.
struct GameInstallation
{
    enum class Game { Gta3, ViceCity, Unknown };
    enum class Kind {
        Steam,      // in a Steam library: started through Steam with its app id
        WinePrefix, // inside a Wine prefix's drive_c: started by wine in that prefix
        Plain       // anywhere else
    };

    static constexpr int Gta3SteamAppId = 12100;
    static constexpr int ViceCitySteamAppId = 12110;

    Game game = Game::Unknown;
    Kind kind = Kind::Plain;
    int steamAppId = 0; // Steam only
    QString winePrefix; // WinePrefix only: the folder that holds drive_c
    QString gameFolder; // the executable's folder, without a trailing separator
    QString executable;
    // The game's MP3 folder ending with '/', like the radio path. It is the
    // existing "mp3" folder whatever its letter case, or the path it would have.
    QString mp3Folder;
    bool mp3FolderExists = false;
    QString reportFile; // MP3Report.txt whatever its letter case; empty when missing

    // "GTA III", "GTA Vice City" or the executable's name.
    QString gameName() const;
};
