// SPDX-License-Identifier: GPL-3.0-or-later
#include "HandOffHarness.h"
#include "ScratchMount.h"
#include "UnwritableFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

class HandOffFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void unwritableGameFolderIsToldAndHandOffResumes();
    void gameFolderRemovedMidStream();
    void failedMoveNamesTheSystemsReason();
    void gameFolderOnAnotherFileSystem();
    void textsStopWhenTheStreamHasEnded();
};

void HandOffFaultsTest::unwritableGameFolderIsToldAndHandOffResumes()
{
    HandOffHarness h;
    UnwritableFolder folder(h.gameFolder);
    h.addBufferFiles(0, 3);
    h.ticks(3);
    QCOMPARE(h.game(0), QByteArray("audio 0"));
    QVERIFY2(folder.lock(), qPrintable(folder.error()));

    h.ticks(6);
    const QString reason = QStringLiteral("Could not move 001_strm.mp3 to ") + h.gameFiles[1] +
                           QStringLiteral(": the game folder cannot be written: ") +
                           folder.reason();
    QCOMPARE(h.window.blocked, QStringList{reason});
    QCOMPARE(h.window.statusTexts.last(), reason);
    QCOMPARE(h.machine.blockedReason(), reason);
    // The failure is not covered by the stream's progress, and nothing is lost.
    QVERIFY(!h.machine.showsBufferingStatus());
    QCOMPARE(h.bufferFiles().size(), 2);

    QVERIFY(folder.unlock());
    h.ticks(3);
    QCOMPARE(h.game(1), QByteArray("audio 1"));
    QCOMPARE(h.window.resumed, 1);
    QCOMPARE(h.window.statusTexts.last(),
             QStringLiteral("The game folder takes files again: hand-off resumed."));
    QVERIFY(h.machine.blockedReason().isEmpty());
    QVERIFY(h.machine.showsBufferingStatus());
    QCOMPARE(h.window.blocked.size(), 1);
}

void HandOffFaultsTest::gameFolderRemovedMidStream()
{
    HandOffHarness h;
    h.addBufferFiles(0, 2);
    h.ticks(3);
    QVERIFY(QDir(h.root.filePath(QStringLiteral("Grand Theft Äuto"))).removeRecursively());
    h.addBufferFiles(2, 2);
    h.ticks(5);
    QCOMPARE(h.window.blocked,
             QStringList{QStringLiteral("Could not move 001_strm.mp3 to ") + h.gameFiles[1] +
                         QStringLiteral(": the game folder does not exist")});
    QCOMPARE(h.bufferFiles().size(), 3);

    QVERIFY(QDir().mkpath(h.gameFolder));
    h.ticks(3 + 3);
    QCOMPARE(h.game(1), QByteArray("audio 1"));
    QCOMPARE(h.game(0), QByteArray("audio 2"));
    QCOMPARE(h.window.resumed, 1);
}

void HandOffFaultsTest::failedMoveNamesTheSystemsReason()
{
    // A folder under the game file's name: the folder is fine, the move is
    // not, and the reason comes from the system.
    HandOffHarness h;
    QVERIFY(QDir().mkpath(h.gameFiles[0]));
    h.addBufferFiles(0, 2);
    h.ticks(3);
    QCOMPARE(h.window.blocked.size(), 1);
    const QString prefix =
        QStringLiteral("Could not move 000_strm.mp3 to ") + h.gameFiles[0] + QStringLiteral(": ");
    QVERIFY2(h.window.blocked.first().startsWith(prefix), qPrintable(h.window.blocked.first()));
    QVERIFY(h.window.blocked.first().size() > prefix.size());
    QCOMPARE(h.bufferFiles().size(), 2);
    // The same failure again is not told again.
    h.ticks(6);
    QCOMPARE(h.window.blocked.size(), 1);
}

void HandOffFaultsTest::gameFolderOnAnotherFileSystem()
{
    if (!ScratchMount::possible())
        QSKIP("mounting a scratch file system needs root");
    // No rename reaches across: the file is copied beside the game file
    // and put in its place in one step all the same.
    HandOffHarness h;
    ScratchMount disk(h.gameFolder, 1 << 20);
    QVERIFY2(disk.isMounted(), qPrintable(disk.error()));
    h.addBufferFiles(0, 4);
    h.ticks(3 * 3);
    QCOMPARE(h.game(0), QByteArray("audio 2"));
    QCOMPARE(h.game(1), QByteArray("audio 1"));
    QCOMPARE(h.bufferFiles(), QStringList{QStringLiteral("003_strm.mp3")});
    QCOMPARE(QDir(h.gameFolder).entryList(QDir::Files),
             QStringList({QStringLiteral("Tavrix_00.mp3"), QStringLiteral("Tavrix_01.mp3")}));
    QVERIFY(h.window.blocked.isEmpty());
}

void HandOffFaultsTest::textsStopWhenTheStreamHasEnded()
{
    HandOffHarness h;
    h.addBufferFiles(0, 4);
    h.ticks(3);
    const qsizetype textsBefore = h.window.statusTexts.size();
    h.machine.streamEnded();
    h.ticks(6);
    // The remaining finished files still reach the game, silently.
    QCOMPARE(h.game(1), QByteArray("audio 1"));
    QCOMPARE(h.game(0), QByteArray("audio 2"));
    QCOMPARE(h.window.statusTexts.size(), textsBefore);

    h.machine.startSession(false);
    h.addBufferFiles(4, 1);
    h.ticks(1);
    QCOMPARE(h.window.statusTexts.size(), textsBefore + 1);
}

QTEST_GUILESS_MAIN(HandOffFaultsTest)
#include "tst_handofffaults.moc"
