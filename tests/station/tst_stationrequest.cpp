// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/StationRequest.h"
#include "util/Version.h"

#include <QTest>

namespace {

QByteArray userAgentLine()
{
    return "User-Agent: Tavrix/" + QByteArray::number(TAVRIX_VERSION_MAJOR) + '.' +
           QByteArray::number(TAVRIX_VERSION_MINOR) + '.' +
           QByteArray::number(TAVRIX_VERSION_PATCH) + "\r\n";
}

} // namespace

class TestStationRequest : public QObject
{
    Q_OBJECT

private slots:
    void request_data();
    void request();
    void noValueEndsALine_data();
    void noValueEndsALine();
};

void TestStationRequest::request_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("icyMetadata");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray common = userAgentLine() + "Accept: */*\r\nConnection: close\r\n";
    QTest::newRow("host and port")
        << QStringLiteral("radio.example:8000/live") << false
        << "GET /live HTTP/1.0\r\nHost: radio.example:8000\r\n" + common + "\r\n";
    QTest::newRow("default port not named")
        << QStringLiteral("http://radio.example") << false
        << "GET / HTTP/1.0\r\nHost: radio.example\r\n" + common + "\r\n";
    QTest::newRow("https default port")
        << QStringLiteral("https://radio.example/a?b=1") << false
        << "GET /a?b=1 HTTP/1.0\r\nHost: radio.example\r\n" + common + "\r\n";
    QTest::newRow("https on port 80")
        << QStringLiteral("https://radio.example:80/") << false
        << "GET / HTTP/1.0\r\nHost: radio.example:80\r\n" + common + "\r\n";
    QTest::newRow("IPv6 in brackets")
        << QStringLiteral("http://[::1]:8000/stream") << false
        << "GET /stream HTTP/1.0\r\nHost: [::1]:8000\r\n" + common + "\r\n";
    QTest::newRow("basic authorization") << QStringLiteral("dj:pw@radio.example/live") << false
                                         << "GET /live HTTP/1.0\r\nHost: radio.example\r\n" +
                                                common + "Authorization: Basic ZGo6cHc=\r\n\r\n";
    QTest::newRow("titles asked for")
        << QStringLiteral("radio.example/;") << true
        << "GET /; HTTP/1.0\r\nHost: radio.example\r\n" + common + "Icy-MetaData: 1\r\n\r\n";
}

void TestStationRequest::request()
{
    QFETCH(QString, text);
    QFETCH(bool, icyMetadata);
    QFETCH(QByteArray, expected);

    const StationAddressParse parsed = parseStationAddress(text);
    QVERIFY(parsed.address);
    QCOMPARE(stationRequest(*parsed.address, StationRequestOptions{icyMetadata}), expected);
}

void TestStationRequest::noValueEndsALine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("requestLine");
    QTest::addColumn<QByteArray>("hostLine");

    QTest::newRow("line break in the path")
        << QStringLiteral("radio.example/a\r\nX-Evil: 1")
        << QByteArray("GET /a%0D%0AX-Evil:%201 HTTP/1.0") << QByteArray("Host: radio.example");
    QTest::newRow("line break in an older-form host")
        << QStringLiteral("evil\r\nX-Evil: 1:8000") << QByteArray("GET / HTTP/1.0")
        << QByteArray("Host: evil%0D%0AX-Evil:1");
    QTest::newRow("non-ASCII path")
        << QStringLiteral("radio.example/caf\u00e9 bar")
        << QByteArray("GET /caf%C3%A9%20bar HTTP/1.0") << QByteArray("Host: radio.example");
}

void TestStationRequest::noValueEndsALine()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, requestLine);
    QFETCH(QByteArray, hostLine);

    const StationAddressParse parsed = parseStationAddress(text);
    QVERIFY(parsed.address);
    const QByteArray request = stationRequest(*parsed.address, StationRequestOptions{true});
    QVERIFY(request.endsWith("\r\n\r\n"));
    const QList<QByteArray> lines = request.chopped(4).split('\n');
    QCOMPARE(lines.size(), 6);
    for (const QByteArray &line : lines.first(5))
        QVERIFY(line.endsWith('\r'));
    QCOMPARE(lines.at(0).chopped(1), requestLine);
    QCOMPARE(lines.at(1).chopped(1), hostLine);
    QVERIFY(!request.contains("X-Evil: 1\r\n"));
    QCOMPARE(lines.last(), QByteArray("Icy-MetaData: 1"));
}

QTEST_GUILESS_MAIN(TestStationRequest)
#include "tst_stationrequest.moc"
