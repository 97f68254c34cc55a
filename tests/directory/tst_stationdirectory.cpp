// SPDX-License-Identifier: GPL-3.0-or-later
// The station directory's client: reading its answers (including hostile
// ones), the search request, failover between servers, stalls and oversized
// answers, and the click reported for a chosen station.

#include "DirectoryServer.h"
#include "directory/DirectoryStation.h"
#include "directory/PlayableCodecs.h"
#include "directory/StationDirectory.h"
#include "util/Version.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

using namespace std::chrono_literals;

class StationDirectoryTest : public QObject
{
    Q_OBJECT

private slots:
    void parsesStationList_data();
    void parsesStationList();
    void marksPlayableCodecs();
    void searchesWithFilters();
    void failsOverToNextServer();
    void hostileServersEndInMessage_data();
    void hostileServersEndInMessage();
    void reportsClickOnceWhenChosenStationPlays();
};

void StationDirectoryTest::parsesStationList_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    // name|address|codec|bitrate|uuid of each station kept, joined by "\n"
    QTest::addColumn<QString>("expected");

    const QByteArray good = DirectoryServer::station(
        "9617a958-0601-11e8-ae97-52543be04c81", "Radio One", "http://one.example/listen.pls", "MP3",
        128, "DE", "rock,pop", "http://one.example:8000/stream");
    QTest::newRow("resolved address preferred")
        << "[" + good + "]" << true
        << "Radio One|http://one.example:8000/stream|MP3|128|9617a958-0601-11e8-ae97-52543be04c81";
    QTest::newRow("listed address without resolved one")
        << "[" + DirectoryServer::station("ab", "Two", "https://two.example/a", "AAC", 64) + "]"
        << true << "Two|https://two.example/a|AAC|64|ab";
    QTest::newRow("unusable resolved address falls back")
        << "[" +
               DirectoryServer::station("ab", "Two", "https://two.example/a", "AAC", 64, "DE", "",
                                        "javascript:alert(1)") +
               "]"
        << true << "Two|https://two.example/a|AAC|64|ab";
    QTest::newRow("addresses that are not http(s) dropped")
        << "[" + DirectoryServer::station("1", "F", "file:///etc/passwd", "MP3", 1) + "," +
               DirectoryServer::station("2", "J", "javascript:alert(1)", "MP3", 1) + "," +
               DirectoryServer::station("3", "R", "rtsp://x.example/s", "MP3", 1) + "," +
               DirectoryServer::station("4", "N", "http://", "MP3", 1) + "," + good + "]"
        << true
        << "Radio One|http://one.example:8000/stream|MP3|128|9617a958-0601-11e8-ae97-52543be04c81";
    QTest::newRow("fields of the wrong type read as empty")
        << QByteArray(R"([{"name":42,"url":"http://x.example/","codec":["MP3"],"bitrate":"128",)"
                      R"("stationuuid":7,"tags":{"a":1},"hls":"yes"}])")
        << true << "|http://x.example/||0|";
    QTest::newRow("entries that are not objects skipped")
        << "[1,\"http://x.example/\",null,[]," + good + ",true]" << true
        << "Radio One|http://one.example:8000/stream|MP3|128|9617a958-0601-11e8-ae97-52543be04c81";
    QTest::newRow("failed last check dropped")
        << QByteArray(R"([{"name":"Down","url":"http://x.example/","lastcheckok":0}])") << true
        << "";
    QTest::newRow("markup and control characters stay plain text")
        << QByteArray(
               R"([{"name":"<b>Bold</b>\n<img src=x>\u0000\u202e","url":"http://x.example/",)"
               R"("codec":"MP3","bitrate":-5,"stationuuid":"../../admin"}])")
        << true << "<b>Bold</b> <img src=x>|http://x.example/|MP3|0|";
    QTest::newRow("absurd bitrate capped")
        << QByteArray(R"([{"name":"Big","url":"http://x.example/","bitrate":1e300}])") << true
        << "Big|http://x.example/||100000|";
    QTest::newRow("empty list") << QByteArray("[]") << true << "";
    QTest::newRow("an object, not a list") << QByteArray(R"({"name":"x"})") << false << "";
    QTest::newRow("malformed") << QByteArray(R"([{"name":"x",)") << false << "";
    QTest::newRow("an error page") << QByteArray("<html>502 Bad Gateway</html>") << false << "";
    QTest::newRow("nothing") << QByteArray() << false << "";
}

void StationDirectoryTest::parsesStationList()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QFETCH(QString, expected);

    const StationListParse parse = parseStationList(json);
    QCOMPARE(parse.ok, ok);
    QStringList kept;
    for (const DirectoryStation &station : parse.stations)
        kept << QStringList{station.name, station.address, station.codec,
                            QString::number(station.bitrate), station.uuid}
                    .join(QLatin1Char('|'));
    QCOMPARE(kept.join(QLatin1Char('\n')), expected);
}

void StationDirectoryTest::marksPlayableCodecs()
{
    const auto playable = [](const char *codec, bool hls = false) {
        DirectoryStation station;
        station.codec = QLatin1String(codec);
        station.hls = hls;
        return isPlayable(station);
    };
    for (const char *codec : {"MP3", "mp3", "AAC", "AAC+", "OGG", "OPUS", "FLAC", " aac "})
        QVERIFY2(playable(codec), codec);
    for (const char *codec : {"", "UNKNOWN", "WMA", "MP3,H.264", "AAC+,H.264"})
        QVERIFY2(!playable(codec), codec);
    QVERIFY(playable("UNKNOWN", true));
}

void StationDirectoryTest::searchesWithFilters()
{
    DirectoryServer server;
    server.answer = "[" +
                    DirectoryServer::station("aa-1", "Jazz & Blues", "http://j.example/", "MP3",
                                             192, "FR", "jazz,blues") +
                    "]";
    StationDirectory directory(server.base());
    QSignalSpy finished(&directory, &StationDirectory::searchFinished);

    DirectoryQuery query;
    query.text = QStringLiteral("smooth jazz & more");
    query.field = DirectoryQuery::Field::Tag;
    query.country = QStringLiteral("fr");
    query.codec = QStringLiteral("AAC+");
    directory.search(query);
    QVERIFY(directory.isBusy());
    QVERIFY(finished.wait(5000));
    QVERIFY(!directory.isBusy());

    const auto stations = finished.at(0).at(0).value<QList<DirectoryStation>>();
    QCOMPARE(stations.size(), 1);
    QCOMPARE(stations[0].name, QStringLiteral("Jazz & Blues"));
    QCOMPARE(stations[0].countryCode, QStringLiteral("FR"));
    QCOMPARE(stations[0].tags, QStringLiteral("jazz,blues"));

    QCOMPARE(server.requests.size(), 1);
    const DirectoryServer::Request &request = server.requests[0];
    QVERIFY(request.path.startsWith("/json/stations/search?"));
    const QUrlQuery sent(QString::fromLatin1(request.path.mid(request.path.indexOf('?') + 1)));
    QCOMPARE(sent.queryItemValue(QStringLiteral("tag"), QUrl::FullyDecoded),
             QStringLiteral("smooth jazz & more"));
    QVERIFY(!sent.hasQueryItem(QStringLiteral("name")));
    QCOMPARE(sent.queryItemValue(QStringLiteral("countrycode")), QStringLiteral("FR"));
    QCOMPARE(sent.queryItemValue(QStringLiteral("codec"), QUrl::FullyDecoded),
             QStringLiteral("AAC+"));
    QCOMPARE(sent.queryItemValue(QStringLiteral("hidebroken")), QStringLiteral("true"));
    QCOMPARE(sent.queryItemValue(QStringLiteral("order")), QStringLiteral("votes"));
    QCOMPARE(sent.queryItemValue(QStringLiteral("reverse")), QStringLiteral("true"));
    QCOMPARE(sent.queryItemValue(QStringLiteral("limit")), QStringLiteral("100"));
    QCOMPARE(request.headers.value("user-agent"),
             QByteArray("Tavrix/" + QByteArray::number(TAVRIX_VERSION_MAJOR) + "." +
                        QByteArray::number(TAVRIX_VERSION_MINOR) + "." +
                        QByteArray::number(TAVRIX_VERSION_PATCH)));

    // A country's name is sent as such; empty filters are not sent.
    query = {};
    query.text = QStringLiteral("Radio");
    query.country = QStringLiteral("Germany");
    directory.search(query);
    QVERIFY(finished.wait(5000));
    const QUrlQuery second(
        QString::fromLatin1(server.requests[1].path.mid(server.requests[1].path.indexOf('?') + 1)));
    QCOMPARE(second.queryItemValue(QStringLiteral("name")), QStringLiteral("Radio"));
    QCOMPARE(second.queryItemValue(QStringLiteral("country")), QStringLiteral("Germany"));
    QVERIFY(!second.hasQueryItem(QStringLiteral("countrycode")));
    QVERIFY(!second.hasQueryItem(QStringLiteral("codec")));
    QVERIFY(!second.hasQueryItem(QStringLiteral("tag")));
}

void StationDirectoryTest::failsOverToNextServer()
{
    // A port nobody listens on any more: the connection is refused.
    QString refusing;
    {
        DirectoryServer closed;
        refusing = closed.base();
    }
    DirectoryServer stalling;
    stalling.behaviour = DirectoryServer::Behaviour::Stall;
    DirectoryServer working;
    working.answer =
        "[" + DirectoryServer::station("b-2", "Works", "http://w.example/", "MP3", 128) + "]";

    QCOMPARE(StationDirectory::serversFromSetting(refusing + QStringLiteral(", ftp://x.example,") +
                                                  stalling.base() + QStringLiteral("/ ,") +
                                                  working.base()),
             (QStringList{refusing, stalling.base(), working.base()}));

    StationDirectory directory(refusing + QLatin1Char(',') + stalling.base() + QLatin1Char(',') +
                               working.base());
    directory.setTimeout(300ms);
    QSignalSpy finished(&directory, &StationDirectory::searchFinished);
    QSignalSpy failed(&directory, &StationDirectory::searchFailed);
    directory.search({QStringLiteral("works"), DirectoryQuery::Field::Name, {}, {}});
    QVERIFY(finished.wait(5000));
    QCOMPARE(failed.size(), 0);
    QCOMPARE(finished.at(0).at(0).value<QList<DirectoryStation>>().value(0).name,
             QStringLiteral("Works"));
    QCOMPARE(stalling.requests.size(), 1);
    QCOMPARE(working.requests.size(), 1);

    // The click goes to the server that answered.
    DirectoryStation chosen = finished.at(0).at(0).value<QList<DirectoryStation>>().value(0);
    directory.stationChosen(chosen);
    directory.stationStarted(chosen.address);
    QTRY_COMPARE(working.requestsTo("/json/url/b-2").size(), 1);
    QCOMPARE(stalling.requests.size(), 1);

    // A setting naming no usable server says so.
    StationDirectory misconfigured(QStringLiteral("ftp://mirror.example"));
    QSignalSpy misconfiguredFailed(&misconfigured, &StationDirectory::searchFailed);
    misconfigured.search({QStringLiteral("x"), DirectoryQuery::Field::Name, {}, {}});
    QCOMPARE(misconfiguredFailed.size(), 1);
    QVERIFY(!misconfigured.isBusy());
}

void StationDirectoryTest::hostileServersEndInMessage_data()
{
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("message");

    using B = DirectoryServer::Behaviour;
    QTest::newRow("stall") << int(B::Stall) << QByteArray()
                           << QStringLiteral("The station directory did not answer in time.");
    QTest::newRow("endless answer")
        << int(B::HugeStream) << QByteArray()
        << QStringLiteral("The station directory's answer is too large.");
    QTest::newRow("announced too large")
        << int(B::HugeLength) << QByteArray()
        << QStringLiteral("The station directory's answer is too large.");
    QTest::newRow("malformed JSON")
        << int(B::Answer) << QByteArray(R"([{"name":"x","url":)")
        << QStringLiteral("The station directory's answer could not be read.");
    QTest::newRow("not a list") << int(B::Answer) << QByteArray(R"({"error":"nope"})")
                                << QStringLiteral(
                                       "The station directory's answer could not be read.");
    QTest::newRow("server error")
        << int(B::ServerError) << QByteArray()
        << QStringLiteral("The station directory answered with an error (HTTP 503).");
}

void StationDirectoryTest::hostileServersEndInMessage()
{
    QFETCH(int, behaviour);
    QFETCH(QByteArray, answer);
    QFETCH(QString, message);

    DirectoryServer server;
    server.behaviour = DirectoryServer::Behaviour(behaviour);
    server.answer = answer;
    StationDirectory directory(server.base());
    directory.setTimeout(1s);
    QSignalSpy finished(&directory, &StationDirectory::searchFinished);
    QSignalSpy failed(&directory, &StationDirectory::searchFailed);
    QElapsedTimer clock;
    clock.start();
    directory.search({QStringLiteral("x"), DirectoryQuery::Field::Name, {}, {}});
    QVERIFY(failed.wait(5000));
    QCOMPARE(failed.at(0).at(0).toString(), message);
    QCOMPARE(finished.size(), 0);
    QVERIFY(!directory.isBusy());
    QVERIFY(clock.elapsed() < 4000);
    // Nothing arrives late from the abandoned request.
    QTest::qWait(100);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(finished.size(), 0);
}

void StationDirectoryTest::reportsClickOnceWhenChosenStationPlays()
{
    DirectoryServer server;
    server.answer =
        "[" + DirectoryServer::station("c0ffee-01", "Chosen", "http://c.example/", "MP3", 128) +
        "," + DirectoryServer::station("bad/../id", "No id", "http://n.example/", "MP3", 128) + "]";
    StationDirectory directory(server.base());
    QSignalSpy finished(&directory, &StationDirectory::searchFinished);
    directory.search({QStringLiteral("c"), DirectoryQuery::Field::Name, {}, {}});
    QVERIFY(finished.wait(5000));
    const auto stations = finished.at(0).at(0).value<QList<DirectoryStation>>();
    QCOMPARE(stations.size(), 2);

    // Another address playing, or none chosen: nothing reported.
    directory.stationStarted(QStringLiteral("http://c.example/"));
    directory.stationChosen(stations[0]);
    directory.stationStarted(QStringLiteral("http://other.example/"));
    QTest::qWait(200);
    QCOMPARE(server.requestsTo("/json/url/").size(), 0);

    directory.stationStarted(QStringLiteral("http://c.example/"));
    QTRY_COMPARE(server.requestsTo("/json/url/").size(), 1);
    QCOMPARE(server.requestsTo("/json/url/")[0].path, QByteArray("/json/url/c0ffee-01"));
    // Playing it again (a reconnection, a second start) reports nothing more.
    directory.stationStarted(QStringLiteral("http://c.example/"));
    QTest::qWait(200);
    QCOMPARE(server.requestsTo("/json/url/").size(), 1);

    // A station whose id could not be used is never reported.
    directory.stationChosen(stations[1]);
    directory.stationStarted(QStringLiteral("http://n.example/"));
    QTest::qWait(200);
    QCOMPARE(server.requestsTo("/json/url/").size(), 1);
}

QTEST_GUILESS_MAIN(StationDirectoryTest)
#include "tst_stationdirectory.moc"
