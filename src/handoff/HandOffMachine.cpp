// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/HandOffMachine.h"

#include "handoff/FileOperations.h"
#include "platform/FolderCheck.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr int CountdownSeconds = 5;

} // namespace

HandOffMachine::HandOffMachine(FileOperations &files, QObject *parent)
    : QObject(parent)
    , m_files(files)
{}

void HandOffMachine::setFolders(const HandOffFolders &folders)
{
    m_folders = folders;
}

void HandOffMachine::startSession(bool autoStartGame)
{
    m_showBufferingStatus = m_blockedReason.isEmpty();
    m_autoStartGame = autoStartGame;
    m_announcing = true;
}

void HandOffMachine::endSession()
{
    m_autoStartGame = false;
}

void HandOffMachine::streamEnded()
{
    m_announcing = false;
}

void HandOffMachine::status(const QString &text)
{
    if (m_announcing)
        emit statusChanged(text);
}

void HandOffMachine::block(const QString &target, const QString &why)
{
    // The failure stays in the status line: the stream's progress does not
    // cover it while no file can reach the game.
    const QString reason =
        QStringLiteral("Could not move %1 to %2: %3")
            .arg(m_slotBufferNames[size_t(m_slot)], QDir::toNativeSeparators(target), why);
    m_showBufferingStatus = false;
    m_stage = Stage::WaitingForFile;
    if (reason == m_blockedReason)
        return;
    m_blockedReason = reason;
    status(reason);
    emit blocked(reason);
}

bool HandOffMachine::isFinishedBufferFile(const QString &name) const
{
    // Only a file with a newer one listed after it is finished; the newest is
    // still being written. A file that is no longer listed (a new start
    // emptied the folder, or another folder was chosen) is not ours to move.
    const qsizetype index = m_bufferNames.indexOf(name);
    return index >= 0 && index < m_bufferNames.size() - 1;
}

void HandOffMachine::abandonMove()
{
    // The buffer file stays where it is and the next cycle picks the oldest
    // finished file again, so nothing is lost. The slot stays due.
    m_showBufferingStatus = m_blockedReason.isEmpty();
    m_stage = Stage::WaitingForFile;
}

void HandOffMachine::moved()
{
    m_showBufferingStatus = true;
    if (!m_blockedReason.isEmpty()) {
        m_blockedReason.clear();
        status(QStringLiteral("The game folder takes files again: hand-off resumed."));
        emit resumed();
    }
    if (m_autoStartGame) {
        m_stage = Stage::CountingDown;
        m_secondsLeft = CountdownSeconds;
    } else {
        m_stage = Stage::WaitingForFile;
    }
}

void HandOffMachine::tick()
{
    // The listing always shows the current buffer folder, re-read each tick.
    m_bufferNames = m_folders.bufferFolder.mp3Names();

    const int p = m_slot;
    const std::array<QString, 2> &gameFiles = m_folders.gameFiles;

    switch (m_stage) {
    case Stage::WaitingForFile:
        // Without a game folder the files wait for one.
        if (m_bufferNames.size() > 1 && !gameFiles[p].isEmpty()) {
            m_slotBufferNames[p] = m_bufferNames.first();
            // A game folder that is gone or cannot be written is named as
            // such; the buffer files wait for it.
            const QString folderProblem = FolderCheck::problem(QFileInfo(gameFiles[p]).path());
            if (!folderProblem.isEmpty()) {
                block(gameFiles[p], QStringLiteral("the game folder ") + folderProblem);
                break;
            }
            m_stage = Stage::MoveAnnounced;
            // While blocked, the failure stays shown until a move succeeds.
            if (!m_blockedReason.isEmpty())
                break;
            m_showBufferingStatus = false;
            status(QStringLiteral("Moving file ") + m_slotBufferNames[p] + QStringLiteral(" to ") +
                   QDir::toNativeSeparators(gameFiles[p]) + QStringLiteral("..."));
        }
        break;
    case Stage::MoveAnnounced:
        if (!isFinishedBufferFile(m_slotBufferNames[p])) {
            abandonMove();
            break;
        }
        // The old game file stays until the new one takes its place: the
        // game never finds the name missing.
        m_stage = Stage::MovingFile;
        break;
    case Stage::MovingFile: {
        if (!isFinishedBufferFile(m_slotBufferNames[p])) {
            abandonMove();
            break;
        }
        QString error;
        switch (m_files.replace(m_folders.bufferFolder.filePath(m_slotBufferNames[p]), gameFiles[p],
                                &error)) {
        case FileOperations::Replaced::Yes:
            // Both names of the report exist from the first hand-off on.
            if (!m_files.exists(gameFiles[1]))
                m_files.copy(gameFiles[0], gameFiles[1]);
            m_slot = 1 - p;
            moved();
            break;
        case FileOperations::Replaced::TargetInUse:
            // The game holds the old file open: this file goes under the
            // other name, and that slot stays due for the next file too.
            status(QDir::toNativeSeparators(gameFiles[p]) +
                   QStringLiteral(" skipped, it was in use..."));
            m_skippedSlot = p;
            m_slot = 1 - p;
            m_stage = Stage::MovingToOtherSlot;
            break;
        case FileOperations::Replaced::Failed:
            block(gameFiles[p], error);
            break;
        }
        break;
    }
    case Stage::MovingToOtherSlot: {
        const QString &name = m_slotBufferNames[m_skippedSlot];
        // When both game files are held open the move fails; the file then
        // waits in the buffer folder for a later cycle.
        if (!isFinishedBufferFile(name) ||
            m_files.replace(m_folders.bufferFolder.filePath(name), gameFiles[p]) !=
                FileOperations::Replaced::Yes) {
            abandonMove();
            break;
        }
        moved();
        break;
    }
    case Stage::CountingDown:
        emit countdown(m_secondsLeft);
        if (--m_secondsLeft == 0)
            m_stage = Stage::Launching;
        break;
    case Stage::Launching:
        m_autoStartGame = false;
        m_stage = Stage::WaitingForFile;
        emit launchDue();
        break;
    }
}
