#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// QSettings takes its folder from XDG_CONFIG_HOME once per process, so the
// whole program shares one temporary location, emptied before each test.
class SettingsStoreTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QString configFile() const { return m_config.filePath(QStringLiteral("TAVRIX/TAVRIX.conf")); }
    void writeConfig(const QByteArray &content);

private slots:
    void initTestCase();
    void init();
    void storesTextUnderProgramAndSection_data();
    void storesTextUnderProgramAndSection();
    void foreignOrBrokenContentReadsEmpty_data();
    void foreignOrBrokenContentReadsEmpty();
    void unusableStoreLocationNeverStops();
};

void SettingsStoreTest::writeConfig(const QByteArray &content)
{
    QDir().mkpath(QFileInfo(configFile()).absolutePath());
    QFile file(configFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

void SettingsStoreTest::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

void SettingsStoreTest::init()
{
    QDir(m_config.filePath(QStringLiteral("TAVRIX"))).removeRecursively();
}

void SettingsStoreTest::storesTextUnderProgramAndSection_data()
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

void SettingsStoreTest::storesTextUnderProgramAndSection()
{
    QFETCH(QString, value);
    {
        SettingsStore store;
        QCOMPARE(store.ReadSetting(QStringLiteral("Settings"), QStringLiteral("BufferPath")),
                 QString());
        store.WriteSetting(QStringLiteral("Settings"), QStringLiteral("BufferPath"), value);
        store.WriteSetting(QStringLiteral("Recent"), QStringLiteral("LastUsed"),
                           QStringLiteral("3"));
    }
    QVERIFY(QFile::exists(configFile()));

    // Read from a copy on disk, so the text really went through the file and
    // not just through the settings cache of this process.
    const QString copy = m_config.filePath(QStringLiteral("copy.ini"));
    QFile::remove(copy);
    QVERIFY(QFile::copy(configFile(), copy));
    QSettings onDisk(copy, QSettings::IniFormat);
    QCOMPARE(onDisk.value(QStringLiteral("Settings/BufferPath")).toString(), value);
    QCOMPARE(onDisk.value(QStringLiteral("Recent/LastUsed")).toString(), QStringLiteral("3"));

    SettingsStore again;
    QCOMPARE(again.ReadSetting(QStringLiteral("Settings"), QStringLiteral("BufferPath")), value);
    QCOMPARE(again.ReadSetting(QStringLiteral("Settings"), QStringLiteral("RadioPath")), QString());
    QCOMPARE(again.ReadSetting(QStringLiteral("Recent"), QStringLiteral("BufferPath")), QString());
}

void SettingsStoreTest::foreignOrBrokenContentReadsEmpty_data()
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

void SettingsStoreTest::foreignOrBrokenContentReadsEmpty()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    writeConfig(content);

    SettingsStore store;
    QCOMPARE(store.ReadSetting(QStringLiteral("Settings"), QStringLiteral("BufferPath")), expected);
    // The store stays usable: a new value replaces whatever was there.
    store.WriteSetting(QStringLiteral("Settings"), QStringLiteral("BufferPath"),
                       QStringLiteral("/new/"));
    store.sync();
    QCOMPARE(SettingsStore().ReadSetting(QStringLiteral("Settings"), QStringLiteral("BufferPath")),
             QStringLiteral("/new/"));
}

void SettingsStoreTest::unusableStoreLocationNeverStops()
{
    // A folder where the settings file should be: nothing can be read or
    // written, and neither stops the program.
    QVERIFY(QDir().mkpath(configFile()));
    SettingsStore store;
    QCOMPARE(store.ReadSetting(QStringLiteral("Settings"), QStringLiteral("RadioPath")), QString());
    store.WriteSetting(QStringLiteral("Settings"), QStringLiteral("RadioPath"),
                       QStringLiteral("/x/"));
    store.sync();
    QVERIFY(QFileInfo(configFile()).isDir());
}

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "tst_settingsstore.moc"
