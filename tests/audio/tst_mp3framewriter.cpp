// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Mp3FrameWriter.h"
#include "bufferfiles/BufferFileWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestMp3FrameWriter : public QObject
{
    Q_OBJECT

private slots:
    void filesEndOnFrameBoundaries_data();
    void filesEndOnFrameBoundaries();
    void reportsAFailedWrite();
};

void TestMp3FrameWriter::filesEndOnFrameBoundaries_data()
{
    QTest::addColumn<int>("framesPerCall");
    QTest::addColumn<qint64>("limit");
    QTest::newRow("one frame per call") << 1 << qint64(1000);
    QTest::newRow("many frames per call") << 37 << qint64(1000);
    QTest::newRow("all in one call") << 1000 << qint64(2500);
    QTest::newRow("limit below one frame") << 5 << qint64(10);
}

void TestMp3FrameWriter::filesEndOnFrameBoundaries()
{
    QFETCH(int, framesPerCall);
    QFETCH(qint64, limit);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    // Frames of the sizes a 128 kbit/s stream has (417 or 418 bytes) and
    // some others, each filled with its own number so any split shows.
    QByteArrayList frames;
    for (int i = 0; i < 200; ++i)
        frames << QByteArray(417 + (i % 3 == 0) + (i % 7) * 50, char('A' + i % 50));

    BufferFileWriter files;
    QVERIFY(files.openFirst(dir.path()));
    Mp3FrameWriter writer(files);
    for (qsizetype i = 0; i < frames.size(); i += framesPerCall)
        QVERIFY(writer.append(frames.mid(i, framesPerCall), limit));
    files.close();

    qsizetype next = 0;
    for (quint32 n = 0; n <= files.counter(); ++n) {
        QFile file(dir.filePath(BufferFolder::fileNameFor(n)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        // The file is whole frames in order; every file but the current one
        // was finished by the frame that took it past the limit.
        qsizetype pos = 0;
        while (pos < content.size()) {
            QVERIFY2(next < frames.size(), "more bytes than frames written");
            QCOMPARE(content.mid(pos, frames[next].size()), frames[next]);
            pos += frames[next++].size();
            const bool last = pos == content.size();
            if (n < files.counter())
                QCOMPARE(pos > limit, last);
            else
                QVERIFY(pos <= limit);
        }
        if (n == files.counter())
            QCOMPARE(files.bytes(), content.size());
    }
    QCOMPARE(next, frames.size());
}

void TestMp3FrameWriter::reportsAFailedWrite()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    BufferFileWriter files;
    QVERIFY(files.openFirst(dir.path()));
    Mp3FrameWriter writer(files);
    QVERIFY(writer.append({QByteArray(600, 'a')}, 500));
    // The folder of the next file is gone: the frame cannot be written.
    files.close();
    QVERIFY(QDir(dir.path()).removeRecursively());
    QVERIFY(!writer.append({QByteArray(600, 'b')}, 500));
    QVERIFY(!files.errorString().isEmpty());
}

QTEST_GUILESS_MAIN(TestMp3FrameWriter)
#include "tst_mp3framewriter.moc"
