// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/RecentStations.h"
#include "settings/Settings.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Stores `count` stations "Station n" / "host-n:8000" into slots 0..count-1.
void storeStations(const QString &file, int count)
{
    Settings store(file);
    for (int n = 0; n < count; ++n)
        store.setRecent(n, QStringLiteral("Station %1").arg(n),
                        QStringLiteral("host-%1:8000").arg(n));
}

} // namespace

class RecentStationsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QString m_file;

private slots:
    void initTestCase();
    void init();
    void loadKeepsItemsParallelToSlots();
    void loadReadsOnlyFirst31Slots();
    void lastUsedIndex_data();
    void lastUsedIndex();
    void addAppendsOnlyUnknownAddresses();
    void addSearchesSlots0To30AndStopsAt41();
    void saveWritesSelectionAndSlotsUpToOneEmptyPair();
};

void RecentStationsTest::initTestCase()
{
    QVERIFY(m_config.isValid());
    m_file = m_config.filePath(QStringLiteral("TAVRIX.conf"));
}

void RecentStationsTest::init()
{
    QFile::remove(m_file);
}

void RecentStationsTest::loadKeepsItemsParallelToSlots()
{
    RecentStations first;
    QStringList presetTitles;
    for (const auto &preset : RecentStations::PresetStations)
        presetTitles << preset.title;
    QCOMPARE(first.load(Settings(m_file)), presetTitles);
    QCOMPARE(first.count(), 4);
    QCOMPARE(first.url(3), RecentStations::PresetStations[3].url);
    QCOMPARE(first.url(4), QString());

    {
        Settings store(m_file);
        const QStringList titles = {QStringLiteral("A"), QString(),           QString(),
                                    QStringLiteral("D"), QStringLiteral("E"), QString(),
                                    QStringLiteral("G")};
        for (int n = 0; n < titles.size(); ++n) {
            store.setRecent(n, titles[n], QStringLiteral("url-%1").arg(n));
        }
    }
    // Slots 1 and 2 bring back their presets with the preset address; slot 5
    // has no title and is left out, and G then is item 5 with its own address.
    RecentStations recent;
    QCOMPARE(recent.load(Settings(m_file)),
             QStringList({QStringLiteral("A"), presetTitles[1], presetTitles[2],
                          QStringLiteral("D"), QStringLiteral("E"), QStringLiteral("G")}));
    QCOMPARE(recent.url(0), QStringLiteral("url-0"));
    QCOMPARE(recent.url(2), RecentStations::PresetStations[2].url);
    QCOMPARE(recent.url(4), QStringLiteral("url-4"));
    QCOMPARE(recent.title(5), QStringLiteral("G"));
    QCOMPARE(recent.url(5), QStringLiteral("url-6"));
    QCOMPARE(recent.url(6), QString());
}

void RecentStationsTest::loadReadsOnlyFirst31Slots()
{
    storeStations(m_file, 35);
    RecentStations recent;
    QCOMPARE(recent.load(Settings(m_file)).size(), 31);
    QCOMPARE(recent.count(), 31);
    QCOMPARE(recent.url(30), QStringLiteral("host-30:8000"));
    QCOMPARE(recent.title(31), QString());
    QCOMPARE(recent.url(-1), QString());
    QCOMPARE(recent.url(41), QString());
}

void RecentStationsTest::lastUsedIndex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::newRow("plain") << "7" << 7;
    QTest::newRow("minus one") << "-1" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("no digits") << "abc" << 0;
    QTest::newRow("above 16 bits") << "40000" << 0;
    QTest::newRow("largest") << "32767" << 32767;
    QTest::newRow("rounds to 32768") << "32767.5" << 0;
    QTest::newRow("half to even down") << "2.5" << 2;
    QTest::newRow("half to even up") << "3.5" << 4;
    QTest::newRow("blanks inside") << " 1 2" << 12;
    QTest::newRow("trailing text") << "5 stations" << 5;
    QTest::newRow("exponent") << "1e1" << 10;
}

void RecentStationsTest::lastUsedIndex()
{
    QFETCH(QString, text);
    QFETCH(int, index);
    QCOMPARE(RecentStations::lastUsedIndex(text), index);
}

void RecentStationsTest::addAppendsOnlyUnknownAddresses()
{
    RecentStations recent;
    recent.load(Settings(m_file));
    QVERIFY(recent.add(QStringLiteral("Jazz FM [128 Kbps]"), QStringLiteral("jazz.example:8000")));
    QCOMPARE(recent.count(), 5);
    QCOMPARE(recent.title(4), QStringLiteral("Jazz FM [128 Kbps]"));
    QCOMPARE(recent.url(4), QStringLiteral("jazz.example:8000"));
    QVERIFY(!recent.StationInRecent);

    // The same address text adds nothing, and the first title stays.
    QVERIFY(!recent.add(QStringLiteral("Renamed [64 Kbps]"), QStringLiteral("jazz.example:8000")));
    QVERIFY(!recent.add(QStringLiteral("Preset"), RecentStations::PresetStations[1].url));
    QCOMPARE(recent.count(), 5);
    QCOMPARE(recent.title(4), QStringLiteral("Jazz FM [128 Kbps]"));
    QVERIFY(!recent.StationInRecent);

    // Letter case and blanks count.
    QVERIFY(recent.add(QStringLiteral("b"), QStringLiteral("JAZZ.example:8000")));
    QVERIFY(recent.add(QStringLiteral("c"), QStringLiteral("jazz.example:8000 ")));
    QCOMPARE(recent.count(), 7);
}

void RecentStationsTest::addSearchesSlots0To30AndStopsAt41()
{
    storeStations(m_file, 31);
    RecentStations recent;
    recent.load(Settings(m_file));
    QVERIFY(recent.add(QStringLiteral("Slot 31"), QStringLiteral("slot31:8000")));
    QVERIFY(!recent.add(QStringLiteral("again"), QStringLiteral("host-30:8000")));
    // Slot 31 lies beyond the searched slots, so its station is appended again.
    QVERIFY(recent.add(QStringLiteral("Slot 31 again"), QStringLiteral("slot31:8000")));
    QCOMPARE(recent.url(32), QStringLiteral("slot31:8000"));

    for (int n = 33; n < RecentStations::SlotCount; ++n)
        QVERIFY(recent.add(QStringLiteral("t"), QStringLiteral("more-%1").arg(n)));
    QCOMPARE(recent.count(), 41);
    QVERIFY(!recent.add(QStringLiteral("full"), QStringLiteral("full:8000")));
    QCOMPARE(recent.count(), 41);
    QCOMPARE(recent.url(40), QStringLiteral("more-40"));
    QVERIFY(!recent.StationInRecent);
}

void RecentStationsTest::saveWritesSelectionAndSlotsUpToOneEmptyPair()
{
    Settings(m_file).setRecent(35, QStringLiteral("Old"), QStringLiteral("old:8000"));
    RecentStations recent;
    recent.load(Settings(m_file));
    recent.add(QStringLiteral("Ελληνικό ράδιο [96 Kbps]"), QStringLiteral("gr:8000"));
    recent.add(QStringLiteral("Rock, Pop [128 Kbps]"), QStringLiteral("http://10.1.2.3:8000"));
    {
        Settings store(m_file);
        recent.save(store, 5);
    }

    QSettings raw(m_file, QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("Recent"));
    QCOMPARE(raw.value(QStringLiteral("LastUsed")).toString(), QStringLiteral("5"));
    QVERIFY(raw.contains(QStringLiteral("RecentRadio6")));
    QVERIFY(raw.contains(QStringLiteral("RecentRadioURL6")));
    QCOMPARE(raw.value(QStringLiteral("RecentRadio6")).toString(), QString());
    QVERIFY(!raw.contains(QStringLiteral("RecentRadio7")));
    QCOMPARE(raw.value(QStringLiteral("RecentRadio35")).toString(), QStringLiteral("Old"));

    RecentStations reloaded;
    reloaded.load(Settings(m_file));
    QCOMPARE(reloaded.count(), 6);
    for (int n = 0; n < 6; ++n) {
        QCOMPARE(reloaded.title(n), recent.title(n));
        QCOMPARE(reloaded.url(n), recent.url(n));
    }
    QCOMPARE(RecentStations::lastUsedIndex(Settings(m_file).lastUsed()), 5);

    // A full list ends at slot 40, the last slot there is.
    for (int n = 6; n < RecentStations::SlotCount; ++n)
        reloaded.add(QStringLiteral("t"), QStringLiteral("u-%1").arg(n));
    {
        Settings store(m_file);
        reloaded.save(store, -1);
    }
    raw.sync();
    QCOMPARE(raw.value(QStringLiteral("LastUsed")).toString(), QStringLiteral("-1"));
    QCOMPARE(raw.value(QStringLiteral("RecentRadioURL40")).toString(), QStringLiteral("u-40"));
    QVERIFY(!raw.contains(QStringLiteral("RecentRadio41")));
}

QTEST_GUILESS_MAIN(RecentStationsTest)
#include "tst_recentstations.moc"
