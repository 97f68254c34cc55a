// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes, as a station might send them, through the demuxers,
// decoders and the MP3 encoder in arrivals of varying size, and checks that
// whatever comes out is whole MP3 frames and that a failure is told.

#include "audio/Mp3Transcoder.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_transcoder: %s\n", what);
    std::abort();
}

void checkFrames(const QByteArrayList &frames)
{
    for (const QByteArray &frame : frames) {
        // MPEG-1 Layer III sync and header, 44.1 kHz.
        if (frame.size() < 4 || quint8(frame[0]) != 0xFF || (quint8(frame[1]) & 0xFE) != 0xFA ||
            ((quint8(frame[2]) >> 2) & 3) != 0)
            fail("an output entry is not an MP3 frame");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView input(data, qsizetype(size));
    Mp3Transcoder transcoder(128);
    quint32 state = quint32(size) * 2654435761u | 1;
    qsizetype pos = 0;
    bool ok = true;
    while (ok && pos < input.size()) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const qsizetype piece = std::min<qsizetype>(1 + state % 4096, input.size() - pos);
        ok = transcoder.feed(input.sliced(pos, piece));
        pos += piece;
        checkFrames(transcoder.takeFrames());
    }
    if (ok)
        ok = transcoder.finish();
    checkFrames(transcoder.takeFrames());
    if (ok != transcoder.errorString().isEmpty())
        fail("the outcome and the error disagree");
    return 0;
}
