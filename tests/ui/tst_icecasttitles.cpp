// SPDX-License-Identifier: GPL-3.0-or-later
// Song titles from a real Icecast 2 station whose source announces them as a
// source client does: the main window shows and lists each as it changes,
// and the buffer files hold the station's audio byte for byte, as a second
// listener that asked for no titles received it.

#include "IcecastStation.h"
#include "MainWindowSession.h"
#include "PlainListener.h"
#include "station/StreamSession.h"
#include "ui/frmTitles.h"

#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int Bitrate = 128;

} // namespace

class IcecastTitlesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void titlesAsTheSourceChangesThem();

private:
    QTemporaryDir m_dir;
};

void IcecastTitlesTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The history of played titles goes to this test's own data folder.
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
}

void IcecastTitlesTest::titlesAsTheSourceChangesThem()
{
    IcecastStation station(Bitrate, 20);
    QString error;
    QVERIFY2(station.start(&error), qPrintable(error));
    QVERIFY2(station.setTitle(QStringLiteral("Before Anyone Listened"), &error), qPrintable(error));

    PlainListener plain(station.port());
    QTRY_VERIFY_WITH_TIMEOUT(plain.audio().size() > 0, 10000);

    MainWindowSession session;
    session.useCustomSize(0); // 128 KB
    auto *stream = session.window->findChild<StreamSession *>();
    QVERIFY(stream);
    QSignalSpy titles(stream->audio(), &AudioPipeline::titleChanged);
    session.start(station.address());
    auto *welcome = session.get<QLabel>("lblWelcome");

    // The title set before the session began is the first one it hears.
    const QStringList changes = {
        QStringLiteral("Sigur R\u00f3s - Hopp\u00edpolla"),
        QStringLiteral("Guns N' Roses - Don't Cry"),
        QStringLiteral("Die \u00c4rzte - \"Z\u00e4ck\" & <Friends> 100% + more"),
    };
    QTRY_COMPARE_WITH_TIMEOUT(titles.size(), 1, 15000);
    QCOMPARE(titles.at(0).at(0).toString(), QStringLiteral("Before Anyone Listened"));
    for (qsizetype i = 0; i < changes.size(); ++i) {
        QVERIFY2(station.setTitle(changes[i], &error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(titles.size(), i + 2, 10000);
        QCOMPARE(titles.at(i + 1).at(0).toString(), changes[i]);
        QTRY_COMPARE(shownToolTip(welcome), QStringLiteral("Now playing: ") + changes[i]);
    }
    // The same title again is no change.
    QVERIFY2(station.setTitle(changes.last(), &error), qPrintable(error));
    // Several seconds of audio after the last title: the next file begins.
    const qsizetype filesBefore = session.bufferFiles().size();
    QTRY_VERIFY_WITH_TIMEOUT(session.bufferFiles().size() > filesBefore + 1, 30000);
    QCOMPARE(titles.size(), changes.size() + 1);

    // The played-titles window lists them, newest first.
    QTest::keyClick(session.window.get(), Qt::Key_T, Qt::ControlModifier);
    frmTitles *played = session.window->titlesWindow();
    QVERIFY(played);
    QCOMPARE(played->lstTitles->count(), changes.size() + 1);
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const QString listed = played->lstTitles->item(int(i))->text();
        QVERIFY2(listed.endsWith(changes[changes.size() - 1 - i]), qPrintable(listed));
    }

    session.clickStart();
    QVERIFY(plain.isConnected());
    QTest::qWait(500); // the plain listener gets what Icecast sent with the last file
    const QByteArray plainAudio = plain.audio();
    const QByteArray titledAudio = session.allBufferBytes();

    // Both listeners began at different points of Icecast's burst; the
    // titled run is a contiguous part of what the plain listener got.
    QVERIFY2(titledAudio.size() > 240 * 1024, qPrintable(QString::number(titledAudio.size())));
    QString why;
    QVERIFY2(isContiguousPart(titledAudio, plainAudio, 16 * 1024, &why), qPrintable(why));
}

QTEST_MAIN(IcecastTitlesTest)
#include "tst_icecasttitles.moc"
