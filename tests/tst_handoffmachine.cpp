// SPDX-License-Identifier: GPL-3.0-or-later
#include "GameFileWatcher.h"
#include "TestFiles.h"
#include "handoff/HandOffMachine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

class FakeWindow final : public HandOffListener
{
public:
    void setStatusText(const QString &text) override { statusTexts << text; }
    void setWelcomeText(const QString &text) override { welcomeTexts << text; }
    bool autoStartChecked() const override { return autoStart; }
    void LaunchGame() override { ++launches; }

    QStringList statusTexts;
    QStringList welcomeTexts;
    bool autoStart = true;
    int launches = 0;
};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A buffer folder and a game folder in a temporary place, with a machine
// over them.
struct HandOff
{
    QTemporaryDir root;
    QString bufferFolder = root.filePath(QStringLiteral("buffer")) + QLatin1Char('/');
    QString gameFolder = root.filePath(QStringLiteral("Grand Theft Äuto/mp3")) + QLatin1Char('/');
    std::array<QString, 2> gameFiles{gameFolder + QStringLiteral("Tavrix_00.mp3"),
                                     gameFolder + QStringLiteral("Tavrix_01.mp3")};
    InUseFileOperations files;
    FakeWindow window;
    HandOffMachine machine{files, window};

    explicit HandOff(bool autoStart = false)
    {
        QDir().mkpath(bufferFolder);
        QDir().mkpath(gameFolder);
        machine.setFolders({bufferFolder, gameFiles});
        machine.startSession(autoStart);
    }

    // Buffer files "first" .. "first + count - 1", each holding "audio <n>".
    void addBufferFiles(int first, int count, const QByteArray &prefix = "audio ")
    {
        for (int n = first; n < first + count; ++n)
            writeFile(bufferFolder + QStringLiteral("%1_strm.mp3").arg(n, 3, 10, QLatin1Char('0')),
                      prefix + QByteArray::number(n));
    }
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            machine.tick();
    }
    QStringList bufferFiles() const
    {
        return QDir(bufferFolder).entryList(QDir::Files, QDir::Name);
    }
    QByteArray game(int slot) const { return contentOf(gameFiles[size_t(slot)]); }
};

} // namespace

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
    void countdownAndLaunchAfterTheFirstHandOff_data();
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
    HandOff h;
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
    HandOff h;
    writeFile(h.bufferFolder + QStringLiteral("000_STRM.mp3"), "first");
    h.addBufferFiles(1, 1);

    h.ticks(1);
    QVERIFY(!h.machine.showsBufferingStatus());
    // Names as they are on disk.
    QCOMPARE(h.window.statusTexts, QStringList{QStringLiteral("Moving file 000_STRM.mp3 to ") +
                                               h.gameFolder + QStringLiteral("Tavrix_00.mp3...")});
    h.ticks(2);
    QCOMPARE(h.bufferFiles(), QStringList{QStringLiteral("001_strm.mp3")});
    QCOMPARE(h.game(0), QByteArray("first"));
    QCOMPARE(h.game(1), QByteArray("first"));
    QCOMPARE(h.machine.slot(), 1);
    QCOMPARE(h.machine.stage(), HandOffMachine::Stage::WaitingForFile);
    QVERIFY(h.machine.showsBufferingStatus());
    QCOMPARE(h.window.statusTexts.size(), 1);
    QVERIFY(h.window.welcomeTexts.isEmpty());
}

void HandOffMachineTest::filesPilingUpGoOneByOneIntoAlternatingSlots()
{
    HandOff h;
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
    HandOff h;
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
    HandOff h;
    writeFile(h.gameFiles[0], "playing");
    h.files.inUse << h.gameFiles[0];
    h.addBufferFiles(0, 3);

    h.ticks(3);
    QCOMPARE(h.window.statusTexts.size(), 2);
    QCOMPARE(h.window.statusTexts.last(),
             h.gameFiles[0] + QStringLiteral(" skipped, it was in use..."));
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

void HandOffMachineTest::countdownAndLaunchAfterTheFirstHandOff_data()
{
    QTest::addColumn<bool>("autoStartChecked");
    QTest::newRow("checked") << true;
    QTest::newRow("unchecked by the last step") << false;
}

void HandOffMachineTest::countdownAndLaunchAfterTheFirstHandOff()
{
    QFETCH(bool, autoStartChecked);
    HandOff h(true);
    h.window.autoStart = autoStartChecked;
    h.addBufferFiles(0, 3);

    h.ticks(3 + 5);
    QCOMPARE(h.window.welcomeTexts, QStringList({QStringLiteral("Launching game in 5....."),
                                                 QStringLiteral("Launching game in 4...."),
                                                 QStringLiteral("Launching game in 3..."),
                                                 QStringLiteral("Launching game in 2.."),
                                                 QStringLiteral("Launching game in 1.")}));
    // No hand-off during the countdown.
    QCOMPARE(h.bufferFiles().size(), 2);
    QCOMPARE(h.window.launches, 0);

    h.ticks(1);
    QCOMPARE(h.window.launches, autoStartChecked ? 1 : 0);
    QCOMPARE(h.machine.stage(), HandOffMachine::Stage::WaitingForFile);
    if (autoStartChecked) {
        // Launching clears the automatic start: later moves count nothing down.
        h.ticks(3 + 6);
        QCOMPARE(h.game(1), QByteArray("audio 1"));
        QCOMPARE(h.window.welcomeTexts.size(), 5);
        QCOMPARE(h.window.launches, 1);
    }
}

void HandOffMachineTest::secondSessionContinuesSlotAndStage()
{
    HandOff h(true);
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
    QCOMPARE(h.window.welcomeTexts.size(), 3);
    QCOMPARE(h.window.welcomeTexts.last(), QStringLiteral("Launching game in 3..."));
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
        HandOff h;
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
        HandOff h;
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
