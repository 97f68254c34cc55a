// SPDX-License-Identifier: GPL-3.0-or-later
// Song titles of HLS stations, from ID3 tags in the segments, through the
// real audio path: playlists made here with FFmpeg's muxers, served over
// HTTP on 127.0.0.1, read by FFmpeg's HLS demuxer.

#include "AudioSamples.h"
#include "HlsSamples.h"
#include "HttpFileServer.h"
#include "audio/AudioPipeline.h"
#include "bufferfiles/BufferFolder.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 FileSize = 32 * 1024;
constexpr double Seconds = 8;

} // namespace

Q_DECLARE_METATYPE(HlsSamples::TimedTag)

class TestHlsTitles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void titlesFromId3Tags_data();
    void titlesFromId3Tags();

private:
    QTemporaryDir m_dir;
    QString m_aac;
};

void TestHlsTitles::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_aac = m_dir.filePath("tone.aac");
    QVERIFY(!AudioSamples::tone(m_dir.path(), "tone.aac",
                                {"-c:a", "aac", "-b:a", "128k", "-f", "adts"}, Seconds)
                 .isEmpty());
}

void TestHlsTitles::titlesFromId3Tags_data()
{
    QTest::addColumn<bool>("packed");
    QTest::addColumn<QList<HlsSamples::TimedTag>>("tags");
    QTest::addColumn<QStringList>("titles");

    const QString longTitle = QStringLiteral("A title longer than one hundred and twenty-seven "
                                             "bytes, so that its frame size reads differently in "
                                             "ID3v2.3 and ID3v2.4 \u00e9");
    // Every segment repeats the tag of the song that plays; a title is told
    // once, when it changes.
    QTest::newRow("MPEG-TS timed metadata")
        << false
        << QList<HlsSamples::TimedTag>{
               {0, HlsSamples::songTag("Artist One", "First Song", 0)},
               {2, HlsSamples::songTag("Artist One", "First Song", 2)},
               {4, HlsSamples::songTag("Sigur R\u00f3s", "Hopp\u00edpolla", 4)},
               {5, HlsSamples::songTag({}, {}, 5)},
               {6.5, HlsSamples::songTag({}, longTitle, 6.5, 3)},
           }
        << QStringList{"Artist One - First Song", "Sigur R\u00f3s - Hopp\u00edpolla", longTitle};
    // FFmpeg's HLS demuxer reads the tag that opens the first segment of
    // plain audio; it does not pass on later ones.
    QTest::newRow("packed audio, first segment's tag")
        << true
        << QList<HlsSamples::TimedTag>{{0, HlsSamples::songTag("Packed", "Song \u00fc", 0)},
                                       {2, HlsSamples::songTag("Packed", "Song \u00fc", 2)}}
        << QStringList{"Packed - Song \u00fc"};
}

void TestHlsTitles::titlesFromId3Tags()
{
    QFETCH(bool, packed);
    QFETCH(QList<HlsSamples::TimedTag>, tags);
    QFETCH(QStringList, titles);

    QTemporaryDir served;
    QVERIFY(served.isValid());
    QString error;
    if (packed) {
        QList<QByteArray> segmentTags;
        for (const HlsSamples::TimedTag &tag : tags)
            segmentTags << tag.tag;
        error = HlsSamples::writePackedAudioPlaylist(served.path(), m_aac, 2, segmentTags);
    } else {
        error = HlsSamples::writeTimedMetadataPlaylist(served.path(), m_aac, 2, tags);
    }
    QVERIFY2(error.isEmpty(), qPrintable(error));

    HttpFileServer server(served.path());
    QVERIFY(server.isListening());
    QTemporaryDir folder;
    AudioPipeline pipeline;
    QSignalSpy failed(&pipeline, &AudioPipeline::hlsFailed);
    QStringList told;
    QList<qint64> writtenAtTitle;
    connect(&pipeline, &AudioPipeline::titleChanged, this,
            [&](const QString &title, const QString &url) {
                told << title;
                QVERIFY(url.isEmpty());
                writtenAtTitle << pipeline.bufferFile().bytes() +
                                      pipeline.bufferFile().counter() * FileSize;
            });
    QVERIFY(pipeline.startSession(folder.path() + u'/', FileSize));
    pipeline.beginHls(QUrl(server.url("stream.m3u8")), "128");
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 60000);
    QCOMPARE(failed.at(0).at(0).toString(), "The playlist has ended");

    QCOMPARE(told, titles);
    // Each title comes with the audio of its time: later titles find more
    // audio written before them.
    for (qsizetype i = 1; i < writtenAtTitle.size(); ++i)
        QVERIFY2(writtenAtTitle[i] > writtenAtTitle[i - 1], qPrintable(told[i]));

    // The metadata stream takes nothing from the audio.
    QByteArrayList frames;
    const QString problem =
        AudioSamples::framesOfFiles(AudioSamples::bufferFiles(folder.path()), FileSize, frames);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(!frames.isEmpty());
    const AudioSamples::Mp3Report report = AudioSamples::checkMp3(frames, folder.path());
    QVERIFY2(report.problem.isEmpty(), qPrintable(report.problem));
    QVERIFY2(qAbs(report.seconds - Seconds) < Seconds * 0.02,
             qPrintable(QString::number(report.seconds)));
}

QTEST_GUILESS_MAIN(TestHlsTitles)
#include "tst_hlstitles.moc"
