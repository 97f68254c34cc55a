#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

TemporarySettingsLocation::TemporarySettingsLocation()
    : m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
    , m_oldCache(qgetenv("XDG_CACHE_HOME"))
{
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    QDir(m_dir.path()).mkpath(QStringLiteral("cache"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/cache")));
    // QSettings reads XDG_CONFIG_HOME once per process; point it here as well.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       m_dir.path() + QStringLiteral("/config"));
}

TemporarySettingsLocation::~TemporarySettingsLocation()
{
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("XDG_CACHE_HOME", m_oldCache);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       m_oldConfig.isEmpty() ? QDir::homePath() + QStringLiteral("/.config")
                                             : QFile::decodeName(m_oldConfig));
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

bool InUseFileOperations::remove(const QString &path)
{
    return !inUse.contains(path) && m_disk.remove(path);
}

bool InUseFileOperations::move(const QString &from, const QString &to)
{
    return !inUse.contains(to) && !inUse.contains(from) && m_disk.move(from, to);
}

bool InUseFileOperations::copy(const QString &from, const QString &to)
{
    return !inUse.contains(to) && m_disk.copy(from, to);
}

PlatformServices TestServices::services(const QString &componentFolder)
{
    return PlatformServices{&dialogs, &shell, &files, componentFolder};
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
