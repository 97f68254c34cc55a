#include "handoff/HandOffMachine.h"

#include "platform/FileOperations.h"

namespace {

constexpr int CountdownSeconds = 5;

} // namespace

HandOffMachine::HandOffMachine(FileOperations &files, HandOffListener &listener)
    : m_files(files)
    , m_listener(listener)
{}

void HandOffMachine::setFolders(const HandOffFolders &folders)
{
    m_folders = folders;
}

void HandOffMachine::startSession(bool autoStartGame)
{
    m_showBufferingStatus = true;
    m_autoStartGame = autoStartGame;
}

void HandOffMachine::endSession()
{
    m_autoStartGame = false;
}

bool HandOffMachine::isFinishedBufferFile(const QString &name) const
{
    // Only a file with a newer one listed after it is finished; the newest is
    // still being written. A file that is no longer listed (a new start
    // emptied the folder, or another folder was chosen) is not ours to move.
    const QStringList &names = m_listing.names();
    const qsizetype index = names.indexOf(name);
    return index >= 0 && index < names.size() - 1;
}

void HandOffMachine::abandonMove()
{
    // The buffer file stays where it is and the next cycle picks the oldest
    // finished file again, so nothing is lost. The slot stays due.
    m_showBufferingStatus = true;
    m_stage = Stage::WaitingForFile;
}

void HandOffMachine::moved()
{
    m_showBufferingStatus = true;
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
    if (m_listing.folder() != m_folders.bufferPath)
        m_listing.setFolder(m_folders.bufferPath);
    else
        m_listing.refresh();

    const int p = m_slot;
    const std::array<QString, 2> &gameFiles = m_folders.gameFiles;

    switch (m_stage) {
    case Stage::WaitingForFile:
        if (m_listing.count() > 1) {
            m_showBufferingStatus = false;
            m_slotBufferNames[p] = m_listing.names().first();
            m_listener.setStatusText(QStringLiteral("Moving file ") +
                                     m_slotBufferNames[p].toLower() + QStringLiteral(" to ") +
                                     gameFiles[p].toLower() + QStringLiteral("..."));
            m_stage = Stage::ClearingGameFile;
        }
        break;
    case Stage::ClearingGameFile:
        if (!isFinishedBufferFile(m_slotBufferNames[p])) {
            abandonMove();
            break;
        }
        if (m_files.exists(gameFiles[p]))
            m_files.remove(gameFiles[p]);
        m_stage = Stage::MovingFile;
        break;
    case Stage::MovingFile:
        if (!isFinishedBufferFile(m_slotBufferNames[p])) {
            abandonMove();
            break;
        }
        if (!m_files.exists(gameFiles[p])) {
            if (!m_files.move(m_folders.bufferPath + m_slotBufferNames[p], gameFiles[p])) {
                abandonMove();
                break;
            }
            // Both names of the report exist from the first hand-off on.
            if (!m_files.exists(gameFiles[1]))
                m_files.copy(gameFiles[0], gameFiles[1]);
            m_slot = 1 - p;
            moved();
        } else {
            // The game holds the old file open: this file goes under the
            // other name, and that slot stays due for the next file too.
            m_listener.setStatusText(gameFiles[p] + QStringLiteral(" skipped, it was in use..."));
            m_skippedSlot = p;
            m_slot = 1 - p;
            if (m_files.exists(gameFiles[1 - p]))
                m_files.remove(gameFiles[1 - p]);
            m_stage = Stage::MovingToOtherSlot;
        }
        break;
    case Stage::MovingToOtherSlot: {
        const QString &name = m_slotBufferNames[m_skippedSlot];
        // When both game files are held open the move fails; the file then
        // waits in the buffer folder for a later cycle.
        if (!isFinishedBufferFile(name) ||
            !m_files.move(m_folders.bufferPath + name, gameFiles[p])) {
            abandonMove();
            break;
        }
        moved();
        break;
    }
    case Stage::CountingDown:
        // As many dots as the seconds left.
        m_listener.setWelcomeText(QStringLiteral("Launching game in ") +
                                  QString::number(m_secondsLeft) +
                                  QString(m_secondsLeft, QLatin1Char('.')));
        if (--m_secondsLeft == 0)
            m_stage = Stage::Launching;
        break;
    case Stage::Launching:
        if (m_listener.autoStartChecked())
            m_listener.LaunchGame();
        m_autoStartGame = false;
        m_stage = Stage::WaitingForFile;
        break;
    }
}
