// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's folders and recent list as a user meets them: first run,
// restart, the two folder buttons and the list following the selection.

#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "game/GameFolder.h"
#include "settings/RecentStations.h"
#include "settings/Settings.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

QString shown(const frmMain &window, const char *box)
{
    return control<QLineEdit>(window, box)->text();
}

void click(const frmMain &window, const char *button)
{
    control<QPushButton>(window, button)->click();
}

} // namespace

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
};

void FoldersTest::firstRun()
{
    TestServices services;
    frmMain window(services.services());

    const QString expected = services.location.cacheFolder() + QStringLiteral("/tavrix/");
    QVERIFY(QFileInfo(expected).isDir());
    QCOMPARE(shown(window, "txtBufferPath"), expected);
    QCOMPARE(shown(window, "txtRadioPath"), QString());
    auto *list = control<QComboBox>(window, "cmbRecent");
    QCOMPARE(list->count(), 4);
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(list->itemText(0), RecentStations::PresetStations[0].title);
    QCOMPARE(shown(window, "txtURL"), RecentStations::PresetStations[0].url);
    // The default is not written back.
    QCOMPARE(Settings(services.location.configFile()).bufferPath(), QString());
}

void FoldersTest::restartKeepsFoldersAndStations()
{
    QTemporaryDir root;
    const QString gameFolder = root.path() + QStringLiteral("/Grand Thëft/MP3/");
    const QString bufferFolder = root.path() + QStringLiteral("/Büffer/");
    writeFile(gameFolder + QStringLiteral("MP3Report.txt"), "x");
    QDir().mkpath(bufferFolder);
    TestServices services;
    {
        frmMain window(services.services());
        services.dialogs.folders = {gameFolder, bufferFolder};
        click(window, "cmdGTAfolder");
        click(window, "cmdTemporary");
        control<QComboBox>(window, "cmbRecent")->setCurrentIndex(2);
        window.close();
    }
    // A second run shows both folders again (non-ASCII names included) and
    // the selected station; the recent keys end with one empty pair.
    frmMain window(services.services());
    QCOMPARE(shown(window, "txtRadioPath"), gameFolder);
    QCOMPARE(shown(window, "txtBufferPath"), bufferFolder);
    QCOMPARE(control<QComboBox>(window, "cmbRecent")->currentIndex(), 2);
    QCOMPARE(shown(window, "txtURL"), RecentStations::PresetStations[2].url);

    QSettings file(services.location.configFile(), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("Recent/LastUsed")).toString(), QStringLiteral("2"));
    QCOMPARE(file.value(QStringLiteral("Recent/RecentRadio4")).toString(), QString());
    QVERIFY(file.contains(QStringLiteral("Recent/RecentRadioURL4")));
    QVERIFY(!file.contains(QStringLiteral("Recent/RecentRadio5")));

    // And it streams into those very folders.
    ScriptedStation station;
    station.chunks = {icyHeader("Again", "", "", "32"), audioBytes(2048)};
    control<QLineEdit>(window, "txtURL")->setText(station.address());
    click(window, "cmdStart");
    control<QTimer>(window, "tmrMain")->stop();
    QTRY_COMPARE(readFile(bufferFolder + QStringLiteral("000_strm.mp3")), audioBytes(2048));
    QTRY_COMPARE(control<QLabel>(window, "lblStatus")->text(),
                 QStringLiteral("Buffering ") + gameFolder + QStringLiteral("Tavrix_00.mp3") +
                     QStringLiteral(" [ 2 KB ]"));
    click(window, "cmdStart");
    window.close();
}

void FoldersTest::storedBufferFolderGone()
{
    TestServices services;
    const QString gone = services.location.root() + QStringLiteral("/Gone/");
    {
        Settings stored(services.location.configFile());
        stored.setBufferPath(gone);
    }
    frmMain window(services.services());
    // The stored folder is shown with its problem, not replaced behind the
    // user's back; the stored text stays until the user picks a folder.
    QCOMPARE(shown(window, "txtBufferPath"), gone);
    QVERIFY2(
        control<QLabel>(window, "lblStatus")->text().contains(QStringLiteral("does not exist")),
        qPrintable(control<QLabel>(window, "lblStatus")->text()));
    window.close();
    QCOMPARE(Settings(services.location.configFile()).bufferPath(), gone);
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
    TestServices services;
    {
        QSettings stored(services.location.configFile(), QSettings::NativeFormat);
        stored.setValue(QStringLiteral("Recent/RecentRadio4"), QStringLiteral("Fifth [64 Kbps]"));
        stored.setValue(QStringLiteral("Recent/RecentRadioURL4"),
                        QStringLiteral("fifth.example:8000"));
        stored.setValue(QStringLiteral("Recent/LastUsed"), lastUsed);
    }
    frmMain window(services.services());
    QCOMPARE(control<QComboBox>(window, "cmbRecent")->count(), 5);
    QCOMPARE(control<QComboBox>(window, "cmbRecent")->currentIndex(), item);
    const QString expectedUrl = item < 0    ? QString()
                                : item == 4 ? QStringLiteral("fifth.example:8000")
                                            : RecentStations::PresetStations[size_t(item)].url;
    QCOMPARE(shown(window, "txtURL"), expectedUrl);
}

void FoldersTest::gameFolderChoice()
{
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
    click(window, "cmdGTAfolder");

    QCOMPARE(services.dialogs.pickerTitles,
             QStringList{QStringLiteral("Select the location of the GTA MP3s folder...")});
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().icon, MessageIcon::Information);
    QCOMPARE(shown(window, "txtRadioPath"), gameFolder);
    // Rewritten under the name found, read-only again.
    const QString report = gameFolder + QStringLiteral("mp3report.TXT");
    QCOMPARE(readFile(report), GameFolder::reportContent());
    QVERIFY(!(QFileInfo(report).permissions() & QFileDevice::WriteOwner));
    QCOMPARE(Settings(services.location.configFile()).radioPath(), gameFolder);
}

void FoldersTest::gameFolderWithoutReport()
{
    QTemporaryDir root;
    TestServices services;
    frmMain window(services.services());
    services.dialogs.folders = {root.path() + QStringLiteral("/")};
    click(window, "cmdGTAfolder");
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().icon, MessageIcon::Stop);
    QCOMPARE(services.dialogs.messages.first().text,
             QStringLiteral("The selected folder does not contain the MP3Report.txt file. Please "
                            "select the correct folder."));
    QCOMPARE(shown(window, "txtRadioPath"), QString());

    // A cancelled picker changes nothing either.
    click(window, "cmdGTAfolder");
    QCOMPARE(services.dialogs.messages.size(), 1);
    window.close();
    QCOMPARE(Settings(services.location.configFile()).radioPath(), QString());
}

void FoldersTest::bufferFolderChoice()
{
    QTemporaryDir root;
    const QString folder = root.path() + QStringLiteral("/Buffer/");
    TestServices services;
    frmMain window(services.services());
    const auto stored = [&services] {
        return Settings(services.location.configFile()).bufferPath();
    };

    // No MP3 files: no question, accepted and stored.
    writeFile(folder + QStringLiteral("readme.txt"), "text");
    services.dialogs.folders = {folder};
    click(window, "cmdTemporary");
    QCOMPARE(services.dialogs.messages.size(), 0);
    QCOMPARE(shown(window, "txtBufferPath"), folder);
    QCOMPARE(stored(), folder);

    // MP3 files of either letter case: OK removes them (the user's go to the
    // trash) and keeps the rest.
    writeFile(folder + QStringLiteral("a.mp3"), "a");
    writeFile(folder + QStringLiteral("B.MP3"), "b");
    services.dialogs.folders = {folder};
    services.dialogs.answers = {MessageAnswer::Ok};
    click(window, "cmdTemporary");
    QCOMPARE(services.dialogs.messages.size(), 1);
    QCOMPARE(services.dialogs.messages.first().buttons, MessageButtons::OkCancel);
    QCOMPARE(services.dialogs.messages.first().icon, MessageIcon::Exclamation);
    QVERIFY(services.dialogs.messages.first().text.endsWith(folder));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("readme.txt")});
    QCOMPARE(stored(), folder);

    // Cancel: refused, nothing deleted, an empty folder stored.
    writeFile(folder + QStringLiteral("c.mp3"), "c");
    services.dialogs.messages.clear();
    services.dialogs.folders = {folder};
    services.dialogs.answers = {MessageAnswer::Cancel};
    click(window, "cmdTemporary");
    QCOMPARE(services.dialogs.messages.size(), 2);
    QCOMPARE(services.dialogs.messages.last().text,
             QStringLiteral("Tavrix will not operate until all MP3 files are removed from the "
                            "selected folder."));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("c.mp3")));
    QCOMPARE(shown(window, "txtBufferPath"), QString());
    QVERIFY(QSettings(services.location.configFile(), QSettings::IniFormat)
                .contains(QStringLiteral("Settings/BufferPath")));
    QCOMPARE(stored(), QString());
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
            // The hand-off timer's ticks, as they would come while the
            // question waits for the user.
            auto *timer = control<QTimer>(*window, "tmrMain");
            for (int i = 0; i < 4; ++i)
                QMetaObject::invokeMethod(timer, "timeout");
        }
        return MessageAnswer::Cancel;
    }
    QString pickFolder(QWidget *, const QString &, const QString &) override { return folder; }
    int chooseItem(QWidget *, const QString &, const QString &, const QStringList &) override
    {
        return -1;
    }
};

void FoldersTest::handOffWaitsForTheDeletionQuestion()
{
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
    click(window, "cmdGTAfolder");
    dialogs.folder = userFolder;
    click(window, "cmdTemporary");

    QCOMPARE(QDir(userFolder).entryList(QDir::Files).size(), 2);
    QVERIFY(!QFileInfo::exists(gameFolder + QStringLiteral("Tavrix_00.mp3")));
    QCOMPARE(control<QLabel>(window, "lblStatus")->text(),
             QStringLiteral("Streaming not activated."));
}

QTEST_MAIN(FoldersTest)
#include "tst_folders.moc"
