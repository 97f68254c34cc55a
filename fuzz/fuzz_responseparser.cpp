// Feeds a response to the parser in pieces whose sizes come from the input and
// checks that the outcome, the header values and the audio are those of the
// same response fed at once.

#include "stream/ResponseParser.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

struct Result
{
    bool refused = false;
    bool headersRead = false;
    ResponseParser::Stage stage = ResponseParser::Stage::StatusLine;
    StationHeaders headers;
    QByteArray audio;
};

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_responseparser: %s\n", what);
    std::abort();
}

void record(ResponseParser &parser, ResponseParser::Outcome outcome, Result &result)
{
    using Outcome = ResponseParser::Outcome;
    if (result.refused && outcome != Outcome::Refused)
        fail("a refused response was taken up again");
    if (outcome == Outcome::HeadersRead) {
        if (result.headersRead)
            fail("the header block was read twice");
        result.headersRead = true;
    }
    if (outcome == Outcome::Audio && !result.headersRead)
        fail("audio before the header block");
    if (outcome == Outcome::NeedMore && result.headersRead)
        fail("asked for more after the header block");
    result.refused = outcome == Outcome::Refused;
    result.audio += parser.takeAudio();
    result.stage = parser.stage();
    result.headers = parser.headers();
}

// A small generator for the piece sizes, seeded from the input.
quint32 nextSize(quint32 &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // Mostly small pieces, sometimes large ones, so that both line ends split
    // between feeds and whole blocks in one feed occur.
    return (state & 0x8000) ? (state % 70000) : (state % 16);
}

Result parseInPieces(QByteArrayView response, quint32 seed)
{
    ResponseParser parser;
    Result result;
    qsizetype pos = 0;
    quint32 state = seed | 1;
    while (pos < response.size()) {
        const qsizetype size = std::min<qsizetype>(nextSize(state), response.size() - pos);
        record(parser, parser.feed(response.sliced(pos, size)), result);
        pos += size;
    }
    return result;
}

bool same(const Result &a, const Result &b)
{
    return a.refused == b.refused && a.headersRead == b.headersRead && a.stage == b.stage &&
           a.headers.name == b.headers.name && a.headers.genre == b.headers.genre &&
           a.headers.url == b.headers.url && a.headers.bitrate == b.headers.bitrate &&
           a.audio == b.audio;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    const quint32 seed =
        quint32(data[0]) | quint32(data[1]) << 8 | quint32(data[2]) << 16 | quint32(data[3]) << 24;
    const QByteArrayView response(data + 4, qsizetype(size - 4));

    ResponseParser whole;
    Result once;
    record(whole, whole.feed(response), once);

    if (!same(once, parseInPieces(response, seed)))
        fail("pieces chosen from the input give another result than one feed");
    if (response.size() <= 4096 && !same(once, parseInPieces(response, 0)))
        fail("pieces of mostly few bytes give another result than one feed");

    // Whatever was accepted, the audio is the tail of the response.
    if (once.headersRead && !response.endsWith(once.audio))
        fail("audio is not the end of the response");
    if (once.refused && !once.audio.isEmpty())
        fail("a refused response gave audio");

    whole.reset();
    Result again;
    record(whole, whole.feed(response), again);
    if (!same(once, again))
        fail("reset() did not start afresh");
    return 0;
}
