// The main window's station session against scripted stations on 127.0.0.1:
// the request, the response in any split, buffer files, refusals, the end of a
// connection and the folders emptied at start.

#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "TestSupport.h"
#include "ui/ClickableLabel.h"
#include "ui/frmMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

QList<QByteArray> cut(const QByteArray &bytes, const QList<qsizetype> &sizes)
{
    QList<QByteArray> chunks;
    qsizetype at = 0;
    for (qsizetype size : sizes) {
        chunks << bytes.mid(at, size);
        at += size;
    }
    if (at < bytes.size())
        chunks << bytes.mid(at);
    return chunks;
}

} // namespace

class StreamingTest : public QObject
{
    Q_OBJECT

private slots:
    void requestAsked_data();
    void requestAsked();
    void responseInAnySplit_data();
    void responseInAnySplit();
    void bufferFilesRotateAndContinueNumbering();
    void refusals_data();
    void refusals();
    void endOfConnection();
    void connectionFailure();
    void startEmptiesOnlyTheProgramsFiles();
    void startNeedsBothFolders();
    void startWithoutSocketComponent();
    void bufferFolderRemovedWhileStreaming();
    void stationJoinsRecentListOnce();
};

void StreamingTest::requestAsked_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("no path") << QString() << QByteArray("GET / HTTP/1.0\r\n\r\n");
    QTest::newRow("path") << QStringLiteral("/stream")
                          << QByteArray("GET /stream HTTP/1.0\r\n\r\n");
}

void StreamingTest::requestAsked()
{
    QFETCH(QString, suffix);
    QFETCH(QByteArray, request);
    MainWindowSession session;
    ScriptedStation station;
    session.start(QStringLiteral("http://") + station.address() + suffix);
    QCOMPARE(session.window->lblStatus->text(),
             QStringLiteral("Connecting to ") + station.address() + suffix + QStringLiteral("..."));
    QCOMPARE(session.window->cmdStart->text(), QStringLiteral("Cancel"));
    QVERIFY(!session.window->cmdStart->isEnabled());
    QTRY_COMPARE(station.request(), request);
    QVERIFY(QFileInfo::exists(session.bufferFolder + QStringLiteral("000_strm.mp3")));
}

void StreamingTest::responseInAnySplit_data()
{
    QTest::addColumn<QList<qsizetype>>("sizes");
    const QByteArray header = icyHeader("Split FM", "Jazz", "http://split.example", "48");
    const qsizetype status = header.indexOf('\n') + 1;
    QList<qsizetype> bytewise(header.size() + 20, 1);
    QTest::newRow("all at once") << QList<qsizetype>{};
    QTest::newRow("status, headers, audio") << QList<qsizetype>{status, header.size() - status};
    QTest::newRow("byte by byte") << bytewise;
    QTest::newRow("headers with audio") << QList<qsizetype>{header.size() + 1000};
    QTest::newRow("header block cut in a line") << QList<qsizetype>{status + 7, 30, 1, 1};
    QTest::newRow("cut between CR and LF") << QList<qsizetype>{status - 1, header.size() - status};
}

void StreamingTest::responseInAnySplit()
{
    QFETCH(QList<qsizetype>, sizes);
    const QByteArray audio = audioBytes(100 * 1024, 3);
    const QByteArray response = icyHeader("Split FM", "Jazz", "http://split.example", "48") + audio;

    MainWindowSession session;
    session.useCustomSize(0); // 128 KB: the whole audio fits into the first file
    ScriptedStation station;
    station.pauseMs = 1;
    station.chunks = cut(response, sizes);
    session.start(station.address());

    QTRY_COMPARE(session.allBufferBytes().size(), audio.size());
    QCOMPARE(session.bufferFiles(), QStringList{QStringLiteral("000_strm.mp3")});
    QCOMPARE(session.allBufferBytes(), audio);
    frmMain &w = *session.window;
    QCOMPARE(w.lblServerName->text(), QStringLiteral("Name: Split FM"));
    QCOMPARE(w.lblGenre->text(), QStringLiteral("Genre: Jazz"));
    QCOMPARE(w.lblURL->text(), QStringLiteral("URL: http://split.example"));
    QCOMPARE(w.lblBitrate->text(), QStringLiteral("Bitrate: 48 Kbps"));
    QCOMPARE(w.lblStatus->text(), QStringLiteral("Buffering ") +
                                      (session.gameFolder + "Tavrix_00.mp3").toLower() +
                                      QStringLiteral(" [ 100 KB ]"));
    QVERIFY(w.cmdStart->isEnabled());
    QVERIFY(w.shpBar->isVisible());
}

void StreamingTest::bufferFilesRotateAndContinueNumbering()
{
    const qint64 limit = 128 * 1024;
    const QByteArray audio = audioBytes(6 * 50 * 1024, 9);
    MainWindowSession session;
    session.useCustomSize(0);
    ScriptedStation station;
    station.pauseMs = 60;
    station.chunks = QList<QByteArray>{icyHeader("Rotate", "", "", "32")} +
                     cut(audio, {50 * 1024, 50 * 1024, 50 * 1024, 50 * 1024, 50 * 1024});
    session.start(station.address());

    QTRY_COMPARE(session.allBufferBytes().size(), audio.size());
    QCOMPARE(session.allBufferBytes(), audio);
    const QStringList files = session.bufferFiles();
    QCOMPARE(files.first(), QStringLiteral("000_strm.mp3"));
    QVERIFY2(files.size() >= 2, qPrintable(files.join(u' ')));
    // Every finished file holds more than the size, and no more than the size
    // plus the arrival that took it past (the station writes 50 KB at a time).
    for (qsizetype i = 0; i + 1 < files.size(); ++i) {
        const qint64 size = QFileInfo(session.bufferFolder + files[i]).size();
        QVERIFY2(size > limit && size < limit + 2 * 50 * 1024, qPrintable(files[i]));
    }
    const quint32 counterAfterFirst = session.window->state().BufferFile.counter();
    QCOMPARE(files.last(), BufferFileWriter::fileNameFor(counterAfterFirst));

    // Cancel, then a second session: it begins with 000 again and goes on
    // with the counter of the first.
    QTest::mouseClick(session.window->cmdStart, Qt::LeftButton);
    QCOMPARE(session.window->lblStatus->text(),
             QStringLiteral("Buffering of files interrupted by user."));
    QCOMPARE(session.window->cmdStart->text(), QStringLiteral("Start Buffering"));
    station.pauseMs = 60;
    station.chunks = QList<QByteArray>{icyHeader("Rotate", "", "", "32")} +
                     cut(audio.left(150 * 1024), {50 * 1024, 50 * 1024});
    session.start(station.address());
    QTRY_COMPARE(session.bufferFiles(),
                 (QStringList{QStringLiteral("000_strm.mp3"),
                              BufferFileWriter::fileNameFor(counterAfterFirst + 1)}));
}

void StreamingTest::refusals_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::newRow("not found") << QByteArray("HTTP/1.0 404 Not Found\r\n\r\n");
    QTest::newRow("web page") << QByteArray(
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>Hi</body></html>");
    QTest::newRow("200 elsewhere") << QByteArray("HTTP 200 OK\r\nicy-name:x\r\n\r\n");
    QByteArray garbage = audioBytes(70 * 1024, 17);
    garbage.replace('\n', 'x');
    QTest::newRow("garbage") << garbage;
    QTest::newRow("header over the cap")
        << QByteArray("ICY 200 OK\r\nicy-name:" + QByteArray(70 * 1024, 'n') + "\r\n\r\n");
}

void StreamingTest::refusals()
{
    QFETCH(QByteArray, response);
    MainWindowSession session;
    ScriptedStation station;
    station.chunks = cut(response, {1000, 30000});
    session.start(station.address());

    frmMain &w = *session.window;
    QTRY_VERIFY(session.showedMessage(QStringLiteral("Server is unavailable.")));
    QCOMPARE(session.services.dialogs.messages.last().icon, MessageIcon::Stop);
    QCOMPARE(session.services.dialogs.messages.last().title, QStringLiteral("Tavrix"));
    QCOMPARE(w.lblStatus->text(),
             QStringLiteral("Could not connect to ") + station.address() + QStringLiteral("."));
    QCOMPARE(w.cmdStart->text(), QStringLiteral("Start Buffering"));
    QVERIFY(w.cmdStart->isEnabled());
    QVERIFY(w.txtURL->isEnabled());
    QVERIFY(!w.state().Streaming);
    QVERIFY(w.shpBar->isHidden());
    QCOMPARE(session.bufferFiles(), QStringList{QStringLiteral("000_strm.mp3")});
    QCOMPARE(QFileInfo(session.bufferFolder + QStringLiteral("000_strm.mp3")).size(), 0);
}

void StreamingTest::endOfConnection()
{
    const QByteArray audio = audioBytes(20 * 1024);
    MainWindowSession session;
    ScriptedStation station;
    station.chunks = {icyHeader("Closing FM", "Pop", "", "64"), audio};
    station.closeAfterChunks = true;
    session.start(station.address());

    frmMain &w = *session.window;
    QTRY_COMPARE(w.lblStatus->text(), QStringLiteral("The station ") + station.address() +
                                          QStringLiteral(" closed the connection."));
    QCOMPARE(session.allBufferBytes(), audio);
    QVERIFY(!w.state().BufferFile.isOpen());
    // The inputs stay locked; "Cancel" leads back to idle.
    QVERIFY(!w.txtURL->isEnabled());
    QCOMPARE(w.cmdStart->text(), QStringLiteral("Cancel"));
    QVERIFY(w.cmdStart->isEnabled());
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    QCOMPARE(w.cmdStart->text(), QStringLiteral("Start Buffering"));
    QVERIFY(w.txtURL->isEnabled());
    QVERIFY(!w.state().Streaming);
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

    frmMain &w = *session.window;
    QTRY_COMPARE(w.lblStatus->text(),
                 QStringLiteral("The connection to ") + address + QStringLiteral(" failed."));
    // The component's own message shows what went wrong.
    QCOMPARE(session.services.dialogs.messages.size(), 1);
    QCOMPARE(session.services.dialogs.messages.first().icon, MessageIcon::Stop);
    QVERIFY(!session.services.dialogs.messages.first().text.isEmpty());
    QVERIFY(w.cmdStart->isEnabled());
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    QCOMPARE(w.cmdStart->text(), QStringLiteral("Start Buffering"));
}

void StreamingTest::startEmptiesOnlyTheProgramsFiles()
{
    MainWindowSession session;
    writeFile(session.gameFolder + QStringLiteral("Tavrix_00.mp3"), "old 0");
    writeFile(session.gameFolder + QStringLiteral("Tavrix_01.mp3"), "old 1");
    writeFile(session.gameFolder + QStringLiteral("My Song.mp3"), "mine");
    writeFile(session.bufferFolder + QStringLiteral("005_strm.mp3"), "left over");
    writeFile(session.bufferFolder + QStringLiteral("OLD.MP3"), "left over");
    writeFile(session.bufferFolder + QStringLiteral("notes.txt"), "kept");

    // An invalid address: the folders are emptied before the message.
    session.start(QStringLiteral("http://abc:80"));
    QCOMPARE(session.services.dialogs.messages.size(), 1);
    QCOMPARE(session.services.dialogs.messages.first().icon, MessageIcon::Stop);
    QVERIFY(session.services.dialogs.messages.first().text.startsWith(
        QStringLiteral("Please enter a valid URL, including the port number.\n\nExample: "
                       "http://")));
    QCOMPARE(session.window->state().StationURL, QStringLiteral("abc:80"));
    QVERIFY(!session.window->state().Streaming);

    QCOMPARE(QDir(session.gameFolder).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("MP3Report.txt"), QStringLiteral("My Song.mp3")}));
    QCOMPARE(QDir(session.bufferFolder).entryList(QDir::Files, QDir::Name),
             QStringList{QStringLiteral("notes.txt")});
}

void StreamingTest::startNeedsBothFolders()
{
    TemporarySettingsLocation settings;
    TestServices services;
    frmMain window(services.services());
    window.txtURL->setText(QStringLiteral("127.0.0.1:8000"));
    window.cmdStart_Click();
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().icon, MessageIcon::Exclamation);
    QCOMPARE(services.dialogs.messages.first().text,
             QStringLiteral("Please select the buffer and GTA MP3s folders and retry."));
    QVERIFY(!window.state().Streaming);
    QCOMPARE(window.cmdStart->text(), QStringLiteral("Start Buffering"));
}

void StreamingTest::startWithoutSocketComponent()
{
    QTemporaryDir emptyComponentFolder;
    MainWindowSession session(emptyComponentFolder.path());
    writeFile(session.gameFolder + QStringLiteral("Tavrix_00.mp3"), "old 0");
    session.start(QStringLiteral("127.0.0.1:8000"));
    QCOMPARE(session.services.dialogs.messages.size(), 1);
    QCOMPARE(session.services.dialogs.messages.first().icon, MessageIcon::Stop);
    QVERIFY(session.services.dialogs.messages.first().text.contains(
        QStringLiteral("network component")));
    QVERIFY(!session.window->state().Streaming);
    QVERIFY(QFileInfo::exists(session.gameFolder + QStringLiteral("Tavrix_00.mp3")));
}

void StreamingTest::bufferFolderRemovedWhileStreaming()
{
    MainWindowSession session;
    session.useCustomSize(0);
    ScriptedStation station;
    station.chunks = {icyHeader("Vanishing", "", "", "32"), audioBytes(10 * 1024)};
    session.start(station.address());
    QTRY_COMPARE(session.allBufferBytes().size(), 10 * 1024);

    QVERIFY(QDir(session.bufferFolder).removeRecursively());
    station.send(audioBytes(130 * 1024));

    frmMain &w = *session.window;
    QTRY_COMPARE(session.services.dialogs.messages.size(), 1);
    const QString text = session.services.dialogs.messages.first().text;
    QVERIFY2(text.contains(session.bufferFolder + QStringLiteral("001_strm.mp3")),
             qPrintable(text));
    QVERIFY(!w.state().BufferFile.isOpen());
    QVERIFY(w.cmdStart->isEnabled());
    QVERIFY(w.lblStatus->text().startsWith(QStringLiteral("Buffering stopped")));
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    QCOMPARE(w.cmdStart->text(), QStringLiteral("Start Buffering"));
}

void StreamingTest::stationJoinsRecentListOnce()
{
    MainWindowSession session;
    ScriptedStation station;
    station.chunks = {icyHeader("<b>Markup FM</b>", "Rock & Roll", "http://markup.example", "128"),
                      audioBytes(1024)};
    frmMain &w = *session.window;
    const int before = w.cmbRecent->count();
    session.start(station.address());
    QTRY_COMPARE(w.cmbRecent->count(), before + 1);
    QCOMPARE(w.cmbRecent->itemText(before), QStringLiteral("<b>Markup FM</b> [128 Kbps]"));
    QCOMPARE(w.lblServerName->text(), QStringLiteral("Name: <b>Markup FM</b>"));
    QCOMPARE(w.lblServerName->textFormat(), Qt::PlainText);
    QCOMPARE(w.lblBitrate->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    session.start(station.address());
    QTRY_VERIFY(w.cmdStart->isEnabled());
    QCOMPARE(w.cmbRecent->count(), before + 1);
}

QTEST_MAIN(StreamingTest)
#include "tst_streaming.moc"
