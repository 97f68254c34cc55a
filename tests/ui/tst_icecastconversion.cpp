// SPDX-License-Identifier: GPL-3.0-or-later
// Stations that do not send MP3 (AAC, Ogg Vorbis, Ogg Opus), each carried by
// a real Icecast 2 on 127.0.0.1 from a tone made at test time, played through
// the main window as a user would, with the real hand-off timer: what
// reaches the game folder must play as the station's tone, in MP3 at
// 44.1 kHz stereo, with nothing lost or repeated.

#include "AudioSamples.h"
#include "GameFileRecorder.h"
#include "IcecastStation.h"
#include "MainWindowSession.h"
#include "station/StreamSession.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

constexpr double ToneHz = 660;
constexpr double Seconds = 24;
constexpr double Speed = 4; // the source sends four seconds of audio a second
constexpr int StationKbps = 256;

} // namespace

class IcecastConversionTest : public QObject
{
    Q_OBJECT

private slots:
    void convertedStationToGameFolder_data();
    void convertedStationToGameFolder();
};

void IcecastConversionTest::convertedStationToGameFolder_data()
{
    QTest::addColumn<QStringList>("codecArgs");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("codec");
    QTest::newRow("AAC-LC in ADTS") << QStringList{"-c:a", "aac", "-b:a", "256k", "-f", "adts"}
                                    << "tone.aac" << 44100 << QByteArray("audio/aac") << "AAC";
    QTest::newRow("Ogg Vorbis") << QStringList{"-c:a", "libvorbis", "-b:a", "256k", "-f", "ogg"}
                                << "tone.ogg" << 44100 << QByteArray("application/ogg") << "Vorbis";
    QTest::newRow("Ogg Opus") << QStringList{"-c:a", "libopus", "-b:a", "256k", "-f", "ogg"}
                              << "tone.opus" << 48000 << QByteArray("audio/ogg") << "Opus";
}

void IcecastConversionTest::convertedStationToGameFolder()
{
    QFETCH(QStringList, codecArgs);
    QFETCH(QString, fileName);
    QFETCH(int, sampleRate);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, codec);

    QTemporaryDir work;
    QVERIFY(work.isValid());
    QVERIFY(!AudioSamples::tone(work.path(), fileName, codecArgs, Seconds, sampleRate, 2, ToneHz)
                 .isEmpty());
    IcecastStation station(StationKbps, int(Seconds));
    station.setSourceFile(work.filePath(fileName), contentType, Seconds, Speed);
    QString error;
    QVERIFY2(station.start(&error), qPrintable(error));

    MainWindowSession session;
    auto *stream = session.prepareForGameFolderRun();
    QVERIFY(stream);
    QSignalSpy lost(stream, &StreamSession::reconnecting);
    GameFileRecorder recorder({session.gameFolder + QStringLiteral("Tavrix_00.mp3"),
                               session.gameFolder + QStringLiteral("Tavrix_01.mp3")});
    session.start(station.address());
    session.handOffTimer()->start(250);

    // While buffering, the status line tells the conversion.
    const QRegularExpression buffering(QStringLiteral("^Buffering .*Tavrix_0[01]\\.mp3 \\[ \\d+ KB "
                                                      "\\] \\(%1 \u2192 MP3\\)$")
                                           .arg(codec));
    QTRY_VERIFY2_WITH_TIMEOUT(buffering.match(session.status()).hasMatch(),
                              qPrintable(session.status() + u'\n' + station.logs()), 20000);
    QCOMPARE(session.get<QLabel>("lblBitrate")->text(), QStringLiteral("Bitrate: 256 Kbps"));

    // The source sends its file and ends; the listener loses the stream.
    QTRY_VERIFY2_WITH_TIMEOUT(station.sourceFinished(), qPrintable(station.logs()), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(lost.size() >= 1, 20000);
    // Every finished file goes to the game; the last one written stays.
    QTRY_VERIFY_WITH_TIMEOUT(session.bufferFiles().size() <= 1, 20000);
    QTest::qWait(500);
    QCOMPARE(session.get<QPushButton>("cmdStart")->text(), QStringLiteral("Cancel"));
    session.clickStart();
    session.handOffTimer()->stop();

    const QByteArrayList gameFiles = recorder.files();
    // 24 s at 256 kbit/s make six 128 KB files: all but the last reach the
    // game in this run.
    QVERIFY2(gameFiles.size() >= 4, qPrintable(QString::number(gameFiles.size())));
    const AudioSamples::Mp3Report played =
        AudioSamples::checkMp3Files(gameFiles, work.path(), ToneHz);
    QVERIFY2(played.problem.isEmpty(), qPrintable(played.problem));

    // The game's files and what is left in the buffer folder together are
    // the whole stream the station sent, once.
    const QByteArrayList rest = session.bufferFileContents();
    const AudioSamples::Mp3Report left =
        AudioSamples::checkRemainingMp3Files(rest, work.path(), ToneHz);
    QVERIFY2(left.problem.isEmpty(), qPrintable(left.problem));
    const double seconds = played.seconds + left.seconds;
    QVERIFY2(qAbs(seconds - Seconds) < Seconds * 0.02,
             qPrintable(QStringLiteral("%1 s decoded from %2 game files and %3 left, %4 s sent")
                            .arg(seconds)
                            .arg(gameFiles.size())
                            .arg(rest.size())
                            .arg(Seconds)));
    QCOMPARE(session.services.dialogs.messages.size(), 0);
}

QTEST_MAIN(IcecastConversionTest)
#include "tst_icecastconversion.moc"
