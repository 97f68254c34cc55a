// SPDX-License-Identifier: GPL-3.0-or-later
// Reads arbitrary bytes as a playlist body under a content type and address
// chosen by the first input byte, and checks what every result must satisfy.

#include "station/PlaylistParser.h"

#include <QSet>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_playlist: %s\n", what);
    std::abort();
}

constexpr std::array<const char *, 12> ContentTypes = {
    "",
    "text/plain",
    "application/octet-stream",
    "audio/x-scpls",
    "audio/x-mpegurl",
    "application/vnd.apple.mpegurl",
    "application/xspf+xml",
    "video/x-ms-asf",
    "audio/x-ms-wax",
    "text/html",
    "audio/mpeg",
    "application/xml",
};

constexpr std::array<const char *, 6> Addresses = {
    "http://radio.example/",
    "http://radio.example:8000/dir/list.pls",
    "https://radio.example/a/b.m3u?x=1",
    "http://[::1]:8000/l.m3u8",
    "http://radio.example/p.xspf",
    "https://radio.example/x.asx",
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const QString type = QString::fromLatin1(ContentTypes[data[0] % ContentTypes.size()]);
    const QUrl address(
        QString::fromLatin1(Addresses[(data[0] / ContentTypes.size()) % Addresses.size()]));
    const QByteArrayView body(data + 1, qsizetype(size - 1));

    const PlaylistParser::Result result = PlaylistParser::read(type, address, body);
    if (result.truncated != (body.size() > PlaylistParser::MaxBytes))
        fail("truncated flag does not match the body size");

    using Kind = PlaylistParser::Kind;
    const bool listsEntries = result.kind == Kind::Pls || result.kind == Kind::M3u ||
                              result.kind == Kind::Xspf || result.kind == Kind::Asx;
    if (!listsEntries && !result.entries.isEmpty())
        fail("entries from something that lists none");

    QSet<QUrl> seen;
    for (const QUrl &entry : result.entries) {
        const QString scheme = entry.scheme();
        if (!entry.isValid() || entry.isRelative() || entry.host().isEmpty() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
            fail("an entry that is no absolute http or https address");
        if (seen.contains(entry))
            fail("an entry listed twice");
        seen.insert(entry);
    }

    if (!result.truncated && PlaylistParser::recognise(type, address, body) != result.kind)
        fail("read() and recognise() disagree on a body that fits");
    if (result.kind != Kind::NotAPlaylist && !PlaylistParser::mayBePlaylist(type, address))
        fail("a playlist behind a type and address that may not hold one");
    if (const auto target = PlaylistParser::hlsTargetDuration(body);
        target && (target->count() <= 0 || *target > PlaylistParser::MaxTargetDuration))
        fail("a target duration out of range");
    return 0;
}
