// SPDX-License-Identifier: GPL-3.0-or-later
// Stations as they are published today, against in-test servers on the
// loopback interface: redirects, playlists of every kind, the request's
// Host and User-Agent, HTTP errors told with their status line, IPv6, a
// station that falls silent, and a station that drops and comes back.

#include "RecordedSession.h"
#include "ScriptedStation.h"
#include "station/StreamSession.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <functional>

namespace {

// What a route answers: the bytes, and whether the connection stays open
// after them (a stream) or is closed (a document, a redirect, an error).
struct Answer
{
    QByteArray bytes;
    bool keepOpen = false;
};

// A web server on a loopback address that answers each request by its path.
// Paths without a route get 404.
class RoutedServer : public QTcpServer
{
public:
    explicit RoutedServer(const QHostAddress &address = QHostAddress::LocalHost)
    {
        listening = listen(address, 0);
        connect(this, &QTcpServer::newConnection, this, &RoutedServer::onConnection);
    }

    bool listening = false;
    QHash<QByteArray, std::function<Answer(const QByteArray &request)>> routes;
    QList<QByteArray> requests;

    // Base address: "http://127.0.0.1:<port>" or "http://[::1]:<port>".
    // shown(): as the status line shows it, without "http://".
    QString base() const
    {
        const QString host = serverAddress().protocol() == QAbstractSocket::IPv6Protocol
                                 ? QStringLiteral("[::1]")
                                 : QStringLiteral("127.0.0.1");
        return QStringLiteral("http://") + host + u':' + QString::number(serverPort());
    }

    QString shown() const { return base().mid(7); }

    void route(const QByteArray &path, const QByteArray &bytes, bool keepOpen = false)
    {
        routes[path] = [bytes, keepOpen](const QByteArray &) { return Answer{bytes, keepOpen}; };
    }

    // Closes the open streams, as a station that goes away.
    void dropClients()
    {
        for (QTcpSocket *socket : findChildren<QTcpSocket *>())
            socket->disconnectFromHost();
    }

private:
    void onConnection()
    {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                QByteArray request = socket->property("request").toByteArray() + socket->readAll();
                socket->setProperty("request", request);
                if (!request.contains("\r\n\r\n") || socket->property("answered").toBool())
                    return;
                socket->setProperty("answered", true);
                requests << request;
                const QByteArray path = request.split(' ').value(1);
                const auto route = routes.constFind(path);
                const Answer answer = route == routes.constEnd()
                                          ? Answer{"HTTP/1.0 404 Not Found\r\n\r\n"}
                                          : (*route)(request);
                socket->write(answer.bytes);
                if (!answer.keepOpen)
                    socket->disconnectFromHost();
            });
        }
    }
};

QByteArray redirect(int code, const QString &location)
{
    return "HTTP/1.1 " + QByteArray::number(code) + " Moved\r\nLocation: " + location.toUtf8() +
           "\r\nContent-Length: 0\r\n\r\n";
}

QByteArray document(const QByteArray &contentType, const QByteArray &body)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: " + contentType + "\r\n\r\n" + body;
}

const QByteArray Audio = audioBytes(30 * 1024, 11);

QByteArray stream(const QByteArray &name = "Routed FM")
{
    return icyHeader(name, "Test", "", "64") + Audio;
}

// Reconnects at once: the waits are a hundredth of the real ones.
struct Session : RecordedSession
{
    Session() { session.setReconnectScale(0.01); }
};

} // namespace

class StationsTest : public QObject
{
    Q_OBJECT

private slots:
    void redirects_data();
    void redirects();
    void playlists_data();
    void playlists();
    void hlsGoesToTheAudioPath();
    void hostAndUserAgentSent();
    void httpErrorsTold_data();
    void httpErrorsTold();
    void ipv6Literal();
    void stationWithoutName();
    void silentStation();
    void reconnectsAfterLoss();
    void cancelDuringTheWait();
};

// Each row: routes "path=answer" where the answer is a redirect target
// ("->target", relative or "%1"-based absolute) or "stream"; the path
// started at; the message when the session is refused (empty: it plays).
void StationsTest::redirects_data()
{
    QTest::addColumn<QStringList>("routes");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QString circle = QStringLiteral("Server is unavailable.\n\nThe station redirected in a "
                                          "circle.");
    const QString tooOften =
        QStringLiteral("Server is unavailable.\n\nThe station redirected too often.");
    QTest::newRow("relative 302") << QStringList{QStringLiteral("/a=->/live")} << 302 << QString();
    QTest::newRow("absolute 301") << QStringList{QStringLiteral("/a=->%1/live")} << 301
                                  << QString();
    for (int code : {303, 307, 308})
        QTest::addRow("%d", code) << QStringList{QStringLiteral("/a=->live")} << code << QString();
    QTest::newRow("five hops") << QStringList{QStringLiteral("/a=->/b"), QStringLiteral("/b=->/c"),
                                              QStringLiteral("/c=->/d"), QStringLiteral("/d=->/e"),
                                              QStringLiteral("/e=->/live")}
                               << 302 << QString();
    QTest::newRow("six hops") << QStringList{QStringLiteral("/a=->/b"),
                                             QStringLiteral("/b=->/c"),
                                             QStringLiteral("/c=->/d"),
                                             QStringLiteral("/d=->/e"),
                                             QStringLiteral("/e=->/f"),
                                             QStringLiteral("/f=->/live")}
                              << 302 << tooOften;
    QTest::newRow("loop") << QStringList{QStringLiteral("/a=->/b"), QStringLiteral("/b=->%1/a")}
                          << 302 << circle;
    QTest::newRow("no location")
        << QStringList{QStringLiteral("/a=->")} << 302
        << QStringLiteral("Server is unavailable.\n\nThe station redirected without saying where "
                          "to.");
}

void StationsTest::redirects()
{
    QFETCH(QStringList, routes);
    QFETCH(int, code);
    QFETCH(QString, message);
    RoutedServer server;
    QVERIFY(server.listening);
    server.route("/live", stream(), true);
    for (const QString &route : routes) {
        const QStringList parts = route.split(QStringLiteral("=->"));
        QByteArray answer = parts[1].isEmpty() ? QByteArray("HTTP/1.0 302 Found\r\n\r\n")
                                               : redirect(code, parts[1].arg(server.base()));
        server.route(parts[0].toUtf8(), answer);
    }
    Session test;
    test.start(server.base() + QStringLiteral("/a"));

    if (message.isEmpty()) {
        QTRY_COMPARE(test.file(QStringLiteral("000_strm.mp3")), Audio);
        QCOMPARE(test.headers.size(), 1);
        QCOMPARE(test.headers[0].name, QStringLiteral("Routed FM"));
        QVERIFY(test.stops.isEmpty());
        QCOMPARE(test.session.stationUrl(), server.shown() + QStringLiteral("/a"));
        return;
    }
    QTRY_COMPARE(test.stops.size(), 1);
    QCOMPARE(test.stops[0].reason, SessionStop::Reason::Refused);
    QCOMPARE(test.stops[0].message, message);
    QVERIFY(!test.session.isStreaming());
    QVERIFY(test.headers.isEmpty());
    QVERIFY(!server.requests.last().startsWith("GET /live "));
}

void StationsTest::playlists_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("response"); // "%1" stands for the server's base address
    QTest::addColumn<QString>("message");     // empty: it plays

    QTest::newRow("pls") << QByteArray("/listen.pls")
                         << document("audio/x-scpls",
                                     "[playlist]\nNumberOfEntries=1\nFile1=%1/live\nLength1=-1\n")
                         << QString();
    QTest::newRow("Icecast's mount.m3u")
        << QByteArray("/live.m3u") << document("audio/x-mpegurl", "%1/live\n") << QString();
    QTest::newRow("m3u as text/plain without extension")
        << QByteArray("/tunein") << document("text/plain", "#EXTM3U\n#EXTINF:-1,Routed\n%1/live\n")
        << QString();
    QTest::newRow("xspf") << QByteArray("/listen.xspf")
                          << document("application/xspf+xml",
                                      "<?xml version=\"1.0\"?><playlist version=\"1\" "
                                      "xmlns=\"http://xspf.org/ns/0/\"><trackList><track><location>"
                                      "%1/live</location></track></trackList></playlist>")
                          << QString();
    const QByteArray dead = "http://127.0.0.1:" + QByteArray::number(closedPort()) + "/gone\n";
    QTest::newRow("first entries dead")
        << QByteArray("/listen.m3u") << document("audio/x-mpegurl", dead + "%1/missing\n%1/live\n")
        << QString();
    QTest::newRow("nested once") << QByteArray("/outer.m3u")
                                 << document("audio/x-mpegurl", "%1/inner.pls\n") << QString();
    QTest::newRow("nested twice") << QByteArray("/outer2.m3u")
                                  << document("audio/x-mpegurl", "%1/outer.m3u\n")
                                  << QStringLiteral("leads only to further playlists");
    QByteArray huge = "#EXTM3U\n%1/live\n";
    while (huge.size() < 1024 * 1024)
        huge += "#EXTINF:-1,A comment line that makes the playlist very long indeed\n";
    QTest::newRow("1 MB playlist")
        << QByteArray("/huge.m3u") << document("audio/x-mpegurl", huge) << QString();
    QTest::newRow("web page at a playlist address")
        << QByteArray("/listen.m3u")
        << document("text/html", "<!DOCTYPE html><html><body>Listen</body></html>")
        << QStringLiteral("is a web page, not a stream");
    QTest::newRow("playlist of nothing")
        << QByteArray("/empty.pls") << document("audio/x-scpls", "[playlist]\nNumberOfEntries=0\n")
        << QStringLiteral("names no stream");
    QTest::newRow("plain text that is no playlist")
        << QByteArray("/notes") << document("text/plain", "Hello there") << QString("-");
}

void StationsTest::hlsGoesToTheAudioPath()
{
    // An HLS playlist is not refused: the session hands its address to the
    // audio path's HLS reader (which converts its segments; tested there)
    // and reports the station as playing.
    RoutedServer server;
    QVERIFY(server.listening);
    server.route("/live.m3u8",
                 document("application/vnd.apple.mpegurl",
                          "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nseg1.ts\n"));
    Session test;
    test.start(server.base() + QStringLiteral("/live.m3u8"));
    QTRY_COMPARE(test.headers.size(), 1);
    QTest::qWait(200);
    for (const SessionStop &stop : test.stops)
        QVERIFY2(!stop.message.contains(QStringLiteral("HLS")), qPrintable(stop.message));
}

void StationsTest::playlists()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, response);
    QFETCH(QString, message);
    RoutedServer server;
    QVERIFY(server.listening);
    server.route("/live", stream(), true);
    server.route("/inner.pls",
                 document("audio/x-scpls", "[playlist]\nFile1=" + server.base().toUtf8() +
                                               "/live\nNumberOfEntries=1\n"));
    server.route("/outer.m3u", document("audio/x-mpegurl", server.base().toUtf8() + "/inner.pls"));
    server.route(path, QString::fromUtf8(response).arg(server.base()).toUtf8());
    Session test;
    test.start(server.base() + QString::fromLatin1(path));

    if (message.isEmpty()) {
        QTRY_COMPARE(test.file(QStringLiteral("000_strm.mp3")), Audio);
        QCOMPARE(test.headers.size(), 1);
        QVERIFY(test.stops.isEmpty());
        QCOMPARE(test.bufferFiles(), QStringList{QStringLiteral("000_strm.mp3")});
        return;
    }
    QTRY_COMPARE(test.stops.size(), 1);
    QCOMPARE(test.stops[0].reason, SessionStop::Reason::Refused);
    QVERIFY2(test.stops[0].message.startsWith(QStringLiteral("Server is unavailable.")),
             qPrintable(test.stops[0].message));
    if (message != QStringLiteral("-"))
        QVERIFY2(test.stops[0].message.contains(message), qPrintable(test.stops[0].message));
    QVERIFY(test.headers.isEmpty());
    // Nothing of the playlist or page is taken for audio.
    QCOMPARE(test.file(QStringLiteral("000_strm.mp3")), QByteArray());
}

// A station behind a name-based virtual host answers only requests naming
// it, and some answer 403 to clients without a User-Agent.
void StationsTest::hostAndUserAgentSent()
{
    RoutedServer server;
    QVERIFY(server.listening);
    const QByteArray host = "Host: 127.0.0.1:" + QByteArray::number(server.serverPort()) + "\r\n";
    server.routes["/live"] = [host](const QByteArray &request) {
        if (!request.contains("\r\n" + host) || !request.contains("\r\nUser-Agent: Tavrix"))
            return Answer{"HTTP/1.0 403 Forbidden\r\n\r\n"};
        return Answer{stream("Virtual FM"), true};
    };
    Session test;
    test.start(server.base() + QStringLiteral("/live"));
    QTRY_COMPARE(test.file(QStringLiteral("000_strm.mp3")), Audio);
    QCOMPARE(test.headers[0].name, QStringLiteral("Virtual FM"));
    QVERIFY(!server.requests[0].contains("Icy-MetaData"));

    // Titles are asked for only when the audio path wants them.
    test.session.cancel();
    test.session.setAskForTitles(true);
    test.start(server.base() + QStringLiteral("/live"));
    QTRY_COMPARE(server.requests.size(), 2);
    QVERIFY(server.requests[1].contains("\r\nIcy-MetaData: 1\r\n"));
}

void StationsTest::httpErrorsTold_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QString>("message");
    QTest::newRow("server full") << QByteArray("HTTP/1.0 403 Server Full\r\n\r\n")
                                 << QStringLiteral("Server is unavailable.\n\nThe station "
                                                   "answered: 403 Server Full");
    QTest::newRow("wrong mount") << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: "
                                               "0\r\n\r\n")
                                 << QStringLiteral("Server is unavailable.\n\nThe station "
                                                   "answered: 404 Not Found");
    QTest::newRow("ICY 401") << QByteArray("ICY 401 Service Unavailable\r\n\r\n")
                             << QStringLiteral("Server is unavailable.\n\nThe station answered: "
                                               "401 Service Unavailable");
}

void StationsTest::httpErrorsTold()
{
    QFETCH(QByteArray, response);
    QFETCH(QString, message);
    RoutedServer server;
    QVERIFY(server.listening);
    server.route("/live", response);
    Session test;
    test.start(server.base() + QStringLiteral("/live"));
    QTRY_COMPARE(test.stops.size(), 1);
    QCOMPARE(test.stops[0].reason, SessionStop::Reason::Refused);
    QCOMPARE(test.stops[0].message, message);
    QCOMPARE(test.stops[0].status,
             QStringLiteral("Could not connect to ") + server.shown() + QStringLiteral("/live."));
}

void StationsTest::ipv6Literal()
{
    RoutedServer server(QHostAddress::LocalHostIPv6);
    if (!server.listening)
        QSKIP("This system has no IPv6 loopback address.");
    server.route("/stream", stream("Six FM"), true);
    Session test;
    test.start(QStringLiteral("http://[::1]:") + QString::number(server.serverPort()) +
               QStringLiteral("/stream"));
    QTRY_COMPARE(test.file(QStringLiteral("000_strm.mp3")), Audio);
    QCOMPARE(test.headers[0].name, QStringLiteral("Six FM"));
    QVERIFY(server.requests[0].contains(
        "\r\nHost: [::1]:" + QByteArray::number(server.serverPort()) + "\r\n"));
}

void StationsTest::stationWithoutName()
{
    RoutedServer server;
    QVERIFY(server.listening);
    server.route("/live", "ICY 200 OK\r\ncontent-type: audio/mpeg\r\n\r\n" + Audio, true);
    Session test;
    test.start(server.base() + QStringLiteral("/live"));
    QTRY_COMPARE(test.headers.size(), 1);
    QCOMPARE(test.headers[0].name, QStringLiteral("127.0.0.1"));
    QCOMPARE(test.headers[0].bitrate, QString());
}

void StationsTest::silentStation()
{
    RoutedServer server;
    QVERIFY(server.listening);
    server.route("/quiet", icyHeader("Quiet", "", "", "64"), true);
    server.route("/live", stream(), true);

    // Silent from the start: the first connection ends, without retries.
    Session first;
    first.session.setSilenceLimit(std::chrono::milliseconds(300));
    first.start(server.base() + QStringLiteral("/quiet"));
    QTRY_COMPARE(first.stops.size(), 1);
    QCOMPARE(first.stops[0].reason, SessionStop::Reason::Closed);
    QCOMPARE(first.stops[0].status, QStringLiteral("The station ") + server.shown() +
                                        QStringLiteral("/quiet stopped sending."));
    QVERIFY(first.reconnects.isEmpty());

    // Silent after audio: a lost connection, retried.
    Session second;
    second.session.setSilenceLimit(std::chrono::milliseconds(300));
    second.start(server.base() + QStringLiteral("/live"));
    QTRY_COMPARE(second.file(QStringLiteral("000_strm.mp3")), Audio);
    QTRY_VERIFY(!second.reconnects.isEmpty());
    QVERIFY2(second.lossReasons[0].endsWith(QStringLiteral("stopped sending.")),
             qPrintable(second.lossReasons[0]));
    QVERIFY(second.stops.isEmpty());
    second.session.cancel();
}

// A station that drops after audio and comes back: the session reconnects by
// itself, without a stop or a message; the file written so far is finished
// for the game, the files go on numbering, and the waits grow while it is
// away.
void StationsTest::reconnectsAfterLoss()
{
    RoutedServer server;
    QVERIFY(server.listening);
    const QByteArray second = audioBytes(20 * 1024, 77);
    int served = 0;
    server.routes["/live"] = [&](const QByteArray &) {
        ++served;
        return Answer{icyHeader("Back FM", "", "", "64") + (served == 1 ? Audio : second), true};
    };
    Session test;
    test.start(server.base() + QStringLiteral("/live"));
    QTRY_COMPARE(test.file(QStringLiteral("000_strm.mp3")), Audio);

    server.dropClients();
    QTRY_COMPARE(test.reconnections, 1);
    QCOMPARE(test.reconnects, (QList<QPair<int, int>>{{2, 1}}));
    QCOMPARE(test.lossReasons[0], QStringLiteral("The station ") + server.shown() +
                                      QStringLiteral("/live closed the connection."));
    QTRY_COMPARE(test.file(QStringLiteral("001_strm.mp3")), second);
    QCOMPARE(test.file(QStringLiteral("000_strm.mp3")), Audio);
    QVERIFY(test.stops.isEmpty());
    QVERIFY(test.session.isStreaming());
    QCOMPARE(test.headers.size(), 2);

    // Away for a while: the waits grow (2, 4, 8 s, scaled), no message.
    const quint16 port = server.serverPort();
    server.dropClients();
    server.close();
    QTRY_VERIFY_WITH_TIMEOUT(test.reconnects.size() >= 4, 10000);
    QCOMPARE(test.reconnects.mid(1, 3), (QList<QPair<int, int>>{{2, 1}, {4, 2}, {8, 3}}));
    QVERIFY(test.lossReasons.last().startsWith(QStringLiteral("The connection to ")));
    QVERIFY(test.stops.isEmpty());

    // Back on the same port: audio goes on in the next file.
    QVERIFY(server.listen(QHostAddress::LocalHost, port));
    QTRY_COMPARE_WITH_TIMEOUT(test.reconnections, 2, 10000);
    QTRY_COMPARE(test.file(QStringLiteral("002_strm.mp3")), second);
    test.session.cancel();
    QVERIFY(!test.session.isStreaming());
}

void StationsTest::cancelDuringTheWait()
{
    RoutedServer server;
    QVERIFY(server.listening);
    server.route("/live", stream(), true);
    Session test;
    test.session.setReconnectScale(0.2); // the first wait: 0.4 s
    test.start(server.base() + QStringLiteral("/live"));
    QTRY_COMPARE(test.file(QStringLiteral("000_strm.mp3")), Audio);
    server.dropClients();
    QTRY_COMPARE(test.reconnects.size(), 1);
    QVERIFY(test.session.isReconnecting());
    // The next connection's audio goes into the next file, open and waiting.
    const BufferFileWriter &file = test.session.bufferFile();
    QVERIFY(file.isOpen());
    QCOMPARE(file.fileName(), test.folder() + BufferFolder::fileNameFor(file.counter()));
    QVERIFY(file.fileName() != test.folder() + QStringLiteral("000_strm.mp3"));
    test.session.cancel();
    QVERIFY(!test.session.bufferFile().isOpen());
    QTest::qWait(800);
    QCOMPARE(server.requests.size(), 1);
    QCOMPARE(test.reconnects.size(), 1);
    QVERIFY(test.stops.isEmpty());
    QVERIFY(!test.session.isStreaming());
}

QTEST_GUILESS_MAIN(StationsTest)
#include "tst_stations.moc"
