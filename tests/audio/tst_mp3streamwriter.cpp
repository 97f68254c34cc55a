// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"
#include "audio/Mp3StreamWriter.h"
#include "bufferfiles/BufferFileWriter.h"
#include "bufferfiles/BufferFolder.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// The buffer files of `stream` written in arrivals of `arrival` bytes.
QByteArrayList write(const QByteArray &stream, qint64 limit, qsizetype arrival)
{
    QTemporaryDir dir;
    BufferFileWriter files;
    Mp3StreamWriter writer(files);
    if (!files.openFirst(dir.path()))
        return {};
    for (qsizetype pos = 0; pos < stream.size(); pos += arrival) {
        const QByteArrayView run =
            QByteArrayView(stream).sliced(pos).first(qMin(arrival, stream.size() - pos));
        if (!writer.append(std::span(&run, 1), limit) || writer.heldBytes() > 1445)
            return {};
    }
    if (!writer.finish())
        return {};
    files.close();
    QByteArrayList result;
    for (quint32 n = 0; n <= files.counter(); ++n)
        result << readFile(dir.filePath(BufferFolder::fileNameFor(n)));
    return result;
}

} // namespace

class TestMp3StreamWriter : public QObject
{
    Q_OBJECT

private slots:
    void filesAreWholeFrames();
};

void TestMp3StreamWriter::filesAreWholeFrames()
{
    // An ID3 tag holding header-like bytes and the end of a frame the
    // connection began in; then 320 kbit/s frames (1044 or 1045 bytes),
    // with an ID3v1 tag and a cut-off frame in their midst, as when a source
    // moves on to its next song.
    const auto frame = [](int i) {
        const bool padded = i % 3 == 0;
        return QByteArray("\xff\xfb", 2) + char(padded ? 0xe2 : 0xe0) + char(0x64) +
               QByteArray(1040 + padded, char('a' + i % 20));
    };
    QByteArray stream = QByteArray("ID3\x04\x00\x00\x00\x00\x01\x00", 10) +
                        QByteArray(128, '\xff') + QByteArray(300, 'x');
    QList<qsizetype> frameStarts;
    for (int i = 0; i < 100; ++i) {
        if (i == 50)
            stream += "TAG" + QByteArray(125, 's') + frame(0).left(200);
        frameStarts << stream.size();
        stream += frame(i);
    }

    constexpr qint64 Limit = 20000;
    const QByteArrayList files = write(stream, Limit, stream.size());
    QCOMPARE(files.join(), stream);
    QCOMPARE(files.size(), 6);
    qsizetype start = 0;
    for (qsizetype i = 0; i < files.size(); ++i) {
        // Each file begins with a frame, the first with what came before
        // it; each ends where a frame begins, junk staying with the frame
        // before it; and holds the chosen size give or take a frame.
        const qsizetype end = start + files[i].size();
        QVERIFY(frameStarts.contains(i == 0 ? 438 : start));
        QVERIFY(end == stream.size() || frameStarts.contains(end));
        QVERIFY(i == 0 || files[i].size() <= Limit + 328);
        QVERIFY(end == stream.size() || files[i].size() > Limit - 1045);
        start = end;
    }
    // Any cut into arrivals gives the same files.
    for (const qsizetype arrival : {1, 3, 1000})
        QCOMPARE(write(stream, Limit, arrival), files);

    // No frame anywhere: the files still come, a longest frame past the
    // limit, so that the game gets them.
    const QByteArray noise(50000, 'n');
    const QByteArrayList noiseFiles = write(noise, 10000, 333);
    QCOMPARE(noiseFiles.join(), noise);
    QCOMPARE(noiseFiles.first().size(), 10000 + 1441);
    // A cut among the last bytes is made however they arrive, also after a
    // byte that looked like the start of a header.
    const QByteArray shortNoise = '\xff' + QByteArray(10000 + 1441 + 1, 'n');
    QCOMPARE(write(shortNoise, 10000, 1), write(shortNoise, 10000, shortNoise.size()));
}

QTEST_GUILESS_MAIN(TestMp3StreamWriter)
#include "tst_mp3streamwriter.moc"
