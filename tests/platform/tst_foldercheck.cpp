// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScratchMount.h"
#include "TestFiles.h"
#include "platform/FolderCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class FolderCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void problemsAreNamed();
    void readOnlyFileSystemIsNamedBySystem();
    void overlapFollowsLinksAndDots_data();
    void overlapFollowsLinksAndDots();
};

void FolderCheckTest::problemsAreNamed()
{
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("buffer"));
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(FolderCheck::problem(folder), QString());
    QCOMPARE(FolderCheck::problem(folder + QLatin1Char('/')), QString());

    QCOMPARE(FolderCheck::problem(root.filePath(QStringLiteral("gone/"))),
             QStringLiteral("does not exist"));
    const QString file = root.filePath(QStringLiteral("plain.mp3"));
    writeFile(file, "not a folder");
    QCOMPARE(FolderCheck::problem(file), QStringLiteral("is not a folder"));
    QCOMPARE(FolderCheck::problem(file + QLatin1Char('/')), QStringLiteral("is not a folder"));

    // Permission bits do not hold root back.
    if (!ScratchMount::possible()) {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QCOMPARE(FolderCheck::problem(folder),
                 QStringLiteral("cannot be written: Permission denied"));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

void FolderCheckTest::readOnlyFileSystemIsNamedBySystem()
{
    if (!ScratchMount::possible())
        QSKIP("A read-only mount needs root");
    QTemporaryDir root;
    ScratchMount mount(root.filePath(QStringLiteral("mp3")), 1 << 20);
    QVERIFY2(mount.isMounted(), qPrintable(mount.error()));
    QCOMPARE(FolderCheck::problem(root.filePath(QStringLiteral("mp3"))), QString());
    QVERIFY2(mount.makeReadOnly(), qPrintable(mount.error()));
    QCOMPARE(FolderCheck::problem(root.filePath(QStringLiteral("mp3"))),
             QStringLiteral("cannot be written: Read-only file system"));
}

void FolderCheckTest::overlapFollowsLinksAndDots_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("overlap");
    QTest::newRow("same") << "game/mp3/"
                          << "game/mp3" << true;
    QTest::newRow("inside") << "game/mp3/buffer/"
                            << "game/mp3/" << true;
    QTest::newRow("contains") << "game/"
                              << "game/mp3/" << true;
    QTest::newRow("dots") << "game/mp3/../mp3/"
                          << "game/mp3/" << true;
    QTest::newRow("link to the same") << "link/"
                                      << "game/mp3/" << true;
    QTest::newRow("siblings") << "buffer/"
                              << "game/mp3/" << false;
    QTest::newRow("name prefix only") << "game/mp3x/"
                                      << "game/mp3/" << false;
    QTest::newRow("missing inside") << "game/mp3/new/"
                                    << "game/" << true;
    QTest::newRow("none chosen") << ""
                                 << "game/mp3/" << false;
}

void FolderCheckTest::overlapFollowsLinksAndDots()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, overlap);
    QTemporaryDir root;
    for (const char *folder : {"game/mp3/buffer", "game/mp3x", "buffer"})
        QVERIFY(QDir(root.path()).mkpath(QString::fromLatin1(folder)));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("game/mp3")),
                        root.filePath(QStringLiteral("link"))));
    const auto full = [&root](const QString &path) {
        return path.isEmpty() ? path : root.path() + QLatin1Char('/') + path;
    };
    QCOMPARE(FolderCheck::overlap(full(a), full(b)), overlap);
    QCOMPARE(FolderCheck::overlap(full(b), full(a)), overlap);
}

QTEST_GUILESS_MAIN(FolderCheckTest)
#include "tst_foldercheck.moc"
