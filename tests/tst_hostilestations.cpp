// Stations and input that misbehave: every case ends with a clear message or
// status text, a window that is idle or can be cancelled, the files already
// written intact, and no crash or hang.

#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "TestSupport.h"
#include "ui/ClickableLabel.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <sys/socket.h>

namespace {

// The window can be brought back to idle with "Cancel".
void cancelToIdle(frmMain &w)
{
    QVERIFY(w.cmdStart->isEnabled());
    QCOMPARE(w.cmdStart->text(), QStringLiteral("Cancel"));
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    QCOMPARE(w.cmdStart->text(), QStringLiteral("Start Buffering"));
    QVERIFY(w.txtURL->isEnabled());
    QVERIFY(!w.state().Streaming);
}

QString closedText(const ScriptedStation &station)
{
    return QStringLiteral("The station ") + station.address() +
           QStringLiteral(" closed the connection.");
}

QByteArray noiseBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char &c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

} // namespace

class HostileStationsTest : public QObject
{
    Q_OBJECT

private slots:
    void oneByteEveryTenthOfASecond();
    void randomBytes_data();
    void randomBytes();
    void megabyteHeaderLine();
    void closedInTheHeaderBlock();
    void resetInTheAudio();
    void hostThatDoesNotResolve();
    void diskFull();
    void malformedSettings();
};

void HostileStationsTest::oneByteEveryTenthOfASecond()
{
    const QByteArray header = "ICY 200 OK\r\nicy-name:Slow\r\nicy-br:8\r\n\r\n";
    MainWindowSession session;
    ScriptedStation station;
    station.pauseMs = 100;
    for (char c : header)
        station.chunks << QByteArray(1, c);
    station.chunks << audioBytes(100);
    session.start(station.address());

    frmMain &w = *session.window;
    // Half-way through, nothing is shown yet and the window still answers.
    QTest::qWait(1500);
    QVERIFY(!w.cmdStart->isEnabled());
    QCOMPARE(w.lblServerName->text(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(w.lblServerName->text(), QStringLiteral("Name: Slow"), 10000);
    QTRY_COMPARE(session.allBufferBytes(), audioBytes(100));
    cancelToIdle(w);
}

void HostileStationsTest::randomBytes_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("instead of a response") << QByteArray();
    QTest::newRow("instead of the header block") << QByteArray("ICY 200 OK\r\n");
}

void HostileStationsTest::randomBytes()
{
    QFETCH(QByteArray, prefix);
    MainWindowSession session;
    ScriptedStation station;
    QByteArray noise = noiseBytes(200 * 1024);
    noise.replace("\r\n\r\n", "xxxx");
    noise.replace("\n\n", "xx");
    noise.replace("\n\r\n", "xxx");
    station.chunks = {prefix, noise.left(100 * 1024), noise.mid(100 * 1024)};
    session.start(station.address());

    QTRY_VERIFY(session.showedMessage(QStringLiteral("Server is unavailable.")));
    QCOMPARE(session.window->cmdStart->text(), QStringLiteral("Start Buffering"));
    QCOMPARE(session.allBufferBytes(), QByteArray());
}

void HostileStationsTest::megabyteHeaderLine()
{
    MainWindowSession session;
    ScriptedStation station;
    station.pauseMs = 1;
    station.chunks << QByteArray("ICY 200 OK\r\nicy-name:");
    for (int i = 0; i < 16; ++i)
        station.chunks << QByteArray(64 * 1024, 'n');
    station.chunks << QByteArray("\r\n\r\n");
    session.start(station.address());

    QTRY_VERIFY(session.showedMessage(QStringLiteral("Server is unavailable.")));
    QCOMPARE(session.window->lblStatus->text(),
             QStringLiteral("Could not connect to ") + station.address() + QStringLiteral("."));
    QCOMPARE(session.window->lblServerName->text(), QString());
    QVERIFY(session.window->cmdStart->isEnabled());
}

void HostileStationsTest::closedInTheHeaderBlock()
{
    MainWindowSession session;
    ScriptedStation station;
    station.chunks = {QByteArray("ICY 200 OK\r\nicy-name:Half\r\nicy-ge")};
    station.closeAfterChunks = true;
    session.start(station.address());

    frmMain &w = *session.window;
    QTRY_COMPARE(w.lblStatus->text(), closedText(station));
    QCOMPARE(w.lblServerName->text(), QString());
    QCOMPARE(session.bufferFiles(), QStringList{QStringLiteral("000_strm.mp3")});
    QCOMPARE(QFileInfo(session.bufferFolder + QStringLiteral("000_strm.mp3")).size(), 0);
    cancelToIdle(w);
}

void HostileStationsTest::resetInTheAudio()
{
    const QByteArray audio = audioBytes(60 * 1024, 5);
    MainWindowSession session;
    ScriptedStation station;
    station.chunks = {icyHeader("Reset FM", "", "", "32"), audio};
    session.start(station.address());
    QTRY_COMPARE(session.allBufferBytes(), audio);

    // Abort with a zero linger time: the peer sees a reset, not a close.
    const int descriptor = int(station.findChild<QTcpSocket *>()->socketDescriptor());
    const linger resetAtOnce{1, 0};
    QCOMPARE(::setsockopt(descriptor, SOL_SOCKET, SO_LINGER, &resetAtOnce, sizeof resetAtOnce), 0);
    station.findChild<QTcpSocket *>()->abort();

    frmMain &w = *session.window;
    QTRY_VERIFY(w.lblStatus->text() == closedText(station) ||
                w.lblStatus->text() == QStringLiteral("The connection to ") + station.address() +
                                           QStringLiteral(" failed."));
    QCOMPARE(session.allBufferBytes(), audio);
    QVERIFY(!w.state().BufferFile.isOpen());
    cancelToIdle(w);
}

void HostileStationsTest::hostThatDoesNotResolve()
{
    // A name with an empty label is refused by the resolver itself, without
    // asking any name server.
    MainWindowSession session;
    session.start(QStringLiteral("no..such..host:8000"));
    frmMain &w = *session.window;
    QTRY_COMPARE(w.lblStatus->text(),
                 QStringLiteral("The connection to no..such..host:8000 failed."));
    QCOMPARE(session.services.dialogs.messages.size(), 1);
    QVERIFY(!session.services.dialogs.messages.first().text.isEmpty());
    cancelToIdle(w);
}

void HostileStationsTest::diskFull()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("This system has no /dev/full to stand for a full disk.");
    const QByteArray first = audioBytes(140 * 1024, 1);
    MainWindowSession session;
    session.useCustomSize(0); // 128 KB
    ScriptedStation station;
    station.chunks = {icyHeader("Full", "", "", "32"), first.left(10 * 1024)};
    session.start(station.address());
    QTRY_COMPARE(session.allBufferBytes().size(), 10 * 1024);

    // The next buffer file lands on a device that is always full.
    const QString next = session.bufferFolder + QStringLiteral("001_strm.mp3");
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), next));
    station.send(first.mid(10 * 1024));
    frmMain &w = *session.window;
    QTRY_COMPARE(w.state().BufferFile.fileName(), next);
    station.send(audioBytes(4096));

    QTRY_COMPARE(session.services.dialogs.messages.size(), 1);
    const QString text = session.services.dialogs.messages.first().text;
    QVERIFY2(text.contains(next), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("No space left on device")), qPrintable(text));
    QCOMPARE(readFile(session.bufferFolder + QStringLiteral("000_strm.mp3")), first);
    QVERIFY(!w.state().BufferFile.isOpen());
    cancelToIdle(w);
}

void HostileStationsTest::malformedSettings()
{
    TemporarySettingsLocation settings;
    QByteArray garbage = noiseBytes(64 * 1024);
    garbage.prepend("[Recent]\nRecentRadio0=" + QByteArray(300 * 1024, 'T') +
                    "\nRecentRadioURL0=very.long.example:8000\n"
                    "RecentRadio1=Радио Ünïcode [128 Kbps]\nRecentRadioURL1=ünï.example:8000\n"
                    "LastUsed=@Variant(\\0\\0\\0\\x7f\\0\\0\\0)\n[Settings\nBufferPath");
    writeFile(settings.configFile(), garbage);

    TestServices services;
    frmMain window(services.services());
    QVERIFY(window.cmbRecent->count() >= 4);
    QCOMPARE(window.cmbRecent->currentIndex(), 0);
    QCOMPARE(window.state().BufferPath, settings.cacheFolder() + QStringLiteral("/tavrix/"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
}

QTEST_MAIN(HostileStationsTest)
#include "tst_hostilestations.moc"
