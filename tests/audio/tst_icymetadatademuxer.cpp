// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/IcyMetadataDemuxer.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// A stream built the way a station frames it, with the audio and the
// metadata blocks it carries known beforehand.
struct FramedStream
{
    QByteArray bytes;
    QByteArray audio;
    QList<IcyMetadataBlock> blocks;       // the non-empty blocks, as sent with padding
    QList<qsizetype> lengthBytePositions; // where each length byte stands in `bytes`
};

// Audio bytes that include values a length byte could have, NULs and text.
QByteArray audioRun(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray run(size, Qt::Uninitialized);
    for (char &c : run)
        c = char(random.bounded(256));
    return run;
}

// `texts` holds one metadata text per interval ("" for an empty block);
// up to `tailAudio` audio bytes follow the last block, fewer than an interval.
FramedStream frame(qint64 metaInt, const QList<QByteArray> &texts, qsizetype tailAudio)
{
    FramedStream stream;
    quint32 seed = 1;
    for (const QByteArray &text : texts) {
        const QByteArray audio = audioRun(metaInt, seed++);
        stream.bytes += audio;
        stream.audio += audio;
        const qsizetype length = (text.size() + 15) / 16;
        QByteArray block = text;
        block.append(length * 16 - text.size(), '\0');
        stream.lengthBytePositions.append(stream.bytes.size());
        stream.bytes += char(length);
        stream.bytes += block;
        if (length > 0)
            stream.blocks.append({stream.audio.size(), block});
    }
    const QByteArray tail = audioRun(std::min<qint64>(tailAudio, metaInt - 1), seed);
    stream.bytes += tail;
    stream.audio += tail;
    return stream;
}

struct Separated
{
    QByteArray audio;
    QList<IcyMetadataBlock> blocks;
    bool insideMetadata = false;
};

Separated feedAt(qint64 metaInt, QByteArrayView bytes, const QList<qsizetype> &cuts)
{
    IcyMetadataDemuxer demuxer(metaInt);
    Separated result;
    qsizetype pos = 0;
    for (const qsizetype cut : cuts) {
        demuxer.feed(bytes.sliced(pos, cut - pos), result.audio);
        result.blocks += demuxer.takeBlocks();
        pos = cut;
    }
    demuxer.feed(bytes.sliced(pos), result.audio);
    result.blocks += demuxer.takeBlocks();
    result.insideMetadata = demuxer.insideMetadata();
    return result;
}

bool sameBlocks(const QList<IcyMetadataBlock> &a, const QList<IcyMetadataBlock> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto &x, const auto &y) {
        return x.audioPosition == y.audioPosition && x.bytes == y.bytes;
    });
}

const QList<QByteArray> ThreeTitles = {
    "StreamTitle='First Artist - First Song';StreamUrl='';",
    "",
    "StreamTitle='Guns N' Roses - Don't Cry';StreamUrl='http://example.org/cover.jpg';",
};

} // namespace

class TestIcyMetadataDemuxer : public QObject
{
    Q_OBJECT

private slots:
    void everyCut_data();
    void everyCut();
    void largestBlock();
    void streamCutInsideMetadata();
    void audioRunsPointIntoTheArrival();
    void passThrough();
    void metaIntFromHeader_data();
    void metaIntFromHeader();
};

void TestIcyMetadataDemuxer::everyCut_data()
{
    QTest::addColumn<qint64>("metaInt");
    for (const qint64 metaInt : {1, 2, 15, 16, 17, 100, 8192, 16000})
        QTest::addRow("metaint %lld", metaInt) << metaInt;
}

// The audio and the blocks are those the stream was built from, wherever the
// arrivals are cut: one cut anywhere around the first three blocks' framing
// (and in strides through their audio), one byte per arrival, and random
// arrival sizes.
void TestIcyMetadataDemuxer::everyCut()
{
    QFETCH(qint64, metaInt);
    const FramedStream stream = frame(metaInt, ThreeTitles + ThreeTitles, 37);

    QList<qsizetype> cuts;
    const qsizetype end = stream.lengthBytePositions.at(3);
    for (qsizetype cut = 0; cut <= end; ++cut) {
        const bool nearFraming =
            std::any_of(stream.lengthBytePositions.begin(), stream.lengthBytePositions.end(),
                        [&](qsizetype at) { return cut >= at - 3 && cut <= at + 100; });
        if (nearFraming || cut % 97 == 0)
            cuts.append(cut);
    }
    for (const qsizetype cut : cuts) {
        const Separated result = feedAt(metaInt, stream.bytes, {cut});
        QVERIFY2(result.audio == stream.audio, qPrintable(QStringLiteral("cut at %1").arg(cut)));
        QVERIFY2(sameBlocks(result.blocks, stream.blocks),
                 qPrintable(QStringLiteral("cut at %1").arg(cut)));
        QVERIFY(!result.insideMetadata);
    }

    QList<qsizetype> everyByte;
    for (qsizetype cut = 1; cut < stream.bytes.size(); ++cut)
        everyByte.append(cut);
    Separated result = feedAt(metaInt, stream.bytes, everyByte);
    QCOMPARE(result.audio, stream.audio);
    QVERIFY(sameBlocks(result.blocks, stream.blocks));

    QRandomGenerator random{quint32(metaInt)};
    for (int round = 0; round < 20; ++round) {
        QList<qsizetype> randomCuts;
        for (qsizetype cut = random.bounded(300); cut < stream.bytes.size();
             cut += 1 + random.bounded(int(metaInt) * 2 + 40))
            randomCuts.append(cut);
        result = feedAt(metaInt, stream.bytes, randomCuts);
        QCOMPARE(result.audio, stream.audio);
        QVERIFY(sameBlocks(result.blocks, stream.blocks));
    }
}

// Length byte 255 announces 4080 bytes of metadata, here after two audio
// bytes, in one arrival and one byte at a time.
void TestIcyMetadataDemuxer::largestBlock()
{
    QByteArray text = "StreamTitle='" + QByteArray(4080 - 15, 'x') + "';";
    QCOMPARE(text.size(), IcyMetadataDemuxer::MaxBlockBytes);
    const FramedStream stream = frame(2, {text, text}, 1);
    QCOMPARE(stream.bytes.at(2), char(255));

    QList<qsizetype> everyByte;
    for (qsizetype cut = 1; cut < stream.bytes.size(); ++cut)
        everyByte.append(cut);
    for (const QList<qsizetype> &cuts : {QList<qsizetype>{}, everyByte}) {
        const Separated result = feedAt(2, stream.bytes, cuts);
        QCOMPARE(result.audio, stream.audio);
        QVERIFY(sameBlocks(result.blocks, stream.blocks));
        QCOMPARE(result.blocks.size(), 2);
        QCOMPARE(result.blocks.at(0).bytes.size(), 4080);
    }
}

// A stream that ends inside the metadata gives the audio before the block
// and nothing of the block: neither a partial block nor metadata as audio.
void TestIcyMetadataDemuxer::streamCutInsideMetadata()
{
    const qint64 metaInt = 64;
    const FramedStream stream = frame(metaInt, ThreeTitles, 0);
    const qsizetype lengthAt = stream.lengthBytePositions.at(2);
    const qsizetype blockEnd = stream.bytes.size();
    const QByteArray audioBefore = stream.audio.first(3 * metaInt);

    for (qsizetype end = lengthAt + 1; end < blockEnd; ++end) {
        const Separated result = feedAt(metaInt, stream.bytes.first(end), {lengthAt, end - 1});
        QCOMPARE(result.audio, audioBefore);
        QCOMPARE(result.blocks.size(), 1); // only the first, complete block
        QVERIFY(result.insideMetadata);
    }
    const Separated atLengthByte = feedAt(metaInt, stream.bytes.first(lengthAt), {});
    QCOMPARE(atLengthByte.audio, audioBefore);
    QVERIFY(!atLengthByte.insideMetadata);
}

// Without an interval every byte is audio, including bytes that would frame
// metadata.
// The audio runs are the arrival's own bytes, not copies: the files are
// written from them directly.
void TestIcyMetadataDemuxer::audioRunsPointIntoTheArrival()
{
    const FramedStream stream = frame(100, ThreeTitles + ThreeTitles, 50);
    for (const qint64 metaInt : {qint64(100), qint64(0)}) {
        IcyMetadataDemuxer demuxer(metaInt);
        QByteArray audio;
        qsizetype runCount = 0;
        for (qsizetype pos = 0; pos < stream.bytes.size(); pos += 333) {
            const QByteArrayView arrival =
                QByteArrayView(stream.bytes)
                    .sliced(pos)
                    .first(std::min<qsizetype>(333, stream.bytes.size() - pos));
            QList<QByteArrayView> runs;
            demuxer.feed(arrival, runs);
            for (const QByteArrayView run : runs) {
                QVERIFY(!run.isEmpty());
                QVERIFY(run.data() >= arrival.data());
                QVERIFY(run.data() + run.size() <= arrival.data() + arrival.size());
                audio += run;
            }
            runCount += runs.size();
        }
        QCOMPARE(audio, metaInt > 0 ? stream.audio : stream.bytes);
        QVERIFY(runCount >= (metaInt > 0 ? 6 : 1));
    }
}

void TestIcyMetadataDemuxer::passThrough()
{
    const FramedStream stream = frame(16, ThreeTitles, 10);
    for (const qint64 metaInt : {qint64(0), qint64(-5)}) {
        IcyMetadataDemuxer demuxer(metaInt);
        QVERIFY(demuxer.passesThrough());
        QByteArray audio = "before";
        demuxer.feed(stream.bytes.first(20), audio);
        demuxer.feed(stream.bytes.sliced(20), audio);
        QCOMPARE(audio, "before" + stream.bytes);
        QVERIFY(demuxer.takeBlocks().isEmpty());
        QVERIFY(!demuxer.insideMetadata());
    }
    QVERIFY(!IcyMetadataDemuxer(16).passesThrough());
}

void TestIcyMetadataDemuxer::metaIntFromHeader_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<qint64>("expected"); // 0: no value

    QTest::newRow("usual") << QByteArray("16000") << qint64(16000);
    QTest::newRow("blanks") << QByteArray(" 8192\t") << qint64(8192);
    QTest::newRow("large") << QByteArray("4294967296") << qint64(4294967296);
    QTest::newRow("zero") << QByteArray("0") << qint64(0);
    QTest::newRow("negative") << QByteArray("-8192") << qint64(0);
    QTest::newRow("plus sign") << QByteArray("+8192") << qint64(0);
    QTest::newRow("trailing text") << QByteArray("8192abc") << qint64(0);
    QTest::newRow("hexadecimal") << QByteArray("0x2000") << qint64(0);
    QTest::newRow("empty") << QByteArray("") << qint64(0);
    QTest::newRow("overflow") << QByteArray("99999999999999999999999") << qint64(0);
}

void TestIcyMetadataDemuxer::metaIntFromHeader()
{
    QFETCH(QByteArray, value);
    QFETCH(qint64, expected);
    QCOMPARE(IcyMetadataDemuxer::metaIntFromHeader(value).value_or(0), expected);
}

QTEST_GUILESS_MAIN(TestIcyMetadataDemuxer)
#include "tst_icymetadatademuxer.moc"
