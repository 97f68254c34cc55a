// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bufferfiles/BufferFolder.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>

class FileOperations;

// Where the hand-off takes files from and puts them.
struct HandOffFolders
{
    BufferFolder bufferFolder;        // empty while none is chosen
    std::array<QString, 2> gameFiles; // the two names the game's report lists, full paths
};

// Moves finished buffer files into the game folder under the two game file
// names, alternating, one step per tick; then counts down and launches the
// game after the first hand-off of a session with automatic start. Its
// owner's one-second timer calls tick(); tests call it directly. What
// happens is told through signals.
class HandOffMachine final : public QObject
{
    Q_OBJECT

public:
    enum class Stage {
        WaitingForFile,    // until a finished buffer file is listed
        MoveAnnounced,     // "Moving file ..." shown; the move is made on the next tick
        MovingFile,        // the buffer file replaces the slot's file, or the slot is skipped
        MovingToOtherSlot, // after a skip: the file goes under the other name
        CountingDown,      // "Launching game in N..." from 5 to 1
        Launching,
    };

    explicit HandOffMachine(FileOperations &files, QObject *parent = nullptr);

    void setFolders(const HandOffFolders &folders);
    // A new stream session: the status shows its progress again, and the game
    // is launched after the session's first hand-off when asked for.
    void startSession(bool autoStartGame);
    // The session has ended: no launch is pending any more.
    void endSession();
    // The stream has stopped while the session stays open: the files already
    // written are still handed off, but the status line is left to the
    // session's final word.
    void streamEnded();

    void tick();

    Stage stage() const { return m_stage; }
    // The slot the next buffer file goes to, 0 or 1.
    int slot() const { return m_slot; }
    // The game file the next buffer file will become.
    const QString &nextGameFile() const { return m_folders.gameFiles[size_t(m_slot)]; }
    // False while a move is announced in the status line: the stream's
    // progress then does not overwrite it.
    bool showsBufferingStatus() const { return m_showBufferingStatus; }
    bool autoStartPending() const { return m_autoStartGame; }
    // The reason files cannot go into the game folder; empty while they can.
    const QString &blockedReason() const { return m_blockedReason; }

signals:
    // A move announced, a slot skipped, a failure or the hand-off resumed,
    // for the status line; not after streamEnded().
    void statusChanged(const QString &text);
    // A finished buffer file could not go into the game folder: `reason`
    // names the file, where it was to go and why. Told when the failure
    // first shows and again when its reason changes; the hand-off retries
    // every cycle.
    void blocked(const QString &reason);
    // A file went into the game folder again after blocked().
    void resumed();
    // The game is launched in `secondsLeft` seconds, 5 down to 1.
    void countdown(int secondsLeft);
    // The countdown is over: the game is to be launched.
    void launchDue();

private:
    bool isFinishedBufferFile(const QString &name) const;
    void abandonMove();
    void moved();
    void status(const QString &text);
    void block(const QString &target, const QString &why);

    FileOperations &m_files;
    HandOffFolders m_folders;
    QStringList m_bufferNames; // the buffer folder's MP3s, read each tick
    Stage m_stage = Stage::WaitingForFile;
    int m_slot = 0;
    std::array<QString, 2> m_slotBufferNames;
    int m_skippedSlot = 0;
    int m_secondsLeft = 0;
    bool m_showBufferingStatus = true;
    bool m_autoStartGame = false;
    bool m_announcing = true;
    QString m_blockedReason;
};
