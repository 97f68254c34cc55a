#pragma once

#include <QString>

struct SessionState;
class FolderListing;
class FileOperations;

// What the hand-off needs of the main window.
class HandOffWindow
{
public:
    virtual ~HandOffWindow() = default;
    virtual void setStatusText(const QString &text) = 0;
    virtual void setWelcomeText(const QString &text) = 0;
    virtual bool autoStartChecked() const = 0; // "Auto start GTA" has the value 1
    virtual void LaunchGame() = 0;
};

// Moves finished buffer files into the game folder under the two game file
// names, alternating, one stage per tick; then counts down and launches the
// game after the first hand-off of a session with automatic start. The
// window's one-second timer calls tick(); tests call it directly.
class HandOffMachine
{
public:
    HandOffMachine(SessionState &state, FolderListing &bufferListing, FileOperations &files,
                   HandOffWindow &window);

    void tick();

private:
    bool isFinishedBufferFile(const QString &name) const;
    void abandonMove();

    SessionState &m_state;
    FolderListing &m_listing;
    FileOperations &m_files;
    HandOffWindow &m_window;
};
