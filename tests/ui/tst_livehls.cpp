// SPDX-License-Identifier: GPL-3.0-or-later
// A live HLS station: a media playlist without an end that gains a segment
// every 1.5 s while its oldest one drops out (the media sequence number
// rises), AAC in MPEG-TS segments made at test time, served from an in-test
// HTTP server, played through the main window with the real hand-off timer.
// Two segments fail the first time they are asked for.

#include "AudioSamples.h"
#include "GameFileRecorder.h"
#include "HttpFileServer.h"
#include "MainWindowSession.h"
#include "station/StreamSession.h"

#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

namespace {

constexpr double ToneHz = 660;
constexpr double Seconds = 28;
constexpr int Window = 4;               // segments in the playlist at a time
constexpr int PublishIntervalMs = 1500; // a new segment this often

struct Segment
{
    QString name;
    double seconds = 0;
};

// The segments of a finished media playlist, in order.
QList<Segment> segmentsOf(const QByteArray &playlist)
{
    QList<Segment> segments;
    double seconds = 0;
    for (const QByteArray &line : playlist.split('\n')) {
        const QByteArray text = line.trimmed();
        if (text.startsWith("#EXTINF:"))
            seconds = text.mid(8, text.indexOf(',') - 8).toDouble();
        else if (!text.isEmpty() && !text.startsWith('#'))
            segments.push_back({QString::fromUtf8(text), seconds});
    }
    return segments;
}

// Rewrites the live playlist: the newest `Window` of the first `published`
// segments, and the end mark once all are out.
class LivePlaylist
{
public:
    LivePlaylist(const QString &file, const QList<Segment> &segments)
        : m_file(file)
        , m_segments(segments)
    {
        for (const Segment &segment : segments)
            m_targetSeconds = std::max(m_targetSeconds, int(std::ceil(segment.seconds)));
    }

    bool publish(int published)
    {
        const int first = std::max(0, published - Window);
        QByteArray text = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:" +
                          QByteArray::number(m_targetSeconds) +
                          "\n#EXT-X-MEDIA-SEQUENCE:" + QByteArray::number(first) + '\n';
        for (int i = first; i < published; ++i) {
            text += "#EXTINF:" + QByteArray::number(m_segments[i].seconds, 'f', 6) + ",\n" +
                    m_segments[i].name.toUtf8() + '\n';
        }
        if (published == m_segments.size())
            text += "#EXT-X-ENDLIST\n";
        QSaveFile file(m_file);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
    }

private:
    QString m_file;
    QList<Segment> m_segments;
    int m_targetSeconds = 1;
};

} // namespace

class LiveHlsTest : public QObject
{
    Q_OBJECT

private slots:
    void growingPlaylistToGameFolder();
};

void LiveHlsTest::growingPlaylistToGameFolder()
{
    QTemporaryDir served;
    QTemporaryDir work;
    QVERIFY(served.isValid() && work.isValid());
    const QByteArray all = AudioSamples::tone(
        work.path(), "all.m3u8",
        {"-c:a", "aac", "-b:a", "128k", "-f", "hls", "-hls_time", "2", "-hls_list_size", "0",
         "-hls_segment_filename", served.filePath("seg_%03d.ts")},
        Seconds, 44100, 2, ToneHz);
    QVERIFY(!all.isEmpty());
    const QList<Segment> segments = segmentsOf(all);
    QVERIFY2(segments.size() >= 12, qPrintable(QString::number(segments.size())));

    LivePlaylist playlist(served.filePath("live.m3u8"), segments);
    int published = Window;
    QVERIFY(playlist.publish(published));
    QTimer publisher;
    publisher.setInterval(PublishIntervalMs);
    QObject::connect(&publisher, &QTimer::timeout, &publisher, [&] {
        if (published < segments.size())
            QVERIFY(playlist.publish(++published));
    });
    publisher.start();

    HttpFileServer server(served.path());
    QVERIFY(server.isListening());
    const QString refused = segments[6].name;
    const QString dropped = segments[9].name;
    server.failNextRequest(refused, HttpFileServer::Fault::ServiceUnavailable);
    server.failNextRequest(dropped, HttpFileServer::Fault::DropConnection);

    MainWindowSession session;
    auto *stream = session.prepareForGameFolderRun();
    QVERIFY(stream);
    QSignalSpy lost(stream, &StreamSession::reconnecting);
    // A station whose playlist has ended is gone: reconnecting finds nothing.
    QObject::connect(stream, &StreamSession::reconnecting, &publisher,
                     [&] { QFile::remove(served.filePath("live.m3u8")); });
    GameFileRecorder recorder({session.gameFolder + QStringLiteral("Tavrix_00.mp3"),
                               session.gameFolder + QStringLiteral("Tavrix_01.mp3")});
    session.start(server.url(QStringLiteral("live.m3u8")));
    session.handOffTimer()->start(250);
    QTRY_VERIFY_WITH_TIMEOUT(session.status().endsWith(QStringLiteral(" (AAC \u2192 MP3)")), 20000);

    // The playlist ends once every segment is out; the session then loses
    // the station, and every finished file goes to the game.
    QTRY_VERIFY_WITH_TIMEOUT(lost.size() >= 1, 60000);
    QCOMPARE(published, segments.size());
    QTRY_VERIFY_WITH_TIMEOUT(session.bufferFiles().size() <= 1, 20000);
    QTest::qWait(500);
    session.clickStart();
    session.handOffTimer()->stop();

    // Every segment from the first one asked for to the last was fetched
    // once, the two that failed once more.
    const QStringList requests = server.requests();
    const QString log = requests.join(u' ');
    qsizetype first = -1;
    for (qsizetype i = 0; i < segments.size() && first < 0; ++i) {
        if (requests.contains(segments[i].name))
            first = i;
    }
    QVERIFY2(first >= 0 && first < Window, qPrintable(log));
    double servedSeconds = 0;
    for (qsizetype i = first; i < segments.size(); ++i) {
        const int expected = segments[i].name == refused || segments[i].name == dropped ? 2 : 1;
        QVERIFY2(requests.count(segments[i].name) == expected,
                 qPrintable(segments[i].name + QStringLiteral(" in ") + log));
        servedSeconds += segments[i].seconds;
    }

    // The game got the audio of far more than the first playlist held, as
    // the tone, in sound MP3.
    const QByteArrayList gameFiles = recorder.files();
    const AudioSamples::Mp3Report played =
        AudioSamples::checkMp3Files(gameFiles, work.path(), ToneHz);
    QVERIFY2(played.problem.isEmpty(), qPrintable(played.problem));
    double initialWindow = 0;
    for (qsizetype i = first; i < Window; ++i)
        initialWindow += segments[i].seconds;
    QVERIFY2(played.seconds > 2 * initialWindow,
             qPrintable(QStringLiteral("%1 s in the game").arg(played.seconds)));

    // With what is left in the buffer folder: the segments' audio, once.
    const AudioSamples::Mp3Report left =
        AudioSamples::checkRemainingMp3Files(session.bufferFileContents(), work.path(), ToneHz);
    QVERIFY2(left.problem.isEmpty(), qPrintable(left.problem));
    const double seconds = played.seconds + left.seconds;
    QVERIFY2(qAbs(seconds - servedSeconds) < servedSeconds * 0.02,
             qPrintable(QStringLiteral("%1 s decoded, %2 s in the segments served: %3")
                            .arg(seconds)
                            .arg(servedSeconds)
                            .arg(log)));
}

QTEST_MAIN(LiveHlsTest)
#include "tst_livehls.moc"
