// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/PlaylistParser.h"

#include <QTest>

using Kind = PlaylistParser::Kind;

Q_DECLARE_METATYPE(PlaylistParser::Kind)

namespace {

QStringList texts(const QList<QUrl> &urls)
{
    QStringList result;
    for (const QUrl &url : urls)
        result.append(url.toString(QUrl::FullyEncoded));
    return result;
}

} // namespace

class TestPlaylistParser : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void largeBodyReadsWhatFits_data();
    void largeBodyReadsWhatFits();
    void mayBePlaylist_data();
    void mayBePlaylist();
};

void TestPlaylistParser::read_data()
{
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("PLS in number order, relative, dead and odd entries")
        << QStringLiteral("audio/x-scpls") << QStringLiteral("http://radio.example/lists/a.pls")
        << QByteArray("[playlist]\nNumberOfEntries=5\nFile2=http://b.example/2\n"
                      "Title2=Two\nFile1=relative.mp3\nfile3=ftp://x.example/\nFile4=\n"
                      "FILE10 = https://c.example:8443/ten \nFile5=mms://x.example/\nVersion=2\n")
        << Kind::Pls
        << QStringList{"http://radio.example/lists/relative.mp3", "http://b.example/2",
                       "https://c.example:8443/ten"};
    QTest::newRow("PLS as text with byte order mark and CR LF")
        << QStringLiteral("text/plain") << QStringLiteral("http://radio.example/listen")
        << QByteArray("\xEF\xBB\xBF[Playlist]\r\nFile1=http://a.example:8000/;\r\n"
                      "Title1=Caf\xE9\r\n")
        << Kind::Pls << QStringList{"http://a.example:8000/;"};
    QTest::newRow("PLS labelled as a web page")
        << QStringLiteral("text/html") << QStringLiteral("http://radio.example/tune")
        << QByteArray("[playlist]\nFile1=http://a.example/s\n") << Kind::Pls
        << QStringList{"http://a.example/s"};
    QTest::newRow("M3U plain with comments and blank lines")
        << QStringLiteral("audio/x-mpegurl") << QStringLiteral("http://radio.example/x/list.m3u")
        << QByteArray("http://a.example/1\r\n\r\n# comment\n/abs?q=1\n  ../up.mp3  \n") << Kind::M3u
        << QStringList{"http://a.example/1", "http://radio.example/abs?q=1",
                       "http://radio.example/up.mp3"};
    QTest::newRow("extended M3U, an entry twice")
        << QStringLiteral("audio/mpegurl") << QStringLiteral("https://radio.example/l.m3u")
        << QByteArray("#EXTM3U\n#EXTINF:-1,Live\nhttp://a.example/s\n#EXTINF:-1,Again\n"
                      "http://a.example/s\nC:\\Music\\local.mp3\nfile:///home/x.mp3\n"
                      "//cdn.example/s\n")
        << Kind::M3u << QStringList{"http://a.example/s", "https://cdn.example/s"};
    QTest::newRow("M3U by extension only")
        << QString() << QStringLiteral("http://radio.example/dir/list.m3u")
        << QByteArray("stream.mp3\n") << Kind::M3u
        << QStringList{"http://radio.example/dir/stream.mp3"};
    QTest::newRow("address list without header or type")
        << QStringLiteral("application/octet-stream") << QStringLiteral("http://radio.example/get")
        << QByteArray("\n# a list\nhttps://a.example/s\n") << Kind::M3u
        << QStringList{"https://a.example/s"};
    QTest::newRow("M3U8 without HLS tags")
        << QString() << QStringLiteral("http://radio.example/l.M3U8")
        << QByteArray("#EXTM3U\nhttp://a.example/\xC3\xA9t\xC3\xA9\n") << Kind::M3u
        << QStringList{"http://a.example/%C3%A9t%C3%A9"};
    QTest::newRow("HLS by tags")
        << QString() << QStringLiteral("http://radio.example/live.m3u8")
        << QByteArray("#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n"
                      "seg1.ts\n")
        << Kind::Hls << QStringList{};
    QTest::newRow("HLS labelled as M3U")
        << QStringLiteral("audio/x-mpegurl") << QStringLiteral("http://radio.example/a")
        << QByteArray("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=128000\nlow/index.m3u8\n") << Kind::Hls
        << QStringList{};
    QTest::newRow("HLS by type") << QStringLiteral("application/vnd.apple.mpegurl")
                                 << QStringLiteral("http://radio.example/a")
                                 << QByteArray("#EXTM3U\n#EXTINF:10,\nseg.aac\n") << Kind::Hls
                                 << QStringList{};
    QTest::newRow("XSPF")
        << QStringLiteral("application/xspf+xml") << QStringLiteral("http://radio.example/p/l.xspf")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
                      "<title>x</title><location>http://ignored.example/</location><trackList>"
                      "<track><title>A</title><location>http://a.example/s?x=1&amp;y=2</location>"
                      "<location> relative.ogg </location></track>"
                      "<track><location>rtsp://b.example/</location></track>"
                      "</trackList></playlist>")
        << Kind::Xspf
        << QStringList{"http://a.example/s?x=1&y=2", "http://radio.example/p/relative.ogg"};
    QTest::newRow("XSPF recognised by its root")
        << QStringLiteral("text/plain") << QStringLiteral("http://radio.example/x")
        << QByteArray("<?xml version=\"1.0\"?><!-- made by hand -->"
                      "<playlist><trackList><track><location>http://a.example/s</location>"
                      "</track></trackList></playlist>")
        << Kind::Xspf << QStringList{"http://a.example/s"};
    QTest::newRow("XSPF broken after the first track")
        << QStringLiteral("application/xspf+xml") << QStringLiteral("http://radio.example/")
        << QByteArray("<playlist><trackList><track><location>http://a.example/1</location></track>"
                      "<track><location>http://a.example/2</locat")
        << Kind::Xspf << QStringList{"http://a.example/1"};
    QTest::newRow("ASX in any letter case with a bare ampersand")
        << QStringLiteral("video/x-ms-asf") << QStringLiteral("http://radio.example/a/b.asx")
        << QByteArray(
               "<ASX version=\"3.0\"><Title>x</Title><Entry><Ref HREF=\"mms://a.example/x\"/>"
               "<REF href=\"http://a.example/s?a=1&b=2\"/></entry>"
               "<ENTRY><ref href=\"relative.mp3\" /></Entry></asx>")
        << Kind::Asx
        << QStringList{"http://a.example/s?a=1&b=2", "http://radio.example/a/relative.mp3"};
    QTest::newRow("ASX by extension")
        << QString() << QStringLiteral("http://radio.example/b.asx")
        << QByteArray("<asx version=\"3.0\">\n<entry><ref href=\"http://a.example/s\"/></entry>\n"
                      "</asx>\n")
        << Kind::Asx << QStringList{"http://a.example/s"};
    QTest::newRow("ASF stream labelled like ASX")
        << QStringLiteral("video/x-ms-asf") << QStringLiteral("http://radio.example/live")
        << QByteArray::fromHex("3026b2758e66cf11a6d900aa0062ce6c") << Kind::NotAPlaylist
        << QStringList{};
    QTest::newRow("web page at a playlist address")
        << QStringLiteral("text/html; charset=utf-8")
        << QStringLiteral("http://radio.example/a.pls")
        << QByteArray(
               "<!DOCTYPE html>\n<html><body><a href=\"http://a.example/\">x</a></body></html>")
        << Kind::Html << QStringList{};
    QTest::newRow("web page by type alone")
        << QStringLiteral("text/html") << QStringLiteral("http://radio.example/a.pls")
        << QByteArray("Not found") << Kind::Html << QStringList{};
    QTest::newRow("web page without type")
        << QString() << QStringLiteral("http://radio.example/listen.m3u")
        << QByteArray("  <HTML><head></head></HTML>") << Kind::Html << QStringList{};
    QTest::newRow("MP3 bytes") << QStringLiteral("audio/mpeg")
                               << QStringLiteral("http://radio.example/a")
                               << QByteArray::fromHex("fffb9064000000000000") << Kind::NotAPlaylist
                               << QStringList{};
    QTest::newRow("binary at a playlist address")
        << QStringLiteral("application/octet-stream")
        << QStringLiteral("http://radio.example/a.m3u") << QByteArray::fromHex("fffb906400000000")
        << Kind::NotAPlaylist << QStringList{};
    QTest::newRow("prose") << QStringLiteral("text/plain")
                           << QStringLiteral("http://radio.example/")
                           << QByteArray("The station is off the air.\n") << Kind::NotAPlaylist
                           << QStringList{};
    QTest::newRow("empty PLS") << QStringLiteral("audio/x-scpls")
                               << QStringLiteral("http://radio.example/a.pls") << QByteArray()
                               << Kind::Pls << QStringList{};
}

void TestPlaylistParser::read()
{
    QFETCH(QString, contentType);
    QFETCH(QString, address);
    QFETCH(QByteArray, body);
    QFETCH(Kind, kind);
    QFETCH(QStringList, entries);

    // The parser gets the media type as the response parser hands it over.
    const QString type = contentType.section(u';', 0, 0).trimmed().toLower();
    const PlaylistParser::Result result = PlaylistParser::read(type, QUrl(address), body);
    QCOMPARE(result.kind, kind);
    QCOMPARE(texts(result.entries), entries);
    QVERIFY(!result.truncated);
    QCOMPARE(PlaylistParser::recognise(type, QUrl(address), body), kind);
}

void TestPlaylistParser::largeBodyReadsWhatFits_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("linePattern");

    QTest::newRow("M3U") << QByteArray("#EXTM3U\n") << QByteArray("http://a.example/%1\n");
    QTest::newRow("PLS") << QByteArray("[playlist]\n")
                         << QByteArray("File%1=http://a.example/%1\n");
    QTest::newRow("XSPF") << QByteArray("<playlist><trackList>")
                          << QByteArray(
                                 "<track><location>http://a.example/%1</location></track>\n");
}

void TestPlaylistParser::largeBodyReadsWhatFits()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, linePattern);

    // A megabyte of entries: only those within the first 64 KiB are read,
    // and none of them cut short.
    QByteArray body = header;
    int fitting = 0;
    for (int n = 1; body.size() < (1 << 20); ++n) {
        body += QString::fromLatin1(linePattern).arg(n).toLatin1();
        if (body.size() <= PlaylistParser::MaxBytes)
            fitting = n;
    }
    const PlaylistParser::Result result =
        PlaylistParser::read(QString(), QUrl(QStringLiteral("http://radio.example/")), body);
    QVERIFY(result.truncated);
    QCOMPARE(result.entries.size(), fitting);
    QCOMPARE(result.entries.first().toString(), QStringLiteral("http://a.example/1"));
    QCOMPARE(result.entries.last().toString(),
             QStringLiteral("http://a.example/") + QString::number(fitting));
}

void TestPlaylistParser::mayBePlaylist_data()
{
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("maybe");

    QTest::newRow("MP3") << QStringLiteral("audio/mpeg") << QStringLiteral("http://r.example/live")
                         << false;
    QTest::newRow("AAC") << QStringLiteral("audio/aacp") << QStringLiteral("http://r.example/")
                         << false;
    QTest::newRow("MP3 type at a playlist address")
        << QStringLiteral("audio/mpeg") << QStringLiteral("http://r.example/a.m3u") << true;
    QTest::newRow("PLS type") << QStringLiteral("audio/x-scpls")
                              << QStringLiteral("http://r.example/") << true;
    QTest::newRow("web page") << QStringLiteral("text/html") << QStringLiteral("http://r.example/")
                              << true;
    QTest::newRow("no type") << QString() << QStringLiteral("http://r.example/") << true;
    QTest::newRow("octet stream") << QStringLiteral("application/octet-stream")
                                  << QStringLiteral("http://r.example/") << true;
}

void TestPlaylistParser::mayBePlaylist()
{
    QFETCH(QString, contentType);
    QFETCH(QString, address);
    QFETCH(bool, maybe);

    QCOMPARE(PlaylistParser::mayBePlaylist(contentType, QUrl(address)), maybe);
}

QTEST_GUILESS_MAIN(TestPlaylistParser)
#include "tst_playlistparser.moc"
