// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/ResponseParser.h"

#include <QTest>

using Outcome = ResponseParser::Outcome;
using Stage = ResponseParser::Stage;

Q_DECLARE_METATYPE(StationHeaders)
Q_DECLARE_METATYPE(ResponseParser::Refusal)

namespace {

const QByteArray IcyHead = QByteArrayLiteral("ICY 200 OK\r\n"
                                             "icy-notice1:<BR>This stream requires Winamp<BR>\r\n"
                                             "icy-name: Night Drive FM \r\n"
                                             "icy-genre: Synthwave\r\n"
                                             "icy-url:http://nightdrive.example\r\n"
                                             "content-type:audio/mpeg\r\n"
                                             "icy-pub:1\r\n"
                                             "icy-br:128\r\n"
                                             "\r\n");
// Audio that looks like line ends and header text must pass untouched.
const char AudioBytes[] = "\xff\xfb\x90\x00\r\n\r\nicy-name: fake\r\n\0\0\x01";
const QByteArray Audio(AudioBytes, sizeof(AudioBytes) - 1);

struct Result
{
    QList<Outcome> outcomes;
    StationHeaders headers;
    QByteArray audio;
};

// Feeds `response` in pieces of the given sizes (the last size repeats), the
// way the socket may hand it over.
Result feedInPieces(const QByteArray &response, const QList<qsizetype> &sizes)
{
    ResponseParser parser;
    Result result;
    qsizetype pos = 0;
    for (qsizetype i = 0; pos < response.size(); ++i) {
        const qsizetype size = sizes.at(std::min(i, sizes.size() - 1));
        const Outcome outcome = parser.feed(
            QByteArrayView(response).sliced(pos).first(std::min(size, response.size() - pos)));
        pos += size;
        result.outcomes.append(outcome);
        result.audio += parser.takeAudio();
    }
    result.headers = parser.headers();
    return result;
}

Outcome lastOutcome(const QByteArray &response, qsizetype pieceSize)
{
    return feedInPieces(response, {pieceSize}).outcomes.constLast();
}

bool sameHeaders(const StationHeaders &a, const StationHeaders &b)
{
    return a.name == b.name && a.genre == b.genre && a.url == b.url && a.bitrate == b.bitrate;
}

// Outcomes must be NeedMore..., one HeadersRead, then Audio...
bool wellOrdered(const QList<Outcome> &outcomes)
{
    const qsizetype headersRead = outcomes.indexOf(Outcome::HeadersRead);
    if (headersRead < 0 || outcomes.count(Outcome::HeadersRead) != 1)
        return false;
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        const Outcome expected = i < headersRead   ? Outcome::NeedMore
                                 : i > headersRead ? Outcome::Audio
                                                   : Outcome::HeadersRead;
        if (outcomes.at(i) != expected)
            return false;
    }
    return true;
}

} // namespace

class TestResponseParser : public QObject
{
    Q_OBJECT

private slots:
    void sameResultForEverySplit_data();
    void sameResultForEverySplit();
    void everySingleCut();
    void statusLine_data();
    void statusLine();
    void decidesEarly();
    void refusalIsFinalUntilReset();
    void headerValues_data();
    void headerValues();
    void headerSizeCap();
    void endlessLineIsRefusedWithBoundedBuffer();
    void audioStage();
    void refusals_data();
    void refusals();
    void headerAccess();
    void bodyOfAResponseThatIsNoStream();
};

void TestResponseParser::sameResultForEverySplit_data()
{
    QTest::addColumn<QList<qsizetype>>("sizes");

    const qsizetype statusSize = IcyHead.indexOf('\n') + 1;
    const qsizetype headSize = IcyHead.size();
    QTest::newRow("all at once") << QList<qsizetype>{headSize + Audio.size()};
    QTest::newRow("one byte per feed") << QList<qsizetype>{1};
    QTest::newRow("status line, then header block, then audio")
        << QList<qsizetype>{statusSize, headSize - statusSize, Audio.size()};
    QTest::newRow("status line cut before the code") << QList<qsizetype>{5, 1000};
    QTest::newRow("header block cut in the middle") << QList<qsizetype>{statusSize + 40, 1000};
    QTest::newRow("CR and LF of the empty line apart") << QList<qsizetype>{headSize - 1, 1000};
    QTest::newRow("CR and LF of the status line apart")
        << QList<qsizetype>{statusSize - 1, 1, 1000};
    QTest::newRow("header block with the first audio byte") << QList<qsizetype>{headSize + 1, 1000};
    QTest::newRow("odd pieces") << QList<qsizetype>{3, 7, 11, 13};
}

void TestResponseParser::sameResultForEverySplit()
{
    QFETCH(QList<qsizetype>, sizes);

    const Result result = feedInPieces(IcyHead + Audio, sizes);
    QVERIFY2(wellOrdered(result.outcomes), "NeedMore..., HeadersRead once, then Audio...");
    QCOMPARE(result.headers.name, QStringLiteral("Night Drive FM"));
    QCOMPARE(result.headers.genre, QStringLiteral(" Synthwave"));
    QCOMPARE(result.headers.url, QStringLiteral("http://nightdrive.example"));
    QCOMPARE(result.headers.bitrate, QStringLiteral("128"));
    QCOMPARE(result.audio, Audio);
}

void TestResponseParser::everySingleCut()
{
    const QByteArray response = IcyHead + Audio;
    const Result whole = feedInPieces(response, {response.size()});
    for (qsizetype cut = 1; cut < response.size(); ++cut) {
        const Result split = feedInPieces(response, {cut, response.size()});
        QVERIFY2(sameHeaders(split.headers, whole.headers), qPrintable(QString::number(cut)));
        QCOMPARE(split.audio, whole.audio);
    }
}

void TestResponseParser::statusLine_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("accepted");

    // Every accepted response ends with these two audio bytes.
    const QByteArray audio = QByteArrayLiteral("\xff\xfb");
    QTest::newRow("ICY 200") << QByteArrayLiteral("ICY 200 OK\r\n\r\n") + audio << true;
    QTest::newRow("ICY 200 with LF only") << QByteArrayLiteral("ICY 200 OK\n\n") + audio << true;
    QTest::newRow("ICY 200 needs no marks")
        << QByteArrayLiteral("ICY 200 OK\r\nServer: x\r\n\r\n") + audio << true;
    QTest::newRow("HTTP/1.0 200 with icy header")
        << QByteArrayLiteral("HTTP/1.0 200 OK\r\nicy-name:A\r\n\r\n") + audio << true;
    QTest::newRow("HTTP/1.1 200 with audio type")
        << QByteArrayLiteral("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n") + audio << true;
    QTest::newRow("HTTP 200 with Ogg")
        << QByteArrayLiteral("HTTP/1.0 200 OK\r\ncontent-type: application/ogg\r\n\r\n") + audio
        << true;
    QTest::newRow("HTTP 200 with unusual icy header")
        << QByteArrayLiteral("HTTP/1.0 200 OK\r\nIcy-MetaInt: 0\r\n\r\n") + audio << true;
    QTest::newRow("HTTP 404") << QByteArrayLiteral("HTTP/1.0 404 Not Found\r\n\r\n") << false;
    QTest::newRow("web page") << QByteArrayLiteral(
                                     "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>")
                              << false;
    QTest::newRow("icy only inside a value")
        << QByteArrayLiteral("HTTP/1.1 200 OK\r\nX-Note: icy-name: x\r\n\r\n<html>") << false;
    QTest::newRow("audio type only inside another header")
        << QByteArrayLiteral("HTTP/1.1 200 OK\r\nX-Type: audio/mpeg\r\n\r\n<html>") << false;
    QTest::newRow("HTTP 2000") << QByteArrayLiteral("HTTP/1.0 2000 OK\r\nicy-br:1\r\n\r\n")
                               << false;
    QTest::newRow("HTTP/2.0 200") << QByteArrayLiteral("HTTP/2.0 200 OK\r\nicy-br:1\r\n\r\n")
                                  << false;
    QTest::newRow("200 after the code position")
        << QByteArrayLiteral("ICY 302 200\r\n\r\n") << false;
    QTest::newRow("200 before the code position") << QByteArrayLiteral("X 200 OK\r\n\r\n") << false;
    QTest::newRow("ICY 404") << QByteArrayLiteral("ICY 404 Resource Not Found\r\n\r\n") << false;
    QTest::newRow("short line") << QByteArrayLiteral("ICY\r\n200 OK\r\n\r\n") << false;
    QTest::newRow("garbage") << QByteArray::fromHex("00ff13370a0d0a0a") << false;
    QTest::newRow("empty line first") << QByteArrayLiteral("\r\nICY 200 OK\r\n\r\n") << false;
}

void TestResponseParser::statusLine()
{
    QFETCH(QByteArray, response);
    QFETCH(bool, accepted);

    for (const qsizetype piece : {response.size(), qsizetype(1), qsizetype(4)}) {
        const Result result = feedInPieces(response, {piece});
        if (accepted) {
            QVERIFY(wellOrdered(result.outcomes));
            QCOMPARE(result.audio, QByteArrayLiteral("\xff\xfb"));
        } else {
            QCOMPARE(result.outcomes.constLast(), Outcome::Refused);
            QVERIFY(result.audio.isEmpty());
        }
    }
}

void TestResponseParser::decidesEarly()
{
    // "200" at characters 5 to 7 moves on to the header block at once.
    ResponseParser icy;
    QCOMPARE(icy.feed("ICY 200"), Outcome::NeedMore);
    QCOMPARE(icy.stage(), Stage::HeaderBlock);

    // Seven bytes that cannot start a status line refuse at once.
    ResponseParser refused;
    QCOMPARE(refused.feed("XYZ 40"), Outcome::NeedMore);
    QCOMPARE(refused.feed("4"), Outcome::Refused);
    QCOMPARE(refused.refusal(), ResponseParser::Refusal::NotAResponse);

    // An ICY error waits for its whole line, for the message.
    ResponseParser icyError;
    QCOMPARE(icyError.feed("ICY 404"), Outcome::NeedMore);
    QCOMPARE(icyError.feed(" Resource Not Found\r\n"), Outcome::Refused);
    QCOMPARE(icyError.refusal(), ResponseParser::Refusal::HttpError);
    QCOMPARE(icyError.statusText(), QStringLiteral("404 Resource Not Found"));

    // An HTTP status line is refused as soon as it is complete, before any
    // header line.
    ResponseParser http;
    QCOMPARE(http.feed("HTTP/1.0 404 Not Found\r"), Outcome::NeedMore);
    QCOMPARE(http.stage(), Stage::StatusLine);
    QCOMPARE(http.feed("\n"), Outcome::Refused);

    // An HTTP 200 waits for the header block to show a stream.
    ResponseParser icecast;
    QCOMPARE(icecast.feed("HTTP/1.0 200 OK\r\n"), Outcome::NeedMore);
    QCOMPARE(icecast.stage(), Stage::HeaderBlock);
    QCOMPARE(icecast.feed("Content-Type: text/html\r\n\r"), Outcome::NeedMore);
    QCOMPARE(icecast.feed("\n<html>"), Outcome::Refused);
    QVERIFY(icecast.takeAudio().isEmpty());
}

void TestResponseParser::refusalIsFinalUntilReset()
{
    ResponseParser parser;
    QCOMPARE(parser.feed("HTTP/1.0 404 Not Found\r\n"), Outcome::Refused);
    QCOMPARE(parser.stage(), Stage::StatusLine);
    QCOMPARE(parser.feed("ICY 200 OK\r\n\r\nabc"), Outcome::Refused);
    QVERIFY(parser.takeAudio().isEmpty());

    parser.reset();
    QCOMPARE(parser.feed("ICY 200 OK\r\nicy-name:A\r\n\r\nabc"), Outcome::HeadersRead);
    QCOMPARE(parser.headers().name, QStringLiteral("A"));
    QCOMPARE(parser.takeAudio(), QByteArrayLiteral("abc"));

    parser.reset();
    QCOMPARE(parser.stage(), Stage::StatusLine);
    QCOMPARE(parser.feed("ICY 200 OK\r\n\r\n"), Outcome::HeadersRead);
    QCOMPARE(parser.headers().name, QString());
}

void TestResponseParser::headerValues_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<StationHeaders>("expected");

    QTest::newRow("names in any case")
        << QByteArrayLiteral("Icy-Name: A\r\nICY-GENRE:Pop\r\niCy-UrL: u\r\nICY-BR: 64\r\n")
        << StationHeaders{QStringLiteral("A"), QStringLiteral("Pop"), QStringLiteral(" u"),
                          QStringLiteral(" 64")};
    QTest::newRow("all missing") << QByteArrayLiteral("icy-pub:1\r\n") << StationHeaders{};
    QTest::newRow("empty genre shows nothing of the next line")
        << QByteArrayLiteral("icy-genre:\r\nicy-url:http://x\r\n")
        << StationHeaders{QString(), QString(), QStringLiteral("http://x"), QString()};
    QTest::newRow("first occurrence counts")
        << QByteArrayLiteral("icy-name:First\r\nicy-name:Second\r\nicy-br:1\r\nicy-br:2\r\n")
        << StationHeaders{QStringLiteral("First"), QString(), QString(), QStringLiteral("1")};
    QTest::newRow("name only at the start of a line")
        << QByteArrayLiteral("icy-notice1:see icy-name:Fake\r\nx-icy-br:99\r\nicy-name:Real\r\n")
        << StationHeaders{QStringLiteral("Real"), QString(), QString(), QString()};
    QTest::newRow("line ends with LF only")
        << QByteArrayLiteral("icy-name:A\nicy-br:128\n")
        << StationHeaders{QStringLiteral("A"), QString(), QString(), QStringLiteral("128")};
    QTest::newRow("blanks kept except in the name")
        << QByteArrayLiteral("icy-name:  Spaced  \r\nicy-genre:  Jazz  \r\n")
        << StationHeaders{QStringLiteral("Spaced"), QStringLiteral("  Jazz  "), QString(),
                          QString()};
    QTest::newRow("value longer than 255")
        << QByteArrayLiteral("icy-name:") + QByteArray(1000, 'n') + QByteArrayLiteral("\r\n")
        << StationHeaders{QString(1000, u'n'), QString(), QString(), QString()};
    QTest::newRow("UTF-8 name") << QByteArrayLiteral("icy-name:Caf\xc3\xa9 M\xc3\xbcnchen\r\n")
                                << StationHeaders{QStringLiteral("Caf\u00e9 M\u00fcnchen"),
                                                  QString(), QString(), QString()};
    QTest::newRow("single-byte name")
        << QByteArrayLiteral("icy-name:Caf\xe9\r\n")
        << StationHeaders{QStringLiteral("Caf\u00e9"), QString(), QString(), QString()};
}

void TestResponseParser::headerValues()
{
    QFETCH(QByteArray, block);
    QFETCH(StationHeaders, expected);

    ResponseParser parser;
    QCOMPARE(parser.feed(QByteArrayLiteral("ICY 200 OK\r\n") + block + QByteArrayLiteral("\r\n")),
             Outcome::HeadersRead);
    QCOMPARE(parser.headers().name, expected.name);
    QCOMPARE(parser.headers().genre, expected.genre);
    QCOMPARE(parser.headers().url, expected.url);
    QCOMPARE(parser.headers().bitrate, expected.bitrate);
}

void TestResponseParser::headerSizeCap()
{
    const QByteArray status = QByteArrayLiteral("ICY 200 OK\r\n");
    const QByteArray name = QByteArrayLiteral("icy-name:");
    const QByteArray ends = QByteArrayLiteral("\r\n\r\n");
    const qsizetype fill =
        ResponseParser::MaxHeaderBytes - status.size() - name.size() - ends.size();

    // Exactly at the cap the block is read, and the audio behind it kept.
    const QByteArray atCap = status + name + QByteArray(fill, 'x') + ends;
    QCOMPARE(atCap.size(), ResponseParser::MaxHeaderBytes);
    for (const qsizetype piece : {qsizetype(1000), qsizetype(1) << 20}) {
        const Result result = feedInPieces(atCap + Audio, {piece});
        QVERIFY(wellOrdered(result.outcomes));
        QCOMPARE(result.headers.name.size(), fill);
        QCOMPARE(result.audio, Audio);
    }

    // One byte more is refused, however it arrives.
    const QByteArray overCap = status + name + QByteArray(fill + 1, 'x') + ends + Audio;
    QCOMPARE(lastOutcome(overCap, overCap.size()), Outcome::Refused);
    QCOMPARE(lastOutcome(overCap, 999), Outcome::Refused);
}

void TestResponseParser::endlessLineIsRefusedWithBoundedBuffer()
{
    // A 1 MB header line that never ends: the refusal comes once the cap is
    // reached, not at the end of the megabyte, so nothing near that size is
    // ever held.
    ResponseParser parser;
    QCOMPARE(parser.feed("ICY 200 OK\r\nicy-name:"), Outcome::NeedMore);
    const QByteArray chunk(4096, 'z');
    qsizetype fed = 0;
    Outcome outcome = Outcome::NeedMore;
    while (outcome == Outcome::NeedMore && fed < (1 << 20)) {
        outcome = parser.feed(chunk);
        fed += chunk.size();
    }
    QCOMPARE(outcome, Outcome::Refused);
    QVERIFY(fed <= ResponseParser::MaxHeaderBytes);

    ResponseParser oneFeed;
    QCOMPARE(oneFeed.feed(QByteArray(1 << 20, 'z')), Outcome::Refused);
}

void TestResponseParser::audioStage()
{
    ResponseParser parser;
    QCOMPARE(parser.feed(IcyHead), Outcome::HeadersRead);
    QCOMPARE(parser.stage(), Stage::Audio);
    QVERIFY(parser.takeAudio().isEmpty());

    QCOMPARE(parser.feed(Audio), Outcome::Audio);
    QCOMPARE(parser.feed("HTTP/1.0 404 Not Found\r\n"), Outcome::Audio);
    QCOMPARE(parser.takeAudio(), Audio + QByteArrayLiteral("HTTP/1.0 404 Not Found\r\n"));
    QVERIFY(parser.takeAudio().isEmpty());
    QCOMPARE(parser.headers().name, QStringLiteral("Night Drive FM"));
}

void TestResponseParser::refusals_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<ResponseParser::Refusal>("refusal");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<QString>("location");

    using Refusal = ResponseParser::Refusal;
    QTest::newRow("accepted") << IcyHead + Audio << Refusal::None << 200 << QStringLiteral("200 OK")
                              << QString();
    QTest::newRow("forbidden") << QByteArray("HTTP/1.1 403 Forbidden\r\nServer: x\r\n\r\n")
                               << Refusal::HttpError << 403 << QStringLiteral("403 Forbidden")
                               << QString();
    QTest::newRow("no reason") << QByteArray("HTTP/1.0 500\r\n\r\n") << Refusal::HttpError << 500
                               << QStringLiteral("500") << QString();
    QTest::newRow("ICY unavailable")
        << QByteArray("ICY 401 Service Unavailable\r\n\r\n") << Refusal::HttpError << 401
        << QStringLiteral("401 Service Unavailable") << QString();
    QTest::newRow("partial content is no stream")
        << QByteArray("HTTP/1.1 206 Partial Content\r\nContent-Type: audio/mpeg\r\n\r\n")
        << Refusal::HttpError << 206 << QStringLiteral("206 Partial Content") << QString();
    for (const int code : {301, 302, 303, 307, 308}) {
        QTest::addRow("redirect %d", code)
            << "HTTP/1.1 " + QByteArray::number(code) +
                   " Moved\r\nContent-Type: audio/mpeg\r\nlocation:  https://cdn.example/a "
                   "\r\n\r\nbody"
            << Refusal::Redirect << code << QString::number(code) + QStringLiteral(" Moved")
            << QStringLiteral("https://cdn.example/a");
    }
    QTest::newRow("redirect without location")
        << QByteArray("HTTP/1.0 302 Found\r\n\r\n") << Refusal::Redirect << 302
        << QStringLiteral("302 Found") << QString();
    QTest::newRow("web page") << QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<p>")
                              << Refusal::NotAStream << 200 << QStringLiteral("200 OK")
                              << QString();
    QTest::newRow("HTTP/2.0") << QByteArray("HTTP/2.0 200 OK\r\nicy-br:1\r\n\r\n")
                              << Refusal::NotAResponse << 0 << QStringLiteral("200 OK")
                              << QString();
    QTest::newRow("code of four digits")
        << QByteArray("HTTP/1.1 3021 x\r\n\r\n") << Refusal::NotAResponse << 0
        << QStringLiteral("3021 x") << QString();
    QTest::newRow("header block over the cap")
        << "ICY 200 OK\r\nicy-name:" + QByteArray(70 * 1024, 'n') + "\r\n\r\n"
        << Refusal::TooLarge << 200 << QStringLiteral("200 OK") << QString();
}

void TestResponseParser::refusals()
{
    QFETCH(QByteArray, response);
    QFETCH(ResponseParser::Refusal, refusal);
    QFETCH(int, code);
    QFETCH(QString, statusText);
    QFETCH(QString, location);

    for (const qsizetype piece : {response.size(), qsizetype(1), qsizetype(7)}) {
        ResponseParser parser;
        for (qsizetype pos = 0; pos < response.size(); pos += piece)
            parser.feed(
                QByteArrayView(response).sliced(pos).first(std::min(piece, response.size() - pos)));
        QCOMPARE(parser.refusal(), refusal);
        QCOMPARE(parser.statusCode(), code);
        if (refusal != ResponseParser::Refusal::NotAResponse)
            QCOMPARE(parser.statusText(), statusText);
        QCOMPARE(parser.isRedirect(), refusal == ResponseParser::Refusal::Redirect);
        QCOMPARE(parser.location(), location);
    }
}

void TestResponseParser::headerAccess()
{
    ResponseParser parser;
    QCOMPARE(parser.feed("HTTP/1.0 200 OK\r\n"
                         "Content-Type: Audio/MPEG; charset=x\r\n"
                         "icy-name: First \r\n"
                         "X-Empty:\r\n"
                         "ICY-NAME:Second\r\n"
                         "no colon here\r\n"
                         "\r\n"),
             Outcome::HeadersRead);
    QCOMPARE(parser.statusLine(), QStringLiteral("HTTP/1.0 200 OK"));
    QCOMPARE(parser.contentType(), QStringLiteral("audio/mpeg"));
    QCOMPARE(parser.header("CONTENT-type"), QByteArray("Audio/MPEG; charset=x"));
    QCOMPARE(parser.header("Icy-Name"), QByteArray("First"));
    QCOMPARE(parser.header("x-empty"), QByteArray());
    QCOMPARE(parser.header("missing"), QByteArray());
    QCOMPARE(parser.allHeaders().size(), 4);
    QCOMPARE(parser.allHeaders().at(3), (std::pair<QByteArray, QByteArray>{"ICY-NAME", "Second"}));
    QCOMPARE(parser.refusal(), ResponseParser::Refusal::None);

    ResponseParser noType;
    QCOMPARE(noType.feed("ICY 200 OK\r\n\r\n"), Outcome::HeadersRead);
    QCOMPARE(noType.contentType(), QString());
}

void TestResponseParser::bodyOfAResponseThatIsNoStream()
{
    // A playlist sent as text: the session reads its body from the parser.
    const QByteArray head("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n");
    const QByteArray body("[playlist]\r\nFile1=http://radio.example/a\r\n");
    for (const qsizetype piece : {qsizetype(1), qsizetype(5), head.size() + 3, qsizetype(1000)}) {
        const QByteArray response = head + body;
        ResponseParser parser;
        QByteArray collected;
        for (qsizetype pos = 0; pos < response.size(); pos += piece) {
            const Outcome outcome = parser.feed(
                QByteArrayView(response).sliced(pos).first(std::min(piece, response.size() - pos)));
            QVERIFY(outcome == Outcome::NeedMore || outcome == Outcome::Refused);
            collected += parser.takeBody();
            QVERIFY(parser.takeAudio().isEmpty());
        }
        QCOMPARE(parser.refusal(), ResponseParser::Refusal::NotAStream);
        QCOMPARE(parser.contentType(), QStringLiteral("text/plain"));
        QCOMPARE(collected, body);
    }

    // Other refusals keep no body.
    ResponseParser redirect;
    QCOMPARE(redirect.feed("HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\nMoved"), Outcome::Refused);
    QCOMPARE(redirect.feed("more"), Outcome::Refused);
    QVERIFY(redirect.takeBody().isEmpty());
}

QTEST_GUILESS_MAIN(TestResponseParser)
#include "tst_responseparser.moc"
