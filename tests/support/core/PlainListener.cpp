// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlainListener.h"

#include <QHostAddress>

PlainListener::PlainListener(quint16 port)
{
    QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket,
                     [this] { m_received += m_socket.readAll(); });
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    m_socket.write("GET / HTTP/1.0\r\nUser-Agent: plain\r\n\r\n");
}

PlainListener::~PlainListener()
{
    m_socket.abort();
}

QByteArray PlainListener::audio() const
{
    const qsizetype end = m_received.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : m_received.mid(end + 4);
}

bool PlainListener::isConnected() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

bool isContiguousPart(const QByteArray &part, const QByteArray &whole, qsizetype slack,
                      QString *why)
{
    // Both listeners began at different points of the station's burst.
    const qsizetype start = whole.indexOf(part.left(4096));
    if (start < 0) {
        *why = QStringLiteral("its beginning is not in the other listener's audio");
        return false;
    }
    const qsizetype overlap = qMin(part.size(), whole.size() - start);
    if (overlap <= part.size() - slack) {
        *why = QStringLiteral("only %1 of %2 bytes overlap").arg(overlap).arg(part.size());
        return false;
    }
    for (qsizetype i = 0; i < overlap; ++i) {
        if (whole[start + i] != part[i]) {
            *why = QStringLiteral("it differs at byte %1 of %2").arg(i).arg(overlap);
            return false;
        }
    }
    return true;
}
