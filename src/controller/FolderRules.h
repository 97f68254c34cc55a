// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bufferfiles/BufferFolder.h"
#include "controller/Messages.h"

#include <QObject>
#include <QString>
#include <array>

class FileOperations;
class Settings;

// The buffer folder and the game's MP3 folder: both must exist, be writable
// and lie apart, as the buffer folder is emptied of MP3 files. A chosen
// buffer folder is emptied on the user's word (their own MP3s go to the
// trash); a chosen game folder gets its report rewritten, the game's original
// kept first. Chosen folders are stored in the settings.
class FolderRules final : public QObject
{
    Q_OBJECT

public:
    FolderRules(Settings &settings, const Messages &messages, FileOperations &files,
                QObject *parent = nullptr);

    const BufferFolder &bufferFolder() const { return m_bufferFolder; }
    // Both end with '/'; empty while none is chosen.
    const QString &bufferPath() const { return m_bufferFolder.path(); }
    const QString &radioPath() const { return m_radioPath; }
    // The two game files the report lists, full paths.
    const std::array<QString, 2> &gameFileNames() const { return m_gameFileNames; }
    // The game's executable beside the MP3 folder; empty when none was found.
    const QString &gameExe() const { return m_gameExe; }
    // While the user is asked whether a new buffer folder may be emptied.
    bool bufferQuestionOpen() const { return m_bufferQuestionOpen; }

    // The stored folders, or the per-user default buffer folder while none is
    // stored. A stored folder that cannot be used is told in the status line.
    void load();
    // Before a session: both folders chosen, usable and apart; the reason is
    // told when not. Nothing is deleted before all is checked.
    bool readyToStart();
    // The game folder loses the program's two files, the buffer folder its
    // MP3 files.
    void clearForStart();
    // A folder the user chose; empty for none.
    void chooseBufferFolder(const QString &folder);
    void chooseGameFolder(const QString &folder);

signals:
    void bufferFolderChanged(const QString &path);
    void gameFolderChanged(const QString &path);
    void statusChanged(const QString &text);
    // A folder was stored in the settings: they are to be written.
    void settingsChanged();

private:
    void setRadioPath(const QString &folder);
    void setBufferPath(const QString &folder);
    QString bufferFolderProblem() const;
    QString gameFolderProblem() const;
    bool emptyBufferPath();
    QString createReport(const QString &folder);

    Settings &m_settings;
    Messages m_messages;
    FileOperations &m_files;
    BufferFolder m_bufferFolder;
    QString m_radioPath;
    std::array<QString, 2> m_gameFileNames;
    QString m_gameExe;
    bool m_bufferQuestionOpen = false;
};
