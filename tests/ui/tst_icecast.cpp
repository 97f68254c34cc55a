// SPDX-License-Identifier: GPL-3.0-or-later
// Tavrix against a real Icecast 2 station on 127.0.0.1, driven as a user
// would: the address typed, "Start Buffering" clicked, the real one-second
// hand-off timer running.

#include "AudioSamples.h"
#include "IcecastStation.h"
#include "MainWindowSession.h"
#include "settings/Settings.h"
#include "station/StreamSession.h"
#include "ui/ClickableLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QTest>
#include <QTimer>

namespace {

constexpr int Bitrate = 320; // kbit/s: the smallest buffer files fill in seconds

// The file plays as a player takes it, for as long as its size holds at the
// station's bitrate.
void verifyRealAudio(const QString &file)
{
    const double expected = double(QFileInfo(file).size()) * 8.0 / (Bitrate * 1000.0);
    const AudioSamples::Mp3Report report = AudioSamples::checkMp3File(file);
    QVERIFY2(report.problem.isEmpty(), qPrintable(file + QStringLiteral(": ") + report.problem));
    QVERIFY2(expected > 3.0, qPrintable(file));
    QVERIFY2(qAbs(report.seconds - expected) < 0.1 * expected + 0.1,
             qPrintable(QStringLiteral("%1: decoded %2 s, expected %3 s")
                            .arg(file)
                            .arg(report.seconds)
                            .arg(expected)));
}

void chkStartOff(MainWindowSession &session)
{
    session.get<QCheckBox>("chkStart")->setChecked(false);
}

} // namespace

class IcecastTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wholeJobFromStationToGameFolder();
    void tlsStationWithACertificateTheUserTrusts();
    void sourceOffAirAndBack();

private:
    std::unique_ptr<IcecastStation> m_station;
};

void IcecastTest::initTestCase()
{
    m_station = std::make_unique<IcecastStation>(Bitrate, 30);
    QString error;
    QVERIFY2(m_station->start(&error), qPrintable(error));
}

void IcecastTest::wholeJobFromStationToGameFolder()
{
    MainWindowSession session;
    writeFile(session.root.path() + QStringLiteral("/gta3/gta3.exe"), "game");
    session.services.dialogs.folders = {session.gameFolder};
    session.get<QPushButton>("cmdGTAfolder")->click(); // finds the game beside the folder now
    session.services.dialogs.messages.clear();
    session.useCustomSize(0);

    // As a user: type the address, click the button; the timer runs.
    session.get<QLineEdit>("txtURL")->setText(m_station->address());
    QElapsedTimer clock;
    clock.start();
    session.clickStart();
    QVERIFY(session.handOffTimer()->isActive());

    // The station's header block, as Icecast sends it, in the labels and
    // the recent list; its bitrate is high enough for the warning.
    QTRY_COMPARE_WITH_TIMEOUT(session.get<QLabel>("lblServerName")->text(),
                              QStringLiteral("Name: ") + m_station->name(), 15000);
    QCOMPARE(session.get<QLabel>("lblGenre")->text(),
             QStringLiteral("Genre: ") + m_station->genre());
    QCOMPARE(session.get<QLabel>("lblURL")->text(), QStringLiteral("URL: ") + m_station->url());
    auto *bitrate = session.get<QLabel>("lblBitrate");
    QCOMPARE(bitrate->text(), QStringLiteral("Bitrate: 320 Kbps"));
    QVERIFY(bitrate->palette().color(QPalette::WindowText).red() >= 200);
    QVERIFY(session.get<QPushButton>("cmdStart")->isEnabled());
    auto *list = session.get<QComboBox>("cmbRecent");
    QCOMPARE(list->itemText(list->count() - 1), m_station->name() + QStringLiteral(" [320 Kbps]"));

    // Two 128 KB files at 320 kbit/s take about 7 s (less the server's
    // burst); the hand-off takes three ticks more.
    const QString slot0 = session.gameFolder + QStringLiteral("Tavrix_00.mp3");
    const QString slot1 = session.gameFolder + QStringLiteral("Tavrix_01.mp3");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(slot0) && QFileInfo::exists(slot1), 30000);
    qInfo("first hand-off after %lld ms", clock.elapsed());
    QCOMPARE(readFile(slot0), readFile(slot1));
    // The first buffer file: whole 320 kbit/s frames (1044 or 1045 bytes) up
    // to the size, real audio.
    const qint64 size = QFileInfo(slot0).size();
    QVERIFY2(size > 128 * 1024 - 1045 && size <= 128 * 1024, qPrintable(QString::number(size)));
    verifyRealAudio(slot0);
    QTRY_VERIFY_WITH_TIMEOUT(session.status().startsWith(QStringLiteral("Buffering ")), 10000);

    // Auto start: five countdown ticks, then the game starts from its folder.
    QTRY_COMPARE_WITH_TIMEOUT(session.services.shell.launches,
                              QStringList{session.root.path() + QStringLiteral("/gta3/gta3.exe")},
                              10000);
    QCOMPARE(session.services.shell.workingDirectories,
             QStringList{session.root.path() + QStringLiteral("/gta3/")});
    QCOMPARE(session.get<QLabel>("lblWelcome")->text(),
             QStringLiteral("Do not close this program until you have finished with your game or "
                            "want to stop streaming the radio."));

    // The next hand-off goes to the other name.
    const QByteArray firstInSlot1 = readFile(slot1);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(slot1) && readFile(slot1) != firstInSlot1, 20000);
    verifyRealAudio(slot1);
    // The buffer folder keeps only the newest files: the handed-off ones are
    // gone, the one being written is the last.
    const QStringList left = session.bufferFiles();
    QVERIFY(!left.contains(QStringLiteral("000_strm.mp3")));
    QVERIFY(!left.contains(QStringLiteral("001_strm.mp3")));
    QCOMPARE(session.openBufferFiles(), QStringList{session.bufferFolder + left.last()});
    QCOMPARE(session.services.dialogs.messages.size(), 0);

    // After exit the station is in the stored recent list.
    session.window->close();
    QSettings stored(session.services.location.configFile(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("Recent/RecentRadioURL4")).toString(),
             m_station->address());
    QCOMPARE(stored.value(QStringLiteral("Recent/RecentRadio4")).toString(),
             m_station->name() + QStringLiteral(" [320 Kbps]"));
}

// Icecast's own TLS with a self-signed certificate: the window asks whether
// to trust it, the user says Yes, the fingerprint is stored for that host
// and port, and the station plays over TLS.
void IcecastTest::tlsStationWithACertificateTheUserTrusts()
{
    IcecastStation station(Bitrate, 30);
    station.setTlsListener(true);
    QString error;
    QVERIFY2(station.start(&error), qPrintable(error));
    const QList<QSslCertificate> certificates =
        QSslCertificate::fromPath(station.tlsCertificateFile());
    QVERIFY(!certificates.isEmpty());
    const QByteArray fingerprint = certificates[0].digest(QCryptographicHash::Sha256).toHex();
    const QString hostPort = QStringLiteral("127.0.0.1:") + QString::number(station.tlsPort());

    MainWindowSession session;
    session.useCustomSize(0);
    session.services.dialogs.answers = {MessageAnswer::Yes};
    session.start(QStringLiteral("https://") + hostPort + u'/');

    QTRY_COMPARE_WITH_TIMEOUT(session.get<QLabel>("lblServerName")->text(),
                              QStringLiteral("Name: ") + station.name(), 20000);
    // The files stay in the buffer folder to be checked.
    session.handOffTimer()->stop();
    QCOMPARE(session.services.dialogs.messages.size(), 1);
    const ScriptedDialogs::Message asked = session.services.dialogs.messages[0];
    QCOMPARE(asked.buttons, MessageButtons::YesNo);
    QVERIFY2(asked.text.contains(QStringLiteral("Trust this certificate for ") + hostPort + u'?'),
             qPrintable(asked.text));
    QVERIFY2(!asked.text.contains(QStringLiteral("CHANGED")), qPrintable(asked.text));
    QCOMPARE(Settings(session.services.location.configFile()).trustedCertificate(hostPort),
             QString::fromLatin1(fingerprint));
    QTRY_VERIFY_WITH_TIMEOUT(session.bufferFiles().size() >= 2, 20000);
    verifyRealAudio(session.bufferFolder + QStringLiteral("000_strm.mp3"));

    // A different certificate stored for the address is told as changed;
    // "No" leaves the session stopped and the stored value as it was.
    session.clickStart();
    session.window.reset();
    const QString otherFingerprint(64, u'0');
    {
        Settings stored(session.services.location.configFile());
        stored.setTrustedCertificate(hostPort, otherFingerprint);
        QVERIFY(stored.sync());
    }
    session.window = std::make_unique<frmMain>(session.services.services());
    session.window->show();
    session.services.dialogs.messages.clear();
    session.services.dialogs.answers = {MessageAnswer::Cancel}; // "No"
    session.start(QStringLiteral("https://") + hostPort + u'/');
    QTRY_COMPARE_WITH_TIMEOUT(session.services.dialogs.messages.size(), 1, 20000);
    QVERIFY2(session.services.dialogs.messages[0].text.contains(QStringLiteral("CHANGED")),
             qPrintable(session.services.dialogs.messages[0].text));
    QTRY_COMPARE(session.get<QPushButton>("cmdStart")->text(), QStringLiteral("Start Buffering"));
    QCOMPARE(Settings(session.services.location.configFile()).trustedCertificate(hostPort),
             otherFingerprint);
}

// The broadcaster goes off air and comes back: the window reconnects by
// itself, tells so in the status line, and the game folder keeps getting new
// files without a click.
void IcecastTest::sourceOffAirAndBack()
{
    IcecastStation station(Bitrate, 30);
    QString error;
    QVERIFY2(station.start(&error), qPrintable(error));
    MainWindowSession session;
    chkStartOff(session);
    session.useCustomSize(0);
    auto *stream = session.window->findChild<StreamSession *>();
    QVERIFY(stream);
    stream->setReconnectScale(0.25);
    QSignalSpy lost(stream, &StreamSession::reconnecting);
    QSignalSpy back(stream, &StreamSession::reconnected);
    session.start(station.address());
    session.handOffTimer()->start(200);

    const QString slot0 = session.gameFolder + QStringLiteral("Tavrix_00.mp3");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(slot0), 30000);

    station.stopSource();
    QTRY_VERIFY_WITH_TIMEOUT(lost.size() >= 1, 20000);
    QTRY_VERIFY(session.status().startsWith(QStringLiteral("Connection to ") + station.address() +
                                            QStringLiteral(" lost; reconnecting in ")));
    QVERIFY(!session.get<QLineEdit>("txtURL")->isEnabled());
    const QStringList beforeReturn = session.bufferFiles();
    QVERIFY2(station.restartSource(&error), qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(back.size() >= 1, 30000);

    // New audio reaches the game without a click: a file numbered after
    // those written before the loss is handed off.
    const QString lastBefore = beforeReturn.isEmpty() ? QString() : beforeReturn.last();
    QTRY_VERIFY_WITH_TIMEOUT(
        session.bufferFiles().size() >= 1 && session.bufferFiles().first() > lastBefore, 40000);
    QCOMPARE(session.services.dialogs.messages.size(), 0);
    QCOMPARE(session.get<QPushButton>("cmdStart")->text(), QStringLiteral("Cancel"));
    session.clickStart();
}

QTEST_MAIN(IcecastTest)
#include "tst_icecast.moc"
