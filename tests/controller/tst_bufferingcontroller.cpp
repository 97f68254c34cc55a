// SPDX-License-Identifier: GPL-3.0-or-later
// Buffering runs without a window, against scripted stations on 127.0.0.1:
// what a start empties and refuses, a game folder that takes no files, a
// station lost after audio, a full disk, the game started the way it is
// installed after the first hand-off, and every streamed byte reaching the
// game exactly once and in order.

#include "ControllerSession.h"
#include "GameHome.h"
#include "ScratchMount.h"
#include "ScriptedStation.h"
#include "UnwritableFolder.h"
#include "station/StreamSession.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <sys/stat.h>

namespace {

// Three buffer files of the smallest custom size (128 KB) and a fourth begun.
QList<QByteArray> threeFilesOfAudio()
{
    return {icyHeader("Faults FM", "Test", "http://example.org", "128"), audioBytes(140 * 1024, 1),
            audioBytes(140 * 1024, 2), audioBytes(140 * 1024, 3), audioBytes(1024, 4)};
}

quint64 inodeOf(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? quint64(info.st_ino) : 0;
}

// The stream of the integrity run: every 8-byte slice holds its own offset.
QByteArray patternAt(quint64 offset, qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; i += 8)
        qToBigEndian<quint64>(offset + quint64(i), bytes.data() + i);
    return bytes;
}

} // namespace

class BufferingControllerTest : public QObject
{
    Q_OBJECT

private slots:
    void startEmptiesOnlyTheProgramsFiles();
    void refusedStartDeletesNothing_data();
    void refusedStartDeletesNothing();
    void unwritableGameFolderIsToldAndHandOffResumes();
    void lostStationsFilesStillReachTheGame();
    void fullDiskNamesTheCause();
    void gameStartsTheWayItIsInstalled_data();
    void gameStartsTheWayItIsInstalled();
    void everyByteReachesTheGameOnceInOrder();
};

void BufferingControllerTest::startEmptiesOnlyTheProgramsFiles()
{
    ControllerSession s;
    writeFile(s.gameFolder + QStringLiteral("Tavrix_00.mp3"), "old 0");
    writeFile(s.gameFolder + QStringLiteral("Tavrix_01.mp3"), "old 1");
    writeFile(s.gameFolder + QStringLiteral("My Song.mp3"), "mine");
    writeFile(s.bufferFolder + QStringLiteral("005_strm.mp3"), "left over");
    writeFile(s.bufferFolder + QStringLiteral("OLD.MP3"), "left over");
    writeFile(s.bufferFolder + QStringLiteral("notes.txt"), "kept");

    // A station that never answers: the start says it connects and asks for
    // titles, and has emptied both folders of the program's files, and only
    // of those.
    ScriptedStation station;
    s.start(QStringLiteral("http://") + station.address() + QStringLiteral("/stream"));
    QCOMPARE(s.status(),
             QStringLiteral("Connecting to ") + station.address() + QStringLiteral("/stream..."));
    QTRY_VERIFY(station.request().endsWith("\r\n\r\n"));
    QVERIFY(station.request().startsWith("GET /stream HTTP/1.0\r\n"));
    QVERIFY(station.request().contains("\r\nIcy-MetaData: 1\r\n"));

    QCOMPARE(QDir(s.gameFolder).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("MP3Report.txt"), QStringLiteral("My Song.mp3")}));
    const QStringList left = QDir(s.bufferFolder).entryList(QDir::Files, QDir::Name);
    QVERIFY(left.contains(QStringLiteral("notes.txt")));
    QVERIFY(!left.contains(QStringLiteral("005_strm.mp3")));
    QVERIFY(!left.contains(QStringLiteral("OLD.MP3")));
}

void BufferingControllerTest::refusedStartDeletesNothing_data()
{
    QTest::addColumn<bool>("withSocket");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("told");
    QTest::newRow("invalid address") << true << "no address at all"
                                     << "Please enter a valid URL";
    QTest::newRow("other scheme") << true << " FTP://radio.example:8000/live"
                                  << "Tavrix plays only http:// and https:// addresses, not ftp://";
    QTest::newRow("no socket component")
        << false << "127.0.0.1:8000"
        << "Tavrix cannot connect to a station: its network component could not be loaded.";
}

void BufferingControllerTest::refusedStartDeletesNothing()
{
    QFETCH(bool, withSocket);
    QFETCH(QString, address);
    QFETCH(QString, told);
    QTemporaryDir emptyComponentFolder;
    ControllerSession s(withSocket ? QStringLiteral(TAVRIX_COMPONENT_DIR)
                                   : emptyComponentFolder.path());
    writeFile(s.gameFolder + QStringLiteral("Tavrix_00.mp3"), "game 0");
    writeFile(s.gameFolder + QStringLiteral("Tavrix_01.mp3"), "game 1");
    writeFile(s.bufferFolder + QStringLiteral("004_strm.mp3"), "buffered");
    s.start(address);
    QCOMPARE(s.services.dialogs.messages.size(), 1);
    QCOMPARE(s.services.dialogs.messages.first().icon, MessageIcon::Stop);
    QVERIFY2(s.services.dialogs.messages.first().text.startsWith(told),
             qPrintable(s.services.dialogs.messages.first().text));
    QVERIFY(!s.controller.isStreaming());
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("Tavrix_00.mp3")), QByteArray("game 0"));
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("Tavrix_01.mp3")), QByteArray("game 1"));
    QCOMPARE(s.bufferFiles(), QStringList{QStringLiteral("004_strm.mp3")});
}

void BufferingControllerTest::unwritableGameFolderIsToldAndHandOffResumes()
{
    ControllerSession s;
    UnwritableFolder game(s.gameFolder);
    ScriptedStation station;
    station.chunks = threeFilesOfAudio();
    QSignalSpy notReceiving(&s.controller, &BufferingController::gameNotReceivingAudio);
    s.start(QStringLiteral("http://") + station.address(), true);
    QTRY_COMPARE(s.bufferFiles().size(), 4);
    const QByteArrayList written = s.bufferFileContents();
    QVERIFY2(game.lock(), qPrintable(game.error()));

    s.handOffTimer()->start(5);
    const QString reason = QStringLiteral("Could not move 000_strm.mp3 to ") + s.gameFolder +
                           QStringLiteral("Tavrix_00.mp3: the game folder cannot be written: ") +
                           game.reason();
    QTRY_COMPARE(s.status(), reason);
    QTRY_COMPARE(s.messagesStartingWith(QStringLiteral("The game is not receiving new audio")),
                 qsizetype(1));
    QCOMPARE(notReceiving.size(), 1);
    QCOMPARE(notReceiving.first().first().toString(), reason);
    QTest::qWait(100);
    QCOMPARE(s.messagesStartingWith(QStringLiteral("The game is not receiving new audio")),
             qsizetype(1));
    QCOMPARE(s.bufferFiles().size(), 4);

    // The machine's own tests follow the resumption step by step; here the
    // files flow again without a second word.
    QVERIFY(game.unlock());
    QTRY_COMPARE(s.bufferFiles().size(), 1);
    QVERIFY(s.run.statuses.contains(
        QStringLiteral("The game folder takes files again: hand-off resumed.")));
    // 000 and 002 went to the first name in turn, 001 to the second.
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("Tavrix_00.mp3")), written[2]);
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("Tavrix_01.mp3")), written[1]);
    QCOMPARE(notReceiving.size(), 1);
}

// A station lost after audio: the controller says it reconnects, and every
// file written before the loss, the one finished early by it included, still
// reaches the game while the session waits.
void BufferingControllerTest::lostStationsFilesStillReachTheGame()
{
    ControllerSession s;
    ScriptedStation station;
    station.chunks = threeFilesOfAudio();
    station.closeAfterChunks = true;
    // A long wait before reconnecting: only the first connection's files.
    s.controller.findChild<StreamSession *>()->setReconnectScale(100);
    s.start(QStringLiteral("http://") + station.address(), true);
    QTRY_COMPARE(s.status(), QStringLiteral("Connection to ") + station.address() +
                                 QStringLiteral(" lost; reconnecting in 2 s (attempt 1)…"));
    QByteArray written;
    for (const QString &name : s.bufferFiles())
        written += readFile(s.bufferFolder + name);

    s.handOffTimer()->start(5);
    // Only the empty file that waits for the next connection's audio stays.
    QTRY_COMPARE(s.bufferFiles().size(), 1);
    QCOMPARE(QFileInfo(s.bufferFolder + s.bufferFiles().first()).size(), 0);
    QVERIFY(QFile::exists(s.gameFolder + QStringLiteral("Tavrix_01.mp3")));
    QVERIFY(written.endsWith(readFile(s.gameFolder + QStringLiteral("Tavrix_01.mp3"))));
    QVERIFY(readFile(s.gameFolder + QStringLiteral("Tavrix_01.mp3")).endsWith(audioBytes(1024, 4)));
    // The run goes on: nothing stopped, so the window keeps its inputs locked.
    QVERIFY(s.controller.isStreaming());
    QVERIFY(s.run.stops.isEmpty());
    QCOMPARE(s.services.dialogs.messages.size(), 0);
}

void BufferingControllerTest::fullDiskNamesTheCause()
{
    if (!ScratchMount::possible())
        QSKIP("A small file system needs root");
    ControllerSession s;
    ScratchMount disk(s.bufferFolder, 64 * 1024);
    QVERIFY2(disk.isMounted(), qPrintable(disk.error()));
    ScriptedStation station;
    station.chunks = {icyHeader("Full FM", "Test", "http://example.org", "128"),
                      audioBytes(48 * 1024, 1), audioBytes(48 * 1024, 2)};
    s.start(QStringLiteral("http://") + station.address(), true);
    QTRY_COMPARE(s.run.stops.size(), 1);
    const QString text = s.run.stops.first().message;
    QVERIFY(text.startsWith(QStringLiteral("Buffering has stopped")));
    QVERIFY2(text.contains(s.bufferFolder + QStringLiteral("000_strm.mp3: No space left on "
                                                           "device")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral(" of 49152 bytes of this arrival written")),
             qPrintable(text));
    QCOMPARE(s.run.stops.first().status,
             QStringLiteral("Buffering stopped: a buffer file could not be written."));
}

void BufferingControllerTest::gameStartsTheWayItIsInstalled_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<QString>("expected"); // recorded, or the welcome text

    QTest::newRow("steam") << QStringLiteral("steam")
                           << QStringList{QStringLiteral("steam"), QStringLiteral("wine")}
                           << QStringLiteral("steam|~/.local/share/Steam/steamapps/common/Grand "
                                             "Theft Auto 3|unset|-applaunch 12100");
    QTest::newRow("wine prefix") << QStringLiteral("wine") << QStringList{QStringLiteral("wine")}
                                 << QStringLiteral("wine|~/.wine/drive_c/Games/GTA3|~/.wine|~/"
                                                   ".wine/drive_c/Games/GTA3/gta3.exe");
    QTest::newRow("unchecked during the countdown")
        << QStringLiteral("steam") << QStringList{QStringLiteral("steam")}
        << QStringLiteral("Launching game in 1.");
    QTest::newRow("wine missing")
        << QStringLiteral("wine") << QStringList{}
        << QStringLiteral("Could not start the game: wine is not installed (not found on the "
                          "PATH)");
}

void BufferingControllerTest::gameStartsTheWayItIsInstalled()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, tools);
    QFETCH(QString, expected);

    GameHome h;
    for (const QString &tool : std::as_const(tools))
        h.installTool(tool);
    const QString game =
        kind == QStringLiteral("steam")
            ? h.installSteamGta3(true)
            : h.installWineGame(QStringLiteral("Games/GTA3"), QStringLiteral("gta3.exe"));
    const QString mp3 = game + QStringLiteral("/mp3/");
    const QString buffer = h.services.location.root() + QStringLiteral("/Buffer Files/");
    QDir().mkpath(buffer);

    RecordedController run(h.platform());
    run.controller.setGameFolder(mp3);
    run.controller.setBufferFolder(buffer);
    // Letter case as on disk ("Games/GTA3", "Buffer Files").
    QCOMPARE(run.gameFolder, mp3);
    QCOMPARE(run.bufferFolder, buffer);
    h.services.dialogs.messages.clear();

    ScriptedStation station;
    station.chunks = {icyHeader("Launch FM", "", "", "128"), audioBytes(140 * 1024, 1),
                      audioBytes(140 * 1024, 2)};
    run.start(station.address());
    QTRY_VERIFY(QDir(buffer).entryList({QStringLiteral("*.mp3")}, QDir::Files).size() >= 2);
    QTRY_VERIFY2(run.status().startsWith(QStringLiteral("Buffering ") + mp3 +
                                         QStringLiteral("Tavrix_00.mp3 [ ")),
                 qPrintable(run.status()));

    // One hand-off, the five-second countdown, then the start.
    if (expected.startsWith(QStringLiteral("Launching")))
        run.tick(3 + 4);
    run.controller.setAutoStartGame(!expected.startsWith(QStringLiteral("Launching")));
    run.tick(12 - run.welcomes.size());
    QVERIFY2(run.statuses.contains(QStringLiteral("Moving file 000_strm.mp3 to ") + mp3 +
                                   QStringLiteral("Tavrix_00.mp3...")),
             qPrintable(run.statuses.join(u'\n')));
    QCOMPARE(run.welcomes.mid(0, 2), (QStringList{QStringLiteral("Launching game in 5....."),
                                                  QStringLiteral("Launching game in 4....")}));
    if (expected.contains(QLatin1Char('|'))) {
        QCOMPARE(run.welcomes.last(),
                 QStringLiteral("Do not close this program until you have finished with your "
                                "game or want to stop streaming the radio."));
        QCOMPARE(h.recorded(), expected);
    } else {
        QCOMPARE(run.welcomes.last(), expected);
        QVERIFY(!QFileInfo::exists(h.record));
    }
    run.controller.cancel();
}

void BufferingControllerTest::everyByteReachesTheGameOnceInOrder()
{
    constexpr qint64 Total = 200LL * 1024 * 1024;
    constexpr qsizetype Chunk = 64 * 1024;
    ControllerSession s;

    // The station sends the pattern in pieces, holding back while the buffer
    // folder holds more than a few files, as a live station would.
    QTcpServer station;
    QVERIFY(station.listen(QHostAddress::LocalHost));
    QTcpSocket *client = nullptr;
    QByteArray request;
    connect(&station, &QTcpServer::newConnection, this, [&] {
        client = station.nextPendingConnection();
        connect(client, &QTcpSocket::readyRead, this, [&] { request += client->readAll(); });
    });
    s.start(QStringLiteral("http://127.0.0.1:") + QString::number(station.serverPort()), true);
    QTRY_VERIFY(request.endsWith("\r\n\r\n"));
    client->write(icyHeader("Pattern FM", "Test", "http://example.org", "128"));

    const QString game[2] = {s.gameFolder + QStringLiteral("Tavrix_00.mp3"),
                             s.gameFolder + QStringLiteral("Tavrix_01.mp3")};
    quint64 seen[2] = {0, 0};
    QByteArray received;
    received.reserve(Total);
    qint64 sent = 0;
    QTimer *tick = s.handOffTimer();
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 240000) {
        if (sent < Total && client->bytesToWrite() < 4 * Chunk && s.bufferFiles().size() < 8) {
            client->write(patternAt(quint64(sent), Chunk));
            sent += Chunk;
        } else if (sent >= Total && client->bytesToWrite() == 0 &&
                   client->state() == QAbstractSocket::ConnectedState) {
            client->disconnectFromHost();
        }
        QCoreApplication::processEvents();

        // The files in the buffer folder before the step: a game file with
        // one of their identities was moved, not copied.
        QSet<quint64> buffered;
        for (const QString &name : s.bufferFiles())
            buffered.insert(inodeOf(s.bufferFolder + name));
        QMetaObject::invokeMethod(tick, "timeout");
        for (int slot = 0; slot < 2; ++slot) {
            const quint64 inode = inodeOf(game[slot]);
            if (inode != 0 && inode != seen[slot] && buffered.contains(inode)) {
                seen[slot] = inode;
                received += readFile(game[slot]);
            }
        }
        if (sent >= Total && client->state() == QAbstractSocket::UnconnectedState &&
            s.bufferFiles().size() <= 1)
            break;
    }
    QCOMPARE(sent, Total);
    // The newest file is never finished and stays in the buffer folder.
    for (const QString &name : s.bufferFiles())
        received += readFile(s.bufferFolder + name);
    QCOMPARE(received.size(), Total);
    for (qsizetype at = 0; at < received.size(); at += 8) {
        const quint64 value = qFromBigEndian<quint64>(received.constData() + at);
        if (value != quint64(at))
            QFAIL(qPrintable(
                QStringLiteral("byte %1 holds the slice of offset %2").arg(at).arg(value)));
    }
}

QTEST_GUILESS_MAIN(BufferingControllerTest)
#include "tst_bufferingcontroller.moc"
