// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/StationRequest.h"

#include "util/Version.h"

namespace {

enum class Blanks { Encoded, Kept };

QByteArray percentEncodeUnprintable(const QByteArray &utf8, Blanks blanks = Blanks::Encoded)
{
    const unsigned char lowestKept = blanks == Blanks::Kept ? 0x20 : 0x21;
    QByteArray encoded;
    encoded.reserve(utf8.size());
    for (const char ch : utf8) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte >= lowestKept && byte < 0x7f) {
            encoded.append(ch);
        } else {
            encoded.append('%');
            encoded.append(QByteArray::number(byte, 16).toUpper().rightJustified(2, '0'));
        }
    }
    return encoded;
}

QByteArray userAgent()
{
    return QByteArrayLiteral("Tavrix/") + QByteArray::number(TAVRIX_VERSION_MAJOR) + '.' +
           QByteArray::number(TAVRIX_VERSION_MINOR) + '.' +
           QByteArray::number(TAVRIX_VERSION_PATCH);
}

} // namespace

QByteArray requestTarget(const QString &path)
{
    return percentEncodeUnprintable(path.toUtf8());
}

QByteArray stationRequest(const StationAddress &address, StationRequestOptions options)
{
    QByteArray request = QByteArrayLiteral("GET ") + requestTarget(address.path) +
                         QByteArrayLiteral(" HTTP/1.0\r\n");
    request += QByteArrayLiteral("Host: ") +
               percentEncodeUnprintable(address.hostHeader().toUtf8()) + QByteArrayLiteral("\r\n");
    request += QByteArrayLiteral("User-Agent: ") + userAgent() + QByteArrayLiteral("\r\n");
    request += QByteArrayLiteral("Accept: */*\r\n");
    request += QByteArrayLiteral("Connection: close\r\n");
    if (!address.authorization.isEmpty()) {
        request += QByteArrayLiteral("Authorization: ") +
                   percentEncodeUnprintable(address.authorization, Blanks::Kept) +
                   QByteArrayLiteral("\r\n");
    }
    if (options.icyMetadata)
        request += QByteArrayLiteral("Icy-MetaData: 1\r\n");
    request += QByteArrayLiteral("\r\n");
    return request;
}
