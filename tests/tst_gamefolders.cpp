// SPDX-License-Identifier: GPL-3.0-or-later
// The game as people install it on Linux, met through the main window: the
// games found in a stand-in home are offered for the GTA MP3s folder, the
// game's report is kept before it is rewritten, the game starts the way it
// was installed (stand-in steam and wine on a PATH of the test's own), the
// user's MP3s go to the trash and paths are shown as they are.

#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "app/DesktopShell.h"
#include "game/GameFolder.h"
#include "game/ReportBackup.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QByteArray manifest(int appId, const QString &installDir)
{
    return QStringLiteral("\"AppState\"\n{\n\t\"appid\"\t\t\"%1\"\n\t\"installdir\"\t\t\"%2\"\n}\n")
        .arg(appId)
        .arg(installDir)
        .toUtf8();
}

constexpr QFileDevice::Permissions Executable =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ExeUser;

QString shown(const frmMain &window, const char *box)
{
    return control<QLineEdit>(window, box)->text();
}

void click(const frmMain &window, const char *button)
{
    control<QPushButton>(window, button)->click();
}

// The files below `folder`, relative to it, sorted.
QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

// A stand-in home with games installed in it, and window services that look
// for games there and start them with stand-in programs.
struct GameHome
{
    TestServices services;
    QString home = services.location.homeFolder();
    QString bin = services.location.root() + QStringLiteral("/bin");
    QString record = services.location.root() + QStringLiteral("/record.txt");
    QProcessEnvironment environment;
    std::unique_ptr<DesktopShell> shell;

    GameHome()
    {
        QDir().mkpath(bin);
        environment.insert(QStringLiteral("PATH"), bin);
        shell = std::make_unique<DesktopShell>(home, environment);
    }

    PlatformServices platform()
    {
        PlatformServices platform = services.services();
        platform.environment = environment;
        platform.shell = shell.get();
        return platform;
    }

    // Steam's own library in the home folder; returns the game's folder.
    // GTA III in Steam's default library, as Steam installs it.
    QString installSteamGta3(bool withMp3Folder)
    {
        return installSteamGame(GameInstallation::Gta3SteamAppId,
                                QStringLiteral("Grand Theft Auto 3"), QStringLiteral("gta3.exe"),
                                withMp3Folder);
    }

    QString installSteamGame(int appId, const QString &installDir, const QString &exe,
                             bool withMp3Folder)
    {
        const QString steamapps = home + QStringLiteral("/.local/share/Steam/steamapps/");
        writeFile(steamapps + QStringLiteral("appmanifest_%1.acf").arg(appId),
                  manifest(appId, installDir));
        const QString folder = steamapps + QStringLiteral("common/") + installDir;
        writeFile(folder + QLatin1Char('/') + exe, "game");
        if (withMp3Folder)
            writeFile(folder + QStringLiteral("/mp3/MP3Report.txt"), "the game's own report");
        return folder;
    }

    // A game inside the Wine prefix ~/.wine; returns the game's folder.
    QString installWineGame(const QString &inDriveC, const QString &exe)
    {
        const QString folder = home + QStringLiteral("/.wine/drive_c/") + inDriveC;
        writeFile(folder + QLatin1Char('/') + exe, "game");
        writeFile(folder + QStringLiteral("/mp3/MP3Report.txt"), "the game's own report");
        return folder;
    }

    // A program on the test's PATH that records its name, working folder,
    // WINEPREFIX and arguments.
    void installTool(const QString &name)
    {
        const QString script = bin + QLatin1Char('/') + name;
        writeFile(script, QStringLiteral("#!/bin/sh\nprintf '%s|%s|%s|%s\\n' '%1' \"$PWD\" "
                                         "\"${WINEPREFIX-unset}\" \"$*\" >> '%2'\n")
                              .arg(name, record)
                              .toUtf8());
        QFile::setPermissions(script, Executable);
    }

    QString recorded() const
    {
        if (!QTest::qWaitFor([this] { return readFile(record).endsWith('\n'); }, 10000))
            return QStringLiteral("nothing recorded");
        return QString::fromUtf8(readFile(record)).trimmed().replace(home, QStringLiteral("~"));
    }
};

class GameFoldersTest : public QObject
{
    Q_OBJECT

private slots:
    void oneSteamGameIsOfferedOnce();
    void severalGamesAreListed();
    void missingMp3FolderIsOfferedAndCreated();
    void reportThatCannotBeKeptIsNotRewritten();
    void gameStartsTheWayItIsInstalled_data();
    void gameStartsTheWayItIsInstalled();
    void usersMp3sGoToTheTrash();
    void desktopDialogsOfferTheGames();
};

void GameFoldersTest::oneSteamGameIsOfferedOnce()
{
    GameHome h;
    const QString game = h.installSteamGta3(true);
    const QString mp3 = game + QStringLiteral("/mp3/");
    const QString report = mp3 + QStringLiteral("MP3Report.txt");
    const QString reports = h.services.location.dataFolder() + QStringLiteral("/tavrix/reports");

    // First run: one question, once the window is up; "No" leaves the
    // folder unset but remembers that it was asked.
    {
        frmMain window(h.platform());
        QCOMPARE(h.services.dialogs.messages.size(), 0);
        h.services.dialogs.answers = {MessageAnswer::No};
        QTRY_COMPARE(h.services.dialogs.messages.size(), 1);
        const ScriptedDialogs::Message question = h.services.dialogs.messages.first();
        QCOMPARE(question.buttons, MessageButtons::YesNo);
        // The home folder is shown as "~".
        QVERIFY2(question.text.contains(
                     QStringLiteral("GTA III (Steam): ~/.local/share/Steam/steamapps/common/"
                                    "Grand Theft Auto 3.\n")),
                 qPrintable(question.text));
        QVERIFY2(question.text.contains(mp3), qPrintable(question.text));
        QCOMPARE(shown(window, "txtRadioPath"), QString());
        QCOMPARE(readFile(report), QByteArray("the game's own report"));
        window.close();
    }
    QVERIFY(Settings(h.services.location.configFile()).discoveryAsked());

    // The next run does not ask again; the picker opens at the game's MP3
    // folder.
    h.services.dialogs.messages.clear();
    frmMain window(h.platform());
    QTest::qWait(50);
    QCOMPARE(h.services.dialogs.messages.size(), 0);
    h.services.dialogs.folders = {mp3};
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.pickerStartFolders, QStringList{mp3});
    QCOMPARE(h.services.dialogs.choices.size(), 0);
    QCOMPARE(shown(window, "txtRadioPath"), mp3);
    QCOMPARE(Settings(h.services.location.configFile()).radioPath(), mp3);

    // The report is rewritten; the game's own is kept, and the message says
    // where.
    QCOMPARE(readFile(report), GameFolder::reportContent());
    const QString copy = ReportBackup(ReportBackup::defaultDataFolder()).copyPathFor(report);
    QVERIFY(copy.startsWith(reports));
    QCOMPARE(readFile(copy), QByteArray("the game's own report"));
    QVERIFY(h.services.dialogs.messages.last().text.endsWith(QStringLiteral("kept in ") + copy));

    // Choosing the folder again keeps the first copy, never Tavrix's report.
    h.services.dialogs.folders = {mp3};
    click(window, "cmdGTAfolder");
    QCOMPARE(QDir(reports).entryList(QDir::Files), QStringList{QFileInfo(copy).fileName()});
    QCOMPARE(readFile(copy), QByteArray("the game's own report"));
}

void GameFoldersTest::severalGamesAreListed()
{
    GameHome h;
    const QString steamGame = h.installSteamGta3(true);
    const QString wineGame =
        h.installWineGame(QStringLiteral("Games/GTA Vice City"), QStringLiteral("gta-vc.exe"));
    const QString other = h.services.location.root() + QStringLiteral("/Elsewhere/mp3/");
    writeFile(other + QStringLiteral("MP3Report.txt"), "x");

    frmMain window(h.platform());
    // Several games: nothing is asked at the first run.
    QTest::qWait(50);
    QCOMPARE(h.services.dialogs.messages.size(), 0);

    // The list names each game and how it is installed, "Other folder..."
    // last; a game chosen from it is used without the picker.
    h.services.dialogs.choiceAnswers = {1};
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.choices.size(), 1);
    QCOMPARE(h.services.dialogs.choices.first().items,
             QStringList(
                 {QStringLiteral("GTA III (Steam): ~/.local/share/Steam/steamapps/common/Grand "
                                 "Theft Auto 3"),
                  QStringLiteral("GTA Vice City (Wine prefix ~/.wine): ~/.wine/drive_c/Games/GTA "
                                 "Vice City"),
                  QStringLiteral("Other folder...")}));
    QCOMPARE(h.services.dialogs.pickerTitles.size(), 0);
    QCOMPARE(shown(window, "txtRadioPath"), wineGame + QStringLiteral("/mp3/"));
    QCOMPARE(readFile(wineGame + QStringLiteral("/mp3/MP3Report.txt")),
             GameFolder::reportContent());

    // "Other folder..." opens the ordinary picker.
    h.services.dialogs.choiceAnswers = {2};
    h.services.dialogs.folders = {other};
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.pickerStartFolders, QStringList{QString()});
    QCOMPARE(shown(window, "txtRadioPath"), other);

    // Cancelling the list changes nothing.
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.choices.size(), 3);
    QCOMPARE(h.services.dialogs.pickerTitles.size(), 1);
    QCOMPARE(shown(window, "txtRadioPath"), other);
}

void GameFoldersTest::missingMp3FolderIsOfferedAndCreated()
{
    // At the first run the question says the folder will be made; Yes makes
    // it with an empty report for Tavrix to rewrite.
    {
        GameHome h;
        const QString game = h.installSteamGame(GameInstallation::ViceCitySteamAppId,
                                                QStringLiteral("Grand Theft Auto Vice City"),
                                                QStringLiteral("gta-vc.exe"), false);
        const QString mp3 = game + QStringLiteral("/mp3/");
        frmMain window(h.platform());
        h.services.dialogs.answers = {MessageAnswer::Yes};
        QTRY_VERIFY(!h.services.dialogs.messages.isEmpty());
        QVERIFY2(
            h.services.dialogs.messages.first().text.contains(QStringLiteral("does not exist yet")),
            qPrintable(h.services.dialogs.messages.first().text));
        QTRY_COMPARE(shown(window, "txtRadioPath"), mp3);
        QCOMPARE(readFile(mp3 + QStringLiteral("MP3Report.txt")), GameFolder::reportContent());
        QCOMPARE(Settings(h.services.location.configFile()).radioPath(), mp3);
    }

    // Through the picker: declined, the picker opens at the game's folder and
    // nothing is made; accepted, the folder is made and the picker opens in it.
    GameHome h;
    const QString game = h.installSteamGta3(false);
    const QString mp3 = game + QStringLiteral("/mp3/");
    Settings(h.services.location.configFile()).setDiscoveryAsked(true);
    frmMain window(h.platform());
    h.services.dialogs.answers = {MessageAnswer::No};
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.messages.size(), 1);
    QCOMPARE(h.services.dialogs.messages.first().text,
             QStringLiteral("GTA III has no MP3 folder yet. Create it now?\n\n") + mp3);
    QCOMPARE(h.services.dialogs.pickerStartFolders, QStringList{game});
    QVERIFY(!QFileInfo::exists(mp3));

    h.services.dialogs.answers = {MessageAnswer::Yes};
    h.services.dialogs.folders = {mp3};
    click(window, "cmdGTAfolder");
    QCOMPARE(h.services.dialogs.pickerStartFolders.last(), mp3);
    QCOMPARE(shown(window, "txtRadioPath"), mp3);
    QCOMPARE(readFile(mp3 + QStringLiteral("MP3Report.txt")), GameFolder::reportContent());
}

void GameFoldersTest::reportThatCannotBeKeptIsNotRewritten()
{
    GameHome h;
    const QString game = h.installSteamGta3(true);
    const QString mp3 = game + QStringLiteral("/mp3/");
    Settings(h.services.location.configFile()).setDiscoveryAsked(true);
    // The data folder cannot be made: a file stands in its place.
    writeFile(h.services.location.dataFolder() + QStringLiteral("/tavrix"), "a file");

    frmMain window(h.platform());
    h.services.dialogs.folders = {mp3};
    click(window, "cmdGTAfolder");
    QCOMPARE(readFile(mp3 + QStringLiteral("MP3Report.txt")), QByteArray("the game's own report"));
    QVERIFY2(h.services.dialogs.messages.last().text.startsWith(
                 QStringLiteral("The MP3Report.txt file could not be rewritten")),
             qPrintable(h.services.dialogs.messages.last().text));
    QCOMPARE(h.services.dialogs.messages.last().icon, MessageIcon::Stop);
    QCOMPARE(shown(window, "txtRadioPath"), QString());
    QCOMPARE(Settings(h.services.location.configFile()).radioPath(), QString());
}

void GameFoldersTest::gameStartsTheWayItIsInstalled_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<QString>("expected"); // recorded, or the welcome text

    QTest::newRow("steam") << QStringLiteral("steam")
                           << QStringList{QStringLiteral("steam"), QStringLiteral("wine")}
                           << QStringLiteral("steam|~/.local/share/Steam/steamapps/common/Grand "
                                             "Theft Auto 3|unset|-applaunch 12100");
    QTest::newRow("wine prefix") << QStringLiteral("wine") << QStringList{QStringLiteral("wine")}
                                 << QStringLiteral("wine|~/.wine/drive_c/Games/GTA3|~/.wine|~/"
                                                   ".wine/drive_c/Games/GTA3/gta3.exe");
    QTest::newRow("wine missing")
        << QStringLiteral("wine") << QStringList{}
        << QStringLiteral("Could not start the game: wine is not installed (not found on the "
                          "PATH)");
}

void GameFoldersTest::gameStartsTheWayItIsInstalled()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, tools);
    QFETCH(QString, expected);

    GameHome h;
    for (const QString &tool : std::as_const(tools))
        h.installTool(tool);
    const QString game =
        kind == QStringLiteral("steam")
            ? h.installSteamGta3(true)
            : h.installWineGame(QStringLiteral("Games/GTA3"), QStringLiteral("gta3.exe"));
    const QString mp3 = game + QStringLiteral("/mp3/");
    const QString buffer = h.services.location.root() + QStringLiteral("/Buffer Files/");
    QDir().mkpath(buffer);
    Settings(h.services.location.configFile()).setDiscoveryAsked(true);

    frmMain window(h.platform());
    h.services.dialogs.folders = {mp3, buffer};
    click(window, "cmdGTAfolder");
    click(window, "cmdTemporary");
    // Letter case as on disk ("Games/GTA3", "Buffer Files").
    QCOMPARE(shown(window, "txtRadioPath"), mp3);
    QCOMPARE(shown(window, "txtBufferPath"), buffer);
    QCOMPARE(control<QCheckBox>(window, "chkStart")->checkState(), Qt::Checked);
    h.services.dialogs.messages.clear();

    ScriptedStation station;
    station.chunks = {icyHeader("Launch FM", "", "", "128"), audioBytes(140 * 1024, 1),
                      audioBytes(140 * 1024, 2)};
    control<QLineEdit>(window, "txtURL")->setText(station.address());
    click(window, "cmdStart");
    auto *timer = control<QTimer>(window, "tmrMain");
    timer->stop();
    auto *status = control<QLabel>(window, "lblStatus");
    QTRY_VERIFY(QDir(buffer).entryList({QStringLiteral("*.mp3")}, QDir::Files).size() >= 2);
    QTRY_VERIFY2(status->text().startsWith(QStringLiteral("Buffering ") + mp3 +
                                           QStringLiteral("Tavrix_00.mp3 [ ")),
                 qPrintable(status->text()));

    // One hand-off, the five-second countdown, then the start.
    QStringList statuses;
    auto *welcome = control<QLabel>(window, "lblWelcome");
    for (int tick = 0; tick < 12 && !welcome->text().startsWith(QStringLiteral("Do not close")) &&
                       !welcome->text().startsWith(QStringLiteral("Could not"));
         ++tick) {
        QMetaObject::invokeMethod(timer, "timeout");
        statuses << status->text();
    }
    QVERIFY2(statuses.contains(QStringLiteral("Moving file 000_strm.mp3 to ") + mp3 +
                               QStringLiteral("Tavrix_00.mp3...")),
             qPrintable(statuses.join(u'\n')));
    if (expected.startsWith(QStringLiteral("Could not"))) {
        QCOMPARE(welcome->text(), expected);
        QVERIFY(!QFileInfo::exists(h.record));
    } else {
        QCOMPARE(welcome->text(),
                 QStringLiteral("Do not close this program until you have finished with your "
                                "game or want to stop streaming the radio."));
        QCOMPARE(h.recorded(), expected);
    }
    click(window, "cmdStart");
}

void GameFoldersTest::usersMp3sGoToTheTrash()
{
    TestServices services;
    frmMain window(services.services());
    const QString folder = services.location.root() + QStringLiteral("/My Music/");
    writeFile(folder + QStringLiteral("000_strm.mp3"), "ours");
    writeFile(folder + QStringLiteral("012_STRM.MP3"), "ours too");
    writeFile(folder + QStringLiteral("Song.mp3"), "the user's");
    writeFile(folder + QStringLiteral("notes.txt"), "kept");

    services.dialogs.folders = {folder};
    services.dialogs.answers = {MessageAnswer::Ok};
    click(window, "cmdTemporary");
    QCOMPARE(services.dialogs.messages.size(), 1);
    const QString question = services.dialogs.messages.first().text;
    QVERIFY2(question.startsWith(
                 QStringLiteral("All MP3 files in the following folder will be deleted now.")),
             qPrintable(question));
    QVERIFY(question.contains(QStringLiteral("trash")));
    QVERIFY(question.endsWith(folder));

    // Tavrix's own files are gone for good; the user's song is in the trash.
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("notes.txt")});
    const QString trash = services.location.dataFolder() + QStringLiteral("/Trash");
    QCOMPARE(filesBelow(trash + QStringLiteral("/files")), QStringList{QStringLiteral("Song.mp3")});
    QCOMPARE(readFile(trash + QStringLiteral("/files/Song.mp3")), QByteArray("the user's"));
    QCOMPARE(shown(window, "txtBufferPath"), folder);

    // Without a usable trash the song stays, the user is told and the folder
    // is not used (the hand-off would take the song for a buffer file).
    writeFile(folder + QStringLiteral("Other Song.MP3"), "the user's too");
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    const QString blocker = services.location.root() + QStringLiteral("/blocker");
    writeFile(blocker, "a file");
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocker + QStringLiteral("/data")));
    services.dialogs.messages.clear();
    services.dialogs.folders = {folder};
    services.dialogs.answers = {MessageAnswer::Ok};
    click(window, "cmdTemporary");
    qputenv("XDG_DATA_HOME", dataHome);
    QCOMPARE(services.dialogs.messages.size(), 2);
    const QString told = services.dialogs.messages.last().text;
    QVERIFY2(told.contains(folder + QStringLiteral("Other Song.MP3: could not be moved to the "
                                                   "trash")),
             qPrintable(told));
    QCOMPARE(services.dialogs.messages.last().icon, MessageIcon::Stop);
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("Other Song.MP3")));
    QCOMPARE(shown(window, "txtBufferPath"), QString());
}

// The production dialogs, answered as a person would: the list of games (saved
// as a picture when TAVRIX_SCREENSHOT names a file; run under Xvfb for it),
// then Qt's own folder picker at the game's MP3 folder, hidden folders shown.
void GameFoldersTest::desktopDialogsOfferTheGames()
{
    GameHome h;
    const QString steamGame = h.installSteamGta3(true);
    const QString wineGame = h.installWineGame(QStringLiteral("Program Files/Rockstar Games/"
                                                              "Grand Theft Auto Vice City"),
                                               QStringLiteral("gta-vc.exe"));
    Settings(h.services.location.configFile()).setDiscoveryAsked(true);
    QtDialogs dialogs;
    PlatformServices platform = h.platform();
    platform.dialogs = &dialogs;
    frmMain window(platform);
    window.show();

    QStringList seen;
    QPointer<QWidget> answered; // each dialog is answered once
    QTimer answerer;
    answerer.setInterval(20);
    connect(&answerer, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == answered)
            return;
        answered = modal;
        if (auto *list = qobject_cast<QInputDialog *>(modal)) {
            seen << QStringLiteral("list: ") + list->comboBoxItems().join(u'|');
            const QString file = qEnvironmentVariable("TAVRIX_SCREENSHOT");
            if (!file.isEmpty())
                list->grab().save(file);
            list->setTextValue(list->comboBoxItems().at(1));
            list->accept();
        } else if (auto *picker = qobject_cast<QFileDialog *>(modal)) {
            seen << QStringLiteral("picker: ") + picker->directory().absolutePath() +
                        (picker->filter().testFlag(QDir::Hidden) ? " (hidden shown)" : "");
            QMetaObject::invokeMethod(picker, "accept", Qt::QueuedConnection);
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->accept();
        }
    });
    answerer.start();

    click(window, "cmdGTAfolder");
    QCOMPARE(seen, QStringList{QStringLiteral(
                       "list: GTA III (Steam): ~/.local/share/Steam/steamapps/common/Grand Theft "
                       "Auto 3|GTA Vice City (Wine prefix ~/.wine): ~/.wine/drive_c/Program "
                       "Files/Rockstar Games/Grand Theft Auto Vice City|Other folder...")});
    QCOMPARE(control<QLineEdit>(window, "txtRadioPath")->text(),
             wineGame + QStringLiteral("/mp3/"));

    // With the Steam copy alone, the picker opens in its MP3 folder.
    QDir(h.home + QStringLiteral("/.wine")).removeRecursively();
    seen.clear();
    click(window, "cmdGTAfolder");
    QCOMPARE(seen, QStringList{QStringLiteral("picker: ") + steamGame +
                               QStringLiteral("/mp3 (hidden shown)")});
    QCOMPARE(control<QLineEdit>(window, "txtRadioPath")->text(),
             steamGame + QStringLiteral("/mp3/"));
}

QTEST_MAIN(GameFoldersTest)
#include "tst_gamefolders.moc"
