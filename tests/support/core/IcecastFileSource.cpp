// SPDX-License-Identifier: GPL-3.0-or-later
#include "IcecastFileSource.h"

#include <QHostAddress>
#include <algorithm>

namespace {

constexpr int PaceIntervalMs = 20;

} // namespace

IcecastFileSource::IcecastFileSource(const QByteArray &audio, double bytesPerSecond)
    : m_audio(audio)
    , m_bytesPerSecond(bytesPerSecond)
{
    m_pace.setInterval(PaceIntervalMs);
    QObject::connect(&m_pace, &QTimer::timeout, &m_pace, [this] { sendDue(); });
    QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_pace, [this] { onReadyRead(); });
    QObject::connect(&m_socket, &QTcpSocket::bytesWritten, &m_pace, [this] {
        // The last byte has left: closing the connection ends the stream.
        if (m_state == State::Sending && m_sent == m_audio.size() && m_socket.bytesToWrite() == 0) {
            m_pace.stop();
            m_state = State::Finished;
            m_socket.disconnectFromHost();
        }
    });
    QObject::connect(&m_socket, &QTcpSocket::disconnected, &m_pace, [this] {
        if (m_state == State::Connecting || m_state == State::Sending)
            fail(QStringLiteral("Icecast closed the source connection after %1 of %2 bytes: %3")
                     .arg(m_sent)
                     .arg(m_audio.size())
                     .arg(QString::fromLatin1(m_response)));
    });
    QObject::connect(&m_socket, &QTcpSocket::errorOccurred, &m_pace, [this] {
        if (m_state == State::Connecting || m_state == State::Sending)
            fail(m_socket.errorString());
    });
}

void IcecastFileSource::start(quint16 port, const QString &password, const Stream &stream)
{
    stop();
    m_state = State::Connecting;
    m_error.clear();
    m_response.clear();
    m_sent = 0;
    const QByteArray credentials = (QStringLiteral("source:") + password).toUtf8().toBase64();
    const QByteArray request =
        "PUT " + stream.mount.toUtf8() +
        " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\nAuthorization: Basic " +
        credentials + "\r\nUser-Agent: tavrix-test-source\r\nContent-Type: " + stream.contentType +
        "\r\nIce-Public: 0\r\nIce-Name: " + stream.name.toUtf8() +
        "\r\nIce-Genre: " + stream.genre.toUtf8() + "\r\nIce-Url: " + stream.url.toUtf8() +
        "\r\nIce-Bitrate: " + QByteArray::number(stream.bitrateKbps) + "\r\n\r\n";
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    m_socket.write(request);
}

void IcecastFileSource::stop()
{
    m_pace.stop();
    m_socket.abort();
    if (m_state == State::Connecting || m_state == State::Sending)
        m_state = State::Idle;
}

void IcecastFileSource::onReadyRead()
{
    m_response += m_socket.readAll();
    if (m_state != State::Connecting || !m_response.contains("\r\n\r\n"))
        return;
    const QByteArray statusLine = m_response.left(m_response.indexOf("\r\n"));
    if (!statusLine.contains(" 200")) {
        fail(QStringLiteral("Icecast refused the source: %1").arg(QString::fromLatin1(m_response)));
        m_socket.abort();
        return;
    }
    m_state = State::Sending;
    m_clock.start();
    m_pace.start();
    sendDue();
}

void IcecastFileSource::sendDue()
{
    const qint64 due = std::min<qint64>(
        m_audio.size(), qint64(double(m_clock.elapsed()) * m_bytesPerSecond / 1000.0));
    if (due <= m_sent)
        return;
    m_socket.write(m_audio.constData() + m_sent, due - m_sent);
    m_sent = due;
}

void IcecastFileSource::fail(const QString &why)
{
    m_pace.stop();
    m_state = State::Failed;
    m_error = why;
}
