// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window shows of a station session against scripted stations
// on 127.0.0.1: the station's labels and the progress, the buffer mode's file
// size, refusals and failures as messages and status texts and the recent
// list. The session's own byte-level behaviour (the end of a connection too)
// is tested without a window in tst_streamsession, what a start empties and
// refuses and a lost station's run in tst_bufferingcontroller.

#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "ui/ClickableLabel.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTest>

namespace {

QString statusText(const MainWindowSession &session)
{
    return session.get<QLabel>("lblStatus")->text();
}

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
    QCOMPARE(statusText(session), QStringLiteral("Buffering of files interrupted by user."));
}

} // namespace

class StreamingTest : public QObject
{
    Q_OBJECT

private slots:
    void connecting();
    void stationShown();
    void bufferModeSetsFileSize_data();
    void bufferModeSetsFileSize();
    void refusal();
    void connectionFailure();
    void fileErrorStopsBuffering();
    void startNeedsBothFolders();
    void stationJoinsRecentListOnce();
};

void StreamingTest::connecting()
{
    MainWindowSession session;
    ScriptedStation station;
    session.start(QStringLiteral("http://") + station.address() + QStringLiteral("/stream"));
    QCOMPARE(statusText(session),
             QStringLiteral("Connecting to ") + station.address() + QStringLiteral("/stream..."));
    QCOMPARE(session.get<QPushButton>("cmdStart")->text(), QStringLiteral("Cancel"));
    QVERIFY(!session.get<QPushButton>("cmdStart")->isEnabled());
    QTRY_VERIFY(station.request().endsWith("\r\n\r\n"));
    QVERIFY(station.request().startsWith(
        "GET /stream HTTP/1.0\r\nHost: " + station.address().toLatin1() + "\r\n"));
    // Titles are asked for; no buffer file before the station's audio.
    QVERIFY(station.request().contains("\r\nIcy-MetaData: 1\r\n"));
    QVERIFY(!QFileInfo::exists(session.bufferFolder + QStringLiteral("000_strm.mp3")));
}

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
    QTRY_COMPARE(statusText(session), QStringLiteral("Buffering ") + session.gameFolder +
                                          "Tavrix_00.mp3" + QStringLiteral(" [ 100 KB ]"));
    QVERIFY(session.get<QPushButton>("cmdStart")->isEnabled());
    QVERIFY(session.get<QFrame>("shpBar")->isVisible());
    cancelToIdle(session);
}

void StreamingTest::bufferModeSetsFileSize_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("fileSizeKB");
    QTest::newRow("56K") << "opt56K" << -1 << 256;
    QTest::newRow("DSL") << "optDSL" << -1 << 1024;
    QTest::newRow("custom 128 KB") << "optCustom" << 0 << 128;
    QTest::newRow("custom 512 KB") << "optCustom" << 1 << 512;
}

void StreamingTest::bufferModeSetsFileSize()
{
    QFETCH(QString, mode);
    QFETCH(int, item);
    QFETCH(int, fileSizeKB);

    MainWindowSession session;
    QTest::mouseClick(session.window->findChild<QRadioButton *>(mode), Qt::LeftButton);
    if (item >= 0)
        session.get<QComboBox>("cmbBuffer")->setCurrentIndex(item);
    ScriptedStation station;
    station.chunks = {icyHeader("Size FM", "", "", "32"), audioBytes(64 * 1024)};
    session.start(station.address());

    // The bar shows 64 KB as a share of the mode's file size (446 pixels full).
    auto *bar = session.get<QFrame>("shpBar");
    const int expected = qRound(64.0 / fileSizeKB * 446.0);
    QTRY_COMPARE(bar->width(), expected);
    QTRY_VERIFY(statusText(session).endsWith(QStringLiteral(" [ 64 KB ]")));
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
    QCOMPARE(statusText(session),
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
    quint16 closedPort;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    const QString address = QStringLiteral("127.0.0.1:") + QString::number(closedPort);
    session.start(address);

    QTRY_COMPARE(statusText(session),
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

    QVERIFY(QDir(session.bufferFolder).removeRecursively());
    station.send(audioBytes(130 * 1024));

    QTRY_COMPARE(session.services.dialogs.messages.size(), 1);
    const auto &message = session.services.dialogs.messages.first();
    QCOMPARE(message.icon, MessageIcon::Stop);
    QVERIFY2(message.text.startsWith(QStringLiteral("Buffering has stopped because a buffer file "
                                                    "could not be written:")),
             qPrintable(message.text));
    QVERIFY2(message.text.contains(session.bufferFolder + QStringLiteral("001_strm.mp3")),
             qPrintable(message.text));
    QCOMPARE(statusText(session),
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
