// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"
#include "bufferfiles/BufferFolder.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class BufferFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void fileNames_data();
    void fileNames();
    void bufferFileNames_data();
    void bufferFileNames();
    void ownFilesAreDeletedAndTheUsersTrashed();
    void listsMp3NamesInBufferOrder();
    void emptyOrMissingFolderListsNothing();
};

void BufferFolderTest::fileNames_data()
{
    QTest::addColumn<quint32>("counter");
    QTest::addColumn<QString>("name");

    QTest::newRow("0") << 0u << QStringLiteral("000_strm.mp3");
    QTest::newRow("7") << 7u << QStringLiteral("007_strm.mp3");
    QTest::newRow("42") << 42u << QStringLiteral("042_strm.mp3");
    QTest::newRow("255") << 255u << QStringLiteral("255_strm.mp3");
    QTest::newRow("256") << 256u << QStringLiteral("256_strm.mp3");
    QTest::newRow("1000") << 1000u << QStringLiteral("1000_strm.mp3");
    QTest::newRow("max") << 4294967295u << QStringLiteral("4294967295_strm.mp3");
}

void BufferFolderTest::fileNames()
{
    QFETCH(quint32, counter);
    QFETCH(QString, name);
    QCOMPARE(BufferFolder::fileNameFor(counter), name);
}

void BufferFolderTest::bufferFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ours");
    QTest::newRow("first") << "000_strm.mp3" << true;
    QTest::newRow("past 999") << "1000_strm.mp3" << true;
    QTest::newRow("letter case") << "042_STRM.Mp3" << true;
    QTest::newRow("no number") << "_strm.mp3" << false;
    QTest::newRow("letters") << "12a_strm.mp3" << false;
    QTest::newRow("other digits") << "٣_strm.mp3" << false;
    QTest::newRow("name before") << "song 001_strm.mp3" << false;
    QTest::newRow("song") << "001 - intro.mp3" << false;
    QTest::newRow("other ending") << "001_strm.mp3.bak" << false;
}

void BufferFolderTest::bufferFileNames()
{
    QFETCH(QString, name);
    QFETCH(bool, ours);
    QCOMPARE(BufferFolder::isBufferFileName(name), ours);
}

void BufferFolderTest::ownFilesAreDeletedAndTheUsersTrashed()
{
    // The trash is the one under XDG_DATA_HOME of the home folder the folder
    // lies in: both point into this test's own folder. The data folder does
    // not exist yet, as on a fresh account.
    QTemporaryDir root;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", QFile::encodeName(root.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath(QStringLiteral("data"))));
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        oldData.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", oldData);
    });

    const QString folder = root.filePath(QStringLiteral("Musik/Büffer"));
    QVERIFY(QDir().mkpath(folder));
    const QStringList ours = {"000_strm.mp3", "1000_STRM.MP3"};
    const QStringList users = {"Lieblingslied.mp3", "12a_strm.mp3"};
    for (const QString &name : ours + users)
        writeFile(QDir(folder).filePath(name), name.toUtf8());
    writeFile(QDir(folder).filePath(QStringLiteral("notes.txt")));

    const QList<BufferFolder::Failure> failures =
        BufferFolder(folder).clear(ours + users + QStringList{"999_strm.mp3", "vanished.mp3"});
    QCOMPARE(failures.size(), 2);
    QCOMPARE(failures[0].path, QDir(folder).filePath(QStringLiteral("999_strm.mp3")));
    QCOMPARE(failures[1].path, QDir(folder).filePath(QStringLiteral("vanished.mp3")));
    QVERIFY(!failures[0].reason.isEmpty());
    QVERIFY(failures[1].reason.startsWith(QStringLiteral("could not be moved to the trash")));

    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"notes.txt"});
    const QDir trash(root.filePath(QStringLiteral("data/Trash")));
    const QStringList trashed =
        QDir(trash.filePath(QStringLiteral("files"))).entryList(QDir::Files, QDir::Name);
    QCOMPARE(trashed, QStringList({"12a_strm.mp3", "Lieblingslied.mp3"}));
    QCOMPARE(readFile(trash.filePath(QStringLiteral("files/Lieblingslied.mp3"))),
             "Lieblingslied.mp3");
    // The trash knows where to put it back.
    const QByteArray infoText =
        readFile(trash.filePath(QStringLiteral("info/Lieblingslied.mp3.trashinfo")));
    QVERIFY(!infoText.isEmpty());
    // (Percent-encoded by newer Qt versions.)
    QVERIFY2(QUrl::fromPercentEncoding(infoText).contains(QStringLiteral("Path=") + folder +
                                                          QStringLiteral("/Lieblingslied.mp3\n")),
             infoText.constData());

    // Without a place for the trash the user's file stays where it is.
    writeFile(root.filePath(QStringLiteral("blocker")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath(QStringLiteral("blocker/data"))));
    const QString song2 = QDir(folder).filePath(QStringLiteral("zwei.mp3"));
    writeFile(song2);
    const QString current = QDir::currentPath();
    QDir::setCurrent(root.path());
    const QList<BufferFolder::Failure> blocked =
        BufferFolder(folder).clear({QStringLiteral("zwei.mp3")});
    QDir::setCurrent(current);
    QCOMPARE(blocked.size(), 1);
    QVERIFY(QFileInfo::exists(song2));
    QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("files"))));
}

void BufferFolderTest::listsMp3NamesInBufferOrder()
{
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("Pufferspeicher ü")) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(folder + QStringLiteral("folder.mp3")));
    for (const char *name :
         {"1000_strm.mp3", "999_strm.mp3", "010_strm.Mp3", "000_strm.mp3", "001_strm.MP3",
          "song.mp3", "Another.mp3", "notes.txt", "take.mp3.part", "mp3", ".hidden.mp3"})
        writeFile(folder + QLatin1String(name));

    const BufferFolder buffer(folder);
    QCOMPARE(buffer.path(), folder);
    // Numbered names by their number, so a counter past 999 keeps its place.
    QCOMPARE(buffer.mp3Names(),
             QStringList({QStringLiteral("000_strm.mp3"), QStringLiteral("001_strm.MP3"),
                          QStringLiteral("010_strm.Mp3"), QStringLiteral("999_strm.mp3"),
                          QStringLiteral("1000_strm.mp3"), QStringLiteral("Another.mp3"),
                          QStringLiteral("song.mp3")}));

    // Read anew each time, and a path without its '/' names the same folder.
    QVERIFY(QFile::remove(folder + QStringLiteral("000_strm.mp3")));
    QCOMPARE(BufferFolder(folder.chopped(1)).mp3Names().first(), QStringLiteral("001_strm.MP3"));
    QCOMPARE(BufferFolder(folder.chopped(1)), buffer);
}

void BufferFolderTest::emptyOrMissingFolderListsNothing()
{
    // An empty path must not fall back to the working directory.
    QTemporaryDir cwd;
    writeFile(cwd.filePath(QStringLiteral("000_strm.mp3")));
    writeFile(cwd.filePath(QStringLiteral("001_strm.mp3")));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(cwd.path()));

    const qsizetype fromEmptyPath = BufferFolder().mp3Names().size();
    const qsizetype fromMissingFolder =
        BufferFolder(cwd.filePath(QStringLiteral("missing/"))).mp3Names().size();
    QDir::setCurrent(previous);

    QCOMPARE(fromEmptyPath, 0);
    QCOMPARE(fromMissingFolder, 0);
}

QTEST_GUILESS_MAIN(BufferFolderTest)
#include "tst_bufferfolder.moc"
