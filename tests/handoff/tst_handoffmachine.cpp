// SPDX-License-Identifier: GPL-3.0-or-later
#include "GameFileWatcher.h"
#include "HandOffHarness.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QThread>

class HandOffMachineTest : public QObject
{
    Q_OBJECT

private slots:
    void waitsForTwoFilesInTheBufferFolder_data();
    void waitsForTwoFilesInTheBufferFolder();
    void firstHandOffFillsBothGameFiles();
    void filesPilingUpGoOneByOneIntoAlternatingSlots();
    void gameFilesNeverGoMissing();
    void gameFileInUseSendsTheFileToTheOtherSlot();
    void countdownAndLaunchAfterTheFirstHandOff();
    void secondSessionContinuesSlotAndStage();
    void moveThatCannotBeMadeKeepsTheFile();
};

void HandOffMachineTest::waitsForTwoFilesInTheBufferFolder_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("bufferFolderChosen");
    QTest::newRow("none") << 0 << true;
    QTest::newRow("one, still being written") << 1 << true;
    QTest::newRow("no buffer folder chosen") << 3 << false;
}

void HandOffMachineTest::waitsForTwoFilesInTheBufferFolder()
{
    QFETCH(int, files);
    QFETCH(bool, bufferFolderChosen);
    HandOffHarness h;
    h.addBufferFiles(0, files);
    // With no folder chosen, the files of the last folder must not be touched
    // and an empty path must not mean the working directory.
    QDir::setCurrent(h.bufferFolder);
    if (!bufferFolderChosen)
        h.machine.setFolders({QString(), h.gameFiles});

    h.ticks(6);
    QDir::setCurrent(QDir::rootPath());
    QCOMPARE(h.bufferFiles().size(), files);
    QCOMPARE(h.machine.stage(), HandOffMachine::Stage::WaitingForFile);
    QVERIFY(h.window.statusTexts.isEmpty());
    QVERIFY(h.machine.showsBufferingStatus());
    QVERIFY(QDir(h.gameFolder).isEmpty());
}

void HandOffMachineTest::firstHandOffFillsBothGameFiles()
{
    HandOffHarness h;
    writeFile(h.bufferFolder + QStringLiteral("000_STRM.mp3"), "first");
    h.addBufferFiles(1, 1);

    h.ticks(1);
    QVERIFY(!h.machine.showsBufferingStatus());
    // Names as they are on disk.
    QCOMPARE(h.window.statusTexts, QStringList{QStringLiteral("Moving file 000_STRM.mp3 to ") +
                                               QDir::toNativeSeparators(h.gameFolder) +
                                               QStringLiteral("Tavrix_00.mp3...")});
    h.ticks(2);
    QCOMPARE(h.bufferFiles(), QStringList{QStringLiteral("001_strm.mp3")});
    QCOMPARE(h.game(0), QByteArray("first"));
    QCOMPARE(h.game(1), QByteArray("first"));
    QCOMPARE(h.machine.slot(), 1);
    QCOMPARE(h.machine.stage(), HandOffMachine::Stage::WaitingForFile);
    QVERIFY(h.machine.showsBufferingStatus());
    QCOMPARE(h.window.statusTexts.size(), 1);
    QVERIFY(h.window.countdown.isEmpty());
}

void HandOffMachineTest::filesPilingUpGoOneByOneIntoAlternatingSlots()
{
    HandOffHarness h;
    h.addBufferFiles(0, 4);
    h.ticks(6);
    QCOMPARE(h.game(0), QByteArray("audio 0"));
    QCOMPARE(h.game(1), QByteArray("audio 1"));
    h.ticks(3);
    QCOMPARE(h.game(0), QByteArray("audio 2"));
    QCOMPARE(h.game(1), QByteArray("audio 1"));
    QCOMPARE(h.machine.slot(), 1);
    // The newest file may still be growing: it stays.
    h.ticks(6);
    QCOMPARE(h.bufferFiles(), QStringList{QStringLiteral("003_strm.mp3")});
    QCOMPARE(h.window.statusTexts.size(), 3);
}

void HandOffMachineTest::gameFilesNeverGoMissing()
{
    // The game may open either name at any moment: once both exist, each
    // new file takes the old one's place without a moment between.
    HandOffHarness h;
    h.addBufferFiles(0, 21);
    GameFileWatcher watcher(h.gameFiles, std::chrono::milliseconds(1));
    for (int i = 0; i < 20 * 3; ++i) {
        h.machine.tick();
        QThread::msleep(5);
    }
    QCOMPARE(h.bufferFiles(), QStringList{QStringLiteral("020_strm.mp3")});
    QCOMPARE(h.game(1), QByteArray("audio 19"));
    QVERIFY2(watcher.looks() > 20 * 3, qPrintable(QString::number(watcher.looks())));
    QCOMPARE(watcher.missing(), 0);
}

void HandOffMachineTest::gameFileInUseSendsTheFileToTheOtherSlot()
{
    HandOffHarness h;
    writeFile(h.gameFiles[0], "playing");
    h.files.inUse << h.gameFiles[0];
    h.addBufferFiles(0, 3);

    h.ticks(3);
    QCOMPARE(h.window.statusTexts.size(), 2);
    QCOMPARE(h.window.statusTexts.last(), QDir::toNativeSeparators(h.gameFiles[0]) +
                                              QStringLiteral(" skipped, it was in use..."));
    QCOMPARE(h.machine.slot(), 1);
    QVERIFY(!h.machine.showsBufferingStatus());
    h.ticks(1);
    QCOMPARE(h.game(1), QByteArray("audio 0"));
    QCOMPARE(h.game(0), QByteArray("playing"));
    QVERIFY(h.machine.showsBufferingStatus());
    QCOMPARE(h.machine.stage(), HandOffMachine::Stage::WaitingForFile);

    // The slot that took the file stays due; alternation resumes after it.
    h.ticks(3);
    QCOMPARE(h.window.statusTexts.size(), 3);
    QVERIFY(h.window.statusTexts.last().endsWith(QStringLiteral("Tavrix_01.mp3...")));
    QCOMPARE(h.game(1), QByteArray("audio 1"));
    QCOMPARE(h.machine.slot(), 0);
}

void HandOffMachineTest::countdownAndLaunchAfterTheFirstHandOff()
{
    HandOffHarness h(true);
    h.addBufferFiles(0, 3);

    h.ticks(3 + 5);
    QCOMPARE(h.window.countdown, (QList<int>{5, 4, 3, 2, 1}));
    // No hand-off during the countdown.
    QCOMPARE(h.bufferFiles().size(), 2);
    QCOMPARE(h.window.launches, 0);

    h.ticks(1);
    QCOMPARE(h.window.launches, 1);
    QCOMPARE(h.machine.stage(), HandOffMachine::Stage::WaitingForFile);
    // Launching clears the automatic start: later moves count nothing down.
    h.ticks(3 + 6);
    QCOMPARE(h.game(1), QByteArray("audio 1"));
    QCOMPARE(h.window.countdown.size(), 5);
    QCOMPARE(h.window.launches, 1);
}

void HandOffMachineTest::secondSessionContinuesSlotAndStage()
{
    HandOffHarness h(true);
    h.addBufferFiles(0, 2);
    h.ticks(3 + 2); // moved, then two countdown steps

    // A new start empties both folders and writes from "000" again; the
    // countdown under way and the slot due carry over.
    for (const QString &name : h.bufferFiles())
        QVERIFY(QFile::remove(h.bufferFolder + name));
    QVERIFY(QFile::remove(h.gameFiles[0]));
    QVERIFY(QFile::remove(h.gameFiles[1]));
    h.addBufferFiles(0, 2, "second ");
    h.machine.endSession();
    h.machine.startSession(true);

    h.ticks(1);
    QCOMPARE(h.window.countdown, (QList<int>{5, 4, 3}));
    h.ticks(3);
    QCOMPARE(h.window.launches, 1);
    h.ticks(3);
    // Slot 1 was due; only slot 0's file is ever copied, so it stays missing.
    QCOMPARE(h.game(1), QByteArray("second 0"));
    QVERIFY(!QFile::exists(h.gameFiles[0]));
    QCOMPARE(h.machine.slot(), 0);
}

void HandOffMachineTest::moveThatCannotBeMadeKeepsTheFile()
{
    {
        // Both game files held open.
        HandOffHarness h;
        writeFile(h.gameFiles[0], "old 0");
        writeFile(h.gameFiles[1], "old 1");
        h.files.inUse << h.gameFiles[0] << h.gameFiles[1];
        h.addBufferFiles(0, 2);
        h.ticks(4);
        QCOMPARE(h.bufferFiles().size(), 2);
        QCOMPARE(h.game(0), QByteArray("old 0"));
        QCOMPARE(h.game(1), QByteArray("old 1"));
        QCOMPARE(h.machine.stage(), HandOffMachine::Stage::WaitingForFile);
        QVERIFY(h.machine.showsBufferingStatus());

        // Once the game lets go, the same file is handed off.
        h.files.inUse.clear();
        h.ticks(3);
        QCOMPARE(h.bufferFiles(), QStringList{QStringLiteral("001_strm.mp3")});
        QCOMPARE(h.game(1), QByteArray("audio 0"));
    }
    {
        // A new start empties the buffer folder between choosing a file and
        // moving it; its new "000" is being written and must stay.
        HandOffHarness h;
        writeFile(h.gameFiles[0], "old 0");
        h.addBufferFiles(0, 2);
        h.ticks(1);
        QVERIFY(QFile::remove(h.bufferFolder + QStringLiteral("001_strm.mp3")));
        h.addBufferFiles(0, 1, "new ");
        h.ticks(3);
        QCOMPARE(h.bufferFiles(), QStringList{QStringLiteral("000_strm.mp3")});
        QCOMPARE(h.game(0), QByteArray("old 0"));
        QCOMPARE(h.machine.slot(), 0);
        QVERIFY(h.machine.showsBufferingStatus());

        h.addBufferFiles(1, 1, "new ");
        h.ticks(3);
        QCOMPARE(h.game(0), QByteArray("new 0"));
        QCOMPARE(h.machine.slot(), 1);
    }
}

QTEST_GUILESS_MAIN(HandOffMachineTest)
#include "tst_handoffmachine.moc"
