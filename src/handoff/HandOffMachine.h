// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bufferfiles/FolderListing.h"

#include <QString>
#include <array>

class FileOperations;

// What the hand-off needs of the window that shows it.
class HandOffListener
{
public:
    virtual ~HandOffListener() = default;
    virtual void setStatusText(const QString &text) = 0;
    virtual void setWelcomeText(const QString &text) = 0;
    virtual bool autoStartChecked() const = 0;
    virtual void LaunchGame() = 0;
    // A finished buffer file could not go into the game folder: `reason`
    // names the file, where it was to go and why. Told when the failure
    // first shows and again when its reason changes, whether or not the
    // status line is being written; the hand-off retries every cycle.
    virtual void handOffBlocked(const QString &reason) { Q_UNUSED(reason); }
    // A file went into the game folder again after handOffBlocked().
    virtual void handOffResumed() {}
};

// Where the hand-off takes files from and puts them.
struct HandOffFolders
{
    QString bufferPath;               // ends with '/'; empty while none is chosen
    std::array<QString, 2> gameFiles; // the two names the game's report lists, full paths
};

// Moves finished buffer files into the game folder under the two game file
// names, alternating, one step per tick; then counts down and launches the
// game after the first hand-off of a session with automatic start. The
// window's one-second timer calls tick(); tests call it directly.
class HandOffMachine final
{
public:
    enum class Stage {
        WaitingForFile,    // until a finished buffer file is listed
        ClearingGameFile,  // "Moving file ..." shown; the slot's old game file goes
        MovingFile,        // the buffer file goes into the slot, or the slot is skipped
        MovingToOtherSlot, // after a skip: the file goes under the other name
        CountingDown,      // "Launching game in N..." from 5 to 1
        Launching,
    };

    HandOffMachine(FileOperations &files, HandOffListener &listener);

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

private:
    bool isFinishedBufferFile(const QString &name) const;
    void abandonMove();
    void moved();
    void status(const QString &text);
    void block(const QString &target, const QString &why);
    bool moveInto(const QString &from, const QString &target);

    FileOperations &m_files;
    HandOffListener &m_listener;
    HandOffFolders m_folders;
    FolderListing m_listing;
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
