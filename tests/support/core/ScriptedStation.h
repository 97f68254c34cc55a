// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A station on 127.0.0.1 that answers each request with a scripted list of
// chunks, written one by one with a pause in between so that they tend to
// arrive separately, and then either keeps the connection open or closes it.
class ScriptedStation : public QTcpServer
{
public:
    ScriptedStation();

    QList<QByteArray> chunks;
    bool closeAfterChunks = false;
    int pauseMs = 5;
    // Above zero: a chunk is written only once the connection holds no more
    // than this many unsent bytes, so the station goes at the pace its
    // client reads, as a real server does, and holds no more in memory.
    qint64 maxUnsentBytes = 0;

    quint16 port() const { return serverPort(); }
    QString address() const; // "127.0.0.1:<port>"

    // What the client sent on the last connection.
    QByteArray request() const { return m_request; }
    bool hasClient() const { return m_client != nullptr; }
    // Sends more bytes on the current connection.
    void send(const QByteArray &bytes);
    void closeClient();

private:
    void onConnection();
    void sendChunk(QPointer<QTcpSocket> socket, qsizetype index);

    QPointer<QTcpSocket> m_client;
    QByteArray m_request;
};

// An ICY response header: status line and header block.
QByteArray icyHeader(const QByteArray &name, const QByteArray &genre, const QByteArray &url,
                     const QByteArray &bitrate);

// `size` bytes of a recognisable pattern standing in for audio, in the frames
// of an MP3 stream.
QByteArray audioBytes(qsizetype size, char seed = 0);
// `size` bytes of a pattern that takes every byte value and differs from
// itself at another offset, for checking that binary data arrives whole and
// in order.
QByteArray binaryPattern(qsizetype size, int seed = 0);

// A port on 127.0.0.1 on which nothing listens any more; 0 when none could
// be had.
quint16 closedPort();
