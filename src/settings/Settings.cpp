// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/Settings.h"

#include "platform/SettingsLocation.h"

#include <QDir>

namespace {

const QString BufferPathKey = QStringLiteral("Settings/BufferPath");
const QString RadioPathKey = QStringLiteral("Settings/RadioPath");
const QString DiscoveryAskedKey = QStringLiteral("Settings/DiscoveryAsked");
const QString LastUsedKey = QStringLiteral("Recent/LastUsed");
const QString DirectoryServerKey = QStringLiteral("Directory/Server");

QString recentTitleKey(int slot)
{
    return QStringLiteral("Recent/RecentRadio") + QString::number(slot);
}

QString recentUrlKey(int slot)
{
    return QStringLiteral("Recent/RecentRadioURL") + QString::number(slot);
}

// The key of a "host:port": percent-encoded, so that the colons and brackets
// of IPv6 hosts stay plain text in the settings file.
QString certificateKey(const QString &hostPort)
{
    return QStringLiteral("Certificates/") +
           QString::fromLatin1(hostPort.toUtf8().toPercentEncoding());
}

} // namespace

QString Settings::defaultFilePath()
{
    return SettingsLocation::defaultLocation();
}

Settings::Settings(const QString &filePath)
    : m_settings(filePath, SettingsLocation::formatFor(filePath))
{}

QString Settings::text(const QString &key) const
{
    const QVariant value = m_settings.value(key);
    if (value.typeId() != QMetaType::QString)
        return {};
    return value.toString();
}

// Folders are stored the system's way ("C:\Games\GTA3\mp3\" on Windows, as
// earlier programs stored them there) and used with '/' inside the program.
QString Settings::bufferPath() const
{
    return QDir::fromNativeSeparators(text(BufferPathKey));
}

void Settings::setBufferPath(const QString &path)
{
    m_settings.setValue(BufferPathKey, QDir::toNativeSeparators(path));
}

QString Settings::radioPath() const
{
    return QDir::fromNativeSeparators(text(RadioPathKey));
}

void Settings::setRadioPath(const QString &path)
{
    m_settings.setValue(RadioPathKey, QDir::toNativeSeparators(path));
}

bool Settings::discoveryAsked() const
{
    return text(DiscoveryAskedKey) == QLatin1String("1");
}

void Settings::setDiscoveryAsked(bool asked)
{
    m_settings.setValue(DiscoveryAskedKey, asked ? QStringLiteral("1") : QStringLiteral("0"));
}

QString Settings::lastUsed() const
{
    return text(LastUsedKey);
}

void Settings::setLastUsed(int index)
{
    m_settings.setValue(LastUsedKey, QString::number(index));
}

QString Settings::recentTitle(int slot) const
{
    return text(recentTitleKey(slot));
}

QString Settings::recentUrl(int slot) const
{
    return text(recentUrlKey(slot));
}

void Settings::setRecent(int slot, const QString &title, const QString &url)
{
    m_settings.setValue(recentTitleKey(slot), title);
    m_settings.setValue(recentUrlKey(slot), url);
}

QString Settings::directoryServer() const
{
    return text(DirectoryServerKey);
}

void Settings::setDirectoryServer(const QString &server)
{
    m_settings.setValue(DirectoryServerKey, server);
}

bool Settings::sync()
{
    // QSettings tells a write it could not make only after it has tried.
    m_settings.sync();
    return m_settings.status() != QSettings::AccessError;
}

QString Settings::trustedCertificate(const QString &hostPort) const
{
    return text(certificateKey(hostPort));
}

void Settings::setTrustedCertificate(const QString &hostPort, const QString &sha256Hex)
{
    m_settings.setValue(certificateKey(hostPort), sha256Hex);
}
