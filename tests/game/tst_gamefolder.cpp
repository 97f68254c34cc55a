// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"
#include "game/GameFolder.h"
#include "game/ReportBackup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The stored mode bits; WriteUser only tells whether this user may write,
// which is always so for root.
constexpr QFileDevice::Permissions AnyWrite =
    QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;

} // namespace

class GameFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void reportIsRewrittenReadOnlyUnderItsOwnName();
    void reportFailuresAreReported();
    void originalReportIsKeptOnce();
    void gameDirectoryAndFileNames_data();
    void gameDirectoryAndFileNames();
    void gameExecutableIsFoundWhateverItsCase_data();
    void gameExecutableIsFoundWhateverItsCase();
};

void GameFolderTest::reportIsRewrittenReadOnlyUnderItsOwnName()
{
    QTemporaryDir root;
    const QString mp3 =
        root.filePath(QStringLiteral("Grand Théft Äuto III/mp3")) + QLatin1Char('/');
    QVERIFY(GameFolder::findReport(mp3).isEmpty());

    const QString onDisk = mp3 + QStringLiteral("mp3report.TXT");
    writeFile(onDisk, QByteArray(300000, 'z'));
    writeFile(mp3 + QStringLiteral("song.mp3"), "audio");
    QVERIFY(QFile::setPermissions(onDisk, QFile::permissions(onDisk) & ~AnyWrite));
    QCOMPARE(GameFolder::findReport(mp3), onDisk);

    const QByteArray expected =
        QStringList({QStringLiteral("MP3 Report File"), QString(),
                     QStringLiteral("\".\" - not an MP3 or supported MP3 type"),
                     QStringLiteral("\"..\" - not an MP3 or supported MP3 type"),
                     QStringLiteral("\"MP3Report.txt\" - not an MP3 or "
                                    "supported MP3 type"),
                     QStringLiteral("\"Tavrix_00.mp3\" - OK"),
                     QStringLiteral("\"Tavrix_01.mp3\" - OK"), QString(),
                     QStringLiteral("TOTAL SUPPORTED MP3s: 2"), QString()})
            .join(QStringLiteral("\r\n"))
            .toLatin1();
    // Rewritten twice: the second time over the read-only result of the first.
    for (int round = 0; round < 2; ++round) {
        QString error;
        QVERIFY2(GameFolder::writeReport(GameFolder::findReport(mp3), &error), qPrintable(error));
        QCOMPARE(readFile(onDisk), expected);
        QCOMPARE(QFile::permissions(onDisk) & AnyWrite, QFileDevice::Permissions());
    }
    QCOMPARE(QDir(mp3).entryList(QDir::Files, QDir::Name),
             QStringList({QStringLiteral("mp3report.TXT"), QStringLiteral("song.mp3")}));
}

void GameFolderTest::reportFailuresAreReported()
{
    QTemporaryDir root;
    const QString folderInTheWay = root.filePath(QStringLiteral("MP3Report.txt"));
    QVERIFY(QDir().mkpath(folderInTheWay));
    for (const QString &path :
         {folderInTheWay, root.filePath(QStringLiteral("gone/MP3Report.txt"))}) {
        QString error;
        QVERIFY(!GameFolder::writeReport(path, &error));
        QVERIFY2(!error.isEmpty(), qPrintable(path));
    }
    QVERIFY(QFileInfo(folderInTheWay).isDir());
    QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("gone"))));
    // A folder named like the report is not a report.
    QVERIFY(GameFolder::findReport(root.path() + QLatin1Char('/')).isEmpty());
}

void GameFolderTest::originalReportIsKeptOnce()
{
    QTemporaryDir root;
    const ReportBackup backup(root.filePath(QStringLiteral("data/tavrix")));
    const QString first = root.filePath(QStringLiteral("Games/GTA III/MP3/"));
    const QString second = root.filePath(QStringLiteral("Other/GTA III/MP3/"));
    writeFile(first + QStringLiteral("mp3report.TXT"), "the game's own report");
    writeFile(second + QStringLiteral("MP3Report.txt"), "another report");
    QVERIFY(QFile::setPermissions(first + QStringLiteral("mp3report.TXT"),
                                  QFileDevice::ReadOwner | QFileDevice::ReadGroup));

    // Rewritten three times, and by hand in between: the copy is the first
    // original, whatever happens later.
    const QString copy = backup.copyPathFor(GameFolder::findReport(first));
    QVERIFY2(QFileInfo(copy).fileName().startsWith(QStringLiteral("GTA-III-MP3-")),
             qPrintable(copy));
    for (int round = 0; round < 3; ++round) {
        QString error;
        QVERIFY2(GameFolder::writeReport(GameFolder::findReport(first), backup, &error),
                 qPrintable(error));
        QCOMPARE(readFile(first + QStringLiteral("mp3report.TXT")), GameFolder::reportContent());
        QCOMPARE(readFile(copy), "the game's own report");
        writeFile(first + QStringLiteral("mp3report.TXT"), "edited by hand");
    }
    // The same folder named another way keeps the same copy.
    QCOMPARE(backup.copyPathFor(root.filePath(QStringLiteral("Games/x/../GTA III/MP3/"
                                                             "MP3Report.txt"))),
             copy);

    // A folder of the same name elsewhere has a copy of its own.
    QString error;
    QVERIFY(GameFolder::writeReport(GameFolder::findReport(second), backup, &error));
    const QString otherCopy = backup.copyPathFor(GameFolder::findReport(second));
    QVERIFY(otherCopy != copy);
    QCOMPARE(readFile(otherCopy), "another report");
    QCOMPARE(
        QDir(root.filePath(QStringLiteral("data/tavrix/reports"))).entryList(QDir::Files).size(),
        2);

    // Nothing to keep before a report exists.
    const ReportBackup::Result none =
        backup.keepOriginal(root.filePath(QStringLiteral("Games/none/MP3Report.txt")));
    QVERIFY(none.ok && !none.copied);

    // When the original cannot be kept, the report is left as it was.
    writeFile(root.filePath(QStringLiteral("blocked")), "a file where the folder would go");
    const ReportBackup blocked(root.filePath(QStringLiteral("blocked")));
    writeFile(root.filePath(QStringLiteral("Third/MP3/MP3Report.txt")), "third");
    QVERIFY(!GameFolder::writeReport(root.filePath(QStringLiteral("Third/MP3/MP3Report.txt")),
                                     blocked, &error));
    QVERIFY2(error.contains(QStringLiteral("blocked")), qPrintable(error));
    QCOMPARE(readFile(root.filePath(QStringLiteral("Third/MP3/MP3Report.txt"))), "third");
}

void GameFolderTest::gameDirectoryAndFileNames_data()
{
    QTest::addColumn<QString>("radioPath");
    QTest::addColumn<QString>("gameDirectory");
    QTest::newRow("game folder") << "/games/gta3/mp3/"
                                 << "/games/gta3/";
    QTest::newRow("non-ascii") << "/spiele/Vice Čity/MP3/"
                               << "/spiele/Vice Čity/";
    QTest::newRow("just below the root") << "/mp3/"
                                         << "/";
    QTest::newRow("nothing above") << "/ab/"
                                   << "";
    QTest::newRow("root") << "/"
                          << "";
    QTest::newRow("drive root") << "c:/"
                                << "";
    QTest::newRow("none") << ""
                          << "";
}

void GameFolderTest::gameDirectoryAndFileNames()
{
    QFETCH(QString, radioPath);
    QFETCH(QString, gameDirectory);
    QCOMPARE(GameFolder::gameDirectory(radioPath), gameDirectory);

    const std::array<QString, 2> names = GameFolder::gameFileNames(radioPath);
    if (radioPath.isEmpty()) {
        QVERIFY(names[0].isEmpty() && names[1].isEmpty());
    } else {
        QCOMPARE(names[0], radioPath + QStringLiteral("Tavrix_00.mp3"));
        QCOMPARE(names[1], radioPath + QStringLiteral("Tavrix_01.mp3"));
    }
}

void GameFolderTest::gameExecutableIsFoundWhateverItsCase_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("expected");
    QTest::newRow("both: gta3 wins") << QStringList{"gta-vc.exe", "gta3.exe"} << "gta3.exe";
    QTest::newRow("upper case") << QStringList{"gta-vc.exe", "GTA3.EXE"} << "GTA3.EXE";
    QTest::newRow("vice city only") << QStringList{"Gta-VC.exe", "readme.txt"} << "Gta-VC.exe";
    QTest::newRow("none") << QStringList{"gta3.exe.bak", "gta3"} << "";
}

void GameFolderTest::gameExecutableIsFoundWhateverItsCase()
{
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    QTemporaryDir root;
    const QString game =
        root.filePath(QStringLiteral("Jeux/Grand Theft Auto Ω")) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(game + QStringLiteral("mp3")));
    for (const QString &file : files)
        writeFile(game + file);
    // Executables inside the MP3 folder itself do not count.
    writeFile(game + QStringLiteral("mp3/gta-vc.exe"));

    QCOMPARE(GameFolder::findGameExecutable(game + QStringLiteral("mp3/")),
             expected.isEmpty() ? QString() : game + expected);
}

QTEST_GUILESS_MAIN(GameFolderTest)
#include "tst_gamefolder.moc"
