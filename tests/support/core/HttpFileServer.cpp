// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpFileServer.h"

#include <QFile>
#include <QTcpSocket>

HttpFileServer::HttpFileServer(const QString &folder)
    : m_folder(folder)
{
    connect(this, &QTcpServer::newConnection, this, &HttpFileServer::onConnection);
    listen(QHostAddress::LocalHost);
}

QString HttpFileServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(serverPort()).arg(path);
}

void HttpFileServer::onConnection()
{
    while (QTcpSocket *socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            const QByteArray head = socket->peek(socket->bytesAvailable());
            if (!head.contains("\r\n\r\n"))
                return;
            socket->readAll();
            const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
            const QString path =
                requestLine.size() >= 2 ? QString::fromUtf8(requestLine[1]).mid(1) : QString();
            m_requests << path;
            for (const QString &suffix : std::as_const(unansweredSuffixes)) {
                if (path.endsWith(suffix))
                    return;
            }
            QFile file(m_folder + u'/' + path);
            if (const auto fault = m_faults.constFind(path); fault != m_faults.constEnd()) {
                const Fault kind = *fault;
                m_faults.erase(fault);
                if (kind == Fault::DropConnection) {
                    socket->abort();
                    return;
                }
                socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n"
                              "Connection: close\r\n\r\n");
            } else if (path.contains(QStringLiteral("..")) || !file.open(QIODevice::ReadOnly)) {
                socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n"
                              "Connection: close\r\n\r\n");
            } else {
                const QByteArray body = file.readAll();
                const QByteArray type = path.endsWith(QStringLiteral(".m3u8"))
                                            ? "application/vnd.apple.mpegurl"
                                            : "application/octet-stream";
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type +
                              "\r\nContent-Length: " + QByteArray::number(body.size()) +
                              "\r\nConnection: close\r\n\r\n" + body);
            }
            socket->disconnectFromHost();
        });
    }
}
