// Parses arbitrary text as a station address and as a leading number, and
// checks what every valid address must satisfy.

#include "util/LeadingNumber.h"
#include "stream/StationAddress.h"

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

void checkAddress(const QString &text)
{
    const StationAddressParse parsed = parseStationAddress(text);
    if (!parsed.address)
        return;
    const StationAddress &address = *parsed.address;
    if (address.url != parsed.url || address.url.size() < 10)
        fail("valid address with a short or different url");
    if (address.host.size() < 5 || address.url.at(address.host.size()) != u':' ||
        !address.url.startsWith(address.host))
        fail("host is not the text before the colon");
    if (!address.path.startsWith(u'/'))
        fail("path does not begin with '/'");

    const QByteArray request = address.request();
    if (!request.startsWith("GET /") || !request.endsWith(" HTTP/1.0\r\n\r\n"))
        fail("request is not a GET line and an empty line");
    const QByteArray line = request.chopped(4);
    if (line.contains('\r') || line.contains('\n') || line.count(' ') != 2)
        fail("request line is not one line of three words");
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
