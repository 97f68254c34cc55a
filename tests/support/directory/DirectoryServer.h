// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QTcpServer>

// A station directory on 127.0.0.1 speaking just enough HTTP/1.1: every
// request is recorded; a station search gets `answer` (or the scripted
// misbehaviour), a click report ("/json/url/<id>") a small JSON object.
class DirectoryServer : public QTcpServer
{
public:
    enum class Behaviour {
        Answer,      // 200 with `answer`
        Stall,       // reads the request and never answers
        HugeStream,  // 200 without a length, then more than 4 MiB of an endless array
        HugeLength,  // 200 announcing 50 MiB, then a few bytes and silence
        ServerError, // 503
    };

    struct Request
    {
        QByteArray path;                      // with its query
        QMap<QByteArray, QByteArray> headers; // names in lower case
    };

    DirectoryServer();

    Behaviour behaviour = Behaviour::Answer;
    QByteArray answer = "[]";

    QString base() const; // "http://127.0.0.1:<port>"
    QList<Request> requests;
    // The requests whose path starts with `prefix`.
    QList<Request> requestsTo(const QByteArray &prefix) const;

    // The JSON of one station as the directory lists it.
    static QByteArray station(const QByteArray &uuid, const QByteArray &name, const QByteArray &url,
                              const QByteArray &codec, int bitrate,
                              const QByteArray &countryCode = "DE", const QByteArray &tags = "",
                              const QByteArray &urlResolved = "");

private:
    void onConnection();
    void answerRequest(QTcpSocket *socket, const Request &request);
};
