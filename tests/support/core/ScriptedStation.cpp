// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedStation.h"

#include <QTimer>

ScriptedStation::ScriptedStation()
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, &ScriptedStation::onConnection);
}

QString ScriptedStation::address() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(serverPort());
}

void ScriptedStation::onConnection()
{
    while (QTcpSocket *socket = nextPendingConnection()) {
        m_client = socket;
        m_request.clear();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            m_request += socket->readAll();
            if (!m_request.endsWith("\r\n\r\n") || socket->property("answered").toBool())
                return;
            socket->setProperty("answered", true);
            sendChunk(socket, 0);
        });
    }
}

// Writes chunk `index`, then the next one after the pause, from the event
// loop, so the test and the window go on running in between.
void ScriptedStation::sendChunk(QPointer<QTcpSocket> socket, qsizetype index)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (index >= chunks.size()) {
        if (closeAfterChunks)
            socket->disconnectFromHost();
        return;
    }
    if (maxUnsentBytes > 0 && socket->bytesToWrite() > maxUnsentBytes) {
        connect(
            socket, &QTcpSocket::bytesWritten, this,
            [this, socket, index] { sendChunk(socket, index); }, Qt::SingleShotConnection);
        return;
    }
    socket->write(chunks[index]);
    socket->flush();
    QTimer::singleShot(pauseMs, this, [this, socket, index] { sendChunk(socket, index + 1); });
}

void ScriptedStation::send(const QByteArray &bytes)
{
    if (m_client) {
        m_client->write(bytes);
        m_client->flush();
    }
}

void ScriptedStation::closeClient()
{
    if (m_client)
        m_client->disconnectFromHost();
}

QByteArray icyHeader(const QByteArray &name, const QByteArray &genre, const QByteArray &url,
                     const QByteArray &bitrate)
{
    return "ICY 200 OK\r\n"
           "icy-notice1:<BR>This stream requires a player<BR>\r\n"
           "icy-name:" +
           name +
           "\r\n"
           "icy-genre:" +
           genre +
           "\r\n"
           "icy-url:" +
           url +
           "\r\n"
           "content-type:audio/mpeg\r\n"
           "icy-pub:1\r\n"
           "icy-br:" +
           bitrate +
           "\r\n"
           "\r\n";
}

QByteArray audioBytes(qsizetype size, char seed)
{
    // MPEG-1 Layer III frames of 128 kbit/s at 44.1 kHz (417 bytes each), so
    // that the audio path takes the bytes for MP3; the pattern fills them.
    constexpr qsizetype FrameBytes = 417;
    static const char header[4] = {char(0xff), char(0xfb), char(0x90), char(0x00)};
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) {
        const qsizetype inFrame = i % FrameBytes;
        bytes[i] = inFrame < 4 ? header[inFrame] : char((i * 7 + seed + i / 251) & 0x7f);
    }
    return bytes;
}

QByteArray binaryPattern(qsizetype size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed + i / 251) & 0xff);
    return bytes;
}

quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}
