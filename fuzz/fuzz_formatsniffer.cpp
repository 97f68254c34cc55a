// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the audio format check in pieces whose sizes come
// from the input, under a content type chosen by the first input byte, and
// checks that the decision does not depend on the pieces.

#include "audio/AudioFormatSniffer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_formatsniffer: %s\n", what);
    std::abort();
}

constexpr std::array<const char *, 7> ContentTypes = {
    "",           "audio/mpeg",
    "audio/aacp", "application/ogg",
    "audio/flac", "application/octet-stream",
    "text/html",
};

struct Decision
{
    bool decidedBeforeEnd = false;
    AudioFormatSniffer::Format format = AudioFormatSniffer::Format::Unknown;
};

Decision sniffInPieces(const QString &type, QByteArrayView stream, quint32 state)
{
    AudioFormatSniffer sniffer(type);
    Decision decision;
    qsizetype pos = 0;
    while (pos < stream.size()) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const qsizetype size =
            std::min<qsizetype>((state & 0x8000) ? state % 20000 : state % 9, stream.size() - pos);
        const bool decided = sniffer.feed(stream.sliced(pos, size));
        if (decided != sniffer.isDecided())
            fail("feed() and isDecided() disagree");
        if (!decided && sniffer.format() != AudioFormatSniffer::Format::Unknown)
            fail("a format before the decision");
        pos += size;
        if (decided) {
            decision.decidedBeforeEnd = true;
            break;
        }
    }
    const AudioFormatSniffer::Format before = sniffer.format();
    sniffer.finish();
    if (!sniffer.isDecided())
        fail("undecided after finish()");
    if (decision.decidedBeforeEnd && sniffer.format() != before)
        fail("finish() changed a decision");
    // Bytes after the decision change nothing.
    sniffer.feed(stream);
    decision.format = sniffer.format();
    if (AudioFormatSniffer::name(decision.format).isEmpty())
        fail("a format without name");
    return decision;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 5)
        return 0;
    const QString type = QString::fromLatin1(ContentTypes[data[0] % ContentTypes.size()]);
    const quint32 seed =
        quint32(data[1]) | quint32(data[2]) << 8 | quint32(data[3]) << 16 | quint32(data[4]) << 24;
    const QByteArrayView stream(data + 5, qsizetype(size - 5));

    AudioFormatSniffer whole(type);
    whole.feed(stream);
    whole.finish();

    if (sniffInPieces(type, stream, seed | 1).format != whole.format())
        fail("pieces chosen from the input give another format than one feed");
    if (stream.size() <= 4096 && sniffInPieces(type, stream, 0x9e3779b9u).format != whole.format())
        fail("small pieces give another format than one feed");
    return 0;
}
