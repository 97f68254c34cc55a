// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds a stream with ICY metadata framing to the demuxer whole, in pieces
// whose sizes come from the input and (for short inputs) one byte at a time,
// and checks that the audio, the metadata blocks and the titles read from
// them are the same every time. The title reader also gets the raw input.

#include "audio/IcyMetadataDemuxer.h"
#include "audio/StreamTitle.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

struct Result
{
    QByteArray audio;
    QList<IcyMetadataBlock> blocks;
    QStringList titles;
    bool insideMetadata = false;
};

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_icymetadata: %s\n", what);
    std::abort();
}

void checkTitle(const StreamTitle &title)
{
    for (const QString &value : {title.title, title.url}) {
        if (value != value.trimmed())
            fail("a value keeps blanks around it");
        for (const QChar c : value) {
            if (c.category() == QChar::Other_Control)
                fail("a value keeps a control character");
        }
    }
    if ((!title.hasTitle && !title.title.isEmpty()) || (!title.hasUrl && !title.url.isEmpty()))
        fail("a value without its key");
}

void collect(IcyMetadataDemuxer &demuxer, Result &result)
{
    for (IcyMetadataBlock &block : demuxer.takeBlocks()) {
        const StreamTitle title = StreamTitle::fromMetadata(block.bytes);
        checkTitle(title);
        result.titles.append(title.hasTitle ? title.title : QStringLiteral("(none)"));
        result.blocks.append(std::move(block));
    }
    result.insideMetadata = demuxer.insideMetadata();
}

quint32 nextSize(quint32 &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // Mostly pieces shorter than a block, sometimes ones spanning many.
    return (state & 0x8000) ? (state % 20000) : (state % 40);
}

Result demux(qint64 metaInt, QByteArrayView stream, quint32 seed)
{
    IcyMetadataDemuxer demuxer(metaInt);
    Result result;
    qsizetype pos = 0;
    quint32 state = seed | 1;
    while (pos < stream.size()) {
        const qsizetype size =
            seed == 0 ? 1 : std::min<qsizetype>(nextSize(state), stream.size() - pos);
        demuxer.feed(stream.sliced(pos, size), result.audio);
        collect(demuxer, result);
        pos += size;
    }
    return result;
}

bool same(const Result &a, const Result &b)
{
    return a.audio == b.audio && a.titles == b.titles && a.insideMetadata == b.insideMetadata &&
           std::equal(a.blocks.begin(), a.blocks.end(), b.blocks.begin(), b.blocks.end(),
                      [](const IcyMetadataBlock &x, const IcyMetadataBlock &y) {
                          return x.audioPosition == y.audioPosition && x.bytes == y.bytes;
                      });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 6)
        return 0;
    // Intervals up to 4096, 0 (no metadata) included, so that short inputs
    // hold many blocks.
    const qint64 metaInt = (qint64(data[0]) | qint64(data[1]) << 8) % 4097;
    const quint32 seed =
        quint32(data[2]) | quint32(data[3]) << 8 | quint32(data[4]) << 16 | quint32(data[5]) << 24;
    const QByteArrayView stream(data + 6, qsizetype(size - 6));

    checkTitle(StreamTitle::fromMetadata(stream));

    IcyMetadataDemuxer whole(metaInt);
    Result once;
    whole.feed(stream, once.audio);
    collect(whole, once);

    if (metaInt == 0 && (once.audio != stream || !once.blocks.isEmpty()))
        fail("without an interval the stream did not pass untouched");
    qint64 framing = 0;
    qint64 lastPosition = 0;
    for (const IcyMetadataBlock &block : once.blocks) {
        if (block.bytes.isEmpty() || block.bytes.size() % 16 != 0 ||
            block.bytes.size() > IcyMetadataDemuxer::MaxBlockBytes)
            fail("a block of a size no length byte gives");
        if (block.audioPosition < lastPosition || block.audioPosition % metaInt != 0)
            fail("a block outside the interval");
        lastPosition = block.audioPosition;
        framing += 1 + block.bytes.size();
    }
    if (once.audio.size() + framing > stream.size())
        fail("more audio and metadata out than stream in");
    if (metaInt > 0 && once.audio.size() > (stream.size() / (metaInt + 1) + 1) * metaInt)
        fail("length bytes were passed on as audio");

    if (!same(once, demux(metaInt, stream, seed == 0 ? 1 : seed)))
        fail("pieces chosen from the input give another result than one feed");
    if (stream.size() <= 4096 && !same(once, demux(metaInt, stream, 0)))
        fail("one byte per feed gives another result than one feed");
    return 0;
}
