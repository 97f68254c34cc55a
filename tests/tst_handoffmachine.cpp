#include "handoff/HandOffMachine.h"
#include "platform/FileOperations.h"
#include "handoff/FolderListing.h"
#include "stream/SessionState.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// The real file system, except that paths in `inUse` cannot be deleted,
// replaced or moved, as when the game holds them open.
class InUseFiles final : public FileOperations
{
public:
    bool exists(const QString &path) const override { return m_disk.exists(path); }
    bool remove(const QString &path) override
    {
        return !inUse.contains(path) && m_disk.remove(path);
    }
    bool move(const QString &from, const QString &to) override
    {
        return !inUse.contains(from) && !inUse.contains(to) && m_disk.move(from, to);
    }
    bool copy(const QString &from, const QString &to) override
    {
        return !inUse.contains(to) && m_disk.copy(from, to);
    }

    QSet<QString> inUse;

private:
    DiskFileOperations m_disk;
};

class FakeWindow final : public HandOffWindow
{
public:
    explicit FakeWindow(SessionState &state)
        : m_state(state)
    {}
    void setStatusText(const QString &text) override { statusTexts << text; }
    void setWelcomeText(const QString &text) override { welcomeTexts << text; }
    bool autoStartChecked() const override { return autoStart; }
    void LaunchGame() override
    {
        ++launches;
        m_state.AutoStartGame = false;
    }

    QStringList statusTexts;
    QStringList welcomeTexts;
    bool autoStart = true;
    int launches = 0;

private:
    SessionState &m_state;
};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(content);
}

// A buffer folder and a game folder in a temporary place, with the window's
// state, listing and a machine over them.
struct HandOff
{
    QTemporaryDir root;
    QString bufferFolder = root.filePath(QStringLiteral("buffer")) + QLatin1Char('/');
    QString gameFolder = root.filePath(QStringLiteral("Grand Theft Äuto/mp3")) + QLatin1Char('/');
    SessionState state;
    FolderListing listing;
    InUseFiles files;
    FakeWindow window{state};
    std::unique_ptr<HandOffMachine> machine;

    HandOff()
    {
        QDir().mkpath(bufferFolder);
        QDir().mkpath(gameFolder);
        state.BufferPath = bufferFolder;
        state.GameFileNames = {gameFolder + QStringLiteral("Tavrix_00.mp3"),
                               gameFolder + QStringLiteral("Tavrix_01.mp3")};
        state.ShowBufferingStatus = true;
        listing.setFolder(bufferFolder);
        restartMachine();
    }
    void restartMachine()
    {
        machine = std::make_unique<HandOffMachine>(state, listing, files, window);
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
            machine->tick();
    }
    QStringList bufferFiles() const
    {
        return QDir(bufferFolder).entryList(QDir::Files, QDir::Name);
    }
    QByteArray game(int slot) const { return contentOf(state.GameFileNames[slot]); }
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
        h.state.BufferPath.clear();

    h.ticks(6);
    QDir::setCurrent(QDir::rootPath());
    QCOMPARE(h.bufferFiles().size(), files);
    QCOMPARE(h.state.HandOffStage, quint8(0));
    QVERIFY(h.window.statusTexts.isEmpty());
    QVERIFY(h.state.ShowBufferingStatus);
    QVERIFY(QDir(h.gameFolder).isEmpty());
}

void HandOffMachineTest::firstHandOffFillsBothGameFiles()
{
    HandOff h;
    writeFile(h.bufferFolder + QStringLiteral("000_STRM.mp3"), "first");
    h.addBufferFiles(1, 1);

    h.ticks(1);
    QVERIFY(!h.state.ShowBufferingStatus);
    QCOMPARE(h.window.statusTexts,
             QStringList{QStringLiteral("Moving file 000_strm.mp3 to ") + h.gameFolder.toLower() +
                         QStringLiteral("tavrix_00.mp3...")});
    h.ticks(2);
    QCOMPARE(h.bufferFiles(), QStringList{QStringLiteral("001_strm.mp3")});
    QCOMPARE(h.game(0), QByteArray("first"));
    QCOMPARE(h.game(1), QByteArray("first"));
    QCOMPARE(h.state.GameSlot, quint8(1));
    QCOMPARE(h.state.HandOffStage, quint8(0));
    QVERIFY(h.state.ShowBufferingStatus);
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
    QCOMPARE(h.state.GameSlot, quint8(1));
    // The newest file may still be growing: it stays.
    h.ticks(6);
    QCOMPARE(h.bufferFiles(), QStringList{QStringLiteral("003_strm.mp3")});
    QCOMPARE(h.window.statusTexts.size(), 3);
}

void HandOffMachineTest::gameFileInUseSendsTheFileToTheOtherSlot()
{
    HandOff h;
    writeFile(h.state.GameFileNames[0], "playing");
    h.files.inUse << h.state.GameFileNames[0];
    h.addBufferFiles(0, 3);

    h.ticks(3);
    QCOMPARE(h.window.statusTexts.size(), 2);
    QCOMPARE(h.window.statusTexts.last(),
             h.state.GameFileNames[0] + QStringLiteral(" skipped, it was in use..."));
    QCOMPARE(h.state.SkippedSlot, qint16(0));
    QCOMPARE(h.state.GameSlot, quint8(1));
    QVERIFY(!h.state.ShowBufferingStatus);
    h.ticks(1);
    QCOMPARE(h.game(1), QByteArray("audio 0"));
    QCOMPARE(h.game(0), QByteArray("playing"));
    QVERIFY(h.state.ShowBufferingStatus);
    QCOMPARE(h.state.HandOffStage, quint8(0));

    // The slot that took the file stays due; alternation resumes after it.
    h.ticks(3);
    QCOMPARE(h.window.statusTexts.size(), 3);
    QVERIFY(h.window.statusTexts.last().endsWith(QStringLiteral("tavrix_01.mp3...")));
    QCOMPARE(h.game(1), QByteArray("audio 1"));
    QCOMPARE(h.state.GameSlot, quint8(0));
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
    HandOff h;
    h.state.AutoStartGame = true;
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
    QCOMPARE(h.state.HandOffStage, quint8(0));
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
    HandOff h;
    h.state.AutoStartGame = true;
    h.addBufferFiles(0, 2);
    h.ticks(3 + 2); // moved, then two countdown steps

    // A new start empties both folders and writes from "000" again; the
    // countdown under way and the slot due carry over.
    for (const QString &name : h.bufferFiles())
        QVERIFY(QFile::remove(h.bufferFolder + name));
    QVERIFY(QFile::remove(h.state.GameFileNames[0]));
    QVERIFY(QFile::remove(h.state.GameFileNames[1]));
    h.addBufferFiles(0, 2, "second ");
    h.restartMachine();

    h.ticks(1);
    QCOMPARE(h.window.welcomeTexts.size(), 3);
    QCOMPARE(h.window.welcomeTexts.last(), QStringLiteral("Launching game in 3..."));
    h.ticks(3);
    QCOMPARE(h.window.launches, 1);
    h.ticks(3);
    // Slot 1 was due; only slot 0's file is ever copied, so it stays missing.
    QCOMPARE(h.game(1), QByteArray("second 0"));
    QVERIFY(!QFile::exists(h.state.GameFileNames[0]));
    QCOMPARE(h.state.GameSlot, quint8(0));
}

void HandOffMachineTest::moveThatCannotBeMadeKeepsTheFile()
{
    {
        // Both game files held open.
        HandOff h;
        writeFile(h.state.GameFileNames[0], "old 0");
        writeFile(h.state.GameFileNames[1], "old 1");
        h.files.inUse << h.state.GameFileNames[0] << h.state.GameFileNames[1];
        h.addBufferFiles(0, 2);
        h.ticks(4);
        QCOMPARE(h.bufferFiles().size(), 2);
        QCOMPARE(h.game(0), QByteArray("old 0"));
        QCOMPARE(h.game(1), QByteArray("old 1"));
        QCOMPARE(h.state.HandOffStage, quint8(0));
        QVERIFY(h.state.ShowBufferingStatus);

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
        writeFile(h.state.GameFileNames[0], "old 0");
        h.addBufferFiles(0, 2);
        h.ticks(1);
        QVERIFY(QFile::remove(h.bufferFolder + QStringLiteral("001_strm.mp3")));
        h.addBufferFiles(0, 1, "new ");
        h.ticks(3);
        QCOMPARE(h.bufferFiles(), QStringList{QStringLiteral("000_strm.mp3")});
        QCOMPARE(h.game(0), QByteArray("old 0"));
        QCOMPARE(h.state.GameSlot, quint8(0));
        QVERIFY(h.state.ShowBufferingStatus);

        h.addBufferFiles(1, 1, "new ");
        h.ticks(3);
        QCOMPARE(h.game(0), QByteArray("new 0"));
        QCOMPARE(h.state.GameSlot, quint8(1));
    }
}

QTEST_GUILESS_MAIN(HandOffMachineTest)
#include "tst_handoffmachine.moc"
