// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

// An Icecast source client inside the test process: it sends a file once to
// a mount with "PUT <mount> HTTP/1.1", Basic auth as "source" and the
// stream's Content-Type and Ice-* headers, paced at a fixed byte rate, then
// closes the connection, which ends the stream for its listeners. Works in
// the thread's event loop, so the test must keep it running (QTRY_*,
// QTest::qWait).
class IcecastFileSource final
{
public:
    struct Stream
    {
        QString mount;          // "/stream"
        QByteArray contentType; // "audio/aac", "application/ogg", ...
        QString name;
        QString genre;
        QString url;
        int bitrateKbps = 0;
    };
    enum class State { Idle, Connecting, Sending, Finished, Failed };

    IcecastFileSource(const QByteArray &audio, double bytesPerSecond);

    IcecastFileSource(const IcecastFileSource &) = delete;
    IcecastFileSource &operator=(const IcecastFileSource &) = delete;

    // Connects to Icecast on 127.0.0.1:`port`; the audio follows once the
    // server has accepted the source.
    void start(quint16 port, const QString &password, const Stream &stream);
    // Drops the connection at once, as a broadcaster who goes off air.
    void stop();

    State state() const { return m_state; }
    QString errorString() const { return m_error; }
    qint64 bytesSent() const { return m_sent; }

private:
    void onReadyRead();
    void sendDue();
    void fail(const QString &why);

    QByteArray m_audio;
    double m_bytesPerSecond;
    QTcpSocket m_socket;
    QTimer m_pace;
    QElapsedTimer m_clock;
    QByteArray m_response;
    State m_state = State::Idle;
    QString m_error;
    qint64 m_sent = 0;
};
