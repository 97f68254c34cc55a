// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestFiles.h"
#include "controller/PlatformServices.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>

// Points the settings, cache and data locations at a fresh temporary folder,
// so a test never touches the real home folder (nor its trash).
class TemporarySettingsLocation
{
public:
    TemporarySettingsLocation();
    ~TemporarySettingsLocation();

    QString root() const { return m_dir.path(); }
    QString configFile() const; // .../TAVRIX/TAVRIX.conf
    QString cacheFolder() const;
    // Where the program makes its default buffer folder: the user's cache
    // folder + "tavrix/". Inside root() on Linux (XDG_CACHE_HOME); on Windows
    // in the user's local application data, which cannot be pointed elsewhere.
    QString defaultBufferFolder() const;
    QString dataFolder() const; // XDG_DATA_HOME: Tavrix's data folder, the trash
    QString homeFolder() const; // HOME: an empty home, also for the game search

private:
    QTemporaryDir m_dir;
    QByteArray m_oldConfig;
    QByteArray m_oldCache;
    QByteArray m_oldData;
    QByteArray m_oldHome;
};

// Answers message boxes, folder pickers and choice lists from a script and
// records them.
class ScriptedDialogs final : public Dialogs
{
public:
    struct Message
    {
        MessageIcon icon;
        MessageButtons buttons;
        QString title;
        QString text;
    };

    MessageAnswer showMessage(QWidget *owner, MessageIcon icon, MessageButtons buttons,
                              const QString &title, const QString &text) override;
    QString pickFolder(QWidget *owner, const QString &title, const QString &startFolder) override;
    int chooseItem(QWidget *owner, const QString &title, const QString &text,
                   const QStringList &items) override;

    struct Choice
    {
        QString title;
        QString text;
        QStringList items;
    };

    // Answers used in order; when none is queued, a box is answered Ok (Yes
    // for a Yes/No question), a picker and a choice list are cancelled.
    std::deque<MessageAnswer> answers;
    std::deque<QString> folders;
    std::deque<int> choiceAnswers;
    // Runs while a message box is open, as the timers and sockets Qt's
    // nested event loop serves would.
    std::function<void(const Message &)> whileShown;

    QList<Message> messages;
    QStringList pickerTitles;
    QStringList pickerStartFolders;
    QList<Choice> choices;
};

class RecordingShell final : public Shell
{
public:
    void OpenDocument(const QString &target) override { documents << target; }
    LaunchResult launchProgram(const QString &program, const QString &workingDirectory) override
    {
        launches << program;
        workingDirectories << workingDirectory;
        return launchResult;
    }

    QStringList documents;
    QStringList launches;
    QStringList workingDirectories;
    LaunchResult launchResult{true, {}}; // what every launch answers
};

// Services for a window under test: a temporary settings file and cache
// folder, scripted dialogs, recording shell, the in-use file operations and
// the built socket component module.
struct TestServices
{
    TemporarySettingsLocation location;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    InUseFileOperations files;

    PlatformServices
    services(const QString &componentFolder = QStringLiteral(TAVRIX_COMPONENT_DIR));
};
