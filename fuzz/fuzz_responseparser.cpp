// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds a response to the parser in pieces whose sizes come from the input and
// checks that the outcome, the status, the headers, the audio and the body are
// those of the same response fed at once.

#include "station/ResponseParser.h"

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
    QByteArray body;
    ResponseParser::Refusal refusal = ResponseParser::Refusal::None;
    int statusCode = 0;
    QString statusLine;
    QString location;
    QString contentType;
    QList<std::pair<QByteArray, QByteArray>> allHeaders;
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
    result.body += parser.takeBody();
    result.stage = parser.stage();
    result.headers = parser.headers();
    result.refusal = parser.refusal();
    result.statusCode = parser.statusCode();
    result.statusLine = parser.statusLine();
    result.location = parser.location();
    result.contentType = parser.contentType();
    result.allHeaders = parser.allHeaders();

    using Refusal = ResponseParser::Refusal;
    if ((result.refusal == Refusal::None) == result.refused)
        fail("refused without a reason, or a reason without refusal");
    if (parser.isRedirect() != (result.refusal == Refusal::Redirect))
        fail("isRedirect() disagrees with the refusal");
    if (result.refusal == Refusal::Redirect &&
        !QList<int>{301, 302, 303, 307, 308}.contains(result.statusCode))
        fail("a redirect with another code");
    if (outcome == Outcome::HeadersRead && result.statusCode != 200)
        fail("a stream accepted with a code other than 200");
    if (!result.body.isEmpty() && result.refusal != Refusal::NotAStream)
        fail("a body outside a response that is no stream");
    if (result.contentType != result.contentType.trimmed().toLower() ||
        result.contentType.contains(u';'))
        fail("content type not reduced to its media type");
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
           a.audio == b.audio && a.body == b.body && a.refusal == b.refusal &&
           a.statusCode == b.statusCode && a.statusLine == b.statusLine &&
           a.location == b.location && a.contentType == b.contentType &&
           a.allHeaders == b.allHeaders;
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
    if (!response.endsWith(once.body))
        fail("the body is not the end of the response");

    whole.reset();
    Result again;
    record(whole, whole.feed(response), again);
    if (!same(once, again))
        fail("reset() did not start afresh");
    return 0;
}
