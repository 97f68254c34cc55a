// SPDX-License-Identifier: GPL-3.0-or-later
// A real Icecast 2 station with changing titles, through the main window and
// its real one-second hand-off: every file the game gets is whole MP3 frames
// that players take without a doubt, the game's files and what stays in the
// buffer folder are the station's audio byte for byte, and once the game has
// both names neither is ever missing. TAVRIX_STATION_SECONDS sets how long
// the station is listened to (scripts/check-game-files runs ten minutes).

#include "AudioSamples.h"
#include "GameFileRecorder.h"
#include "GameFileWatcher.h"
#include "IcecastStation.h"
#include "MainWindowSession.h"
#include "PlainListener.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class IcecastFramesTest : public QObject
{
    Q_OBJECT

private slots:
    void wholeFramesReachTheGame_data();
    void wholeFramesReachTheGame();
};

void IcecastFramesTest::wholeFramesReachTheGame_data()
{
    QTest::addColumn<int>("kbps");
    QTest::newRow("128") << 128;
    QTest::newRow("320") << 320;
}

void IcecastFramesTest::wholeFramesReachTheGame()
{
    QFETCH(int, kbps);
    const int seconds = qEnvironmentVariableIsSet("TAVRIX_STATION_SECONDS")
                            ? qEnvironmentVariableIntValue("TAVRIX_STATION_SECONDS")
                            : 24;
    QTemporaryDir work;
    QVERIFY(work.isValid());
    IcecastStation station(kbps, 17);
    QString error;
    QVERIFY2(station.start(&error), qPrintable(error));
    PlainListener plain(station.port());
    QTRY_VERIFY_WITH_TIMEOUT(plain.audio().size() > 0, 10000);

    // A new title every few seconds, each in the stream's title blocks.
    int song = 0;
    QTimer titles;
    QObject::connect(&titles, &QTimer::timeout, &titles, [&] {
        QString ignored;
        station.setTitle(QStringLiteral("Song %1").arg(++song), &ignored);
    });
    titles.start(3000);

    MainWindowSession session;
    session.useCustomSize(0); // 128 KB
    const std::array<QString, 2> gameFiles{session.gameFolder + QStringLiteral("Tavrix_00.mp3"),
                                           session.gameFolder + QStringLiteral("Tavrix_01.mp3")};
    GameFileRecorder recorder(gameFiles);
    GameFileWatcher watcher(gameFiles, std::chrono::milliseconds(10));
    session.start(station.address());
    session.handOffTimer()->start();
    QTest::qWait(seconds * 1000);
    session.clickStart();
    session.handOffTimer()->stop();
    QTest::qWait(500); // the plain listener gets what Icecast sent with the last file

    const QByteArrayList handedOff = recorder.files();
    const QByteArrayList rest = session.bufferFileContents();
    qInfo("%d kbit/s, %d s: %lld files handed to the game, %lld bytes; %lld left in the buffer "
          "folder; %d titles; watcher: %d looks, %d with a name missing",
          kbps, seconds, qint64(handedOff.size()), qint64(handedOff.join().size()),
          qint64(rest.size()), song, watcher.looks(), watcher.missing());
    for (qsizetype i = 0; i < handedOff.size(); ++i) {
        const QString problem = AudioSamples::stationFileProblem(
            handedOff[i], work.filePath(QStringLiteral("game%1.mp3").arg(i)));
        QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("file %1: ").arg(i) + problem));
    }
    QString why;
    QVERIFY2(isContiguousPart(handedOff.join() + rest.join(), plain.audio(), 16 * 1024, &why),
             qPrintable(why));
    QVERIFY(watcher.looks() > 0);
    QCOMPARE(watcher.missing(), 0);
    // All but the last two or three of the 128 KiB files the station's rate fills.
    QVERIFY2(handedOff.size() >= qint64(seconds) * kbps * 1000 / 8 / (128 * 1024) - 3,
             qPrintable(QString::number(handedOff.size())));
}

QTEST_MAIN(IcecastFramesTest)
#include "tst_icecastframes.moc"
