// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/StationAddress.h"

#include "station/StationRequest.h"
#include "util/LeadingNumber.h"

namespace {

// The colon that ends the host in the older form is looked for from the 6th
// character on, so a colon among the first five characters is part of the host.
constexpr qsizetype FirstColonIndex = 5;
constexpr qsizetype MinimumLength = 10;
constexpr qsizetype MaxPortDigits = 5;

const QLatin1String HttpPrefix("http://");
const QLatin1String HttpsPrefix("https://");

bool startsWithNoCase(const QString &text, QLatin1String prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

// The length of the authority (user, host and port) at the start of an
// address without its scheme: up to the first '/', '?' or '#'.
qsizetype authorityLength(QStringView rest)
{
    qsizetype end = rest.size();
    for (const QChar mark : {u'/', u'?', u'#'}) {
        const qsizetype at = rest.indexOf(mark);
        if (at >= 0 && at < end)
            end = at;
    }
    return end;
}

bool isDigits(QStringView text)
{
    if (text.isEmpty() || text.size() > MaxPortDigits)
        return false;
    for (const QChar ch : text) {
        if (ch < u'0' || ch > u'9')
            return false;
    }
    return true;
}

// Whether the host and port part of an authority has the usual shape: a
// host or "[IPv6]", then nothing or ":" and the digits of a port.
bool isHostAndPort(QStringView hostPort)
{
    qsizetype hostEnd = 0;
    if (hostPort.startsWith(u'[')) {
        hostEnd = hostPort.indexOf(u']');
        if (hostEnd < 0)
            return false;
        ++hostEnd;
    } else {
        hostEnd = hostPort.indexOf(u':');
        if (hostEnd < 0)
            hostEnd = hostPort.size();
    }
    if (hostEnd == 0)
        return false;
    const QStringView afterHost = hostPort.sliced(hostEnd);
    return afterHost.isEmpty() || (afterHost.startsWith(u':') && isDigits(afterHost.sliced(1)));
}

QByteArray basicAuthorization(const QUrl &url)
{
    if (url.userInfo().isEmpty())
        return {};
    const QString credentials =
        url.userName(QUrl::FullyDecoded) + u':' + url.password(QUrl::FullyDecoded);
    return QByteArrayLiteral("Basic ") + credentials.toUtf8().toBase64();
}

// The usual URL forms, with or without scheme. The path and query are taken
// from the text as they stand, so that the station gets exactly what was
// typed; QUrl checks the authority (user, host, port).
std::optional<StationAddress> parseUrlForm(const QString &trimmed)
{
    const bool tls = startsWithNoCase(trimmed, HttpsPrefix);
    QString rest = trimmed;
    if (tls)
        rest.remove(0, HttpsPrefix.size());
    else if (startsWithNoCase(trimmed, HttpPrefix))
        rest.remove(0, HttpPrefix.size());

    const qsizetype authorityEnd = authorityLength(rest);
    const QString authority = rest.left(authorityEnd);
    const qsizetype at = authority.lastIndexOf(u'@');
    if (!isHostAndPort(QStringView(authority).sliced(at + 1)))
        return std::nullopt;

    const QString scheme = tls ? QStringLiteral("https") : QStringLiteral("http");
    const QUrl checked(scheme + QStringLiteral("://") + authority + u'/');
    if (!checked.isValid() || checked.host().isEmpty())
        return std::nullopt;

    StationAddress address;
    address.tls = tls;
    address.host = checked.host(QUrl::FullyEncoded);
    address.port = quint16(checked.port(address.defaultPort()));
    address.authorization = basicAuthorization(checked);
    QString path = rest.mid(authorityEnd);
    const qsizetype fragment = path.indexOf(u'#');
    if (fragment >= 0)
        path.truncate(fragment);
    if (!path.startsWith(u'/'))
        path.prepend(u'/');
    address.path = path;
    return address;
}

// Whether a plain address names a host clearly: a port is given, or the
// host is a domain name with a dot, an IP address or "localhost". A single
// word such as "music" is more likely a typing slip than a station.
bool namesAHost(const StationAddress &address, const QString &url)
{
    if (address.host.contains(u'.') || address.host.contains(u':') ||
        address.host == QLatin1String("localhost"))
        return true;
    const QString authority = url.left(authorityLength(url));
    return authority.mid(authority.lastIndexOf(u'@') + 1).contains(u':');
}

// The rule that "host:port" addresses always followed; `url` is the trimmed
// text without "http://", at least 10 characters long.
std::optional<StationAddress> parseOlderForm(const QString &url)
{
    const qsizetype colon = url.indexOf(u':', FirstColonIndex);
    if (colon < 0)
        return std::nullopt;

    const QString afterColon = url.mid(colon + 1);
    const std::optional<qint64> port = leadingInteger(afterColon, 0, 65535);
    if (!port)
        return std::nullopt;

    StationAddress address;
    address.host = url.left(colon);
    address.port = static_cast<quint16>(*port);
    const QString rest = afterColon.mid(leadingNumberLength(afterColon));
    if (rest.startsWith(u'/'))
        address.path = rest;
    return address;
}

} // namespace

QString StationAddress::hostHeader() const
{
    QString value = host.contains(u':') ? u'[' + host + u']' : host;
    if (port != defaultPort())
        value += u':' + QString::number(port);
    return value;
}

QUrl StationAddress::toUrl() const
{
    const QString scheme = tls ? QStringLiteral("https://") : QStringLiteral("http://");
    return QUrl(scheme + hostHeader() + path);
}

QByteArray StationAddress::request() const
{
    return QByteArrayLiteral("GET ") + requestTarget(path) + QByteArrayLiteral(" HTTP/1.0\r\n\r\n");
}

StationAddressParse parseStationAddress(const QString &text)
{
    StationAddressParse result;
    const QString trimmed = text.trimmed();
    QString url = trimmed;
    if (startsWithNoCase(url, HttpPrefix))
        url.remove(0, HttpPrefix.size());
    result.url = url;

    // A plain address of any length is taken when it names a host clearly
    // (see namesAHost). The older form, for texts that are no such address,
    // keeps its minimum of 10 characters (without "http://"). "https://" was
    // never part of the older form, where it would have made a host named
    // "https".
    std::optional<StationAddress> address;
    if (startsWithNoCase(trimmed, HttpsPrefix)) {
        address = parseUrlForm(trimmed);
    } else {
        address = parseUrlForm(trimmed);
        if (address && !namesAHost(*address, url))
            address.reset();
        if (!address && url.size() >= MinimumLength)
            address = parseOlderForm(url);
    }
    if (address) {
        address->url = url;
        result.address = address;
    }
    return result;
}

std::optional<StationAddress> stationAddressFromUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return std::nullopt;

    StationAddress address;
    address.tls = scheme == QLatin1String("https");
    address.host = url.host(QUrl::FullyEncoded);
    address.port = quint16(url.port(address.defaultPort()));
    address.authorization = basicAuthorization(url);
    address.path = url.path(QUrl::FullyEncoded);
    if (!address.path.startsWith(u'/'))
        address.path.prepend(u'/');
    if (url.hasQuery())
        address.path += u'?' + url.query(QUrl::FullyEncoded);

    address.url = url.toString(QUrl::RemovePassword | QUrl::RemoveFragment);
    if (startsWithNoCase(address.url, HttpPrefix))
        address.url.remove(0, HttpPrefix.size());
    return address;
}
