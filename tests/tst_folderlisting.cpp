// SPDX-License-Identifier: GPL-3.0-or-later
#include "bufferfiles/FolderListing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

} // namespace

class FolderListingTest : public QObject
{
    Q_OBJECT

private slots:
    void listsMp3NamesInBufferOrder();
    void rereadsOnlyOnRequest();
    void emptyOrMissingFolderListsNothing();
};

void FolderListingTest::listsMp3NamesInBufferOrder()
{
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("Pufferspeicher ü")) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(folder + QStringLiteral("folder.mp3")));
    for (const char *name :
         {"1000_strm.mp3", "999_strm.mp3", "010_strm.Mp3", "000_strm.mp3", "001_strm.MP3",
          "song.mp3", "Another.mp3", "notes.txt", "take.mp3.part", "mp3", ".hidden.mp3"})
        touch(folder + QLatin1String(name));

    FolderListing listing;
    listing.setFolder(folder);
    QCOMPARE(listing.folder(), folder);
    // Numbered names by their number, so a counter past 999 keeps its place.
    QCOMPARE(listing.names(),
             QStringList({QStringLiteral("000_strm.mp3"), QStringLiteral("001_strm.MP3"),
                          QStringLiteral("010_strm.Mp3"), QStringLiteral("999_strm.mp3"),
                          QStringLiteral("1000_strm.mp3"), QStringLiteral("Another.mp3"),
                          QStringLiteral("song.mp3")}));
    QCOMPARE(listing.count(), 7);
}

void FolderListingTest::rereadsOnlyOnRequest()
{
    QTemporaryDir root;
    FolderListing listing;
    listing.setFolder(root.path() + QLatin1Char('/'));
    QCOMPARE(listing.count(), 0);

    touch(root.filePath(QStringLiteral("000_strm.mp3")));
    touch(root.filePath(QStringLiteral("001_strm.mp3")));
    QCOMPARE(listing.count(), 0);
    listing.refresh();
    QCOMPARE(listing.count(), 2);

    QVERIFY(QFile::remove(root.filePath(QStringLiteral("000_strm.mp3"))));
    listing.refresh();
    QCOMPARE(listing.names(), QStringList{QStringLiteral("001_strm.mp3")});
}

void FolderListingTest::emptyOrMissingFolderListsNothing()
{
    // An empty path must not fall back to the working directory.
    QTemporaryDir cwd;
    touch(cwd.filePath(QStringLiteral("000_strm.mp3")));
    touch(cwd.filePath(QStringLiteral("001_strm.mp3")));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(cwd.path()));

    FolderListing listing;
    listing.setFolder(QString());
    const qsizetype fromEmptyPath = listing.count();
    listing.setFolder(cwd.filePath(QStringLiteral("missing/")));
    const qsizetype fromMissingFolder = listing.count();
    QDir::setCurrent(previous);

    QCOMPARE(fromEmptyPath, 0);
    QCOMPARE(fromMissingFolder, 0);
}

QTEST_GUILESS_MAIN(FolderListingTest)
#include "tst_folderlisting.moc"
