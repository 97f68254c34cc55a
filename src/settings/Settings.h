// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <QString>

// Tavrix's persistent settings, one typed accessor per key. The storage is
// the platform's native settings store: ~/.config/TAVRIX/TAVRIX.conf on Linux
// and the registry key SettingsLocation names on Windows by default, or the
// file handed in (tests, a second settings location).
//
// Every value is text. A key that is absent, holds a value of another kind
// (a list, a byte array, as a hand-edited file may) or a file that cannot be
// parsed reads as the empty text.
class Settings final
{
public:
    // The user's default settings location (a file on Linux, a registry key
    // on Windows).
    static QString defaultFilePath();

    explicit Settings(const QString &filePath = defaultFilePath());

    QString fileName() const { return m_settings.fileName(); }

    // [Settings]
    QString bufferPath() const;
    void setBufferPath(const QString &path);
    QString radioPath() const;
    void setRadioPath(const QString &path);
    // Whether the user was once asked to use the one game found on this
    // computer, so the question is not repeated at every start.
    bool discoveryAsked() const;
    void setDiscoveryAsked(bool asked);

    // [Recent]: the selected station's index as stored, and the slots of
    // titles and addresses.
    QString lastUsed() const;
    void setLastUsed(int index);
    QString recentTitle(int slot) const;
    QString recentUrl(int slot) const;
    void setRecent(int slot, const QString &title, const QString &url);

    // [Directory]: the station directory's base address (for example
    // "https://mirror.example:8443"), several separated by commas; empty
    // means the servers are found through DNS.
    QString directoryServer() const;
    void setDirectoryServer(const QString &server);

    // [Certificates]: the SHA-256 fingerprint (hex) of a certificate the
    // user trusts for a station, by "host:port"; empty when none.
    QString trustedCertificate(const QString &hostPort) const;
    void setTrustedCertificate(const QString &hostPort, const QString &sha256Hex);

    // Writes pending changes to disk now. Returns false when the file could
    // not be written (its folder or the file itself refuses it); the values
    // stay readable from this object for the rest of the run.
    bool sync();

private:
    QString text(const QString &key) const;

    QSettings m_settings;
};
