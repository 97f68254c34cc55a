// The main window's folders and recent list as a user meets them: first run,
// restart, the two folder buttons and the list following the selection.

#include "TestSupport.h"
#include "handoff/GameFolder.h"
#include "ui/ClickableLabel.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <memory>

class FoldersTest : public QObject
{
    Q_OBJECT

private slots:
    void firstRun();
    void restartKeepsFoldersAndStations();
    void storedBufferFolderGone();
    void lastUsedSelectsItem_data();
    void lastUsedSelectsItem();
    void gameFolderChoice();
    void gameFolderWithoutReport();
    void bufferFolderChoice();
    void handOffWaitsForTheDeletionQuestion();
    void recentListFollowsSelection();
};

void FoldersTest::firstRun()
{
    TemporarySettingsLocation settings;
    TestServices services;
    frmMain window(services.services());

    const QString expected = settings.cacheFolder() + QStringLiteral("/tavrix/");
    QVERIFY(QFileInfo(expected).isDir());
    QCOMPARE(window.state().BufferPath, expected);
    QCOMPARE(window.txtBufferPath->text(), expected.toLower());
    QCOMPARE(window.state().RadioPath, QString());
    QCOMPARE(window.state().GameExe, QString());
    QCOMPARE(window.cmbRecent->count(), 4);
    QCOMPARE(window.cmbRecent->currentIndex(), 0);
    QCOMPARE(window.cmbRecent->itemText(0), RecentStations::PresetStations[0].title);
    QCOMPARE(window.txtURL->text(), RecentStations::PresetStations[0].url);
    // The default is not written back.
    QCOMPARE(SettingsStore().ReadSetting(QStringLiteral("Settings"), QStringLiteral("BufferPath")),
             QString());
}

void FoldersTest::restartKeepsFoldersAndStations()
{
    TemporarySettingsLocation settings;
    QTemporaryDir root;
    const QString gameFolder = root.path() + QStringLiteral("/Grand Thëft/MP3/");
    const QString bufferFolder = root.path() + QStringLiteral("/Büffer/");
    writeFile(gameFolder + QStringLiteral("MP3Report.txt"), "x");
    QDir().mkpath(bufferFolder);
    {
        TestServices services;
        frmMain window(services.services());
        services.dialogs.folders = {gameFolder, bufferFolder};
        window.cmdGTAfolder_Click();
        window.cmdTemporary_Click();
        window.cmbRecent->setCurrentIndex(2);
        window.close();
    }
    // A second run shows both folders again (non-ASCII names included) and
    // the selected station; the recent keys end with one empty pair.
    TestServices services;
    frmMain window(services.services());
    QCOMPARE(window.state().RadioPath, gameFolder);
    QCOMPARE(window.state().BufferPath, bufferFolder);
    QCOMPARE(window.txtRadioPath->text(), gameFolder.toLower());
    QCOMPARE(window.cmbRecent->currentIndex(), 2);
    QCOMPARE(window.txtURL->text(), RecentStations::PresetStations[2].url);
    QCOMPARE(window.state().GameFileNames[1], gameFolder + QStringLiteral("Tavrix_01.mp3"));

    QSettings file(settings.configFile(), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("Recent/LastUsed")).toString(), QStringLiteral("2"));
    QCOMPARE(file.value(QStringLiteral("Recent/RecentRadio4")).toString(), QString());
    QVERIFY(file.contains(QStringLiteral("Recent/RecentRadioURL4")));
    QVERIFY(!file.contains(QStringLiteral("Recent/RecentRadio5")));
}

void FoldersTest::storedBufferFolderGone()
{
    TemporarySettingsLocation settings;
    {
        SettingsStore store;
        store.WriteSetting(QStringLiteral("Settings"), QStringLiteral("BufferPath"),
                           settings.root() + QStringLiteral("/Gone/"));
    }
    TestServices services;
    frmMain window(services.services());
    QCOMPARE(window.state().BufferPath, settings.cacheFolder() + QStringLiteral("/tavrix/"));
    // The stored text stays until the user picks a folder.
    QCOMPARE(SettingsStore().ReadSetting(QStringLiteral("Settings"), QStringLiteral("BufferPath")),
             settings.root() + QStringLiteral("/Gone/"));
}

void FoldersTest::lastUsedSelectsItem_data()
{
    QTest::addColumn<QString>("lastUsed");
    QTest::addColumn<int>("item");
    QTest::newRow("minus one") << QStringLiteral("-1") << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("no digits") << QStringLiteral("abc") << 0;
    QTest::newRow("beyond 16 bits") << QStringLiteral("40000") << 0;
    QTest::newRow("2.5") << QStringLiteral("2.5") << 2;
    QTest::newRow("3.5") << QStringLiteral("3.5") << 4;
    QTest::newRow("past the list") << QStringLiteral("33") << -1;
}

void FoldersTest::lastUsedSelectsItem()
{
    QFETCH(QString, lastUsed);
    QFETCH(int, item);
    TemporarySettingsLocation settings;
    {
        SettingsStore store;
        store.WriteSetting(QStringLiteral("Recent"), QStringLiteral("RecentRadio4"),
                           QStringLiteral("Fifth [64 Kbps]"));
        store.WriteSetting(QStringLiteral("Recent"), QStringLiteral("RecentRadioURL4"),
                           QStringLiteral("fifth.example:8000"));
        store.WriteSetting(QStringLiteral("Recent"), QStringLiteral("LastUsed"), lastUsed);
    }
    TestServices services;
    frmMain window(services.services());
    QCOMPARE(window.cmbRecent->count(), 5);
    QCOMPARE(window.cmbRecent->currentIndex(), item);
    const QString expectedUrl = item < 0    ? QString()
                                : item == 4 ? QStringLiteral("fifth.example:8000")
                                            : RecentStations::PresetStations[size_t(item)].url;
    QCOMPARE(window.txtURL->text(), expectedUrl);
}

void FoldersTest::gameFolderChoice()
{
    TemporarySettingsLocation settings;
    QTemporaryDir root;
    const QString gameFolder = root.path() + QStringLiteral("/GTA3/mp3/");
    writeFile(gameFolder + QStringLiteral("mp3report.TXT"), QByteArray(5000, 'o'));
    QFile::setPermissions(gameFolder + QStringLiteral("mp3report.TXT"),
                          QFileDevice::ReadOwner | QFileDevice::ReadUser);
    writeFile(root.path() + QStringLiteral("/GTA3/GTA-VC.EXE"), "vc");
    writeFile(root.path() + QStringLiteral("/GTA3/gta3.exe"), "iii");

    TestServices services;
    frmMain window(services.services());
    services.dialogs.folders = {root.path() + QStringLiteral("/GTA3/mp3")};
    window.cmdGTAfolder_Click();

    QCOMPARE(services.dialogs.pickerTitles,
             QStringList{QStringLiteral("Select the location of the GTA MP3s folder...")});
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().icon, MessageIcon::Information);
    QCOMPARE(window.state().RadioPath, gameFolder);
    QCOMPARE(window.txtRadioPath->text(), gameFolder.toLower());
    QCOMPARE(window.state().GameExe, root.path() + QStringLiteral("/GTA3/gta3.exe"));
    QCOMPARE(window.state().GameFileNames[0], gameFolder + QStringLiteral("Tavrix_00.mp3"));
    // Rewritten under the name found, read-only again.
    const QString report = gameFolder + QStringLiteral("mp3report.TXT");
    QCOMPARE(readFile(report), GameFolder::reportContent());
    QVERIFY(!(QFileInfo(report).permissions() & QFileDevice::WriteOwner));
    QCOMPARE(SettingsStore().ReadSetting(QStringLiteral("Settings"), QStringLiteral("RadioPath")),
             gameFolder);
}

void FoldersTest::gameFolderWithoutReport()
{
    TemporarySettingsLocation settings;
    QTemporaryDir root;
    TestServices services;
    frmMain window(services.services());
    services.dialogs.folders = {root.path() + QStringLiteral("/")};
    window.cmdGTAfolder_Click();
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().icon, MessageIcon::Stop);
    QCOMPARE(services.dialogs.messages.first().text,
             QStringLiteral("The selected folder does not contain the MP3Report.txt file. Please "
                            "select the correct folder."));
    QCOMPARE(window.state().RadioPath, QString());
    QCOMPARE(window.txtRadioPath->text(), QString());

    // A cancelled picker changes nothing either.
    window.cmdGTAfolder_Click();
    QCOMPARE(services.dialogs.messages.size(), 1);
}

void FoldersTest::bufferFolderChoice()
{
    TemporarySettingsLocation settings;
    QTemporaryDir root;
    const QString folder = root.path() + QStringLiteral("/Buffer/");
    TestServices services;
    frmMain window(services.services());

    // No MP3 files: no question, accepted and stored.
    writeFile(folder + QStringLiteral("readme.txt"), "text");
    services.dialogs.folders = {folder};
    window.cmdTemporary_Click();
    QCOMPARE(services.dialogs.messages.size(), 0);
    QCOMPARE(window.state().BufferPath, folder);
    QCOMPARE(window.txtBufferPath->text(), folder.toLower());

    // MP3 files of either letter case: OK deletes them and keeps the rest.
    writeFile(folder + QStringLiteral("a.mp3"), "a");
    writeFile(folder + QStringLiteral("B.MP3"), "b");
    services.dialogs.folders = {folder};
    services.dialogs.answers = {MessageAnswer::Ok};
    window.cmdTemporary_Click();
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().buttons, MessageButtons::OkCancel);
    QCOMPARE(services.dialogs.messages.first().icon, MessageIcon::Exclamation);
    QVERIFY(services.dialogs.messages.first().text.endsWith(folder));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("readme.txt")});
    QCOMPARE(SettingsStore().ReadSetting(QStringLiteral("Settings"), QStringLiteral("BufferPath")),
             folder);

    // Cancel: refused, nothing deleted, an empty folder stored.
    writeFile(folder + QStringLiteral("c.mp3"), "c");
    services.dialogs.messages.clear();
    services.dialogs.folders = {folder};
    services.dialogs.answers = {MessageAnswer::Cancel};
    window.cmdTemporary_Click();
    QCOMPARE(services.dialogs.messages.size(), 2);
    QCOMPARE(services.dialogs.messages.last().text,
             QStringLiteral("Tavrix will not operate until all MP3 files are removed from the "
                            "selected folder."));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("c.mp3")));
    QCOMPARE(window.state().BufferPath, QString());
    QCOMPARE(window.txtBufferPath->text(), QString());
    QCOMPARE(window.flbBufferPath().count(), 0);
    QVERIFY(QSettings(settings.configFile(), QSettings::IniFormat)
                .contains(QStringLiteral("Settings/BufferPath")));
    QCOMPARE(SettingsStore().ReadSetting(QStringLiteral("Settings"), QStringLiteral("BufferPath")),
             QString());
}

// A Dialogs whose deletion question runs the window's timer handler while it
// is "open", as Qt's nested event loop would.
class TickingDialogs final : public Dialogs
{
public:
    frmMain *window = nullptr;
    QString folder;
    MessageAnswer showMessage(QWidget *, MessageIcon, MessageButtons buttons, const QString &,
                              const QString &) override
    {
        if (buttons == MessageButtons::OkCancel) {
            for (int i = 0; i < 4; ++i)
                window->tmrMain_Timer();
        }
        return MessageAnswer::Cancel;
    }
    QString pickFolder(QWidget *, const QString &) override { return folder; }
};

void FoldersTest::handOffWaitsForTheDeletionQuestion()
{
    TemporarySettingsLocation settings;
    QTemporaryDir root;
    const QString gameFolder = root.path() + QStringLiteral("/gta/mp3/");
    const QString userFolder = root.path() + QStringLiteral("/music/");
    writeFile(gameFolder + QStringLiteral("MP3Report.txt"), "x");
    writeFile(userFolder + QStringLiteral("01 first song.mp3"), "song 1");
    writeFile(userFolder + QStringLiteral("02 second song.mp3"), "song 2");

    TestServices services;
    TickingDialogs dialogs;
    PlatformServices platform = services.services();
    platform.dialogs = &dialogs;
    frmMain window(platform);
    dialogs.window = &window;
    dialogs.folder = gameFolder;
    window.cmdGTAfolder_Click();
    dialogs.folder = userFolder;
    window.cmdTemporary_Click();

    QCOMPARE(QDir(userFolder).entryList(QDir::Files).size(), 2);
    QVERIFY(!QFileInfo::exists(gameFolder + QStringLiteral("Tavrix_00.mp3")));
    QCOMPARE(window.state().HandOffStage, quint8(0));
}

void FoldersTest::recentListFollowsSelection()
{
    TemporarySettingsLocation settings;
    TestServices services;
    frmMain window(services.services());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    window.txtURL->setText(QStringLiteral("typed.example:8000"));
    window.cmbRecent->setFocus();
    QTRY_VERIFY(window.tmrRecent()->isActive());
    QTRY_COMPARE(window.txtURL->text(), RecentStations::PresetStations[0].url);
    QTest::keyClick(window.cmbRecent, Qt::Key_Down);
    QCOMPARE(window.cmbRecent->currentIndex(), 1);
    QTRY_COMPARE(window.txtURL->text(), RecentStations::PresetStations[1].url);

    window.txtURL->setFocus();
    QTRY_VERIFY(!window.tmrRecent()->isActive());
    window.txtURL->setText(QStringLiteral("edited.example:8000"));
    QTest::qWait(250);
    QCOMPARE(window.txtURL->text(), QStringLiteral("edited.example:8000"));
}

QTEST_MAIN(FoldersTest)
#include "tst_folders.moc"
