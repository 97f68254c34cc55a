#include "stream/StationAddress.h"

#include "util/LeadingNumber.h"

namespace {

// The colon that ends the host is looked for from the 6th character on, so a
// colon among the first five characters is part of the host.
constexpr qsizetype FirstColonIndex = 5;
constexpr qsizetype MinimumLength = 10;

} // namespace

QByteArray StationAddress::request() const
{
    // The request line must stay one line with three words, so blanks,
    // control characters and non-ASCII characters of the path are sent
    // percent-encoded.
    QByteArray target;
    const QByteArray utf8 = path.toUtf8();
    target.reserve(utf8.size());
    for (const char ch : utf8) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte > 0x20 && byte < 0x7f) {
            target.append(ch);
        } else {
            target.append('%');
            target.append(QByteArray::number(byte, 16).toUpper().rightJustified(2, '0'));
        }
    }
    return QByteArrayLiteral("GET ") + target + QByteArrayLiteral(" HTTP/1.0\r\n\r\n");
}

StationAddressParse parseStationAddress(const QString &text)
{
    StationAddressParse result;
    QString url = text.trimmed();
    if (url.left(7).compare(QLatin1String("http://"), Qt::CaseInsensitive) == 0)
        url.remove(0, 7);
    result.url = url;

    if (url.size() < MinimumLength)
        return result;
    const qsizetype colon = url.indexOf(u':', FirstColonIndex);
    if (colon < 0)
        return result;

    const QString afterColon = url.mid(colon + 1);
    const std::optional<qint64> port = leadingInteger(afterColon, 0, 65535);
    if (!port)
        return result;

    StationAddress address;
    address.url = url;
    address.host = url.left(colon);
    address.port = static_cast<quint16>(*port);
    const QString rest = afterColon.mid(leadingNumberLength(afterColon));
    if (rest.startsWith(u'/'))
        address.path = rest;
    result.address = address;
    return result;
}
