// SPDX-License-Identifier: GPL-3.0-or-later
#include "stream/BufferFileWriter.h"
#include "stream/Mp3StreamWriter.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A Layer III frame of `length` bytes (417 or 418 at 128 kbit/s, 44.1 kHz;
// 1045 or 1046 at 320 kbit/s) whose body never looks like a header.
QByteArray frame(int kbps, bool padded, char fill)
{
    const char bitrateBits = kbps == 320 ? char(0xe0) : char(0x90);
    QByteArray bytes("\xff\xfb", 2);
    bytes += char(bitrateBits | (padded ? 0x02 : 0x00));
    bytes += char(0x64);
    const int length = 144 * kbps * 1000 / 44100 + (padded ? 1 : 0);
    return bytes + QByteArray(length - 4, fill);
}

struct Stream
{
    QByteArray bytes;
    QList<qsizetype> frameStarts;

    void add(const QByteArray &frameBytes)
    {
        frameStarts << bytes.size();
        bytes += frameBytes;
    }
};

// The buffer files of `stream` written in arrivals of random sizes (several
// runs to an arrival, as between title blocks), all of them when
// `maxArrival` is 0.
QByteArrayList write(const QByteArray &stream, qint64 limit, int maxArrival, quint32 seed)
{
    QTemporaryDir dir;
    BufferFileWriter files;
    Mp3StreamWriter writer(files);
    if (!files.openFirst(dir.path()))
        return {};
    QRandomGenerator random(seed);
    for (qsizetype pos = 0; pos < stream.size();) {
        QList<QByteArrayView> runs;
        for (int i = 0, count = random.bounded(1, 4); i < count && pos < stream.size(); ++i) {
            const qsizetype size = maxArrival == 0 ? stream.size()
                                                   : qMin<qsizetype>(random.bounded(maxArrival) + 1,
                                                                     stream.size() - pos);
            runs << QByteArrayView(stream).sliced(pos, size);
            pos += size;
        }
        if (!writer.append(runs, limit))
            return {};
        // Only a few undecided bytes are ever held back.
        if (writer.heldBytes() > 1445)
            return {};
    }
    if (!writer.finish())
        return {};
    files.close();
    QByteArrayList result;
    for (quint32 n = 0; n <= files.counter(); ++n) {
        QFile file(dir.filePath(BufferFileWriter::fileNameFor(n)));
        if (file.open(QIODevice::ReadOnly))
            result << file.readAll();
    }
    return result;
}

} // namespace

class TestMp3StreamWriter : public QObject
{
    Q_OBJECT

private slots:
    void filesAreWholeFrames_data();
    void filesAreWholeFrames();
    void streamWithoutFramesIsStillCut();
};

void TestMp3StreamWriter::filesAreWholeFrames_data()
{
    QTest::addColumn<int>("kbps");
    QTest::addColumn<qint64>("limit");
    QTest::newRow("128 kbit/s") << 128 << qint64(20000);
    QTest::newRow("320 kbit/s") << 320 << qint64(20000);
    QTest::newRow("limit below one frame") << 128 << qint64(100);
}

void TestMp3StreamWriter::filesAreWholeFrames()
{
    QFETCH(int, kbps);
    QFETCH(qint64, limit);

    // An ID3 tag whose picture holds header-like bytes, the end of a frame
    // the connection began in, frames; in their midst an ID3v1 tag and a
    // cut-off frame, as when a source moves on to its next song.
    Stream stream;
    stream.bytes = QByteArray("ID3\x04\x00\x00\x00\x00\x01\x00", 10) + QByteArray(128, '\xff') +
                   QByteArray(300, 'x');
    for (int i = 0; i < 300; ++i) {
        if (i == 150)
            stream.bytes += "TAG" + QByteArray(125, 's') + frame(kbps, false, 'c').left(200);
        stream.add(frame(kbps, i % 3 == 0, char('a' + i % 20)));
    }
    const qsizetype firstFrame = stream.frameStarts.first();

    const QByteArrayList files = write(stream.bytes, limit, 0, 0);
    QVERIFY(files.size() > 1);
    QCOMPARE(files.join(), stream.bytes);
    qsizetype start = 0;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QByteArray &file = files[i];
        const qsizetype end = start + file.size();
        // Each file begins with a frame, the first with what precedes it,
        // and ends where a frame ends or junk follows one.
        QVERIFY2(stream.frameStarts.contains(i == 0 ? firstFrame : start),
                 qPrintable(QString::number(i)));
        QVERIFY2(end == stream.bytes.size() || stream.frameStarts.contains(end),
                 qPrintable(QString::number(i)));
        // The chosen size give or take a frame, and never less than one.
        QVERIFY2(file.size() <= qMax<qint64>(limit, 1046) + (i == 0 ? firstFrame : 0) + 328,
                 qPrintable(QString::number(file.size())));
        if (i < files.size() - 1)
            QVERIFY2(file.size() > limit - 1046 || limit < 1046, qPrintable(QString::number(i)));
        start = end;
    }

    // Any cut into arrivals gives the same files.
    for (const int maxArrival : {1, 3, 700, 5000})
        QCOMPARE(write(stream.bytes, limit, maxArrival, quint32(maxArrival)), files);
}

void TestMp3StreamWriter::streamWithoutFramesIsStillCut()
{
    // No frame to cut at: the files still come, a longest frame past the
    // limit, so the game gets them.
    const QByteArray noise = QByteArray(50000, 'n');
    const QByteArrayList files = write(noise, 10000, 333, 7);
    QCOMPARE(files.join(), noise);
    QCOMPARE(files.size(), 5);
    QCOMPARE(files.first().size(), 10000 + 1441);
}

QTEST_GUILESS_MAIN(TestMp3StreamWriter)
#include "tst_mp3streamwriter.moc"
