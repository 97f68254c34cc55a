// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "game/GameInstallation.h"

#include <QList>
#include <QString>

class Dialogs;
class QWidget;

// Offers the copies of the game found on this computer when the user chooses
// the GTA MP3s folder, so nobody has to find ~/.steam or a Wine prefix's
// drive_c by hand. A found game's MP3 folder that does not exist yet is
// offered to be created; a found game's MP3 folder gets an empty
// MP3Report.txt when the game has not written one yet (the game writes it
// only when it first scans the folder, and Tavrix needs one to rewrite).
class GameFolderChooser final
{
public:
    // `homeFolder` is shown as "~" in the games' paths.
    GameFolderChooser(Dialogs &dialogs, QWidget *owner, QList<GameInstallation> installations,
                      QString homeFolder);

    // The folder the user chooses, ending with '/'; empty when cancelled or
    // when a folder could not be prepared (the user has been told). No game
    // found: the picker as it always was. One: the picker opens at its MP3
    // folder. Several: a list of them, "Other folder..." last for the picker.
    QString choose(const QString &pickerTitle);

    // Asks whether to use the one game found (Yes/No); its MP3 folder, made
    // ready, on Yes, else empty.
    QString offerOnlyGame();

    // One line naming the game, how it is installed and its folder, e.g.
    // "GTA III (Steam): ~/.local/share/Steam/steamapps/common/Grand Theft Auto 3".
    QString describe(const GameInstallation &installation) const;

private:
    QString chooseAmongSeveral(const QString &pickerTitle);
    QString pickStartingAt(const GameInstallation &installation, const QString &pickerTitle);
    bool offerToCreate(const GameInstallation &installation);
    bool createFolder(const QString &folder);
    bool ensureReport(const QString &mp3Folder);

    Dialogs &m_dialogs;
    QWidget *m_owner;
    QList<GameInstallation> m_installations;
    QString m_home;
};
