// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "IcecastFileSource.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// A real Icecast 2 station on 127.0.0.1 for end-to-end tests. start()
// generates an MP3 tone of the given length (CBR at the given bitrate,
// 44.1 kHz stereo), starts a private icecast2 on a free loopback port and
// ezstream, which streams the tone in a loop to the mount that "/" is an alias
// of, so "GET / HTTP/1.0" gets the stream with icy-name, icy-genre, icy-url
// and icy-br headers. Everything lives in a temporary folder; stop() and the
// destructor end both processes, and they also die with the test process.
//
// Needs icecast2, ezstream, sox and lame on the PATH (and setpriv when run as
// root, since Icecast refuses to run as root: it is started as nobody).
// ezstream sends the audio in real time, after a burst of 64 KiB to a new
// listener.
//
// With setSourceFile() the station instead carries a file of any format,
// sent once by a source client in this process (see IcecastFileSource), and
// ezstream, sox and lame are not needed.
class IcecastStation
{
public:
    explicit IcecastStation(int bitrateKbps = 128, int audioSeconds = 10,
                            const QString &name = QStringLiteral("Tavrix Test Station"),
                            const QString &genre = QStringLiteral("Test Tones"),
                            const QString &url = QStringLiteral("http://127.0.0.1/tavrix-test"));
    ~IcecastStation();

    IcecastStation(const IcecastStation &) = delete;
    IcecastStation &operator=(const IcecastStation &) = delete;

    // Returns once the stream answers on "/" with status 200. On failure
    // returns false, leaves nothing running and explains in *error.
    bool start(QString *error);
    void stop();
    bool isRunning() const;
    // Before start(): the station sends `file` once, as `contentType`, at
    // `speed` times the real-time rate of its `seconds` of audio, and then
    // ends. Its burst to a new listener holds everything sent so far, so a
    // listener that connects while the file is being sent still gets the
    // stream from its first byte.
    void setSourceFile(const QString &file, const QByteArray &contentType, double seconds,
                       double speed = 1.0);
    // With a source file: the whole file has been sent and the source has
    // closed its connection.
    bool sourceFinished() const;

    // Ends the source (ezstream) alone, as a broadcaster who goes off air:
    // the listeners are dropped and the stream is gone until restartSource().
    void stopSource();
    bool restartSource(QString *error);
    // Announces a new song title on the stream, as a source client does
    // through Icecast's metadata update (UTF-8). Listeners that asked for
    // titles get it in the next metadata block. On failure explains in
    // *error.
    bool setTitle(const QString &title, QString *error);

    quint16 port() const { return m_port; }
    // Before start(): the station also serves TLS on a port of its own, with
    // a self-signed certificate for 127.0.0.1 made at start (Icecast's own
    // TLS; needs openssl on the PATH).
    void setTlsListener(bool enabled) { m_tls = enabled; }
    quint16 tlsPort() const { return m_tlsPort; }
    // The PEM file with the TLS listener's certificate and key.
    QString tlsCertificateFile() const;
    QString address() const; // "127.0.0.1:<port>"
    QString name() const { return m_name; }
    QString genre() const { return m_genre; }
    QString url() const { return m_url; }
    int bitrateKbps() const { return m_bitrateKbps; }
    // The MP3 file that is streamed in a loop, or the source file.
    QString audioFile() const;
    // The logs of both processes, for the message of a failing test.
    QString logs() const;

private:
    bool prepare(QString *error);
    bool startServer(QString *error, bool *portTaken);
    bool startSource(QString *error);
    bool writeServerConfig() const;
    bool writeSourceConfig() const;
    bool writeTlsCertificate(QString *error) const;
    QString tlsListenerConfig() const;
    QString tlsPathConfig() const;
    QString burstConfig() const;
    bool startFileSource(QString *error);
    QString path(const QString &name) const;

    int m_bitrateKbps;
    int m_audioSeconds;
    QString m_name;
    QString m_genre;
    QString m_url;
    quint16 m_port = 0;
    bool m_tls = false;
    quint16 m_tlsPort = 0;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_source;
    QString m_sourceFile;
    QByteArray m_contentType;
    double m_sourceBytesPerSecond = 0;
    std::unique_ptr<IcecastFileSource> m_fileSource;
};
