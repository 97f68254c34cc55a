// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's folders and recent list as a user meets them: first run,
// restart, the two folder buttons and the list following the selection.

#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "platform/SettingsLocation.h"
#include "settings/RecentStations.h"
#include "settings/Settings.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <QTimer>

class FoldersTest : public QObject
{
    Q_OBJECT

private slots:
    void firstRun();
    void restartKeepsFoldersAndStations();
    void lastUsedSelectsItem_data();
    void lastUsedSelectsItem();
    void folderButtons();
};

void FoldersTest::firstRun()
{
    TestServices services;
    frmMain window(services.services());

    const QString expected = services.location.defaultBufferFolder();
    QVERIFY(QFileInfo(expected).isDir());
    QCOMPARE(shown(window, "txtBufferPath"), QDir::toNativeSeparators(expected));
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
    QCOMPARE(shown(window, "txtRadioPath"), QDir::toNativeSeparators(gameFolder));
    QCOMPARE(shown(window, "txtBufferPath"), QDir::toNativeSeparators(bufferFolder));
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
                 QStringLiteral("Buffering ") +
                     QDir::toNativeSeparators(gameFolder + QStringLiteral("Tavrix_00.mp3")) +
                     QStringLiteral(" [ 2 KB ]"));
    click(window, "cmdStart");
    window.close();
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
        const QString location = services.location.configFile();
        QSettings stored(location, SettingsLocation::formatFor(location));
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

// The folder buttons open their pickers; a cancelled picker changes nothing.
// The folder rules themselves are tested in tst_folderrules.
void FoldersTest::folderButtons()
{
    MainWindowSession s;
    QCOMPARE(s.services.dialogs.pickerTitles.first(),
             QStringLiteral("Select the location of the GTA MP3s folder..."));
    click(*s.window, "cmdGTAfolder");
    click(*s.window, "cmdTemporary");
    QCOMPARE(s.services.dialogs.messages.size(), 0);
    QCOMPARE(shown(*s.window, "txtRadioPath"), QDir::toNativeSeparators(s.gameFolder));
    QCOMPARE(shown(*s.window, "txtBufferPath"), QDir::toNativeSeparators(s.bufferFolder));
}

QTEST_MAIN(FoldersTest)
#include "tst_folders.moc"
