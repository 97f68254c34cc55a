// SPDX-License-Identifier: GPL-3.0-or-later
// Faults the user must hear about, and data that must not be lost: a game
// folder that takes no files, folders that cannot be used or are entangled,
// a full disk, settings that cannot be written, the program ended by a
// signal, the session's final status, and every streamed byte reaching the
// game exactly once and in order.

#include "MainWindowSession.h"
#include "ScratchMount.h"
#include "ScriptedStation.h"
#include "UnwritableFolder.h"
#include "settings/Settings.h"
#include "station/StreamSession.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>
#include <csignal>
#include <sys/stat.h>

namespace {

const QString Valid = QStringLiteral("http://127.0.0.1:9");

QString statusOf(const MainWindowSession &s)
{
    return s.get<QLabel>("lblStatus")->text();
}

qsizetype messagesStartingWith(const MainWindowSession &s, const QString &prefix)
{
    qsizetype count = 0;
    for (const auto &message : s.services.dialogs.messages)
        count += message.text.startsWith(prefix) ? 1 : 0;
    return count;
}

// Three buffer files of the smallest custom size (128 KB) and a fourth begun.
QList<QByteArray> threeFilesOfAudio()
{
    return {icyHeader("Faults FM", "Test", "http://example.org", "128"), audioBytes(140 * 1024, 1),
            audioBytes(140 * 1024, 2), audioBytes(140 * 1024, 3), audioBytes(1024, 4)};
}

// Settings written before a window loads them.
void storeFolders(const TestServices &services, const QString &buffer, const QString &radio)
{
    Settings settings(services.location.configFile());
    settings.setBufferPath(buffer);
    settings.setRadioPath(radio);
    QVERIFY(settings.sync());
}

// Which signals the process catches, from /proc (bit n-1 for signal n).
quint64 caughtSignals(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16);
    }
    return 0;
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

class FaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void unwritableGameFolderIsToldAndHandOffResumes();
    void lostStationsFilesStillReachTheGame();
    void storedFoldersThatCannotBeUsed_data();
    void storedFoldersThatCannotBeUsed();
    void foldersMustBeSeparate_data();
    void foldersMustBeSeparate();
    void invalidAddressDeletesNothing();
    void fullDiskNamesTheCause();
    void settingsAreSavedWhenTheyChange();
    void unwritableSettingsAreToldOnce();
    void terminationSignalSavesSettings_data();
    void terminationSignalSavesSettings();
    void everyByteReachesTheGameOnceInOrder();
};

void FaultsTest::unwritableGameFolderIsToldAndHandOffResumes()
{
    MainWindowSession s;
    UnwritableFolder game(s.gameFolder);
    ScriptedStation station;
    station.chunks = threeFilesOfAudio();
    s.useCustomSize(0);
    QSignalSpy notReceiving(s.window.get(), &frmMain::gameNotReceivingAudio);
    s.start(QStringLiteral("http://") + station.address());
    QTRY_COMPARE(s.bufferFiles().size(), 4);
    QVERIFY2(game.lock(), qPrintable(game.error()));

    s.handOffTimer()->start(5);
    const QString reason = QStringLiteral("Could not move 000_strm.mp3 to ") + s.gameFolder +
                           QStringLiteral("Tavrix_00.mp3: the game folder cannot be written: ") +
                           game.reason();
    QTRY_COMPARE(statusOf(s), reason);
    QTRY_COMPARE(messagesStartingWith(s, QStringLiteral("The game is not receiving new audio")),
                 qsizetype(1));
    QCOMPARE(notReceiving.size(), 1);
    QCOMPARE(notReceiving.first().first().toString(), reason);
    QTest::qWait(100);
    QCOMPARE(messagesStartingWith(s, QStringLiteral("The game is not receiving new audio")),
             qsizetype(1));
    QCOMPARE(s.bufferFiles().size(), 4);

    // Step by step: the first move after the fault says the folder works again.
    s.handOffTimer()->stop();
    QVERIFY(game.unlock());
    const QString resumed = QStringLiteral("The game folder takes files again: hand-off resumed.");
    for (int tick = 0; tick < 10 && statusOf(s) != resumed; ++tick)
        QMetaObject::invokeMethod(s.handOffTimer(), "timeout");
    QCOMPARE(statusOf(s), resumed);
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("Tavrix_00.mp3")), audioBytes(140 * 1024, 1));

    s.handOffTimer()->start(5);
    QTRY_COMPARE(s.bufferFiles().size(), 1);
    // 000 and 002 went to the first name in turn, 001 to the second.
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("Tavrix_00.mp3")), audioBytes(140 * 1024, 3));
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("Tavrix_01.mp3")), audioBytes(140 * 1024, 2));
    QCOMPARE(notReceiving.size(), 1);
}

// A station lost after audio: the window says it reconnects, and every file
// written before the loss, the one finished early by it included, still
// reaches the game while the session waits.
void FaultsTest::lostStationsFilesStillReachTheGame()
{
    MainWindowSession s;
    ScriptedStation station;
    station.chunks = threeFilesOfAudio();
    station.closeAfterChunks = true;
    s.useCustomSize(0);
    // A long wait before reconnecting: only the first connection's files.
    s.window->findChild<StreamSession *>()->setReconnectScale(100);
    s.start(QStringLiteral("http://") + station.address());
    QTRY_COMPARE(statusOf(s), QStringLiteral("Connection to ") + station.address() +
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
    QCOMPARE(s.get<QPushButton>("cmdStart")->text(), QStringLiteral("Cancel"));
    QCOMPARE(s.services.dialogs.messages.size(), 0);
}

void FaultsTest::storedFoldersThatCannotBeUsed_data()
{
    QTest::addColumn<QString>("stored"); // under the temporary root
    QTest::addColumn<QString>("problem");
    QTest::newRow("plain file") << "plain.mp3"
                                << "is not a folder";
    QTest::newRow("missing") << "gone"
                             << "does not exist";
}

void FaultsTest::storedFoldersThatCannotBeUsed()
{
    QFETCH(QString, stored);
    QFETCH(QString, problem);
    TestServices services;
    QTemporaryDir root;
    const QString game = root.filePath(QStringLiteral("gta3/mp3/"));
    writeFile(game + QStringLiteral("MP3Report.txt"), "report");
    writeFile(game + QStringLiteral("Tavrix_00.mp3"), "the game's file");
    writeFile(root.filePath(QStringLiteral("plain.mp3")), "the user's file");
    const QString buffer = root.filePath(stored) + QLatin1Char('/');
    storeFolders(services, root.filePath(stored), game);

    frmMain window(services.services());
    // The stored folder is shown with what is wrong, not silently replaced.
    QCOMPARE(control<QLineEdit>(window, "txtBufferPath")->text(), buffer);
    const QString text = QStringLiteral("The buffer folder ") + buffer + QLatin1Char(' ') +
                         problem +
                         QStringLiteral(". Please choose another folder for the temporary files.");
    QCOMPARE(control<QLabel>(window, "lblStatus")->text(), text);
    QVERIFY(!QFileInfo::exists(services.location.cacheFolder() + QStringLiteral("/tavrix")));

    control<QLineEdit>(window, "txtURL")->setText(Valid);
    control<QPushButton>(window, "cmdStart")->click();
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().text, text);
    QCOMPARE(control<QPushButton>(window, "cmdStart")->text(), QStringLiteral("Start Buffering"));
    QCOMPARE(readFile(root.filePath(QStringLiteral("plain.mp3"))), QByteArray("the user's file"));
    QCOMPARE(readFile(game + QStringLiteral("Tavrix_00.mp3")), QByteArray("the game's file"));
}

void FaultsTest::foldersMustBeSeparate_data()
{
    QTest::addColumn<QString>("picker");
    QTest::addColumn<QString>("chosen"); // relative to the session's root
    QTest::newRow("buffer is the game folder") << "cmdTemporary"
                                               << "gta3/mp3/";
    QTest::newRow("buffer inside the game folder") << "cmdTemporary"
                                                   << "gta3/mp3/tmp/";
    QTest::newRow("buffer through a link") << "cmdTemporary"
                                           << "link/";
    QTest::newRow("game folder holds the buffer") << "cmdGTAfolder"
                                                  << "";
}

void FaultsTest::foldersMustBeSeparate()
{
    QFETCH(QString, picker);
    QFETCH(QString, chosen);
    MainWindowSession s;
    QVERIFY(QDir().mkpath(s.gameFolder + QStringLiteral("tmp")));
    QVERIFY(QFile::link(s.gameFolder, s.root.filePath(QStringLiteral("link"))));
    writeFile(s.gameFolder + QStringLiteral("my song.mp3"), "the player's own");
    writeFile(s.gameFolder + QStringLiteral("tmp/other.mp3"), "the player's too");
    writeFile(s.root.filePath(QStringLiteral("MP3Report.txt")), "report");

    s.services.dialogs.folders.push_back(s.root.path() + QLatin1Char('/') + chosen);
    s.get<QPushButton>(picker.toLatin1().constData())->click();
    QCOMPARE(messagesStartingWith(s, QStringLiteral("The temporary files folder and the GTA MP3s "
                                                    "folder must be separate")),
             qsizetype(1));
    QCOMPARE(s.services.dialogs.messages.size(), 1);
    QCOMPARE(s.get<QLineEdit>("txtBufferPath")->text(), s.bufferFolder);
    QCOMPARE(s.get<QLineEdit>("txtRadioPath")->text(), s.gameFolder);
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("my song.mp3")),
             QByteArray("the player's own"));
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("tmp/other.mp3")),
             QByteArray("the player's too"));

    // Stored that way (an older version, a hand-edited file), Start refuses.
    TestServices services;
    storeFolders(services, s.gameFolder, s.gameFolder);
    frmMain window(services.services());
    control<QLineEdit>(window, "txtURL")->setText(Valid);
    control<QPushButton>(window, "cmdStart")->click();
    QCOMPARE(services.dialogs.messages.size(), 1);
    QVERIFY(services.dialogs.messages.first().text.startsWith(
        QStringLiteral("The temporary files folder and the GTA MP3s folder must be separate")));
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("my song.mp3")),
             QByteArray("the player's own"));
}

void FaultsTest::invalidAddressDeletesNothing()
{
    MainWindowSession s;
    writeFile(s.gameFolder + QStringLiteral("Tavrix_00.mp3"), "game 0");
    writeFile(s.gameFolder + QStringLiteral("Tavrix_01.mp3"), "game 1");
    writeFile(s.bufferFolder + QStringLiteral("004_strm.mp3"), "buffered");
    s.start(QStringLiteral("no address at all"));
    QCOMPARE(s.services.dialogs.messages.size(), 1);
    QVERIFY(s.services.dialogs.messages.first().text.startsWith(
        QStringLiteral("Please enter a valid URL")));
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("Tavrix_00.mp3")), QByteArray("game 0"));
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("Tavrix_01.mp3")), QByteArray("game 1"));
    QCOMPARE(s.bufferFiles(), QStringList{QStringLiteral("004_strm.mp3")});
}

void FaultsTest::fullDiskNamesTheCause()
{
    if (!ScratchMount::possible())
        QSKIP("A small file system needs root");
    MainWindowSession s;
    ScratchMount disk(s.bufferFolder, 64 * 1024);
    QVERIFY2(disk.isMounted(), qPrintable(disk.error()));
    ScriptedStation station;
    station.chunks = {icyHeader("Full FM", "Test", "http://example.org", "128"),
                      audioBytes(48 * 1024, 1), audioBytes(48 * 1024, 2)};
    s.useCustomSize(0);
    s.start(QStringLiteral("http://") + station.address());
    QTRY_COMPARE(messagesStartingWith(s, QStringLiteral("Buffering has stopped")), qsizetype(1));
    const QString text = s.services.dialogs.messages.last().text;
    QVERIFY2(text.contains(s.bufferFolder + QStringLiteral("000_strm.mp3: No space left on "
                                                           "device")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral(" of 49152 bytes of this arrival written")),
             qPrintable(text));
    QCOMPARE(statusOf(s), QStringLiteral("Buffering stopped: a buffer file could not be written."));
}

void FaultsTest::settingsAreSavedWhenTheyChange()
{
    MainWindowSession s;
    // Written when chosen, without "Exit".
    {
        const Settings stored(s.services.location.configFile());
        QCOMPARE(stored.bufferPath(), s.bufferFolder);
        QCOMPARE(stored.radioPath(), s.gameFolder);
    }
    ScriptedStation station;
    station.chunks = {icyHeader("Saved FM", "Test", "http://example.org", "128"), audioBytes(1024)};
    s.start(QStringLiteral("http://") + station.address());
    QTRY_VERIFY(statusOf(s).startsWith(QStringLiteral("Buffering")));
    const Settings stored(s.services.location.configFile());
    // The presets take slots 0 to 3: the new station is the fifth, and plays.
    QCOMPARE(stored.recentUrl(4), QStringLiteral("http://") + station.address());
    QCOMPARE(stored.recentTitle(4), QStringLiteral("Saved FM [128 Kbps]"));
    QCOMPARE(stored.lastUsed(), QStringLiteral("4"));
}

void FaultsTest::unwritableSettingsAreToldOnce()
{
    TestServices services;
    QTemporaryDir root;
    const QString buffer = root.filePath(QStringLiteral("buffer/"));
    QVERIFY(QDir().mkpath(buffer));
    const QString settingsFolder = QFileInfo(services.location.configFile()).absolutePath();
    QVERIFY(QDir().mkpath(settingsFolder));
    UnwritableFolder locked(settingsFolder);
    QVERIFY2(locked.lock(), qPrintable(locked.error()));

    frmMain window(services.services());
    services.dialogs.folders.push_back(buffer);
    control<QPushButton>(window, "cmdTemporary")->click();
    const QString text = QStringLiteral("Tavrix cannot save its settings in ") +
                         services.location.configFile() + QStringLiteral(": its folder ") +
                         settingsFolder + QStringLiteral(" cannot be written: ") + locked.reason() +
                         QStringLiteral(".\n\nThe folders and stations chosen now will be "
                                        "forgotten when Tavrix ends.");
    QTRY_COMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().text, text);

    services.dialogs.folders.push_back(buffer);
    control<QPushButton>(window, "cmdTemporary")->click();
    QTest::qWait(20);
    QCOMPARE(services.dialogs.messages.size(), 1);
    // The choice holds for this run.
    QCOMPARE(control<QLineEdit>(window, "txtBufferPath")->text(), buffer);
    QVERIFY(locked.unlock());
}

void FaultsTest::terminationSignalSavesSettings_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void FaultsTest::terminationSignalSavesSettings()
{
    QFETCH(int, number);
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral("config/TAVRIX/TAVRIX.conf"));
    const QString buffer = home.filePath(QStringLiteral("buffer/"));
    QVERIFY(QDir().mkpath(buffer));
    {
        // A station played in an earlier run, and the player's own choice of
        // station in the list.
        Settings settings(config);
        settings.setBufferPath(buffer);
        settings.setRecent(4, QStringLiteral("Earlier FM"), QStringLiteral("http://127.0.0.1:9"));
        settings.setLastUsed(4);
        QVERIFY(settings.sync());
    }

    const auto runUntil = [&](int signalNumber) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                           home.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QStringLiteral(TAVRIX_PROGRAM), {});
        if (!program.waitForStarted(10000))
            return QStringLiteral("did not start");
        // The signal is sent once the program catches it.
        const quint64 bit = quint64(1) << (signalNumber - 1);
        QElapsedTimer waited;
        waited.start();
        while ((caughtSignals(program.processId()) & bit) == 0 && waited.elapsed() < 20000)
            QTest::qWait(20);
        ::kill(pid_t(program.processId()), signalNumber);
        if (!program.waitForFinished(20000))
            return QStringLiteral("did not end");
        if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
            return QStringLiteral("ended by the signal, code %1").arg(program.exitCode());
        return QString();
    };

    // The settings file is written again on the way out: the presets, missing
    // from the file, are stored with the station list.
    QCOMPARE(runUntil(number), QString());
    {
        const Settings stored(config);
        QCOMPARE(stored.recentTitle(0).isEmpty(), false);
        QCOMPARE(stored.recentTitle(4), QStringLiteral("Earlier FM"));
        QCOMPARE(stored.lastUsed(), QStringLiteral("4"));
        QCOMPARE(stored.bufferPath(), buffer);
    }
    // A restart finds them and ends in order again.
    QCOMPARE(runUntil(number), QString());
    const Settings stored(config);
    QCOMPARE(stored.recentUrl(4), QStringLiteral("http://127.0.0.1:9"));
    QCOMPARE(stored.lastUsed(), QStringLiteral("4"));
}

void FaultsTest::everyByteReachesTheGameOnceInOrder()
{
    constexpr qint64 Total = 200LL * 1024 * 1024;
    constexpr qsizetype Chunk = 64 * 1024;
    MainWindowSession s;
    s.useCustomSize(0);

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
    s.start(QStringLiteral("http://127.0.0.1:") + QString::number(station.serverPort()));
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

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
