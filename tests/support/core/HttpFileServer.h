// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QTcpServer>

// Serves the files of a folder over HTTP/1.1 on 127.0.0.1: GET /name answers
// with the file, or 404. Every answer closes its connection.
class HttpFileServer : public QTcpServer
{
public:
    explicit HttpFileServer(const QString &folder);

    // "http://127.0.0.1:<port>/" + `path`.
    QString url(const QString &path) const;

    // Paths requested so far, in order.
    QStringList requests() const { return m_requests; }

    enum class Fault {
        ServiceUnavailable, // "503 Service Unavailable", then the connection closes
        DropConnection,     // the connection closes without an answer
    };
    // The next request for `path` fails with `fault`; later ones are served.
    void failNextRequest(const QString &path, Fault fault) { m_faults.insert(path, fault); }
    // Requests for paths ending in one of these are read but never
    // answered: the connection stays open, as with a server that hangs.
    QStringList unansweredSuffixes;

private:
    void onConnection();

    QString m_folder;
    QStringList m_requests;
    QHash<QString, Fault> m_faults;
};
