// SPDX-License-Identifier: GPL-3.0-or-later
// Writes an MP3 stream into buffer files whole, in pieces whose sizes come
// from the input (several per arrival, as the title demuxer gives them) and,
// for short inputs, one byte at a time. Every way gives the same files, and
// the files joined are the stream. The frame reader alone finds the same
// frames every way, each a whole Layer III frame inside the stream.

#include "audio/Mp3FrameReader.h"
#include "audio/Mp3StreamWriter.h"
#include "bufferfiles/BufferFileWriter.h"
#include "bufferfiles/BufferFolder.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_mp3frames: %s\n", what);
    std::abort();
}

quint32 nextSize(quint32 &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // Mostly pieces shorter than a header or a frame, sometimes long ones.
    return (state & 0x8000) ? (state % 9000) : (state % 6);
}

using Arrivals = QList<QList<QByteArrayView>>;

// The pieces of the stream: one byte each for seed 0, else sizes from the
// seed, up to three pieces to an arrival.
Arrivals arrivals(QByteArrayView stream, quint32 seed)
{
    Arrivals result;
    quint32 state = seed | 1;
    qsizetype pos = 0;
    while (pos < stream.size()) {
        QList<QByteArrayView> runs;
        const int count = seed == 0 ? 1 : 1 + int(state % 3);
        for (int i = 0; i < count && pos < stream.size(); ++i) {
            const qsizetype size =
                seed == 0 ? 1 : std::min<qsizetype>(nextSize(state), stream.size() - pos);
            runs.append(stream.sliced(pos, size));
            pos += size;
        }
        result.append(runs);
    }
    return result;
}

Arrivals oneArrival(QByteArrayView stream)
{
    return {{stream}};
}

QList<Mp3FrameReader::Frame> frames(const Arrivals &pieces)
{
    Mp3FrameReader reader;
    QList<Mp3FrameReader::Frame> found;
    for (const QList<QByteArrayView> &runs : pieces) {
        for (const QByteArrayView run : runs)
            reader.feed(run, found);
    }
    return found;
}

QByteArrayList files(const QString &folder, const Arrivals &pieces, qint64 limit)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    BufferFileWriter writer;
    if (!writer.openFirst(folder + QStringLiteral("/")))
        fail("the first file could not be made");
    Mp3StreamWriter mp3(writer);
    for (const QList<QByteArrayView> &runs : pieces) {
        if (!mp3.append(runs, limit))
            fail("a write failed");
    }
    if (!mp3.finish())
        fail("the last write failed");
    writer.close();
    QByteArrayList result;
    for (quint32 n = 0; n <= writer.counter(); ++n) {
        QFile file(folder + QStringLiteral("/") + BufferFolder::fileNameFor(n));
        if (!file.open(QIODevice::ReadOnly))
            fail("a buffer file is missing");
        result.append(file.readAll());
    }
    return result;
}

bool sameFrames(const QList<Mp3FrameReader::Frame> &a, const QList<Mp3FrameReader::Frame> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto &x, const auto &y) {
        return x.start == y.start && x.length == y.length;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 5)
        return 0;
    static QTemporaryDir dir;
    if (!dir.isValid())
        fail("no temporary folder");
    // Limits from a few bytes to a few dozen frames.
    const qint64 limit = qint64(data[0]) * 97 + 1;
    const quint32 seed =
        quint32(data[1]) | quint32(data[2]) << 8 | quint32(data[3]) << 16 | quint32(data[4]) << 24;
    const QByteArrayView stream(data + 5, qsizetype(size - 5));

    const QList<Mp3FrameReader::Frame> once = frames(oneArrival(stream));
    qint64 end = 0;
    for (const Mp3FrameReader::Frame &frame : once) {
        if (frame.start < end || frame.start + 4 > stream.size() ||
            frame.length != Mp3FrameReader::frameLength(stream.sliced(frame.start)))
            fail("a frame that is not a Layer III header where the last frame ended or later");
        end = frame.start + frame.length;
    }
    if (!sameFrames(once, frames(arrivals(stream, seed))))
        fail("pieces chosen from the input find other frames than one feed");
    if (stream.size() <= 4096 && !sameFrames(once, frames(arrivals(stream, 0))))
        fail("one byte per feed finds other frames than one feed");

    const QByteArrayList whole =
        files(dir.filePath(QStringLiteral("whole")), oneArrival(stream), limit);
    if (whole.join() != stream)
        fail("the files joined are not the stream");
    // No file but the last ends inside a frame.
    qint64 boundary = 0;
    for (const QByteArray &file : whole.first(whole.size() - 1)) {
        boundary += file.size();
        for (const Mp3FrameReader::Frame &frame : once) {
            if (frame.start < boundary && boundary < frame.start + frame.length)
                fail("a file ends inside a frame");
        }
    }
    if (files(dir.filePath(QStringLiteral("pieces")), arrivals(stream, seed), limit) != whole)
        fail("pieces chosen from the input give other files than one arrival");
    if (stream.size() <= 4096 &&
        files(dir.filePath(QStringLiteral("bytes")), arrivals(stream, 0), limit) != whole)
        fail("one byte per arrival gives other files than one arrival");
    return 0;
}
