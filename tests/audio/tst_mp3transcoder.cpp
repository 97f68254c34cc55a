// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioSamples.h"
#include "audio/Mp3Transcoder.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

enum class Arrivals { Whole, SmallRandom, Network };

// Feeds `input` in arrivals as a station might deliver it, then ends it.
struct Conversion
{
    QByteArrayList frames;
    QList<qsizetype> framesPerFeed;
    QString codec;
    QString error;
    bool ok = false;
};

Conversion convert(const QByteArray &input, Arrivals arrivals, int bitrate = 192)
{
    Mp3Transcoder transcoder(bitrate);
    Conversion result;
    QRandomGenerator random(42);
    qsizetype pos = 0;
    bool ok = true;
    while (ok && pos < input.size()) {
        qsizetype size = input.size();
        if (arrivals == Arrivals::SmallRandom)
            size = random.bounded(1, 700);
        else if (arrivals == Arrivals::Network)
            size = random.bounded(1, 16 * 1024);
        size = std::min(size, input.size() - pos);
        ok = transcoder.feed(QByteArrayView(input).sliced(pos, size));
        pos += size;
        const QByteArrayList frames = transcoder.takeFrames();
        result.framesPerFeed << frames.size();
        result.frames += frames;
    }
    result.ok = ok && transcoder.finish();
    result.frames += transcoder.takeFrames();
    result.codec = transcoder.codecName();
    result.error = transcoder.errorString();
    return result;
}

QStringList adts(int kbps)
{
    return {QStringLiteral("-c:a"),          QStringLiteral("aac"), QStringLiteral("-b:a"),
            QStringLiteral("%1k").arg(kbps), QStringLiteral("-f"),  QStringLiteral("adts")};
}

const QStringList vorbis{QStringLiteral("-c:a"), QStringLiteral("libvorbis"), QStringLiteral("-f"),
                         QStringLiteral("ogg")};

} // namespace

class TestMp3Transcoder : public QObject
{
    Q_OBJECT

private slots:
    void bitrateForStation_data();
    void bitrateForStation();
    void convertsStations_data();
    void convertsStations();
    void outputDoesNotDependOnArrivals();
    void refusesWhatIsNotAudio_data();
    void refusesWhatIsNotAudio();

private:
    QTemporaryDir m_dir;
};

void TestMp3Transcoder::bitrateForStation_data()
{
    QTest::addColumn<int>("station");
    QTest::addColumn<int>("mp3");
    QTest::newRow("unknown") << 0 << 192;
    QTest::newRow("negative") << -1 << 192;
    QTest::newRow("32 raised to the floor") << 32 << 128;
    QTest::newRow("128") << 128 << 128;
    QTest::newRow("129 up to 160") << 129 << 160;
    QTest::newRow("192") << 192 << 192;
    QTest::newRow("200 up to 224") << 200 << 224;
    QTest::newRow("256") << 256 << 256;
    QTest::newRow("257 up to 320") << 257 << 320;
    QTest::newRow("320") << 320 << 320;
    QTest::newRow("FLAC's 1411 capped") << 1411 << 320;
}

void TestMp3Transcoder::bitrateForStation()
{
    QFETCH(int, station);
    QFETCH(int, mp3);
    QCOMPARE(Mp3Transcoder::mp3BitrateFor(station), mp3);
}

void TestMp3Transcoder::convertsStations_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("arrivals");
    QTest::addColumn<int>("bitrate");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<double>("tolerance");
    QVERIFY(m_dir.isValid());
    const QString d = m_dir.path();
    const int whole = int(Arrivals::Whole);
    const int network = int(Arrivals::Network);

    const QByteArray aac = AudioSamples::tone(d, "lc.aac", adts(128), 6);
    QTest::newRow("AAC-LC in ADTS") << aac << 6.0 << whole << 192 << "AAC" << 0.02;
    QTest::newRow("AAC in arrivals of 1-700 bytes")
        << aac << 6.0 << int(Arrivals::SmallRandom) << 128 << "AAC" << 0.02;
    QTest::newRow("AAC mono at 22.05 kHz")
        << AudioSamples::tone(d, "mono.aac", adts(64), 5, 22050, 1) << 5.0 << network << 128
        << "AAC" << 0.02;
    QTest::newRow("Ogg Vorbis") << AudioSamples::tone(d, "a.ogg", vorbis, 5) << 5.0 << network
                                << 320 << "Vorbis" << 0.02;
    QTest::newRow("Ogg Opus") << AudioSamples::tone(d, "a.opus",
                                                    {"-c:a", "libopus", "-b:a", "96k", "-f", "ogg"},
                                                    5, 48000)
                              << 5.0 << network << 160 << "Opus" << 0.02;
    QTest::newRow("FLAC") << AudioSamples::tone(d, "a.flac", {"-c:a", "flac", "-f", "flac"}, 4)
                          << 4.0 << network << 256 << "FLAC" << 0.02;
    QTest::newRow("MP3 at 48 kHz mono")
        << AudioSamples::tone(d, "a.mp3", {"-c:a", "libmp3lame", "-b:a", "64k", "-f", "mp3"}, 4,
                              48000, 1)
        << 4.0 << network << 128 << "MP3" << 0.02;

    // An ADTS station that switches from 44.1 to 48 kHz.
    QTest::newRow("AAC 44.1 then 48 kHz")
        << AudioSamples::tone(d, "first.aac", adts(128), 3, 44100) +
               AudioSamples::tone(d, "second.aac", adts(128), 3, 48000)
        << 6.0 << network << 192 << "AAC" << 0.02;

    // An Icecast Ogg station starts a new chained stream with every song,
    // here with another sample rate and channel count.
    QTest::newRow("chained Ogg Vorbis, new song at 48 kHz mono")
        << AudioSamples::tone(d, "song1.ogg", vorbis, 3, 44100) +
               AudioSamples::tone(d, "song2.ogg", vorbis, 3, 48000, 1)
        << 6.0 << network << 192 << "Vorbis" << 0.02;

    // A frame damaged in the middle: it is skipped, the rest converts.
    const qsizetype frameStart = aac.indexOf("\xFF\xF1", aac.size() / 2);
    QByteArray corrupt = aac;
    for (qsizetype i = frameStart + 10; i < frameStart + 200; ++i)
        corrupt[i] = char(i * 131);
    QTest::newRow("AAC with a corrupt frame") << corrupt << 6.0 << network << 192 << "AAC" << 0.02;

    // Garbage across frame boundaries: FFmpeg's ADTS parser may take a false
    // header in it and lose the frames that false length covers before it
    // finds the frames again (the ffmpeg program loses the same).
    QByteArray garbage = aac;
    for (qsizetype i = garbage.size() / 2; i < garbage.size() / 2 + 300; ++i)
        garbage[i] = char(i * 131);
    QTest::newRow("AAC with 300 bytes of garbage")
        << garbage << 6.0 << network << 192 << "AAC" << 0.15;
}

void TestMp3Transcoder::convertsStations()
{
    QFETCH(QByteArray, input);
    QFETCH(double, seconds);
    QFETCH(int, arrivals);
    QFETCH(int, bitrate);
    QFETCH(QString, codec);
    QFETCH(double, tolerance);
    QVERIFY2(!input.isEmpty(), "ffmpeg could not make the input");

    const Conversion result = convert(input, Arrivals(arrivals), bitrate);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.codec, codec);

    const AudioSamples::Mp3Report report = AudioSamples::checkMp3(result.frames, m_dir.path());
    QVERIFY2(report.problem.isEmpty(), qPrintable(report.problem));
    QCOMPARE(report.bitrateKbps, bitrate);
    QVERIFY2(qAbs(report.seconds - seconds) <= seconds * tolerance,
             qPrintable(QStringLiteral("%1 s decoded for %2 s").arg(report.seconds).arg(seconds)));

    // Frames come out while the stream goes on, not only at its end; the
    // FLAC parser looks a few frames ahead, about a second.
    if (Arrivals(arrivals) != Arrivals::Whole) {
        const qsizetype duringFeeds =
            std::accumulate(result.framesPerFeed.begin(), result.framesPerFeed.end(), 0);
        const qsizetype heldBack = 1.5 * 44100 / 1152;
        QVERIFY2(duringFeeds >= result.frames.size() - heldBack,
                 qPrintable(QStringLiteral("only %1 of %2 frames before the end")
                                .arg(duringFeeds)
                                .arg(result.frames.size())));
    }
}

void TestMp3Transcoder::outputDoesNotDependOnArrivals()
{
    const QByteArray ogg = AudioSamples::tone(m_dir.path(), "same.ogg", vorbis, 3);
    const QByteArray aac = AudioSamples::tone(m_dir.path(), "same.aac", adts(96), 3);
    for (const QByteArray &input : {ogg, aac}) {
        QVERIFY(!input.isEmpty());
        const Conversion once = convert(input, Arrivals::Whole);
        const Conversion small = convert(input, Arrivals::SmallRandom);
        QVERIFY(once.ok && small.ok);
        QVERIFY(!once.frames.isEmpty());
        QCOMPARE(small.frames, once.frames);
    }
}

void TestMp3Transcoder::refusesWhatIsNotAudio_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("error");

    QByteArray page = "<html><body>";
    while (page.size() < Mp3Transcoder::ProbeLimitBytes + 10000)
        page += "<p>This station is offline. Please come back later.</p>\n";
    QTest::newRow("web page") << page
                              << "No audio format recognised in the first 256 KiB of the stream";
    QTest::newRow("short web page") << QByteArray("<html>Not found</html>")
                                    << "The stream ended before its audio format was recognised";
    QTest::newRow("nothing") << QByteArray() << "The stream ended before any audio arrived";

    const QByteArray aac = AudioSamples::tone(m_dir.path(), "cut.aac", adts(128), 1);
    QTest::newRow("ends before the first frame")
        << aac.left(150) << "The stream ended before any audio could be decoded";

    QByteArray noise(3 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QTest::newRow("noise") << noise << "";
}

void TestMp3Transcoder::refusesWhatIsNotAudio()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, error);

    const Conversion result = convert(input, Arrivals::Network);
    QVERIFY(!result.ok);
    QVERIFY(result.frames.isEmpty());
    QVERIFY(!result.error.isEmpty());
    if (!error.isEmpty())
        QCOMPARE(result.error, error);
}

QTEST_GUILESS_MAIN(TestMp3Transcoder)
#include "tst_mp3transcoder.moc"
