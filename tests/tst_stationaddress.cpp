#include "stream/StationAddress.h"

#include <QTest>

class TestStationAddress : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void request_data();
    void request();
};

void TestStationAddress::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("path");

    const QString root = QStringLiteral("/");
    QTest::newRow("shortest valid") << QStringLiteral("abcde:8000") << QStringLiteral("abcde:8000")
                                    << true << QStringLiteral("abcde") << 8000 << root;
    QTest::newRow("nine characters") << QStringLiteral("abcde:800") << QStringLiteral("abcde:800")
                                     << false << QString() << 0 << root;
    QTest::newRow("colon at 5 not seen")
        << QStringLiteral("abcd:80000") << QStringLiteral("abcd:80000") << false << QString() << 0
        << root;
    QTest::newRow("scheme in capitals")
        << QStringLiteral("HTTP://abcde:8000") << QStringLiteral("abcde:8000") << true
        << QStringLiteral("abcde") << 8000 << root;
    QTest::newRow("scheme mixed case")
        << QStringLiteral("hTtP://radio.example:8000") << QStringLiteral("radio.example:8000")
        << true << QStringLiteral("radio.example") << 8000 << root;
    QTest::newRow("too short after scheme")
        << QStringLiteral("http://abc:80") << QStringLiteral("abc:80") << false << QString() << 0
        << root;
    QTest::newRow("path") << QStringLiteral("abcde:8000/listen")
                          << QStringLiteral("abcde:8000/listen") << true << QStringLiteral("abcde")
                          << 8000 << QStringLiteral("/listen");
    QTest::newRow("path with query")
        << QStringLiteral("http://abcde:8000/live.mp3?sid=1&x=2")
        << QStringLiteral("abcde:8000/live.mp3?sid=1&x=2") << true << QStringLiteral("abcde")
        << 8000 << QStringLiteral("/live.mp3?sid=1&x=2");
    QTest::newRow("text after port is no path")
        << QStringLiteral("abcde:8000x/listen") << QStringLiteral("abcde:8000x/listen") << true
        << QStringLiteral("abcde") << 8000 << root;
    QTest::newRow("colon last gives port 0")
        << QStringLiteral("abcdefghi:") << QStringLiteral("abcdefghi:") << true
        << QStringLiteral("abcdefghi") << 0 << root;
    QTest::newRow("spaces around")
        << QStringLiteral("  abcde:8000  ") << QStringLiteral("abcde:8000") << true
        << QStringLiteral("abcde") << 8000 << root;
    QTest::newRow("port above range")
        << QStringLiteral("abcde:70000") << QStringLiteral("abcde:70000") << false << QString() << 0
        << root;
    QTest::newRow("port 65535") << QStringLiteral("abcde:65535") << QStringLiteral("abcde:65535")
                                << true << QStringLiteral("abcde") << 65535 << root;
    QTest::newRow("port 65536") << QStringLiteral("abcde:65536") << QStringLiteral("abcde:65536")
                                << false << QString() << 0 << root;
    QTest::newRow("negative port") << QStringLiteral("abcde:-8000") << QStringLiteral("abcde:-8000")
                                   << false << QString() << 0 << root;
    QTest::newRow("port rounded half to even")
        << QStringLiteral("abcde:8000.5") << QStringLiteral("abcde:8000.5") << true
        << QStringLiteral("abcde") << 8000 << root;
    QTest::newRow("huge exponent port")
        << QStringLiteral("abcde:1e99999") << QStringLiteral("abcde:1e99999") << false << QString()
        << 0 << root;
    // The scheme is removed only at the start: there it stays in the text, and
    // its own colon (6th character) ends the host.
    QTest::newRow("scheme not at start")
        << QStringLiteral("xhttp://abcde:8000") << QStringLiteral("xhttp://abcde:8000") << true
        << QStringLiteral("xhttp") << 0 << QStringLiteral("//abcde:8000");
    QTest::newRow("first colon from 6th character")
        << QStringLiteral("a:b:cdef:90") << QStringLiteral("a:b:cdef:90") << true
        << QStringLiteral("a:b:cdef") << 90 << root;
    QTest::newRow("no colon") << QStringLiteral("radio.example") << QStringLiteral("radio.example")
                              << false << QString() << 0 << root;
    QTest::newRow("empty") << QString() << QString() << false << QString() << 0 << root;
}

void TestStationAddress::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, url);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, path);

    const StationAddressParse parsed = parseStationAddress(text);
    QCOMPARE(parsed.url, url);
    QCOMPARE(parsed.address.has_value(), valid);
    if (!valid)
        return;
    QCOMPARE(parsed.address->url, url);
    QCOMPARE(parsed.address->host, host);
    QCOMPARE(int(parsed.address->port), port);
    QCOMPARE(parsed.address->path, path);
}

void TestStationAddress::request_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("no path") << QStringLiteral("abcde:8000")
                             << QByteArray::fromHex("474554202F20485454502F312E300D0A0D0A");
    QTest::newRow("path") << QStringLiteral("abcde:8000/stream")
                          << QByteArrayLiteral("GET /stream HTTP/1.0\r\n\r\n");
    QTest::newRow("query kept") << QStringLiteral("abcde:8000/a.mp3?x=1")
                                << QByteArrayLiteral("GET /a.mp3?x=1 HTTP/1.0\r\n\r\n");
    QTest::newRow("blank and non-ASCII encoded")
        << QStringLiteral("abcde:8000/my radio\u00e9")
        << QByteArrayLiteral("GET /my%20radio%C3%A9 HTTP/1.0\r\n\r\n");
    QTest::newRow("line break cannot add a header")
        << QStringLiteral("abcde:8000/a\rHost: x")
        << QByteArrayLiteral("GET /a%0DHost:%20x HTTP/1.0\r\n\r\n");
}

void TestStationAddress::request()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);

    const StationAddressParse parsed = parseStationAddress(text);
    QVERIFY(parsed.address);
    QCOMPARE(parsed.address->request(), expected);
}

QTEST_GUILESS_MAIN(TestStationAddress)
#include "tst_stationaddress.moc"
