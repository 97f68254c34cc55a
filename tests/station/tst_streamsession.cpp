// SPDX-License-Identifier: GPL-3.0-or-later
// The station session without a window, against scripted stations on
// 127.0.0.1: the request, the response in any split, buffer files rotating
// and numbered, refusals, failures, and stations that misbehave (one that
// drops and comes back is in tst_stations). Every case ends with a clear
// report, the files already written intact, and no crash or hang.

#include "AudioSamples.h"
#include "HttpFileServer.h"
#include "RecordedSession.h"
#include "ScriptedStation.h"
#include "TestFiles.h"
#include "audio/Mp3Transcoder.h"
#include "net/SocketModule.h"
#include "station/StationRequest.h"
#include "station/StreamSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/socket.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitizerBuild = true;
#else
constexpr bool AddressSanitizerBuild = false;
#endif

QList<QByteArray> cut(const QByteArray &bytes, const QList<qsizetype> &sizes)
{
    QList<QByteArray> chunks;
    qsizetype at = 0;
    for (qsizetype size : sizes) {
        chunks << bytes.mid(at, size);
        at += size;
    }
    if (at < bytes.size())
        chunks << bytes.mid(at);
    return chunks;
}

QByteArray noiseBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char &c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

using SessionUnderTest = RecordedSession;

// The process's anonymous resident memory in bytes (RssAnon), 0 if unknown.
qint64 anonymousMemory()
{
    const QByteArray kilobytes = processStatus(QCoreApplication::applicationPid(), "RssAnon");
    return kilobytes.split(' ').value(0).toLongLong() * 1024;
}

QString closedText(const ScriptedStation &station)
{
    return QStringLiteral("The station ") + station.address() +
           QStringLiteral(" closed the connection.");
}

} // namespace

class StreamSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void requestAsked_data();
    void requestAsked();
    void responseInAnySplit_data();
    void responseInAnySplit();
    void bufferFilesRotateAndContinueNumbering();
    void refusals_data();
    void refusals();
    void connectionFailure_data();
    void connectionFailure();
    void oneByteEveryTenthOfASecond();
    void closedInTheHeaderBlock();
    void resetInTheAudio();
    void diskFull();
    void bufferFolderRemoved();
    void convertedStationHeldBack();
    void hlsSilenceLimit_data();
    void hlsSilenceLimit();
    void hlsReaderThatStalls();
};

void StreamSessionTest::requestAsked_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("requestLine");
    QTest::newRow("no path") << QString() << QByteArray("GET / HTTP/1.0\r\n");
    QTest::newRow("path") << QStringLiteral("/stream") << QByteArray("GET /stream HTTP/1.0\r\n");
}

void StreamSessionTest::requestAsked()
{
    QFETCH(QString, suffix);
    QFETCH(QByteArray, requestLine);
    SessionUnderTest test;
    QVERIFY2(test.session.hasSocket(), qPrintable(test.loadError));
    ScriptedStation station;
    test.start(QStringLiteral("http://") + station.address() + suffix);
    QVERIFY(test.session.isStreaming());
    QCOMPARE(test.session.stationUrl(), station.address() + suffix);
    // The full request: the station's host named, the program named, no
    // titles asked for unless the window wants them.
    QTRY_VERIFY(station.request().endsWith("\r\n\r\n"));
    QCOMPARE(station.request(),
             stationRequest(*parseStationAddress(station.address() + suffix).address));
    QVERIFY(station.request().startsWith(requestLine));
    QVERIFY(station.request().contains("\r\nHost: " + station.address().toLatin1() + "\r\n"));
    QVERIFY(station.request().contains("\r\nUser-Agent: Tavrix/"));
    QVERIFY(!station.request().contains("Icy-MetaData"));
    // The first buffer file is made with the first audio, not before.
    QVERIFY(!QFileInfo::exists(test.folder() + QStringLiteral("000_strm.mp3")));
    QVERIFY(test.stops.isEmpty());
}

void StreamSessionTest::responseInAnySplit_data()
{
    QTest::addColumn<QList<qsizetype>>("sizes");
    const QByteArray header = icyHeader("Split FM", "Jazz", "http://split.example", "48");
    const qsizetype status = header.indexOf('\n') + 1;
    QList<qsizetype> bytewise(header.size() + 20, 1);
    QTest::newRow("all at once") << QList<qsizetype>{};
    QTest::newRow("status, headers, audio") << QList<qsizetype>{status, header.size() - status};
    QTest::newRow("byte by byte") << bytewise;
    QTest::newRow("headers with audio") << QList<qsizetype>{header.size() + 1000};
    QTest::newRow("header block cut in a line") << QList<qsizetype>{status + 7, 30, 1, 1};
    QTest::newRow("cut between CR and LF") << QList<qsizetype>{status - 1, header.size() - status};
}

void StreamSessionTest::responseInAnySplit()
{
    QFETCH(QList<qsizetype>, sizes);
    const QByteArray audio = audioBytes(100 * 1024, 3);
    const QByteArray response = icyHeader("Split FM", "Jazz", "http://split.example", "48") + audio;

    SessionUnderTest test;
    ScriptedStation station;
    station.pauseMs = 1;
    station.chunks = cut(response, sizes);
    test.start(station.address()); // 128 KB: the whole audio fits into the first file

    QTRY_COMPARE(test.allBufferBytes().size(), audio.size());
    QCOMPARE(test.bufferFiles(), QStringList{QStringLiteral("000_strm.mp3")});
    QCOMPARE(test.allBufferBytes(), audio);
    QCOMPARE(test.headers.size(), 1);
    QCOMPARE(test.headers[0].name, QStringLiteral("Split FM"));
    QCOMPARE(test.headers[0].genre, QStringLiteral("Jazz"));
    QCOMPARE(test.headers[0].url, QStringLiteral("http://split.example"));
    QCOMPARE(test.headers[0].bitrate, QStringLiteral("48"));
    QCOMPARE(test.lastProgress, audio.size());
    QCOMPARE(test.fileSizeBytes, 128 * 1024);
    QVERIFY(test.stops.isEmpty());
}

void StreamSessionTest::bufferFilesRotateAndContinueNumbering()
{
    const qint64 limit = 128 * 1024;
    const QByteArray audio = audioBytes(6 * 50 * 1024, 9);
    SessionUnderTest test;
    ScriptedStation station;
    station.pauseMs = 60;
    station.chunks = QList<QByteArray>{icyHeader("Rotate", "", "", "32")} +
                     cut(audio, {50 * 1024, 50 * 1024, 50 * 1024, 50 * 1024, 50 * 1024});
    test.start(station.address());

    QTRY_COMPARE(test.allBufferBytes().size(), audio.size());
    QCOMPARE(test.allBufferBytes(), audio);
    const QStringList files = test.bufferFiles();
    QCOMPARE(files.first(), QStringLiteral("000_strm.mp3"));
    QVERIFY2(files.size() >= 2, qPrintable(files.join(u' ')));
    // Every finished file holds the whole 417-byte frames that fit the size.
    for (qsizetype i = 0; i + 1 < files.size(); ++i)
        QCOMPARE(QFileInfo(test.folder() + files[i]).size(), limit / 417 * 417);
    QCOMPARE(test.folder() + files.last(), test.session.bufferFile().fileName());
    const quint32 counterAfterFirst = test.session.bufferFile().counter();
    QCOMPARE(files.last(), BufferFolder::fileNameFor(counterAfterFirst));
    // The progress tells what the file written by the last arrival holds:
    // the newest file, or the one before when that arrival completed it.
    const qint64 newest = QFileInfo(test.folder() + files.last()).size();
    QCOMPARE(test.lastProgress,
             newest > 0 ? newest : QFileInfo(test.folder() + files[files.size() - 2]).size());

    // Cancel, then a second session in an emptied folder: it begins with 000
    // again and goes on with the counter of the first.
    test.session.cancel();
    QVERIFY(!test.session.isStreaming());
    QVERIFY(!test.session.bufferFile().isOpen());
    for (const QString &name : files)
        QVERIFY(QFile::remove(test.folder() + name));
    station.chunks = QList<QByteArray>{icyHeader("Rotate", "", "", "32")} +
                     cut(audio.left(150 * 1024), {50 * 1024, 50 * 1024});
    test.start(station.address());
    QTRY_COMPARE(test.bufferFiles(),
                 (QStringList{QStringLiteral("000_strm.mp3"),
                              BufferFolder::fileNameFor(counterAfterFirst + 1)}));
    QTRY_COMPARE(test.allBufferBytes(), audio.left(150 * 1024));
}

void StreamSessionTest::refusals_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    const auto inTwo = [](const QByteArray &response) { return cut(response, {1000, 30000}); };
    QTest::newRow("not found") << inTwo("HTTP/1.0 404 Not Found\r\n\r\n");
    QTest::newRow("web page") << inTwo(
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>Hi</body></html>");
    QTest::newRow("200 elsewhere") << inTwo("HTTP 200 OK\r\nicy-name:x\r\n\r\n");
    QByteArray garbage = audioBytes(70 * 1024, 17);
    garbage.replace('\n', 'x');
    QTest::newRow("garbage") << inTwo(garbage);
    QTest::newRow("header over the cap")
        << inTwo("ICY 200 OK\r\nicy-name:" + QByteArray(70 * 1024, 'n') + "\r\n\r\n");

    // Random bytes where the response or its header block should be.
    QByteArray noise = noiseBytes(200 * 1024);
    noise.replace("\r\n\r\n", "xxxx");
    noise.replace("\n\n", "xx");
    noise.replace("\n\r\n", "xxx");
    QTest::newRow("random bytes instead of a response")
        << QList<QByteArray>{noise.left(100 * 1024), noise.mid(100 * 1024)};
    QTest::newRow("random bytes instead of the header block")
        << QList<QByteArray>{"ICY 200 OK\r\n", noise.left(100 * 1024), noise.mid(100 * 1024)};

    // One header line of a megabyte, in 64 KB pieces.
    QList<QByteArray> megabyteLine{"ICY 200 OK\r\nicy-name:"};
    for (int i = 0; i < 16; ++i)
        megabyteLine << QByteArray(64 * 1024, 'n');
    megabyteLine << "\r\n\r\n";
    QTest::newRow("megabyte header line") << megabyteLine;
}

void StreamSessionTest::refusals()
{
    QFETCH(QList<QByteArray>, chunks);
    SessionUnderTest test;
    ScriptedStation station;
    station.pauseMs = 1;
    station.chunks = chunks;
    test.start(station.address());

    QTRY_COMPARE(test.stops.size(), 1);
    QCOMPARE(test.stops[0].reason, SessionStop::Reason::Refused);
    // The reason follows where the station gave one (its status line, a web page).
    QVERIFY2(test.stops[0].message.startsWith(QStringLiteral("Server is unavailable.")),
             qPrintable(test.stops[0].message));
    QCOMPARE(test.stops[0].status,
             QStringLiteral("Could not connect to ") + station.address() + QStringLiteral("."));
    QVERIFY(test.headers.isEmpty());
    QVERIFY(!test.session.isStreaming());
    QVERIFY(!test.session.bufferFile().isOpen());
    // A refused station leaves no buffer file.
    QCOMPARE(test.bufferFiles(), QStringList());
    // Whatever else the station sends changes nothing.
    QTest::qWait(50);
    QCOMPARE(test.stops.size(), 1);
    QCOMPARE(test.allBufferBytes(), QByteArray());
}

void StreamSessionTest::connectionFailure_data()
{
    QTest::addColumn<QString>("address");
    const quint16 port = closedPort();
    QVERIFY(port != 0);
    QTest::newRow("nothing listens") << QStringLiteral("127.0.0.1:") + QString::number(port);
    // A name with an empty label is refused by the resolver itself, without
    // asking any name server.
    QTest::newRow("host that does not resolve") << QStringLiteral("no..such..host:8000");
}

void StreamSessionTest::connectionFailure()
{
    QFETCH(QString, address);
    SessionUnderTest test;
    test.start(address);

    QTRY_COMPARE(test.stops.size(), 1);
    QCOMPARE(test.stops[0].reason, SessionStop::Reason::Failed);
    QCOMPARE(test.stops[0].status,
             QStringLiteral("The connection to ") + address + QStringLiteral(" failed."));
    // The message names the station and the system's reason; the session
    // is over without a cancel.
    QVERIFY2(test.stops[0].message.startsWith(QStringLiteral("Could not connect to ") + address +
                                              QStringLiteral(": ")) &&
                 test.stops[0].message.size() > address.size() + 22,
             qPrintable(test.stops[0].message));
    QVERIFY(test.stops[0].endsSession());
    QVERIFY(test.bufferFiles().isEmpty());
    QVERIFY(!test.session.isStreaming());
}

void StreamSessionTest::oneByteEveryTenthOfASecond()
{
    const QByteArray header = "ICY 200 OK\r\nicy-name:Slow\r\nicy-br:8\r\n\r\n";
    SessionUnderTest test;
    ScriptedStation station;
    station.pauseMs = 100;
    for (char c : header)
        station.chunks << QByteArray(1, c);
    station.chunks << audioBytes(1024);
    test.start(station.address());

    // Half-way through, nothing has been read yet.
    QTest::qWait(1500);
    QVERIFY(test.headers.isEmpty());
    QVERIFY(test.stops.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(test.headers.size(), 1, 10000);
    QCOMPARE(test.headers[0].name, QStringLiteral("Slow"));
    QTRY_COMPARE(test.allBufferBytes(), audioBytes(1024));
    QVERIFY(test.stops.isEmpty());
}

void StreamSessionTest::closedInTheHeaderBlock()
{
    SessionUnderTest test;
    ScriptedStation station;
    station.chunks = {QByteArray("ICY 200 OK\r\nicy-name:Half\r\nicy-ge")};
    station.closeAfterChunks = true;
    test.start(station.address());

    QTRY_COMPARE(test.stops.size(), 1);
    QCOMPARE(test.stops[0].reason, SessionStop::Reason::Closed);
    QCOMPARE(test.stops[0].status, closedText(station));
    QVERIFY(test.headers.isEmpty());
    // No audio came, so no buffer file was made.
    QCOMPARE(test.bufferFiles(), QStringList());
    QVERIFY(!test.session.bufferFile().isOpen());
}

void StreamSessionTest::resetInTheAudio()
{
    const QByteArray audio = audioBytes(60 * 1024, 5);
    SessionUnderTest test;
    ScriptedStation station;
    station.chunks = {icyHeader("Reset FM", "", "", "32"), audio};
    test.start(station.address());
    QTRY_COMPARE(test.allBufferBytes(), audio);

    // Abort with a zero linger time: the peer sees a reset, not a close.
    auto *client = station.findChild<QTcpSocket *>();
    QVERIFY(client);
    const linger resetAtOnce{1, 0};
    QCOMPARE(::setsockopt(int(client->socketDescriptor()), SOL_SOCKET, SO_LINGER, &resetAtOnce,
                          sizeof resetAtOnce),
             0);
    client->abort();

    // A reset after audio is a lost connection like a close: retried.
    QTRY_COMPARE(test.reconnects.size(), 1);
    QVERIFY(test.stops.isEmpty());
    QCOMPARE(test.allBufferBytes(), audio);
    test.session.cancel();
    QVERIFY(!test.session.bufferFile().isOpen());
}

void StreamSessionTest::diskFull()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("This system has no /dev/full to stand for a full disk.");
    const QByteArray first = audioBytes(140 * 1024, 1);
    SessionUnderTest test;
    ScriptedStation station;
    station.chunks = {icyHeader("Full", "", "", "32"), first.left(10 * 1024)};
    test.start(station.address());
    QTRY_COMPARE(test.allBufferBytes().size(), 10 * 1024);

    // The next buffer file lands on a device that is always full.
    const QString next = test.folder() + QStringLiteral("001_strm.mp3");
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), next));
    station.send(first.mid(10 * 1024));
    QTRY_COMPARE(test.session.bufferFile().fileName(), next);
    station.send(audioBytes(4096));

    QTRY_COMPARE(test.stops.size(), 1);
    QCOMPARE(test.stops[0].reason, SessionStop::Reason::FileError);
    QCOMPARE(test.stops[0].status,
             QStringLiteral("Buffering stopped: a buffer file could not be written."));
    const QString text = test.stops[0].message;
    QVERIFY2(text.contains(next), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("No space left on device")), qPrintable(text));
    // The frame that did not fit went to the next file.
    QCOMPARE(readFile(test.folder() + QStringLiteral("000_strm.mp3")),
             first.left(128 * 1024 / 417 * 417));
    QVERIFY(!test.session.bufferFile().isOpen());
    // The connection is closed: nothing more is reported.
    station.send(audioBytes(4096));
    QTest::qWait(50);
    QCOMPARE(test.stops.size(), 1);
}

void StreamSessionTest::bufferFolderRemoved()
{
    SessionUnderTest test;
    ScriptedStation station;
    station.chunks = {icyHeader("Vanishing", "", "", "32"), audioBytes(10 * 1024)};
    test.start(station.address());
    QTRY_COMPARE(test.allBufferBytes().size(), 10 * 1024);

    QVERIFY(QDir(test.root.path()).removeRecursively());
    station.send(audioBytes(130 * 1024));

    QTRY_COMPARE(test.stops.size(), 1);
    QCOMPARE(test.stops[0].reason, SessionStop::Reason::FileError);
    const QString text = test.stops[0].message;
    QVERIFY2(text.contains(test.folder() + QStringLiteral("001_strm.mp3")), qPrintable(text));
    QVERIFY(!test.session.bufferFile().isOpen());
}

// An AAC station sending faster than it is converted: the session leaves
// what the audio path cannot take yet in the connection, which slows the
// station down. No audio is lost, the pauses never count as silence (the
// limit here is far shorter than a pause), and the process does not hold the
// unconverted bytes in memory.
void StreamSessionTest::convertedStationHeldBack()
{
    // A tone repeated: ADTS frames stand alone, so the copies play on.
    QTemporaryDir samples;
    const QByteArray tone = AudioSamples::tone(samples.path(), QStringLiteral("fast.aac"),
                                               {"-c:a", "aac", "-b:a", "320k", "-f", "adts"}, 30);
    QVERIFY(!tone.isEmpty());
    // The first, short station pays what the first conversion costs once
    // (threads, codec tables); the second is measured.
    for (const int copies : {2, 10}) {
        const QByteArray aac = tone.repeated(copies);
        ScriptedStation station;
        station.pauseMs = 0;
        station.maxUnsentBytes = 64 * 1024;
        station.closeAfterChunks = true;
        station.chunks << "ICY 200 OK\r\ncontent-type:audio/aac\r\nicy-br:320\r\n\r\n";
        for (qsizetype pos = 0; pos < aac.size(); pos += 64 * 1024)
            station.chunks << aac.mid(pos, 64 * 1024);

        SessionUnderTest test;
        test.session.setSilenceLimit(std::chrono::milliseconds(300));
        test.session.setReconnectScale(1000);
        QSignalSpy drained(test.session.audio(), &AudioPipeline::backlogDrained);
        const qint64 before = anonymousMemory();
        QVERIFY(before > 0);
        qint64 peak = before;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this,
                [&] { peak = std::max(peak, anonymousMemory()); });
        sampler.start(5);
        test.start(station.address(), 256);
        QTRY_COMPARE_WITH_TIMEOUT(test.reconnects.size(), 1, 300000);
        QCOMPARE(test.lossReasons[0], closedText(station));
        QTRY_VERIFY_WITH_TIMEOUT(!test.session.audio()->isFinishing(), 60000);
        sampler.stop();
        QVERIFY(test.stops.isEmpty());
        QVERIFY2(drained.size() > 0, "the station was never held back");
        qInfo("%d copies: %lld bytes sent, memory grew by %lld", copies, qint64(aac.size()),
              peak - before);
        // AddressSanitizer keeps freed memory in quarantine: the figure says
        // nothing about the queue there.
        if (copies > 2 && !AddressSanitizerBuild)
            QVERIFY2(peak - before < aac.size() / 2,
                     qPrintable(QStringLiteral("memory grew by %1 bytes while %2 were sent")
                                    .arg(peak - before)
                                    .arg(aac.size())));

        // Conversion depends only on the bytes: the files hold exactly what
        // the station's audio converts to in one go.
        Mp3Transcoder reference(320);
        QVERIFY(reference.feed(aac));
        QVERIFY(reference.finish());
        QCOMPARE(test.allBufferBytes(), reference.takeFrames().join());
        test.session.cancel();
    }
}

void StreamSessionTest::hlsSilenceLimit_data()
{
    QTest::addColumn<int>("silenceMs");
    QTest::addColumn<QByteArray>("playlist");
    QTest::addColumn<int>("expectedMs");
    const QByteArray media = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:%1\n"
                             "#EXTINF:9.8,\nseg1.ts\n";
    QTest::newRow("long segments") << 15000 << QByteArray(media).replace("%1", "10") << 20000;
    QTest::newRow("short segments") << 15000 << QByteArray(media).replace("%1", "4") << 15000;
    QTest::newRow("CRLF lines") << 15000
                                << QByteArray(media).replace("%1", "12").replace("\n", "\r\n")
                                << 24000;
    QTest::newRow("master playlist")
        << 15000 << QByteArray("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=128000\nlow.m3u8\n") << 30000;
    QTest::newRow("not a number") << 15000 << QByteArray(media).replace("%1", "ten") << 30000;
    QTest::newRow("negative") << 15000 << QByteArray(media).replace("%1", "-5") << 30000;
    QTest::newRow("absurd") << 15000 << QByteArray(media).replace("%1", "99999999999999999999")
                            << 30000;
    QTest::newRow("shorter limit in tests") << 500 << QByteArray(media).replace("%1", "1") << 2000;
}

void StreamSessionTest::hlsSilenceLimit()
{
    QFETCH(int, silenceMs);
    QFETCH(QByteArray, playlist);
    QFETCH(int, expectedMs);
    QCOMPARE(StreamSession::hlsSilenceLimit(std::chrono::milliseconds(silenceMs), playlist).count(),
             expectedMs);
}

// A live HLS station whose server hangs without closing: once it has given
// audio, the session counts it as lost within its limit and reconnects; when
// it hangs before any audio, the session ends as for a station that never
// sent.
void StreamSessionTest::hlsReaderThatStalls()
{
    QTemporaryDir served;
    // Without its end tag the playlist is live: it may yet grow.
    QByteArray playlist = AudioSamples::tone(
        served.path(), "live.m3u8",
        {"-c:a", "aac", "-b:a", "128k", "-f", "hls", "-hls_time", "1", "-hls_list_size", "0",
         "-hls_segment_filename", served.filePath("seg_%03d.ts")},
        6);
    QVERIFY(playlist.contains("#EXT-X-TARGETDURATION:1\n"));
    playlist.replace("#EXT-X-ENDLIST\n", "");
    writeFile(served.filePath("live.m3u8"), playlist);
    HttpFileServer server(served.path());
    QVERIFY(server.isListening());
    constexpr qint64 LimitMs = 2000; // twice the target duration

    SessionUnderTest test;
    test.session.setSilenceLimit(std::chrono::milliseconds(500));
    test.session.setReconnectScale(0.01);
    QSignalSpy reconnected(&test.session, &StreamSession::reconnected);
    QElapsedTimer sinceAudio;
    qint64 silentMs = -1;
    connect(&test.session, &StreamSession::progress, this, [&] {
        if (!sinceAudio.isValid())
            server.unansweredSuffixes = {QStringLiteral(".m3u8"), QStringLiteral(".ts")};
        sinceAudio.start();
    });
    connect(&test.session, &StreamSession::reconnecting, this, [&] {
        silentMs = sinceAudio.elapsed();
        server.unansweredSuffixes.clear();
    });
    test.start(server.url(QStringLiteral("live.m3u8")));
    QTRY_COMPARE_WITH_TIMEOUT(test.reconnects.size(), 1, 30000);
    QVERIFY2(silentMs >= LimitMs - 100 && silentMs < LimitMs + 1500,
             qPrintable(QString::number(silentMs)));
    QVERIFY2(test.lossReasons[0].endsWith(QStringLiteral("stopped sending.")),
             qPrintable(test.lossReasons[0]));
    QTRY_COMPARE_WITH_TIMEOUT(reconnected.size(), 1, 30000);
    QVERIFY(test.stops.isEmpty());
    test.session.cancel();

    server.unansweredSuffixes = {QStringLiteral(".ts")};
    SessionUnderTest never;
    never.session.setSilenceLimit(std::chrono::milliseconds(500));
    QElapsedTimer sinceStart;
    sinceStart.start();
    never.start(server.url(QStringLiteral("live.m3u8")));
    QTRY_COMPARE_WITH_TIMEOUT(never.stops.size(), 1, 30000);
    QVERIFY2(sinceStart.elapsed() < LimitMs + 3000,
             qPrintable(QString::number(sinceStart.elapsed())));
    QCOMPARE(never.stops[0].reason, SessionStop::Reason::Closed);
    QVERIFY2(never.stops[0].status.endsWith(QStringLiteral("stopped sending.")),
             qPrintable(never.stops[0].status));
    QVERIFY(never.reconnects.isEmpty());
    QVERIFY(never.bufferFiles().isEmpty());
}

QTEST_GUILESS_MAIN(StreamSessionTest)
#include "tst_streamsession.moc"
