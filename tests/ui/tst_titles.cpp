// SPDX-License-Identifier: GPL-3.0-or-later
// The station's titles in the main window: the welcome label and the tray's
// tooltip show what plays, the played-titles window lists it and copies it;
// a station whose audio cannot be converted ends like an unavailable one, and
// a converted station says so in the status line.

#include "AudioSamples.h"
#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "audio/AudioPipeline.h"
#include "audio/TitleHistory.h"
#include "station/StreamSession.h"
#include "ui/TrayIcon.h"
#include "ui/frmTitles.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

QByteArray header(const QByteArray &contentType, const QByteArray &metaInt)
{
    QByteArray head = icyHeader("Titled FM", "Pop", "http://titled.example", "128");
    head.replace("content-type:audio/mpeg", "content-type:" + contentType);
    if (!metaInt.isEmpty())
        head.replace("icy-pub:1\r\n", "icy-pub:1\r\nicy-metaint:" + metaInt + "\r\n");
    return head;
}

QByteArray metadata(const QByteArray &text)
{
    QByteArray block = text;
    const int length = int((block.size() + 15) / 16);
    block.resize(length * 16, '\0');
    return char(length) + block;
}

} // namespace

class TitlesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void titleShownListedAndCopied();
    void titlesFasterThanShown();
    void unconvertibleAudioEndsTheSession();
    void convertedStationSaysSo();

private:
    QTemporaryDir m_dir;
    QByteArray m_mp3;
};

void TitlesTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The history goes to this test's own data folder.
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
    m_mp3 = AudioSamples::tone(m_dir.path(), "in.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}, 3);
    QVERIFY(m_mp3.size() > 3 * 8192);
}

void TitlesTest::titleShownListedAndCopied()
{
    const QString title = QStringLiteral("Guns N' Roses - Don't Cry <b>live</b> \u00e9t\u00e9");
    ScriptedStation station;
    station.chunks = {header("audio/mpeg", "8192"),
                      m_mp3.left(8192) + metadata("StreamTitle='" + title.toUtf8() + "';"),
                      m_mp3.mid(8192, 8192) + metadata("StreamTitle='Second Song';"),
                      m_mp3.mid(16384, 8192) + char(0)};
    MainWindowSession session;
    session.start(station.address());

    auto *welcome = session.get<QLabel>("lblWelcome");
    QTRY_VERIFY(welcome->toolTip().contains(QStringLiteral("Second Song")));
    QCOMPARE(welcome->textFormat(), Qt::PlainText);
    QVERIFY(welcome->text().startsWith(QStringLiteral("Now playing: Second Song")));
    // The buffer files hold the audio only.
    QTRY_COMPARE(session.allBufferBytes(), m_mp3.left(3 * 8192));

    QTest::keyClick(session.window.get(), Qt::Key_T, Qt::ControlModifier);
    frmTitles *titles = session.window->titlesWindow();
    QVERIFY(titles);
    QVERIFY(titles->isVisible());
    QCOMPARE(titles->lstTitles->count(), 2);
    QVERIFY(titles->lstTitles->item(0)->text().endsWith(QStringLiteral("Second Song")));
    QVERIFY(titles->lstTitles->item(1)->text().endsWith(title));
    titles->lstTitles->setCurrentRow(1);
    QTest::mouseClick(titles->cmdCopy, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), title);
    QTest::mouseClick(titles->cmdClose, Qt::LeftButton);
    QVERIFY(!titles->isVisible());

    // A long title is cut to the label's width; the tooltip has it whole.
    const QByteArray longTitle = QByteArray("A very long title ").repeated(20);
    station.send(m_mp3.mid(3 * 8192, 8192) + metadata("StreamTitle='" + longTitle + "';"));
    QTRY_VERIFY(welcome->toolTip().contains(QString::fromUtf8(longTitle.trimmed())));
    QVERIFY(welcome->text().size() < longTitle.size());
    QVERIFY(welcome->fontMetrics().horizontalAdvance(welcome->text()) <= welcome->width());

    // Markup in a title is text, in the label and in its tooltip.
    station.send(m_mp3.mid(4 * 8192, 8192) + metadata("StreamTitle='" + title.toUtf8() + "';"));
    QTRY_COMPARE(shownToolTip(welcome), QStringLiteral("Now playing: ") + title);
    QVERIFY(welcome->text().startsWith(QStringLiteral("Now playing: Guns N' Roses")));
}

// A station whose titles come in a burst: every title is kept in the played
// titles, and the window settles on the last one.
void TitlesTest::titlesFasterThanShown()
{
    QByteArray burst;
    for (int i = 0; i < 40; ++i)
        burst += m_mp3.mid(i * 1000, 1000) +
                 metadata("StreamTitle='Song " + QByteArray::number(i) + "';");
    ScriptedStation station;
    station.chunks = {header("audio/mpeg", "1000"), burst};
    MainWindowSession session;
    session.start(station.address());

    auto *welcome = session.get<QLabel>("lblWelcome");
    QTRY_COMPARE(welcome->text(), QStringLiteral("Now playing: Song 39"));
    QCOMPARE(shownToolTip(welcome), QStringLiteral("Now playing: Song 39"));
    QTRY_COMPARE(session.allBufferBytes(), m_mp3.left(40 * 1000));

    QTest::keyClick(session.window.get(), Qt::Key_T, Qt::ControlModifier);
    frmTitles *titles = session.window->titlesWindow();
    QVERIFY(titles);
    QCOMPARE(titles->lstTitles->count(), 40);
    QVERIFY(titles->lstTitles->item(0)->text().endsWith(QStringLiteral("Song 39")));
    QVERIFY(titles->lstTitles->item(39)->text().endsWith(QStringLiteral("Song 0")));

    // Titles that came after the window last showed one still reach the
    // history when the user cancels before the next showing.
    auto *pipeline = session.window->findChild<AudioPipeline *>();
    QVERIFY(pipeline);
    connect(pipeline, &AudioPipeline::titleChanged, this, [&](const QString &title) {
        if (title == QStringLiteral("Song 59"))
            QMetaObject::invokeMethod(
                this, [&] { session.clickStart(); }, Qt::QueuedConnection);
    });
    burst.clear();
    for (int i = 40; i < 60; ++i)
        burst += m_mp3.mid((i - 40) * 1000, 1000) +
                 metadata("StreamTitle='Song " + QByteArray::number(i) + "';");
    station.send(burst);
    QTRY_COMPARE(session.get<QPushButton>("cmdStart")->text(), QStringLiteral("Start Buffering"));
    QVERIFY(!welcome->text().contains(QStringLiteral("Song 59")));
    const QList<PlayedTitle> kept =
        TitleHistory(TitleHistory::defaultDataFolder(),
                     session.window->findChild<StreamSession *>()->stationUrl())
            .entries();
    QCOMPARE(kept.size(), 60);
    QCOMPARE(kept.constLast().title, QStringLiteral("Song 59"));
}

void TitlesTest::unconvertibleAudioEndsTheSession()
{
    ScriptedStation station;
    station.chunks = {header("video/mp4", {}), QByteArray(20000, 'v')};
    MainWindowSession session;
    session.start(station.address());
    QTRY_VERIFY(session.showedMessage(
        QStringLiteral("Server is unavailable.\n\nThe station sends video/mp4 audio, which "
                       "Tavrix cannot convert.")));
    QCOMPARE(session.get<QPushButton>("cmdStart")->text(), QStringLiteral("Start Buffering"));
    QCOMPARE(session.bufferFiles(), QStringList());
}

void TitlesTest::convertedStationSaysSo()
{
    const QByteArray aac = AudioSamples::tone(m_dir.path(), "in.aac",
                                              {"-c:a", "aac", "-b:a", "128k", "-f", "adts"}, 4);
    QVERIFY(!aac.isEmpty());
    ScriptedStation station;
    station.chunks = {header("audio/aac", {}), aac};
    MainWindowSession session;
    session.start(station.address());
    QTRY_VERIFY_WITH_TIMEOUT(session.status().endsWith(QStringLiteral(" KB ] (AAC \u2192 MP3)")),
                             20000);
    QCOMPARE(session.get<QLabel>("lblBitrate")->text(), QStringLiteral("Bitrate: 128 Kbps"));
}

QTEST_MAIN(TitlesTest)
#include "tst_titles.moc"
