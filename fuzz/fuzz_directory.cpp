// SPDX-License-Identifier: GPL-3.0-or-later
// The station directory's answer to a search, as any server could send it.

#include "directory/DirectoryStation.h"
#include "directory/PlayableCodecs.h"

#include <QUrl>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_directory: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), qsizetype(size));
    const StationListParse parse = parseStationList(json);
    if (!parse.ok && !parse.stations.isEmpty())
        fail("stations from an answer that could not be read");
    for (const DirectoryStation &station : parse.stations) {
        // Every address kept is an absolute http(s) address with a host.
        const QUrl url(station.address);
        const QString scheme = url.scheme().toLower();
        if (url.host().isEmpty() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
            fail("an address that is not http(s) with a host");
        // The id goes into a request path: no slash, no dot.
        if (station.uuid.contains(QLatin1Char('/')) || station.uuid.contains(QLatin1Char('.')))
            fail("an id that could leave its request path");
        if (station.bitrate < 0)
            fail("a negative bitrate");
        isPlayable(station);
    }
    return 0;
}
