// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestServices.h"

#include "app/SocketModuleLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

TemporarySettingsLocation::TemporarySettingsLocation()
    : m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
    , m_oldCache(qgetenv("XDG_CACHE_HOME"))
    , m_oldData(qgetenv("XDG_DATA_HOME"))
    , m_oldHome(qgetenv("HOME"))
{
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    QDir(m_dir.path()).mkpath(QStringLiteral("cache"));
    QDir(m_dir.path()).mkpath(QStringLiteral("home"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataFolder()));
    // The desktop's trash is the home folder's when a file lies on the home
    // folder's file system, so the home folder must exist.
    qputenv("HOME", QFile::encodeName(homeFolder()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/cache")));
}

TemporarySettingsLocation::~TemporarySettingsLocation()
{
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("XDG_CACHE_HOME", m_oldCache);
    qputenv("XDG_DATA_HOME", m_oldData);
    qputenv("HOME", m_oldHome);
}

QString TemporarySettingsLocation::configFile() const
{
    return m_dir.path() + QStringLiteral("/config/TAVRIX/TAVRIX.conf");
}

QString TemporarySettingsLocation::cacheFolder() const
{
    return m_dir.path() + QStringLiteral("/cache");
}

QString TemporarySettingsLocation::defaultBufferFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/tavrix/");
}

QString TemporarySettingsLocation::dataFolder() const
{
    return m_dir.path() + QStringLiteral("/data");
}

QString TemporarySettingsLocation::homeFolder() const
{
    return m_dir.path() + QStringLiteral("/home");
}

MessageAnswer ScriptedDialogs::showMessage(QWidget *, MessageIcon icon, MessageButtons buttons,
                                           const QString &title, const QString &text)
{
    messages.append({icon, buttons, title, text});
    if (whileShown)
        whileShown(messages.last());
    if (answers.empty())
        return buttons == MessageButtons::Ok || buttons == MessageButtons::OkCancel
                   ? MessageAnswer::Ok
                   : MessageAnswer::Yes;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedDialogs::pickFolder(QWidget *, const QString &title, const QString &startFolder)
{
    pickerTitles << title;
    pickerStartFolders << startFolder;
    if (folders.empty())
        return {};
    const QString folder = folders.front();
    folders.pop_front();
    return folder;
}

int ScriptedDialogs::chooseItem(QWidget *, const QString &title, const QString &text,
                                const QStringList &items)
{
    choices.append({title, text, items});
    if (choiceAnswers.empty())
        return -1;
    const int answer = choiceAnswers.front();
    choiceAnswers.pop_front();
    return answer;
}

PlatformServices TestServices::services(const QString &componentFolder)
{
    return PlatformServices{&dialogs,
                            &shell,
                            &files,
                            componentFolder,
                            socketModuleIn(componentFolder),
                            location.configFile(),
                            location.homeFolder(),
                            QProcessEnvironment()};
}
