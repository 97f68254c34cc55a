// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioSamples.h"
#include "HttpFileServer.h"
#include "TestFiles.h"
#include "audio/AudioPipeline.h"
#include "audio/Mp3Transcoder.h"
#include "audio/TranscodingWorker.h"
#include "bufferfiles/BufferFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 FileSize = 32 * 1024;

// Cuts `bytes` into arrivals of 1..4000 bytes, the same cut for a seed.
QList<QByteArray> arrivals(const QByteArray &bytes, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<QByteArray> out;
    for (qsizetype pos = 0; pos < bytes.size();) {
        const qsizetype n = random.bounded(1, 4000);
        out << bytes.mid(pos, n);
        pos += n;
    }
    return out;
}

// `audio` framed as an ICY station with metadata every `metaInt` bytes (a
// new title in every third block, empty blocks in between), cut so that the
// arrivals carry the audio of `audioArrivals`, each with the metadata blocks
// that follow its audio.
QList<QByteArray> withMetadata(const QList<QByteArray> &audioArrivals, qint64 metaInt,
                               QStringList &titles)
{
    QList<QByteArray> out;
    qint64 position = 0;
    int block = 0;
    for (const QByteArray &audio : audioArrivals) {
        QByteArray arrival;
        for (qsizetype i = 0; i < audio.size(); ++i) {
            arrival += audio[i];
            if (++position % metaInt != 0)
                continue;
            if (block++ % 3 != 0) {
                arrival += char(0);
                continue;
            }
            const QString title = QStringLiteral("Artist %1 - Song \u00e9").arg(block);
            titles << title;
            QByteArray meta = "StreamTitle='" + title.toUtf8() + "';StreamUrl='http://x/';";
            const int length = int((meta.size() + 15) / 16);
            meta.resize(length * 16, '\0');
            arrival += char(length) + meta;
        }
        out << arrival;
    }
    return out;
}

using AudioSamples::bufferFiles;

QString framesOfFiles(const QStringList &files, QByteArrayList &frames)
{
    return AudioSamples::framesOfFiles(files, FileSize, frames);
}

} // namespace

class TestAudioPipeline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mp3PassesThroughByteForByte_data();
    void mp3PassesThroughByteForByte();
    void repeatedTitleBlocks_data();
    void repeatedTitleBlocks();
    void convertsToMp3_data();
    void convertsToMp3();
    void refusesWhatCannotBeConverted_data();
    void refusesWhatCannotBeConverted();
    void endOfStreamKeepsAllAudio();
    void backlogHoldsArrivalsBack();
    void hlsPlaylists_data();
    void hlsPlaylists();

private:
    // Feeds `stream` through a fresh pipeline into `folder`, then ends the
    // stream and waits until everything is written.
    void run(AudioPipeline &pipeline, const QString &folder, const AudioStreamInfo &info,
             const QList<QByteArray> &arrivals);

    QTemporaryDir m_dir;
    QByteArray m_mp3;
};

void TestAudioPipeline::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_mp3 = AudioSamples::tone(m_dir.path(), "in.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}, 8);
    QVERIFY(!m_mp3.isEmpty());
}

void TestAudioPipeline::run(AudioPipeline &pipeline, const QString &folder,
                            const AudioStreamInfo &info, const QList<QByteArray> &arrivals)
{
    QVERIFY(pipeline.startSession(folder + u'/', FileSize));
    pipeline.beginStream(info);
    for (const QByteArray &arrival : arrivals)
        pipeline.feed(arrival);
    pipeline.endStream();
    QTRY_VERIFY_WITH_TIMEOUT(!pipeline.isFinishing(), 60000);
}

void TestAudioPipeline::mp3PassesThroughByteForByte_data()
{
    QTest::addColumn<qint64>("metaInt");
    QTest::newRow("no titles") << qint64(0);
    QTest::newRow("metaint 8192") << qint64(8192);
    QTest::newRow("metaint 16000") << qint64(16000);
}

void TestAudioPipeline::mp3PassesThroughByteForByte()
{
    QFETCH(qint64, metaInt);
    QStringList sent;
    const QList<QByteArray> audio = arrivals(m_mp3, 1);
    const QList<QByteArray> stream = metaInt ? withMetadata(audio, metaInt, sent) : audio;
    QVERIFY(!metaInt || sent.size() >= 3);

    QTemporaryDir plain;
    QTemporaryDir titled;
    {
        AudioPipeline pipeline;
        run(pipeline, plain.path(), {"audio/mpeg", "128", {}}, audio);
    }
    AudioPipeline pipeline;
    QSignalSpy format(&pipeline, &AudioPipeline::formatKnown);
    QStringList titles;
    connect(&pipeline, &AudioPipeline::titleChanged, this,
            [&](const QString &title, const QString &url) {
                QCOMPARE(url, "http://x/");
                titles << title;
            });
    run(pipeline, titled.path(), {"audio/mpeg", "128", metaInt ? QString::number(metaInt) : ""},
        stream);

    const QStringList plainFiles = bufferFiles(plain.path());
    const QStringList titledFiles = bufferFiles(titled.path());
    QVERIFY(plainFiles.size() > 3);
    QCOMPARE(titledFiles.size(), plainFiles.size());
    QByteArray all;
    for (qsizetype i = 0; i < plainFiles.size(); ++i) {
        QCOMPARE(readFile(titledFiles[i]), readFile(plainFiles[i]));
        all += readFile(plainFiles[i]);
    }
    QCOMPARE(all, m_mp3);
    QCOMPARE(titles, sent);
    QCOMPARE(format.size(), 1);
    QCOMPARE(format.at(0), QVariantList({"MP3", false}));
}

void TestAudioPipeline::repeatedTitleBlocks_data()
{
    QTest::addColumn<QStringList>("blocks"); // the metadata after each interval
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<qsizetype>("arrivalBytes");

    const QStringList a(5, QStringLiteral("StreamTitle='A';"));
    const QStringList b(3, QStringLiteral("StreamTitle='B';StreamUrl='http://x/';"));
    const QStringList back = a + b + a;
    QTest::newRow("back to a title, whole arrivals")
        << back << QStringList{"A", "B", "A"} << qsizetype(1 << 20);
    QTest::newRow("back to a title, 1000-byte arrivals")
        << back << QStringList{"A", "B", "A"} << qsizetype(1000);
    QTest::newRow("byte by byte") << back << QStringList{"A", "B", "A"} << qsizetype(1);
    // A block without a title, or the same title with another address, does
    // not announce the title again.
    QTest::newRow("same title, other block")
        << QStringList{"StreamTitle='A';", "StreamUrl='http://y/';", "StreamTitle='A';",
                       "StreamTitle='A';StreamUrl='http://z/';", "StreamTitle='C';"}
        << QStringList{"A", "C"} << qsizetype(777);
}

// Stations repeat the current title block after every interval: the title is
// announced once per change, and the audio stays byte for byte whatever the
// arrivals.
void TestAudioPipeline::repeatedTitleBlocks()
{
    QFETCH(QStringList, blocks);
    QFETCH(QStringList, expected);
    QFETCH(qsizetype, arrivalBytes);
    const qint64 metaInt = m_mp3.size() / (blocks.size() + 1);

    QByteArray stream;
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        stream += m_mp3.mid(i * metaInt, metaInt);
        QByteArray meta = blocks[i].toUtf8();
        const int length = int((meta.size() + 15) / 16);
        meta.resize(length * 16, '\0');
        stream += char(length) + meta;
    }
    stream += m_mp3.mid(blocks.size() * metaInt, metaInt - 1);
    const QByteArray audio = m_mp3.first(blocks.size() * metaInt + metaInt - 1);
    QList<QByteArray> cut;
    for (qsizetype pos = 0; pos < stream.size(); pos += arrivalBytes)
        cut << stream.mid(pos, arrivalBytes);

    QTemporaryDir folder;
    AudioPipeline pipeline;
    QStringList titles;
    connect(&pipeline, &AudioPipeline::titleChanged, this,
            [&titles](const QString &title) { titles << title; });
    run(pipeline, folder.path(), {"audio/mpeg", "128", QString::number(metaInt)}, cut);

    QCOMPARE(titles, expected);
    QByteArray written;
    for (const QString &file : bufferFiles(folder.path()))
        written += readFile(file);
    QCOMPARE(written.size(), audio.size());
    QVERIFY(written == audio);
}

void TestAudioPipeline::convertsToMp3_data()
{
    QTest::addColumn<QStringList>("codecArgs");
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<int>("channels");
    QTest::addColumn<bool>("corrupt");
    QTest::addColumn<QString>("codec");
    const QStringList adts{"-c:a", "aac", "-b:a", "128k", "-f", "adts"};
    QTest::newRow("AAC") << adts << "audio/aac" << 2 << false << "AAC";
    QTest::newRow("AAC labelled MP3") << adts << "audio/mpeg" << 2 << false << "AAC";
    QTest::newRow("AAC mono") << adts << "audio/aac" << 1 << false << "AAC";
    QTest::newRow("AAC corrupt frame") << adts << "audio/aac" << 2 << true << "AAC";
    QTest::newRow("Ogg Vorbis") << QStringList{"-c:a", "libvorbis", "-f", "ogg"} << "audio/ogg" << 2
                                << false << "Vorbis";
    QTest::newRow("Opus") << QStringList{"-c:a", "libopus", "-f", "ogg"} << "audio/ogg" << 2
                          << false << "Opus";
    QTest::newRow("FLAC") << QStringList{"-c:a", "flac", "-f", "flac"} << "audio/flac" << 2 << false
                          << "FLAC";
}

void TestAudioPipeline::convertsToMp3()
{
    QFETCH(QStringList, codecArgs);
    QFETCH(QString, contentType);
    QFETCH(int, channels);
    QFETCH(bool, corrupt);
    QFETCH(QString, codec);
    constexpr double Seconds = 10;
    QByteArray input =
        AudioSamples::tone(m_dir.path(), "convert.in", codecArgs, Seconds, 48000, channels);
    QVERIFY(!input.isEmpty());
    if (corrupt) {
        for (qsizetype i = input.size() / 2; i < input.size() / 2 + 300; ++i)
            input[i] = char(i * 37);
    }

    QTemporaryDir folder;
    AudioPipeline pipeline;
    QSignalSpy format(&pipeline, &AudioPipeline::formatKnown);
    QSignalSpy refused(&pipeline, &AudioPipeline::refused);
    run(pipeline, folder.path(), {contentType, "128", {}}, arrivals(input, 3));
    QCOMPARE(refused.size(), 0);
    QCOMPARE(format.size(), 1);
    QCOMPARE(format.at(0), QVariantList({codec, true}));

    QByteArrayList frames;
    const QStringList files = bufferFiles(folder.path());
    QVERIFY(files.size() > 2);
    const QString problem = framesOfFiles(files, frames);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const AudioSamples::Mp3Report report = AudioSamples::checkMp3(frames, folder.path());
    QVERIFY2(report.problem.isEmpty(), qPrintable(report.problem));
    QCOMPARE(report.bitrateKbps, 128);
    QVERIFY2(qAbs(report.seconds - Seconds) < Seconds * 0.02,
             qPrintable(QString::number(report.seconds)));
}

void TestAudioPipeline::refusesWhatCannotBeConverted_data()
{
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("named");
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    QRandomGenerator random(5);
    for (char &c : noise)
        c = char(random.bounded(256));
    QTest::newRow("noise, no label") << QString() << noise << "unrecognised";
    QTest::newRow("noise labelled AAC+") << "audio/aacp" << noise << "AAC";
    QTest::newRow("web page") << "text/html" << QByteArray("<html><body>").repeated(3000)
                              << "text/html";
}

void TestAudioPipeline::refusesWhatCannotBeConverted()
{
    QFETCH(QString, contentType);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, named);
    QTemporaryDir folder;
    AudioPipeline pipeline;
    QSignalSpy refused(&pipeline, &AudioPipeline::refused);
    QSignalSpy progress(&pipeline, &AudioPipeline::progress);
    QVERIFY(pipeline.startSession(folder.path() + u'/', FileSize));
    pipeline.beginStream({contentType, "128", {}});
    for (const QByteArray &arrival : arrivals(bytes, 9))
        pipeline.feed(arrival);
    pipeline.endStream();
    QTRY_COMPARE_WITH_TIMEOUT(refused.size(), 1, 20000);
    QTest::qWait(200);
    QCOMPARE(refused.size(), 1);
    const QString message = refused.at(0).at(0).toString();
    QVERIFY2(
        message.startsWith("The station sends " + named + " audio, which Tavrix cannot convert."),
        qPrintable(message));
    QCOMPARE(progress.size(), 0);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList());
}

// A connection lost in the middle: the converter's rest is written, the file
// is finished there, and the next connection's audio goes on in the next
// numbers, also when it arrives while the converter is still finishing.
void TestAudioPipeline::endOfStreamKeepsAllAudio()
{
    const QByteArray aac = AudioSamples::tone(m_dir.path(), "parts.aac",
                                              {"-c:a", "aac", "-b:a", "96k", "-f", "adts"}, 6);
    QVERIFY(!aac.isEmpty());
    QTemporaryDir folder;
    AudioPipeline pipeline;
    QVERIFY(pipeline.startSession(folder.path() + u'/', FileSize));
    pipeline.beginStream({"audio/aac", "96", {}});
    for (const QByteArray &arrival : arrivals(aac, 11))
        pipeline.feed(arrival);
    pipeline.endStream();
    // The next connection sends MP3, written only after the AAC's rest.
    pipeline.beginStream({"audio/mpeg", "128", {}});
    for (const QByteArray &arrival : arrivals(m_mp3, 12))
        pipeline.feed(arrival);
    pipeline.endStream();
    QTRY_VERIFY_WITH_TIMEOUT(!pipeline.isFinishing(), 30000);

    const QStringList files = bufferFiles(folder.path());
    QByteArray all;
    for (const QString &file : files)
        all += readFile(file);
    // The MP3 station's bytes follow the converted audio unchanged, from the
    // start of a file of their own.
    QVERIFY(all.endsWith(m_mp3));
    qsizetype converted = all.size() - m_mp3.size();
    QByteArrayList frames;
    qsizetype bytesOfFiles = 0;
    QStringList convertedFiles;
    for (const QString &file : files) {
        if (bytesOfFiles == converted)
            break;
        bytesOfFiles += readFile(file).size();
        convertedFiles << file;
    }
    QCOMPARE(bytesOfFiles, converted);
    const QString problem = framesOfFiles(convertedFiles, frames);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const AudioSamples::Mp3Report report = AudioSamples::checkMp3(frames, folder.path());
    QVERIFY2(report.problem.isEmpty(), qPrintable(report.problem));
    QVERIFY2(qAbs(report.seconds - 6) < 6 * 0.02, qPrintable(QString::number(report.seconds)));
}

// A converted station fed far faster than it converts: the audio path says
// it is full, what it holds unconverted stays within the limit and one
// arrival, and once it has caught up every second of the audio is in the
// files. MP3 is never held back.
void TestAudioPipeline::backlogHoldsArrivalsBack()
{
    constexpr qsizetype Arrival = 64 * 1024;
    // A tone repeated: ADTS frames stand alone, so the copies play on.
    const QByteArray aac = AudioSamples::tone(m_dir.path(), "fast.aac",
                                              {"-c:a", "aac", "-b:a", "128k", "-f", "adts"}, 20)
                               .repeated(3);
    QVERIFY(aac.size() > 2 * TranscodingWorker::BacklogLimitBytes);
    QTemporaryDir folder;
    AudioPipeline pipeline;
    QSignalSpy drained(&pipeline, &AudioPipeline::backlogDrained);
    QVERIFY(pipeline.startSession(folder.path() + u'/', FileSize));
    pipeline.beginStream({"audio/aac", "128", {}});
    qint64 mostHeld = 0;
    int pauses = 0;
    for (qsizetype pos = 0; pos < aac.size(); pos += Arrival) {
        if (!pipeline.wantsMore()) {
            ++pauses;
            QTRY_VERIFY_WITH_TIMEOUT(pipeline.wantsMore(), 60000);
            QCOMPARE(drained.size(), pauses);
            QVERIFY(pipeline.backlogBytes() <= TranscodingWorker::BacklogLowBytes);
        }
        pipeline.feed(aac.mid(pos, Arrival));
        mostHeld = std::max(mostHeld, pipeline.backlogBytes());
    }
    QVERIFY2(pauses > 0, "conversion kept up with arrivals fed without a pause");
    QVERIFY2(mostHeld <= TranscodingWorker::BacklogLimitBytes + Arrival,
             qPrintable(QString::number(mostHeld)));
    pipeline.endStream();
    QVERIFY(pipeline.wantsMore());
    QTRY_VERIFY_WITH_TIMEOUT(!pipeline.isFinishing(), 60000);
    QCOMPARE(pipeline.backlogBytes(), 0);

    // Conversion depends only on the bytes: the files hold exactly what the
    // audio converts to in one go.
    QByteArrayList frames;
    const QString problem = framesOfFiles(bufferFiles(folder.path()), frames);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    Mp3Transcoder reference(128);
    QVERIFY(reference.feed(aac));
    QVERIFY(reference.finish());
    QCOMPARE(frames, reference.takeFrames());

    AudioPipeline mp3;
    QTemporaryDir mp3Folder;
    QVERIFY(mp3.startSession(mp3Folder.path() + u'/', FileSize));
    mp3.beginStream({"audio/mpeg", "128", {}});
    for (int i = 0; i < 8; ++i) {
        mp3.feed(m_mp3);
        QVERIFY(mp3.wantsMore());
        QCOMPARE(mp3.backlogBytes(), 0);
    }
    mp3.stop();
}

void TestAudioPipeline::hlsPlaylists_data()
{
    QTest::addColumn<QStringList>("segmentArgs");
    QTest::addColumn<bool>("master");
    QTest::newRow("MPEG-TS") << QStringList{} << false;
    QTest::newRow("fragmented MP4") << QStringList{"-hls_segment_type", "fmp4"} << false;
    QTest::newRow("master with three variants") << QStringList{} << true;
}

void TestAudioPipeline::hlsPlaylists()
{
    QFETCH(QStringList, segmentArgs);
    QFETCH(bool, master);
    constexpr double Seconds = 9;
    QTemporaryDir served;
    QStringList args{
        "-hide_banner",
        "-loglevel",
        "error",
        "-f",
        "lavfi",
        "-i",
        QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(Seconds)};
    if (master) {
        args << "-map"
             << "0:a"
             << "-map"
             << "0:a"
             << "-map"
             << "0:a"
             << "-c:a"
             << "aac"
             << "-b:a:0"
             << "64k"
             << "-b:a:1"
             << "128k"
             << "-b:a:2"
             << "400k"
             << "-var_stream_map"
             << "a:0 a:1 a:2"
             << "-master_pl_name"
             << "master.m3u8";
    } else {
        args << "-c:a"
             << "aac"
             << "-b:a"
             << "128k";
    }
    args << "-f"
         << "hls"
         << "-hls_time"
         << "2"
         << "-hls_list_size"
         << "0" << segmentArgs << "-hls_segment_filename"
         << served.filePath(master                  ? "seg_%v_%03d.ts"
                            : segmentArgs.isEmpty() ? "seg_%03d.ts"
                                                    : "seg_%03d.m4s")
         << served.filePath(master ? "stream_%v.m3u8" : "stream.m3u8");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", args);
    QVERIFY(ffmpeg.waitForFinished(60000));
    QVERIFY2(ffmpeg.exitCode() == 0, ffmpeg.readAllStandardError().constData());
    if (master) {
        // The third variant claims more than 320 kbit/s: the second is best.
        QFile playlist(served.filePath("master.m3u8"));
        QVERIFY(playlist.open(QIODevice::WriteOnly | QIODevice::Truncate));
        playlist.write("#EXTM3U\n#EXT-X-VERSION:3\n"
                       "#EXT-X-STREAM-INF:BANDWIDTH=70400,CODECS=\"mp4a.40.2\"\nstream_0.m3u8\n"
                       "#EXT-X-STREAM-INF:BANDWIDTH=140800,CODECS=\"mp4a.40.2\"\nstream_1.m3u8\n"
                       "#EXT-X-STREAM-INF:BANDWIDTH=450000,CODECS=\"mp4a.40.2\"\nstream_2.m3u8\n");
    }

    HttpFileServer server(served.path());
    QVERIFY(server.isListening());
    QTemporaryDir folder;
    AudioPipeline pipeline;
    QSignalSpy failed(&pipeline, &AudioPipeline::hlsFailed);
    QSignalSpy format(&pipeline, &AudioPipeline::formatKnown);
    QVERIFY(pipeline.startSession(folder.path() + u'/', FileSize));
    pipeline.beginHls(QUrl(server.url(master ? "master.m3u8" : "stream.m3u8")), "128");
    // The playlist has an end: once played, the transcoder reports it lost.
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 60000);
    QCOMPARE(failed.at(0).at(0).toString(), "The playlist has ended");
    QCOMPARE(format.size(), 1);
    QCOMPARE(format.at(0), QVariantList({"AAC", true}));
    if (master) {
        // Only the best variant up to 320 kbit/s was fetched.
        const QStringList requests = server.requests();
        QVERIFY2(requests.contains("seg_1_004.ts"), qPrintable(requests.join(' ')));
        QVERIFY2(!requests.contains("seg_0_004.ts") && !requests.contains("seg_2_004.ts"),
                 qPrintable(requests.join(' ')));
    }

    QByteArrayList frames;
    const QString problem = framesOfFiles(bufferFiles(folder.path()), frames);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const AudioSamples::Mp3Report report = AudioSamples::checkMp3(frames, folder.path());
    QVERIFY2(report.problem.isEmpty(), qPrintable(report.problem));
    QVERIFY2(qAbs(report.seconds - Seconds) < Seconds * 0.02,
             qPrintable(QString::number(report.seconds)));
}

QTEST_GUILESS_MAIN(TestAudioPipeline)
#include "tst_audiopipeline.moc"
