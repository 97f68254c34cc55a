// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"
#include "audio/TitleHistory.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {

const QString Station = QStringLiteral("http://radio.example:8000/live?x=1");

QDateTime at(int minutes)
{
    return QDateTime(QDate(2024, 5, 1), QTime(12, 0), QTimeZone::utc()).addSecs(minutes * 60);
}

QStringList titlesOf(const QList<PlayedTitle> &entries)
{
    QStringList titles;
    for (const PlayedTitle &entry : entries)
        titles.append(entry.title);
    return titles;
}

} // namespace

class TestTitleHistory : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip();
    void skipsRepeatsAndEmptyTitles();
    void keepsTheNewest();
    void severalAtOnce();
    void damagedFile();
    void otherWritersAndRemoval();
    void fileNames();
    void unwritableFolder();
};

void TestTitleHistory::roundTrip()
{
    QTemporaryDir data;
    TitleHistory history(data.path(), Station);
    QVERIFY(history.filePath().startsWith(data.path() + "/titles/"));
    QVERIFY(history.entries().isEmpty());

    QCOMPARE(history.append("Guns N' Roses - Don't Cry", at(0)), TitleHistory::Outcome::Added);
    QCOMPARE(history.append(QStringLiteral("Sigur Rós\tHoppípolla\r\nLive"), at(5)),
             TitleHistory::Outcome::Added);
    QCOMPARE(history.append("<b>markup</b>", at(9).toOffsetFromUtc(7200)),
             TitleHistory::Outcome::Added);

    // A second object for the same station reads what the first wrote.
    const QList<PlayedTitle> entries = TitleHistory(data.path(), Station).entries();
    QCOMPARE(titlesOf(entries),
             QStringList({"Guns N' Roses - Don't Cry", QStringLiteral("Sigur Rós Hoppípolla  Live"),
                          "<b>markup</b>"}));
    QCOMPARE(entries.at(0).time, at(0));
    QCOMPARE(entries.at(2).time, at(9));
    QCOMPARE(readFile(history.filePath()).split('\n').first(),
             "2024-05-01T12:00:00Z\tGuns N' Roses - Don't Cry");

    // Another station has a history of its own.
    QVERIFY(TitleHistory(data.path(), "http://other.example/").entries().isEmpty());
}

void TestTitleHistory::skipsRepeatsAndEmptyTitles()
{
    QTemporaryDir data;
    TitleHistory history(data.path(), Station);
    using Outcome = TitleHistory::Outcome;
    QCOMPARE(history.append("A", at(0)), Outcome::Added);
    QCOMPARE(history.append("A", at(1)), Outcome::Skipped);
    QCOMPARE(history.append("  A\n", at(2)), Outcome::Skipped);
    QCOMPARE(history.append("", at(3)), Outcome::Skipped);
    QCOMPARE(history.append(" \t ", at(3)), Outcome::Skipped);
    QCOMPARE(history.append("B", at(4)), Outcome::Added);
    QCOMPARE(history.append("A", at(5)), Outcome::Added); // played again later
    QCOMPARE(titlesOf(history.entries()), QStringList({"A", "B", "A"}));
    QCOMPARE(history.entries().first().time, at(0));
}

// The file never holds much more than the bound, and the newest titles are
// the ones kept.
void TestTitleHistory::keepsTheNewest()
{
    QTemporaryDir data;
    TitleHistory history(data.path(), Station, 8);
    QStringList appended;
    for (int i = 0; i < 50; ++i) {
        appended.append(QStringLiteral("Title %1").arg(i));
        QCOMPARE(history.append(appended.constLast(), at(i)), TitleHistory::Outcome::Added);
        QVERIFY(readFile(history.filePath()).count('\n') <= 8 + 2);
        QCOMPARE(titlesOf(history.entries()), appended.mid(std::max(0, i + 1 - 8)));
    }
    QCOMPARE(history.entries().constLast().time, at(49));
}

// Titles added together are kept as if added one by one: repeats and empty
// ones skipped, the bound held, the newest kept.
void TestTitleHistory::severalAtOnce()
{
    using Outcome = TitleHistory::Outcome;
    QTemporaryDir data;
    TitleHistory history(data.path(), Station, 8);
    QCOMPARE(history.append("A", at(0)), Outcome::Added);
    QCOMPARE(
        history.append(
            {{at(1), "A"}, {at(2), " "}, {at(3), "B"}, {at(4), "B\n"}, {at(5), "C"}, {at(6), "A"}}),
        Outcome::Added);
    QCOMPARE(titlesOf(history.entries()), QStringList({"A", "B", "C", "A"}));
    QCOMPARE(history.entries().at(1).time, at(3));
    QCOMPARE(history.append({{at(7), "A"}, {at(8), ""}}), Outcome::Skipped);
    QCOMPARE(history.append(QList<PlayedTitle>()), Outcome::Skipped);

    // A batch larger than the bound leaves the newest titles only.
    QList<PlayedTitle> batch;
    QStringList titles;
    for (int i = 0; i < 20; ++i) {
        batch.append({at(10 + i), QStringLiteral("Song %1").arg(i)});
        titles.append(batch.constLast().title);
    }
    QCOMPARE(history.append(batch), Outcome::Added);
    QCOMPARE(titlesOf(history.entries()), titles.mid(12));

    // Another object reads the same, and a batch starting with the newest
    // title it finds in the file skips that one.
    TitleHistory again(data.path(), Station, 8);
    QCOMPARE(again.append({{at(40), "Song 19"}, {at(41), "Song 20"}}), Outcome::Added);
    QCOMPARE(titlesOf(again.entries()), titles.mid(13) + QStringList({"Song 20"}));
    QCOMPARE(again.entries().constLast().time, at(41));
}

// Lines that cannot be read are passed over; the next title rewrites the file
// with the readable ones, so the damage does not last.
void TestTitleHistory::damagedFile()
{
    QTemporaryDir data;
    TitleHistory history(data.path(), Station);
    QCOMPARE(history.append("First", at(0)), TitleHistory::Outcome::Added);
    QByteArray damaged = readFile(history.filePath());
    damaged += "no tab on this line\n";
    damaged += "yesterday\tNot a time\n";
    damaged += "\n";
    damaged += "2024-05-01T12:01:00Z\tInvalid \xff\xfe UTF-8\n";
    damaged += QByteArray("2024-05-01T12:02:00Z\tNUL\0inside\n", 32);
    damaged += "2024-05-01T12:03:00Z\tSecond\n";
    damaged += "2024-05-01T12:04:00Z\t\n";
    damaged += "2024-05-01T12:05:00Z\tCut sho"; // a write cut short
    writeFile(history.filePath(), damaged);

    QCOMPARE(titlesOf(history.entries()), QStringList({"First", "NUL inside", "Second"}));
    QCOMPARE(history.append("Second", at(6)), TitleHistory::Outcome::Skipped);
    QCOMPARE(history.append("Third", at(7)), TitleHistory::Outcome::Added);
    QCOMPARE(readFile(history.filePath()), "2024-05-01T12:00:00Z\tFirst\n"
                                           "2024-05-01T12:02:00Z\tNUL inside\n"
                                           "2024-05-01T12:03:00Z\tSecond\n"
                                           "2024-05-01T12:07:00Z\tThird\n");

    // A file far too large for a history is read from its end only.
    QByteArray huge(9 * 1024 * 1024, 'x');
    huge += "\n2024-05-01T13:00:00Z\tAfter the junk\n";
    writeFile(history.filePath(), huge);
    QCOMPARE(titlesOf(history.entries()), QStringList({"After the junk"}));
    QCOMPARE(history.append("Fresh", at(61)), TitleHistory::Outcome::Added);
    QCOMPARE(readFile(history.filePath()), "2024-05-01T13:00:00Z\tAfter the junk\n"
                                           "2024-05-01T13:01:00Z\tFresh\n");
}

// An object kept for a session follows what others did to the file since its
// last title: their titles, a removed file, the bound.
void TestTitleHistory::otherWritersAndRemoval()
{
    using Outcome = TitleHistory::Outcome;
    QTemporaryDir data;
    TitleHistory session(data.path(), Station, 4);
    TitleHistory other(data.path(), Station, 4);

    QCOMPARE(session.append("X", at(0)), Outcome::Added);
    QCOMPARE(other.append("Y", at(1)), Outcome::Added);
    QCOMPARE(session.append("Y", at(2)), Outcome::Skipped); // the newest is the other's
    QCOMPARE(session.append("X", at(3)), Outcome::Added);
    QCOMPARE(titlesOf(session.entries()), QStringList({"X", "Y", "X"}));

    QVERIFY(QFile::remove(session.filePath()));
    QCOMPARE(session.append("X", at(4)), Outcome::Added);
    QCOMPARE(readFile(session.filePath()), "2024-05-01T12:04:00Z\tX\n");

    // Both keep the file within the bound, and the newest titles in order.
    QStringList appended{"X"};
    for (int i = 0; i < 30; ++i) {
        appended.append(QStringLiteral("Song %1").arg(i));
        TitleHistory &writer = i % 3 == 0 ? other : session;
        QCOMPARE(writer.append(appended.constLast(), at(10 + i)), Outcome::Added);
        QVERIFY(readFile(session.filePath()).count('\n') <= 4 + 1);
        QCOMPARE(titlesOf(session.entries()),
                 appended.mid(std::max<qsizetype>(appended.size() - 4, 0)));
    }
    QCOMPARE(session.append("Song 29", at(50)), Outcome::Skipped);
    QCOMPARE(other.append("Song 29", at(50)), Outcome::Skipped);
}

void TestTitleHistory::fileNames()
{
    const QRegularExpression safe(QStringLiteral("^[a-z0-9-]{1,48}-[0-9a-f]{16}\\.txt$"));
    const QStringList addresses = {
        Station,
        "http://radio.example:8000/live?x=2",
        "http://RADIO.example:8000/live?x=1",
        "https://radio.example:8000/live?x=1",
        "http://../../etc/passwd",
        QStringLiteral("http://радио.example/поток"),
        "",
        "http://" + QString(300, u'a') + ".example/",
    };
    QSet<QString> names;
    for (const QString &address : addresses) {
        const QString name = TitleHistory::fileNameFor(address);
        QVERIFY2(safe.match(name).hasMatch(), qPrintable(name));
        names.insert(name);
        QCOMPARE(TitleHistory::fileNameFor(address), name);
    }
    QCOMPARE(names.size(), addresses.size());
    QVERIFY(TitleHistory::fileNameFor(Station).startsWith("radio-example-8000-live-x-1-"));
    QVERIFY(TitleHistory::fileNameFor("").startsWith("station-"));
}

// A history that cannot be written says so instead of reporting success.
void TestTitleHistory::unwritableFolder()
{
    QTemporaryDir data;
    writeFile(data.filePath("titles"), "a file where the folder belongs");
    TitleHistory history(data.path(), Station);
    QCOMPARE(history.append("Lost", at(0)), TitleHistory::Outcome::Failed);
    QVERIFY(!history.errorString().isEmpty());
    QVERIFY(history.entries().isEmpty());
}

QTEST_GUILESS_MAIN(TestTitleHistory)
#include "tst_titlehistory.moc"
