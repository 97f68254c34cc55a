// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedStation.h"
#include "TestFiles.h"
#include "bufferfiles/BufferFileWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

class BufferFileWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void finishesOncePastTheLimit();
    void gatheredPieces();
    void kilobyteLimits_data();
    void kilobyteLimits();
    void counterGoesPastThreeDigits();
    void secondSessionStartsAtZero();
    void fileFinishedEarlyKeepsNumbering();
    void missingOrRemovedFolder();
    void fullDisk();

private:
    // The bytes of the file `name` in the test's folder; "<missing>" when
    // there is none.
    QByteArray contents(const QString &name) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder; // each test's own, ending with '/'
};

void BufferFileWriterTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = m_dir->path() + u'/';
}

QByteArray BufferFileWriterTest::contents(const QString &name) const
{
    QFile file(m_folder + name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<missing>");
    return file.readAll();
}

void BufferFileWriterTest::finishesOncePastTheLimit()
{
    const QString first = m_folder + QStringLiteral("000_strm.mp3");
    const QString second = m_folder + QStringLiteral("001_strm.mp3");

    // An old file of the same name is truncated.
    writeFile(first, "stale data from an earlier run");

    BufferFileWriter writer;
    QVERIFY(writer.openFirst(m_folder));
    QCOMPARE(writer.fileName(), first);
    QCOMPARE(contents(QStringLiteral("000_strm.mp3")), QByteArray());

    QVERIFY(writer.append("abcd", 10));
    QVERIFY(writer.append("efgh", 10));
    QVERIFY(writer.append("ij", 10));
    // Exactly at the limit the file is still the current one.
    QCOMPARE(writer.bytes(), 10);
    QCOMPARE(writer.fileName(), first);
    QVERIFY(!QFile::exists(second));

    // The write that passes the limit stays whole in the finished file.
    QVERIFY(writer.append("KLMNOP", 10));
    QCOMPARE(contents(QStringLiteral("000_strm.mp3")), QByteArrayLiteral("abcdefghijKLMNOP"));
    QCOMPARE(writer.fileName(), second);
    QCOMPARE(writer.counter(), 1u);
    QCOMPARE(writer.bytes(), 0);
    QCOMPARE(contents(QStringLiteral("001_strm.mp3")), QByteArray());

    // Bytes reach the disk with each write, not only when the file closes.
    QVERIFY(writer.append(QByteArray("\0\xff", 2), 10));
    QCOMPARE(contents(QStringLiteral("001_strm.mp3")), QByteArray("\0\xff", 2));
    writer.close();
    QVERIFY(!writer.isOpen());
    QCOMPARE(contents(QStringLiteral("001_strm.mp3")), QByteArray("\0\xff", 2));

    // A large arrival is written whole and in order, however the writer
    // splits it on its way to the disk.
    const QByteArray large = binaryPattern(3 * 1024 * 1024 + 17);
    QVERIFY(writer.openFirst(m_folder));
    QVERIFY(writer.append(large, 1024 * 1024));
    QCOMPARE(contents(QStringLiteral("000_strm.mp3")), large);
    QCOMPARE(writer.counter(), 2u);
}

// Pieces are written as one arrival: in order, whole in the current file
// however many there are and however they fall on the writer's own pieces,
// with the limit looked at after the last.
void BufferFileWriterTest::gatheredPieces()
{

    const QByteArray large = binaryPattern(300 * 1024 + 5, 3);
    QByteArrayList small;
    for (int i = 0; i < 200; ++i)
        small.append(QByteArray::number(i % 10).repeated(3));

    QList<QByteArrayView> pieces;
    QByteArray expected = "odd";
    pieces.append(QByteArrayView());
    for (const QByteArray &piece : std::as_const(small)) {
        pieces.append(piece);
        expected += piece;
    }
    pieces.append(large);
    pieces.append(QByteArrayView());
    const QByteArray part = large.first(64 * 1024 - 1);
    pieces.append(part);
    expected += large + part;
    for (const QByteArray &piece : std::as_const(small)) {
        pieces.append(piece);
        expected += piece;
    }

    BufferFileWriter writer;
    QVERIFY(writer.openFirst(m_folder));
    QVERIFY(writer.append("odd", 1 << 20));
    QVERIFY(writer.append(pieces, 1 << 20));
    QCOMPARE(writer.counter(), 0u);
    QCOMPARE(writer.bytes(), expected.size());
    QCOMPARE(contents(QStringLiteral("000_strm.mp3")), expected);

    // Past the limit only after the whole list, which stays in one file.
    QVERIFY(writer.append(QList<QByteArrayView>{"abc", "", "def"}, expected.size() + 4));
    QCOMPARE(writer.counter(), 1u);
    QCOMPARE(contents(QStringLiteral("000_strm.mp3")), expected + "abcdef");
    QVERIFY(writer.append(QList<QByteArrayView>{"", ""}, 0));
    QCOMPARE(writer.counter(), 1u);
    QVERIFY(writer.append(QList<QByteArrayView>{"g", "h"}, 1));
    QCOMPARE(contents(QStringLiteral("001_strm.mp3")), QByteArray("gh"));
    QCOMPARE(writer.counter(), 2u);
}

void BufferFileWriterTest::kilobyteLimits_data()
{
    QTest::addColumn<qint64>("kilobytes");
    QTest::newRow("128 KB") << qint64(128);
    QTest::newRow("3076 KB") << qint64(3076);
}

void BufferFileWriterTest::kilobyteLimits()
{
    QFETCH(qint64, kilobytes);

    BufferFileWriter writer;
    QVERIFY(writer.openFirst(m_folder));
    const QByteArray kilobyte(1024, 'k');
    for (qint64 i = 0; i < kilobytes; ++i)
        QVERIFY(writer.append(kilobyte, kilobytes * 1024));
    QCOMPARE(writer.counter(), 0u);
    QCOMPARE(writer.bytes(), kilobytes * 1024);

    QVERIFY(writer.append("x", kilobytes * 1024));
    QCOMPARE(writer.counter(), 1u);
    QCOMPARE(QFileInfo(m_folder + QStringLiteral("000_strm.mp3")).size(), kilobytes * 1024 + 1);
}

void BufferFileWriterTest::counterGoesPastThreeDigits()
{

    // With a limit of 0 every write finishes a file: write k lands in file k-1.
    BufferFileWriter writer;
    QVERIFY(writer.openFirst(m_folder));
    for (int i = 0; i < 1000; ++i) {
        const QByteArray byte(1, char(i % 251));
        QVERIFY2(writer.append(byte, 0), qPrintable(writer.errorString()));
    }
    QCOMPARE(writer.counter(), 1000u);
    QCOMPARE(writer.fileName(), m_folder + QStringLiteral("1000_strm.mp3"));
    QCOMPARE(contents(QStringLiteral("254_strm.mp3")), QByteArray(1, char(254 % 251)));
    QCOMPARE(contents(QStringLiteral("255_strm.mp3")), QByteArray(1, char(255 % 251)));
    QCOMPARE(contents(QStringLiteral("256_strm.mp3")), QByteArray(1, char(256 % 251)));
    QCOMPARE(contents(QStringLiteral("999_strm.mp3")), QByteArray(1, char(999 % 251)));
    QCOMPARE(QDir(m_folder).entryList(QDir::Files).size(), 1001);
}

void BufferFileWriterTest::fileFinishedEarlyKeepsNumbering()
{

    // A lost connection finishes the file short of its size; the next
    // connection's audio goes on in the next number.
    BufferFileWriter writer;
    QVERIFY(writer.openFirst(m_folder));
    QVERIFY(writer.append("before", 1024));
    QVERIFY(writer.startNextFile());
    QCOMPARE(writer.bytes(), 0);
    QVERIFY(writer.append("after", 1024));
    QCOMPARE(contents(QStringLiteral("000_strm.mp3")), QByteArray("before"));
    QCOMPARE(contents(QStringLiteral("001_strm.mp3")), QByteArray("after"));
    QCOMPARE(writer.counter(), 1u);
}

void BufferFileWriterTest::secondSessionStartsAtZero()
{
    BufferFileWriter writer;
    QVERIFY(writer.openFirst(m_folder));
    QVERIFY(writer.append("first", 3));
    QVERIFY(writer.append("second", 3));
    QVERIFY(writer.append("third", 3));
    QCOMPARE(writer.counter(), 3u);
    writer.close();

    QVERIFY(writer.openFirst(m_folder));
    QCOMPARE(writer.fileName(), m_folder + QStringLiteral("000_strm.mp3"));
    QCOMPARE(writer.bytes(), 0);
    QCOMPARE(contents(QStringLiteral("000_strm.mp3")), QByteArray());
    QVERIFY(writer.append("again", 3));
    QCOMPARE(writer.fileName(), m_folder + QStringLiteral("004_strm.mp3"));
    QCOMPARE(contents(QStringLiteral("000_strm.mp3")), QByteArrayLiteral("again"));
    QCOMPARE(contents(QStringLiteral("002_strm.mp3")), QByteArrayLiteral("third"));
}

void BufferFileWriterTest::missingOrRemovedFolder()
{
    BufferFileWriter missing;
    const QString absent = m_folder + QStringLiteral("absent/");
    QVERIFY(!missing.openFirst(absent));
    QVERIFY(!missing.isOpen());
    QVERIFY2(missing.errorString().startsWith(
                 QDir::toNativeSeparators(absent + QStringLiteral("000_strm.mp3: "))),
             qPrintable(missing.errorString()));
    QVERIFY(missing.errorString().size() > (absent + QStringLiteral("000_strm.mp3: ")).size());
    QVERIFY(!missing.append("data", 10));

    // The folder vanishes while a file is open: the open file still takes the
    // write, but the next file cannot be created.
    const QString vanishing = m_folder + QStringLiteral("buffer/");
    QVERIFY(QDir().mkpath(vanishing));
    BufferFileWriter writer;
    QVERIFY(writer.openFirst(vanishing));
    QVERIFY(writer.append("0123", 10));
    if (!QDir(vanishing).removeRecursively())
        QSKIP("This system keeps a folder while a file in it is open");
    QVERIFY(!writer.append("456789abc", 10));
    QVERIFY2(writer.errorString().startsWith(
                 QDir::toNativeSeparators(vanishing + QStringLiteral("001_strm.mp3: "))),
             qPrintable(writer.errorString()));
    QVERIFY(!writer.isOpen());
    QVERIFY(!writer.append("more", 10));
}

void BufferFileWriterTest::fullDisk()
{
    // /dev/full takes every write with "No space left on device": a buffer
    // file name pointing at it behaves like a file on a full disk.
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("/dev/full is not available here");

    const QString full = m_folder + QStringLiteral("002_strm.mp3");
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), full));

    BufferFileWriter writer;
    QVERIFY(writer.openFirst(m_folder));
    QVERIFY(writer.append("first file", 5));
    QVERIFY(writer.append("second file", 5));
    QCOMPARE(writer.fileName(), full);

    QVERIFY(!writer.append(QByteArray(4096, 'a'), 1 << 20));
    QVERIFY2(writer.errorString().startsWith(QDir::toNativeSeparators(full) + QStringLiteral(": ")),
             qPrintable(writer.errorString()));
    QVERIFY2(writer.errorString().contains(QStringLiteral("No space left on device")),
             qPrintable(writer.errorString()));
    QVERIFY(!writer.append("more", 1 << 20));
    QVERIFY(writer.errorString().contains(QStringLiteral("no buffer file is open")));

    // Gathered pieces fail the same way, telling the whole arrival's size.
    const QString alsoFull =
        m_folder + BufferFolder::fileNameFor(writer.counter() + 1); // numbering goes on
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), alsoFull));
    QVERIFY(writer.openFirst(m_folder));
    QVERIFY(writer.append("again", 4));
    QCOMPARE(writer.fileName(), alsoFull);
    QVERIFY(!writer.append(QList<QByteArrayView>{"abc", "defg"}, 1 << 20));
    QVERIFY2(writer.errorString().contains(QStringLiteral("No space left on device")),
             qPrintable(writer.errorString()));
    QVERIFY2(writer.errorString().contains(QStringLiteral("0 of 7 bytes")),
             qPrintable(writer.errorString()));

    QCOMPARE(contents(QStringLiteral("000_strm.mp3")), QByteArrayLiteral("again"));
    QCOMPARE(contents(QStringLiteral("001_strm.mp3")), QByteArrayLiteral("second file"));
}

QTEST_GUILESS_MAIN(BufferFileWriterTest)
#include "tst_bufferfilewriter.moc"
