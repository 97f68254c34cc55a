// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window shows of a station session against scripted stations
// on 127.0.0.1: the station's labels and the progress, refusals and failures
// as messages and status texts, and the recent list. The session's own
// behaviour is tested without a window in tst_streamsession and
// tst_stations, what a start empties and refuses and a lost station's run in
// tst_bufferingcontroller.

#include "MainWindowSession.h"
#include "ScriptedStation.h"

#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

// "Cancel" is usable and brings the window back to idle.
void cancelToIdle(MainWindowSession &session)
{
    auto *start = session.get<QPushButton>("cmdStart");
    QVERIFY(start->isEnabled());
    QCOMPARE(start->text(), QStringLiteral("Cancel"));
    QVERIFY(!session.get<QLineEdit>("txtURL")->isEnabled());
    session.clickStart();
    QCOMPARE(start->text(), QStringLiteral("Start Buffering"));
    QVERIFY(session.get<QLineEdit>("txtURL")->isEnabled());
    QCOMPARE(session.status(), QStringLiteral("Buffering of files interrupted by user."));
}

} // namespace

class StreamingTest : public QObject
{
    Q_OBJECT

private slots:
    void stationShown();
    void refusal();
    void connectionFailure();
    void fileErrorStopsBuffering();
    void startNeedsBothFolders();
    void stationJoinsRecentListOnce();
};

void StreamingTest::stationShown()
{
    const QByteArray audio = audioBytes(100 * 1024, 3);
    MainWindowSession session;
    session.useCustomSize(0); // 128 KB: the whole audio fits into the first file
    ScriptedStation station;
    station.chunks = {icyHeader("Split FM", "Jazz", "http://split.example", "48"),
                      audio.left(30 * 1024), audio.mid(30 * 1024)};
    session.start(station.address());

    QTRY_COMPARE(session.allBufferBytes(), audio);
    QCOMPARE(session.get<QLabel>("lblServerName")->text(), QStringLiteral("Name: Split FM"));
    QCOMPARE(session.get<QLabel>("lblGenre")->text(), QStringLiteral("Genre: Jazz"));
    QCOMPARE(session.get<QLabel>("lblURL")->text(), QStringLiteral("URL: http://split.example"));
    QCOMPARE(session.get<QLabel>("lblBitrate")->text(), QStringLiteral("Bitrate: 48 Kbps"));
    // The progress is shown shortly after the last arrival.
    QTRY_COMPARE(session.status(), QStringLiteral("Buffering ") +
                                       QDir::toNativeSeparators(session.gameFolder +
                                                                QStringLiteral("Tavrix_00.mp3")) +
                                       QStringLiteral(" [ 100 KB ]"));
    QVERIFY(session.get<QPushButton>("cmdStart")->isEnabled());
    QVERIFY(session.get<QFrame>("shpBar")->isVisible());
    cancelToIdle(session);
}

void StreamingTest::refusal()
{
    MainWindowSession session;
    ScriptedStation station;
    station.chunks = {"HTTP/1.0 404 Not Found\r\n\r\n"};
    session.start(station.address());

    QTRY_VERIFY(session.showedMessage(
        QStringLiteral("Server is unavailable.\n\nThe station answered: 404 Not Found")));
    QCOMPARE(session.services.dialogs.messages.size(), 1);
    QCOMPARE(session.services.dialogs.messages.last().icon, MessageIcon::Stop);
    QCOMPARE(session.services.dialogs.messages.last().title, QStringLiteral("Tavrix"));
    QCOMPARE(session.status(),
             QStringLiteral("Could not connect to ") + station.address() + QStringLiteral("."));
    QCOMPARE(session.get<QPushButton>("cmdStart")->text(), QStringLiteral("Start Buffering"));
    QVERIFY(session.get<QPushButton>("cmdStart")->isEnabled());
    QVERIFY(session.get<QLineEdit>("txtURL")->isEnabled());
    QVERIFY(session.get<QFrame>("shpBar")->isHidden());
    QCOMPARE(session.get<QLabel>("lblServerName")->text(), QString());
    QVERIFY(session.openBufferFiles().isEmpty());
}

void StreamingTest::connectionFailure()
{
    MainWindowSession session;
    const quint16 port = closedPort();
    QVERIFY(port != 0);
    const QString address = QStringLiteral("127.0.0.1:") + QString::number(port);
    session.start(address);

    QTRY_COMPARE(session.status(),
                 QStringLiteral("The connection to ") + address + QStringLiteral(" failed."));
    // One message names the station and the reason; the window is at rest.
    QCOMPARE(session.services.dialogs.messages.size(), 1);
    QCOMPARE(session.services.dialogs.messages.first().icon, MessageIcon::Stop);
    QVERIFY(session.services.dialogs.messages.first().text.startsWith(
        QStringLiteral("Could not connect to ") + address + QStringLiteral(": ")));
    QCOMPARE(session.get<QPushButton>("cmdStart")->text(), QStringLiteral("Start Buffering"));
    QVERIFY(session.get<QPushButton>("cmdStart")->isEnabled());
    QVERIFY(session.get<QLineEdit>("txtURL")->isEnabled());
    QVERIFY(session.get<QPushButton>("cmdGTAfolder")->isEnabled());
}

void StreamingTest::fileErrorStopsBuffering()
{
    MainWindowSession session;
    session.useCustomSize(0);
    ScriptedStation station;
    station.chunks = {icyHeader("Vanishing", "", "", "32"), audioBytes(10 * 1024)};
    session.start(station.address());
    QTRY_COMPARE(session.allBufferBytes().size(), 10 * 1024);

    // The next buffer file's name is taken by a folder.
    QVERIFY(QDir(session.bufferFolder).mkdir(QStringLiteral("001_strm.mp3")));
    station.send(audioBytes(130 * 1024));

    QTRY_COMPARE(session.services.dialogs.messages.size(), 1);
    const auto &message = session.services.dialogs.messages.first();
    QCOMPARE(message.icon, MessageIcon::Stop);
    QVERIFY2(message.text.startsWith(QStringLiteral("Buffering has stopped because a buffer file "
                                                    "could not be written:")),
             qPrintable(message.text));
    QVERIFY2(message.text.contains(
                 QDir::toNativeSeparators(session.bufferFolder + QStringLiteral("001_strm.mp3"))),
             qPrintable(message.text));
    QCOMPARE(session.status(),
             QStringLiteral("Buffering stopped: a buffer file could not be written."));
    cancelToIdle(session);
}

void StreamingTest::startNeedsBothFolders()
{
    TestServices services;
    frmMain window(services.services());
    control<QLineEdit>(window, "txtURL")->setText(QStringLiteral("127.0.0.1:8000"));
    auto *start = control<QPushButton>(window, "cmdStart");
    start->click();
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().icon, MessageIcon::Exclamation);
    QCOMPARE(services.dialogs.messages.first().text,
             QStringLiteral("Please select the GTA MP3s folder and retry."));
    QCOMPARE(start->text(), QStringLiteral("Start Buffering"));
    QVERIFY(control<QLineEdit>(window, "txtURL")->isEnabled());
}

void StreamingTest::stationJoinsRecentListOnce()
{
    MainWindowSession session;
    ScriptedStation station;
    station.chunks = {icyHeader("Recent FM", "Rock", "http://recent.example", "128"),
                      audioBytes(1024)};
    auto *list = session.get<QComboBox>("cmbRecent");
    const int before = list->count();
    session.start(station.address());
    QTRY_COMPARE(list->count(), before + 1);
    QCOMPARE(list->itemText(before), QStringLiteral("Recent FM [128 Kbps]"));

    cancelToIdle(session);
    session.start(station.address());
    QTRY_VERIFY(session.get<QPushButton>("cmdStart")->isEnabled());
    QCOMPARE(list->count(), before + 1);
}

QTEST_MAIN(StreamingTest)
#include "tst_streaming.moc"
