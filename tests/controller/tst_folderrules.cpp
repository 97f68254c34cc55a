// SPDX-License-Identifier: GPL-3.0-or-later
// The folder rules of a buffering run, without a window: stored folders that
// cannot be used, the game folder's report rewritten (the game's own kept
// first), a new buffer folder emptied on the user's word (their MP3s to the
// trash), the two folders kept apart, and the hand-off held while the
// deletion question is open.

#include "ControllerSession.h"
#include "GameHome.h"
#include "UnwritableFolder.h"
#include "game/GameFolder.h"
#include "game/ReportBackup.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTest>
#include <QTimer>

namespace {

const QString Valid = QStringLiteral("http://127.0.0.1:9");

// Settings written before a controller loads them.
void storeFolders(const TestServices &services, const QString &buffer, const QString &radio)
{
    Settings settings(services.location.configFile());
    settings.setBufferPath(buffer);
    settings.setRadioPath(radio);
    QVERIFY(settings.sync());
}

} // namespace

class FolderRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void storedFoldersThatCannotBeUsed_data();
    void storedFoldersThatCannotBeUsed();
    void defaultBufferFolderWithoutCache();
    void gameFolderChoice();
    void reportThatCannotBeKeptIsNotRewritten();
    void bufferFolderChoice();
    void foldersMustBeSeparate_data();
    void foldersMustBeSeparate();
    void handOffWaitsForTheDeletionQuestion();
};

void FolderRulesTest::storedFoldersThatCannotBeUsed_data()
{
    QTest::addColumn<QString>("stored"); // under the temporary root
    QTest::addColumn<QString>("problem");
    QTest::newRow("plain file") << "plain.mp3"
                                << "is not a folder";
    QTest::newRow("missing") << "gone"
                             << "does not exist";
}

void FolderRulesTest::storedFoldersThatCannotBeUsed()
{
    QFETCH(QString, stored);
    QFETCH(QString, problem);
    TestServices services;
    QTemporaryDir root;
    const QString game = root.filePath(QStringLiteral("gta3/mp3/"));
    writeFile(game + QStringLiteral("MP3Report.txt"), "report");
    writeFile(game + QStringLiteral("Tavrix_00.mp3"), "the game's file");
    writeFile(root.filePath(QStringLiteral("plain.mp3")), "the user's file");
    const QString buffer = root.filePath(stored) + QLatin1Char('/');
    storeFolders(services, root.filePath(stored), game);

    {
        RecordedController run(services.services());
        // The stored folder is shown with what is wrong, not replaced behind
        // the user's back.
        QCOMPARE(run.bufferFolder, buffer);
        const QString text =
            QStringLiteral("The buffer folder ") + buffer + QLatin1Char(' ') + problem +
            QStringLiteral(". Please choose another folder for the temporary files.");
        QCOMPARE(run.status(), text);
        QVERIFY(!QFileInfo::exists(services.location.cacheFolder() + QStringLiteral("/tavrix")));

        run.start(Valid);
        QCOMPARE(services.dialogs.messages.size(), 1);
        QCOMPARE(services.dialogs.messages.first().text, text);
        QVERIFY(!run.controller.isStreaming());
        QCOMPARE(readFile(root.filePath(QStringLiteral("plain.mp3"))),
                 QByteArray("the user's file"));
        QCOMPARE(readFile(game + QStringLiteral("Tavrix_00.mp3")), QByteArray("the game's file"));
    }
    // The stored text stays until the user picks a folder.
    QCOMPARE(Settings(services.location.configFile()).bufferPath(), root.filePath(stored));
}

void FolderRulesTest::defaultBufferFolderWithoutCache()
{
    TestServices services;
    QVERIFY(QDir(services.location.cacheFolder()).removeRecursively());
    RecordedController run(services.services());
    const QString folder = services.location.cacheFolder() + QStringLiteral("/tavrix/");
    QCOMPARE(run.bufferFolder, folder);
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(run.status(), QString());
}

void FolderRulesTest::gameFolderChoice()
{
    QTemporaryDir root;
    const QString gameFolder = root.path() + QStringLiteral("/GTA3/mp3/");
    writeFile(gameFolder + QStringLiteral("mp3report.TXT"), QByteArray(5000, 'o'));
    QFile::setPermissions(gameFolder + QStringLiteral("mp3report.TXT"),
                          QFileDevice::ReadOwner | QFileDevice::ReadUser);
    writeFile(root.path() + QStringLiteral("/GTA3/GTA-VC.EXE"), "vc");
    writeFile(root.path() + QStringLiteral("/GTA3/gta3.exe"), "iii");
    TestServices services;
    RecordedController run(services.services());

    // A folder without the report is refused.
    run.controller.setGameFolder(root.path() + QStringLiteral("/"));
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().icon, MessageIcon::Stop);
    QCOMPARE(services.dialogs.messages.first().text,
             QStringLiteral("The selected folder does not contain the MP3Report.txt file. Please "
                            "select the correct folder."));
    QCOMPARE(run.controller.gameFolder(), QString());
    QCOMPARE(Settings(services.location.configFile()).radioPath(), QString());

    // Beside the game, a folder without the report gets it on the user's
    // word: declined, nothing is made; accepted, it is made and rewritten.
    const QString newFolder = root.path() + QStringLiteral("/GTA3/new/");
    QVERIFY(QDir().mkpath(newFolder));
    services.dialogs.messages.clear();
    services.dialogs.answers = {MessageAnswer::No};
    run.controller.setGameFolder(newFolder);
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().buttons, MessageButtons::YesNoDefaultYes);
    QVERIFY(!QFileInfo::exists(newFolder + QStringLiteral("MP3Report.txt")));
    QCOMPARE(run.controller.gameFolder(), QString());
    run.controller.setGameFolder(newFolder);
    QCOMPARE(run.gameFolder, newFolder);
    QCOMPARE(readFile(newFolder + QStringLiteral("MP3Report.txt")), GameFolder::reportContent());

    services.dialogs.messages.clear();
    run.controller.setGameFolder(root.path() + QStringLiteral("/GTA3/mp3"));
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().icon, MessageIcon::Information);
    QCOMPARE(run.gameFolder, gameFolder);
    // Rewritten under the name found, read-only again.
    const QString report = gameFolder + QStringLiteral("mp3report.TXT");
    QCOMPARE(readFile(report), GameFolder::reportContent());
    QVERIFY(!(QFileInfo(report).permissions() & QFileDevice::WriteOwner));
    QCOMPARE(Settings(services.location.configFile()).radioPath(), gameFolder);
    // The game's own report is kept first, and the message says where.
    const QString copy = ReportBackup(ReportBackup::defaultDataFolder()).copyPathFor(report);
    QVERIFY(copy.startsWith(services.location.dataFolder() + QStringLiteral("/tavrix/reports/")));
    QCOMPARE(readFile(copy), QByteArray(5000, 'o'));
    QVERIFY(services.dialogs.messages.first().text.endsWith(QStringLiteral("kept in ") + copy));
}

void FolderRulesTest::reportThatCannotBeKeptIsNotRewritten()
{
    GameHome h;
    const QString mp3 = h.installSteamGta3(true) + QStringLiteral("/mp3/");
    // The data folder cannot be made: a file stands in its place.
    writeFile(h.services.location.dataFolder() + QStringLiteral("/tavrix"), "a file");

    RecordedController run(h.platform());
    run.controller.setGameFolder(mp3);
    QCOMPARE(readFile(mp3 + QStringLiteral("MP3Report.txt")), QByteArray("the game's own report"));
    QVERIFY2(h.services.dialogs.messages.last().text.startsWith(
                 QStringLiteral("The MP3Report.txt file could not be rewritten")),
             qPrintable(h.services.dialogs.messages.last().text));
    QCOMPARE(h.services.dialogs.messages.last().icon, MessageIcon::Stop);
    QCOMPARE(run.gameFolder, QString());
    QCOMPARE(Settings(h.services.location.configFile()).radioPath(), QString());
}

void FolderRulesTest::bufferFolderChoice()
{
    TestServices services;
    RecordedController run(services.services());
    const QString folder = services.location.root() + QStringLiteral("/My Music/");
    const auto stored = [&services] {
        return Settings(services.location.configFile()).bufferPath();
    };

    // No MP3 files: no question, accepted and stored.
    writeFile(folder + QStringLiteral("notes.txt"), "kept");
    run.controller.setBufferFolder(folder);
    QCOMPARE(services.dialogs.messages.size(), 0);
    QCOMPARE(run.bufferFolder, folder);
    QCOMPARE(stored(), folder);

    // MP3 files of either letter case: OK removes them and keeps the rest.
    // Tavrix's own files are gone for good; the user's song is in the trash.
    writeFile(folder + QStringLiteral("000_strm.mp3"), "ours");
    writeFile(folder + QStringLiteral("012_STRM.MP3"), "ours too");
    writeFile(folder + QStringLiteral("Song.mp3"), "the user's");
    services.dialogs.answers = {MessageAnswer::Ok};
    run.controller.setBufferFolder(folder);
    QCOMPARE(services.dialogs.messages.size(), 1);
    const ScriptedDialogs::Message question = services.dialogs.messages.first();
    QCOMPARE(question.buttons, MessageButtons::OkCancel);
    QCOMPARE(question.icon, MessageIcon::Exclamation);
    QVERIFY2(question.text.startsWith(
                 QStringLiteral("All MP3 files in the following folder will be deleted now.")),
             qPrintable(question.text));
    QVERIFY(question.text.contains(QStringLiteral("trash")));
    QVERIFY(question.text.endsWith(folder));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("notes.txt")});
    const QString trash = services.location.dataFolder() + QStringLiteral("/Trash");
    QCOMPARE(QDir(trash + QStringLiteral("/files")).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Song.mp3")});
    QCOMPARE(readFile(trash + QStringLiteral("/files/Song.mp3")), QByteArray("the user's"));
    QCOMPARE(run.bufferFolder, folder);
    QCOMPARE(stored(), folder);

    // Cancel: refused, nothing deleted, an empty folder stored.
    writeFile(folder + QStringLiteral("c.mp3"), "c");
    services.dialogs.messages.clear();
    services.dialogs.answers = {MessageAnswer::Cancel};
    run.controller.setBufferFolder(folder);
    QCOMPARE(services.dialogs.messages.size(), 2);
    QCOMPARE(services.dialogs.messages.last().text,
             QStringLiteral("Tavrix will not operate until all MP3 files are removed from the "
                            "selected folder."));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("c.mp3")));
    QCOMPARE(run.bufferFolder, QString());
    QVERIFY(QSettings(services.location.configFile(), QSettings::IniFormat)
                .contains(QStringLiteral("Settings/BufferPath")));
    QCOMPARE(stored(), QString());

    // Without a usable trash the song stays, the user is told and the folder
    // is not used (the hand-off would take the song for a buffer file).
    writeFile(folder + QStringLiteral("Other Song.MP3"), "the user's too");
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    const QString blocker = services.location.root() + QStringLiteral("/blocker");
    writeFile(blocker, "a file");
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocker + QStringLiteral("/data")));
    services.dialogs.messages.clear();
    services.dialogs.answers = {MessageAnswer::Ok};
    run.controller.setBufferFolder(folder);
    qputenv("XDG_DATA_HOME", dataHome);
    QCOMPARE(services.dialogs.messages.size(), 2);
    const QString told = services.dialogs.messages.last().text;
    QVERIFY2(told.contains(folder + QStringLiteral("Other Song.MP3: could not be moved to the "
                                                   "trash")),
             qPrintable(told));
    QCOMPARE(services.dialogs.messages.last().icon, MessageIcon::Stop);
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("Other Song.MP3")));
    QCOMPARE(run.bufferFolder, QString());
}

void FolderRulesTest::foldersMustBeSeparate_data()
{
    QTest::addColumn<bool>("bufferChosen");
    QTest::addColumn<QString>("chosen"); // relative to the session's root
    QTest::newRow("buffer is the game folder") << true << "gta3/mp3/";
    QTest::newRow("buffer inside the game folder") << true << "gta3/mp3/tmp/";
    QTest::newRow("buffer through a link") << true << "link/";
    QTest::newRow("game folder holds the buffer") << false << "";
}

void FolderRulesTest::foldersMustBeSeparate()
{
    QFETCH(bool, bufferChosen);
    QFETCH(QString, chosen);
    ControllerSession s;
    QVERIFY(QDir().mkpath(s.gameFolder + QStringLiteral("tmp")));
    QVERIFY(QFile::link(s.gameFolder, s.root.filePath(QStringLiteral("link"))));
    writeFile(s.gameFolder + QStringLiteral("my song.mp3"), "the player's own");
    writeFile(s.gameFolder + QStringLiteral("tmp/other.mp3"), "the player's too");
    writeFile(s.root.filePath(QStringLiteral("MP3Report.txt")), "report");

    const QString folder = s.root.path() + QLatin1Char('/') + chosen;
    if (bufferChosen)
        s.controller.setBufferFolder(folder);
    else
        s.controller.setGameFolder(folder);
    QCOMPARE(s.messagesStartingWith(QStringLiteral("The temporary files folder and the GTA MP3s "
                                                   "folder must be separate")),
             qsizetype(1));
    QCOMPARE(s.services.dialogs.messages.size(), 1);
    QCOMPARE(s.run.bufferFolder, s.bufferFolder);
    QCOMPARE(s.run.gameFolder, s.gameFolder);
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("my song.mp3")),
             QByteArray("the player's own"));
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("tmp/other.mp3")),
             QByteArray("the player's too"));

    // Stored that way (an older version, a hand-edited file), Start refuses.
    TestServices services;
    storeFolders(services, s.gameFolder, s.gameFolder);
    RecordedController stored(services.services());
    stored.start(Valid);
    QCOMPARE(services.dialogs.messages.size(), 1);
    QVERIFY(services.dialogs.messages.first().text.startsWith(
        QStringLiteral("The temporary files folder and the GTA MP3s folder must be separate")));
    QCOMPARE(readFile(s.gameFolder + QStringLiteral("my song.mp3")),
             QByteArray("the player's own"));
}

void FolderRulesTest::handOffWaitsForTheDeletionQuestion()
{
    QTemporaryDir root;
    const QString gameFolder = root.path() + QStringLiteral("/gta/mp3/");
    const QString userFolder = root.path() + QStringLiteral("/music/");
    writeFile(gameFolder + QStringLiteral("MP3Report.txt"), "x");
    writeFile(userFolder + QStringLiteral("01 first song.mp3"), "song 1");
    writeFile(userFolder + QStringLiteral("02 second song.mp3"), "song 2");

    TestServices services;
    RecordedController run(services.services());
    // The deletion question is open for four ticks of the one-second timer,
    // then cancelled.
    services.dialogs.whileShown = [&run](const ScriptedDialogs::Message &message) {
        if (message.buttons == MessageButtons::OkCancel)
            run.tick(4);
    };
    run.controller.setGameFolder(gameFolder);
    services.dialogs.answers = {MessageAnswer::Cancel};
    run.controller.setBufferFolder(userFolder);

    QCOMPARE(QDir(userFolder).entryList(QDir::Files).size(), 2);
    QVERIFY(!QFileInfo::exists(gameFolder + QStringLiteral("Tavrix_00.mp3")));
    QCOMPARE(run.statuses, QStringList());
}

QTEST_GUILESS_MAIN(FolderRulesTest)
#include "tst_folderrules.moc"
