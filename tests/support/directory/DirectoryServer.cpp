// SPDX-License-Identifier: GPL-3.0-or-later
#include "DirectoryServer.h"

#include <QTcpSocket>

DirectoryServer::DirectoryServer()
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, &DirectoryServer::onConnection);
}

QString DirectoryServer::base() const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(serverPort());
}

QList<DirectoryServer::Request> DirectoryServer::requestsTo(const QByteArray &prefix) const
{
    QList<Request> found;
    for (const Request &request : requests) {
        if (request.path.startsWith(prefix))
            found << request;
    }
    return found;
}

void DirectoryServer::onConnection()
{
    while (QTcpSocket *socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            QByteArray pending = socket->property("pending").toByteArray() + socket->readAll();
            // One request at a time: the client waits for each answer.
            const qsizetype end = pending.indexOf("\r\n\r\n");
            if (end < 0) {
                socket->setProperty("pending", pending);
                return;
            }
            socket->setProperty("pending", pending.mid(end + 4));
            const QList<QByteArray> lines = pending.left(end).split('\n');
            Request request;
            const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
            request.path = start.value(1);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                           lines[i].mid(colon + 1).trimmed());
            }
            requests << request;
            answerRequest(socket, request);
        });
    }
}

void DirectoryServer::answerRequest(QTcpSocket *socket, const Request &request)
{
    auto reply = [socket](const QByteArray &status, const QByteArray &body) {
        socket->write("HTTP/1.1 " + status +
                      "\r\nContent-Type: application/json\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
    };
    if (request.path.startsWith("/json/url/")) {
        reply("200 OK", R"({"ok":true,"message":"retrieved station url"})");
        return;
    }
    switch (behaviour) {
    case Behaviour::Answer:
        reply("200 OK", answer);
        break;
    case Behaviour::Stall:
        break;
    case Behaviour::HugeStream: {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                      "Connection: close\r\n\r\n[");
        const QByteArray entry = station("00", "Filler", "http://127.0.0.1/", "MP3", 128) + ",";
        QByteArray chunk;
        while (chunk.size() < 1024 * 1024)
            chunk += entry;
        for (int i = 0; i < 6; ++i)
            socket->write(chunk);
        break;
    }
    case Behaviour::HugeLength:
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                      "Content-Length: 52428800\r\n\r\n[");
        break;
    case Behaviour::ServerError:
        reply("503 Service Unavailable", R"({"error":"busy"})");
        break;
    }
}

QByteArray DirectoryServer::station(const QByteArray &uuid, const QByteArray &name,
                                    const QByteArray &url, const QByteArray &codec, int bitrate,
                                    const QByteArray &countryCode, const QByteArray &tags,
                                    const QByteArray &urlResolved)
{
    return R"({"changeuuid":"c-)" + uuid + R"(","stationuuid":")" + uuid + R"(","name":")" + name +
           R"(","url":")" + url + R"(","url_resolved":")" + urlResolved +
           R"(","homepage":"","favicon":"","tags":")" + tags + R"(","country":"Germany",)" +
           R"("countrycode":")" + countryCode + R"(","state":"","language":"","votes":12,)" +
           R"("codec":")" + codec + R"(","bitrate":)" + QByteArray::number(bitrate) +
           R"(,"hls":0,"lastcheckok":1,"clickcount":3})";
}
