// SPDX-License-Identifier: GPL-3.0-or-later
// Parses arbitrary text as a station address, as a redirect's Location and as
// a leading number, and checks what every valid address and every request
// must satisfy.

#include "station/RedirectTracker.h"
#include "station/StationAddress.h"
#include "station/StationRequest.h"
#include "util/LeadingNumber.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_stationaddress: %s\n", what);
    std::abort();
}

void checkNumber(const QString &text)
{
    const double value = leadingNumber(text);
    if (std::isnan(value))
        fail("leadingNumber gave NaN");
    const double rounded = roundHalfEven(value);
    if (std::isfinite(value) && !(std::fabs(rounded - value) <= 0.5))
        fail("roundHalfEven moved the value by more than a half");
    const qsizetype length = leadingNumberLength(text);
    if (length < 0 || length > text.size())
        fail("leadingNumberLength outside the text");
    if (length == 0 && value != 0.0)
        fail("a number without length");
    if (const std::optional<qint64> port = leadingInteger(text, 0, 65535)) {
        if (*port < 0 || *port > 65535)
            fail("leadingInteger outside its range");
    }
}

// The full request is one line per header, with nothing a value could add.
void checkRequest(const StationAddress &address)
{
    if (!address.path.startsWith(u'/'))
        fail("path does not begin with '/'");
    if (address.hostHeader().isEmpty())
        fail("empty Host");

    const QByteArray minimal = address.request();
    if (!minimal.startsWith("GET /") || !minimal.endsWith(" HTTP/1.0\r\n\r\n"))
        fail("request is not a GET line and an empty line");
    const QByteArray line = minimal.chopped(4);
    if (line.contains('\r') || line.contains('\n') || line.count(' ') != 2)
        fail("request line is not one line of three words");

    const QByteArray request = stationRequest(address, StationRequestOptions{true});
    if (!request.endsWith("\r\n\r\n"))
        fail("request does not end with an empty line");
    const QList<QByteArray> lines = request.chopped(4).split('\n');
    const qsizetype expected = address.authorization.isEmpty() ? 6 : 7;
    if (lines.size() != expected)
        fail("request has another number of lines than headers");
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray &header = lines.at(i);
        const QByteArray text = i + 1 < lines.size() ? header.chopped(1) : header;
        if ((i + 1 < lines.size() && !header.endsWith('\r')) || text.contains('\r'))
            fail("a line of the request does not end with CR LF");
        if (i > 0 && text.indexOf(": ") <= 0)
            fail("a header line is not name and value");
    }
    if (lines.first().count(' ') != 2 || !lines.first().startsWith("GET /"))
        fail("request line is not one line of three words");
}

// An address taken to a URL and back is stable after the first trip.
void checkUrlRoundTrip(const StationAddress &address)
{
    const std::optional<StationAddress> once = stationAddressFromUrl(address.toUrl());
    if (!once)
        return;
    checkRequest(*once);
    const std::optional<StationAddress> twice = stationAddressFromUrl(once->toUrl());
    if (!twice || twice->tls != once->tls || twice->host != once->host ||
        twice->port != once->port || twice->path != once->path)
        fail("an address changes on a second trip through a URL");
}

void checkAddress(const QString &text)
{
    const StationAddressParse parsed = parseStationAddress(text);
    if (!parsed.address)
        return;
    const StationAddress &address = *parsed.address;
    if (address.url != parsed.url)
        fail("address with a different display text");
    if (address.host.isEmpty())
        fail("address without host");
    checkRequest(address);
    checkUrlRoundTrip(address);

    // The same text as a redirect's Location, relative to this address.
    const RedirectTracker::Step step = RedirectTracker::resolve(address, text);
    if (step.address.has_value() != (step.error == RedirectTracker::Error::None))
        fail("a redirect step with both an address and an error, or neither");
    if (step.address) {
        if (step.address->host.isEmpty())
            fail("redirect to an address without host");
        checkRequest(*step.address);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    for (const QString &text : {QString::fromUtf8(bytes), QString::fromLatin1(bytes)}) {
        checkNumber(text);
        checkAddress(text);
    }
    return 0;
}
