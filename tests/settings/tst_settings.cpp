// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"
#include "platform/SettingsLocation.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class SettingsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QString configFile() const { return m_config.filePath(QStringLiteral("TAVRIX/TAVRIX.conf")); }

private slots:
    void initTestCase();
    void init();
    void defaultFileIsTheUsersConfigFile();
    void storesTextUnderProgramAndSection_data();
    void storesTextUnderProgramAndSection();
    void foreignOrBrokenContentReadsEmpty_data();
    void foreignOrBrokenContentReadsEmpty();
    void unusableStoreLocationNeverStops();
};

void SettingsTest::initTestCase()
{
    QVERIFY(m_config.isValid());
    // QSettings takes the user's folder from XDG_CONFIG_HOME once per process.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

void SettingsTest::init()
{
    QDir(m_config.filePath(QStringLiteral("TAVRIX"))).removeRecursively();
}

void SettingsTest::defaultFileIsTheUsersConfigFile()
{
    // On Windows the settings live in the registry key programs of this
    // family always used; elsewhere in the user's configuration folder.
    const QString place = Settings::defaultFilePath();
    if (SettingsLocation::isRegistryKey(place))
        QCOMPARE(place, QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program "
                                       "Settings\\TAVRIX"));
    else
        QCOMPARE(place, configFile());
}

void SettingsTest::storesTextUnderProgramAndSection_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("folder") << QStringLiteral("/home/user/Games/GTA3/mp3/");
    QTest::newRow("empty") << QString();
    QTest::newRow("non-ascii") << QStringLiteral("/home/jürgen/Müsik/ラジオ/Ελλάδα 🎵/");
    QTest::newRow("list-like title") << QStringLiteral("Rock, Pop, Jazz [128 Kbps]");
    QTest::newRow("ini syntax") << QStringLiteral("a=b; [c] #d \"e\" \\f @Variant(x)");
    QTest::newRow("blanks and controls") << QStringLiteral("  padded\tline\r\nnext  ");
    QTest::newRow("very long") << QString(200000, QLatin1Char('x')) + QStringLiteral("end");
}

void SettingsTest::storesTextUnderProgramAndSection()
{
    QFETCH(QString, value);
    {
        Settings settings(configFile());
        QCOMPARE(settings.bufferPath(), QString());
        settings.setBufferPath(value);
        settings.setLastUsed(3);
        settings.setRecent(2, value, QStringLiteral("host:8000"));
    }
    QVERIFY(QFile::exists(configFile()));

    // Read from a copy on disk, so the text really went through the file and
    // not just through the settings cache of this process.
    const QString copy = m_config.filePath(QStringLiteral("copy.ini"));
    QFile::remove(copy);
    QVERIFY(QFile::copy(configFile(), copy));
    QSettings onDisk(copy, QSettings::IniFormat);
    // Folders are stored with the system's own separators.
    const QString storedFolder = QDir::toNativeSeparators(value);
    QCOMPARE(onDisk.value(QStringLiteral("Settings/BufferPath")).toString(), storedFolder);
    QCOMPARE(onDisk.value(QStringLiteral("Recent/LastUsed")).toString(), QStringLiteral("3"));
    QCOMPARE(onDisk.value(QStringLiteral("Recent/RecentRadio2")).toString(), value);
    QCOMPARE(onDisk.value(QStringLiteral("Recent/RecentRadioURL2")).toString(),
             QStringLiteral("host:8000"));

    Settings again(configFile());
    QCOMPARE(again.bufferPath(), QDir::fromNativeSeparators(storedFolder));
    QCOMPARE(again.radioPath(), QString());
    QCOMPARE(again.recentTitle(2), value);
    QCOMPARE(again.recentTitle(3), QString());
}

void SettingsTest::foreignOrBrokenContentReadsEmpty_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    static const char garbage[] = "\x00\x01\xff\xfe[[[==\n\x7f]]\n";
    QTest::newRow("binary garbage") << QByteArray(garbage, sizeof garbage - 1) << QString();
    QTest::newRow("list") << QByteArray("[Settings]\nBufferPath=/a/, /b/\n") << QString();
    QTest::newRow("byte array") << QByteArray("[Settings]\nBufferPath=@ByteArray(/a/)\n")
                                << QString();
    QTest::newRow("other type")
        << QByteArray("[Settings]\nBufferPath=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1b)\n")
        << QString();
    QTest::newRow("invalid") << QByteArray("[Settings]\nBufferPath=@Invalid()\n") << QString();
    QTest::newRow("good key among broken lines")
        << QByteArray("no pair here\n[Settings]\nBufferPath=/good/\n[Broken\n=\n") << "/good/";
}

void SettingsTest::foreignOrBrokenContentReadsEmpty()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    writeFile(configFile(), content);

    Settings settings(configFile());
    QCOMPARE(settings.bufferPath(), expected);
    // The settings stay usable: a new value replaces whatever was there.
    settings.setBufferPath(QStringLiteral("/new/"));
    settings.sync();
    QCOMPARE(Settings(configFile()).bufferPath(), QStringLiteral("/new/"));
}

void SettingsTest::unusableStoreLocationNeverStops()
{
    // A folder where the settings file should be: nothing can be read or
    // written, and neither stops the program.
    QVERIFY(QDir().mkpath(configFile()));
    Settings settings(configFile());
    QCOMPARE(settings.radioPath(), QString());
    settings.setRadioPath(QStringLiteral("/x/"));
    settings.sync();
    QVERIFY(QFileInfo(configFile()).isDir());
}

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
