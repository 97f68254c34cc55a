#include "handoff/HandOffMachine.h"

#include "platform/FileOperations.h"
#include "platform/FolderListing.h"
#include "stream/SessionState.h"

HandOffMachine::HandOffMachine(SessionState &state, FolderListing &bufferListing,
                               FileOperations &files, HandOffWindow &window)
    : m_state(state)
    , m_listing(bufferListing)
    , m_files(files)
    , m_window(window)
{}

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
    m_state.ShowBufferingStatus = true;
    m_state.HandOffStage = 0;
}

void HandOffMachine::tick()
{
    // The listing always shows the current buffer folder, re-read each tick.
    if (m_listing.folder() != m_state.BufferPath)
        m_listing.setFolder(m_state.BufferPath);
    else
        m_listing.refresh();

    const int p = m_state.GameSlot == 0 ? 0 : 1;
    const std::array<QString, 2> &gameFiles = m_state.GameFileNames;

    switch (m_state.HandOffStage) {
    case 0:
        if (m_listing.count() > 1) {
            m_state.ShowBufferingStatus = false;
            m_state.SlotBufferNames[p] = m_listing.names().first();
            m_window.setStatusText(QStringLiteral("Moving file ") +
                                   m_state.SlotBufferNames[p].toLower() + QStringLiteral(" to ") +
                                   gameFiles[p].toLower() + QStringLiteral("..."));
            m_state.HandOffStage = 1;
        }
        break;
    case 1:
        if (!isFinishedBufferFile(m_state.SlotBufferNames[p])) {
            abandonMove();
            break;
        }
        if (m_files.exists(gameFiles[p]))
            m_files.remove(gameFiles[p]);
        m_state.HandOffStage = 2;
        break;
    case 2:
        if (!isFinishedBufferFile(m_state.SlotBufferNames[p])) {
            abandonMove();
            break;
        }
        if (!m_files.exists(gameFiles[p])) {
            if (!m_files.move(m_state.BufferPath + m_state.SlotBufferNames[p], gameFiles[p])) {
                abandonMove();
                break;
            }
            // Both names of the report exist from the first hand-off on.
            if (!m_files.exists(gameFiles[1]))
                m_files.copy(gameFiles[0], gameFiles[1]);
            m_state.ShowBufferingStatus = true;
            m_state.GameSlot = quint8(1 - p);
            m_state.HandOffStage = m_state.AutoStartGame ? 4 : 0;
        } else {
            // The game holds the old file open: this file goes under the
            // other name, and that slot stays due for the next file too.
            m_window.setStatusText(gameFiles[p] + QStringLiteral(" skipped, it was in use..."));
            m_state.SkippedSlot = qint16(p);
            m_state.GameSlot = quint8(1 - p);
            if (m_files.exists(gameFiles[1 - p]))
                m_files.remove(gameFiles[1 - p]);
            m_state.HandOffStage = 3;
        }
        break;
    case 3: {
        const QString &name = m_state.SlotBufferNames[m_state.SkippedSlot == 0 ? 0 : 1];
        // When both game files are held open the move fails; the file then
        // waits in the buffer folder for a later cycle.
        if (!isFinishedBufferFile(name) || !m_files.move(m_state.BufferPath + name, gameFiles[p])) {
            abandonMove();
            break;
        }
        m_state.ShowBufferingStatus = true;
        m_state.HandOffStage = m_state.AutoStartGame ? 4 : 0;
        break;
    }
    case 4:
    case 5:
    case 6:
    case 7:
    case 8: {
        // Counts down from 5 at stage 4 to 1 at stage 8, with as many dots as
        // the number.
        const int seconds = 9 - m_state.HandOffStage;
        m_window.setWelcomeText(QStringLiteral("Launching game in ") + QString::number(seconds) +
                                QString(seconds, QLatin1Char('.')));
        ++m_state.HandOffStage;
        break;
    }
    case 9:
        if (m_window.autoStartChecked())
            m_window.LaunchGame();
        m_state.HandOffStage = 0;
        break;
    default:
        m_state.HandOffStage = 0;
        break;
    }
}
