#include "TestServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

TemporarySettingsLocation::TemporarySettingsLocation()
    : m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
    , m_oldCache(qgetenv("XDG_CACHE_HOME"))
{
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    QDir(m_dir.path()).mkpath(QStringLiteral("cache"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/cache")));
}

TemporarySettingsLocation::~TemporarySettingsLocation()
{
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("XDG_CACHE_HOME", m_oldCache);
}

QString TemporarySettingsLocation::configFile() const
{
    return m_dir.path() + QStringLiteral("/config/TAVRIX/TAVRIX.conf");
}

QString TemporarySettingsLocation::cacheFolder() const
{
    return m_dir.path() + QStringLiteral("/cache");
}

MessageAnswer ScriptedDialogs::showMessage(QWidget *, MessageIcon icon, MessageButtons buttons,
                                           const QString &title, const QString &text)
{
    messages.append({icon, buttons, title, text});
    if (answers.empty())
        return MessageAnswer::Ok;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedDialogs::pickFolder(QWidget *, const QString &title)
{
    pickerTitles << title;
    if (folders.empty())
        return {};
    const QString folder = folders.front();
    folders.pop_front();
    return folder;
}

PlatformServices TestServices::services(const QString &componentFolder)
{
    return PlatformServices{&dialogs, &shell, &files, componentFolder, location.configFile()};
}
