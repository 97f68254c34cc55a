// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The program this system starts a game's copy with. On Windows: a Steam copy
// through Steam's address "steam://rungameid/<appid>", any other through its
// ".exe". On Linux, with the programs on the PATH of `environment`:
// - a Steam copy through Steam: "steam -applaunch <appid>", or, without steam
//   on the PATH, "xdg-open steam://rungameid/<appid>";
// - a copy in a Wine prefix: "wine <exe>" with WINEPREFIX set to the prefix;
// - any other ".exe": "wine <exe>" in the environment's own prefix;
// - anything else: the file itself when it is executable, else "xdg-open <file>".
struct GameCommand
{
    QString program; // full path; empty when the game cannot be started
    QStringList arguments;
    QProcessEnvironment environment; // `environment`, with what the start adds
    QString error;                   // why it cannot be started, e.g. "wine is not installed (...)"

    // A copy in a Steam library, by its Steam app id.
    static GameCommand throughSteam(int steamAppId, const QProcessEnvironment &environment);
    // The executable of a copy inside the Wine prefix `prefix` (the folder
    // that holds drive_c).
    static GameCommand inWinePrefix(const QString &executable, const QString &prefix,
                                    const QProcessEnvironment &environment);
    // The executable of a copy installed anywhere else.
    static GameCommand plain(const QString &executable, const QProcessEnvironment &environment);
};
