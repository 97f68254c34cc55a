// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/DirectoryStation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrl>

namespace {

constexpr qsizetype MaxTextLength = 200;
constexpr qsizetype MaxAddressLength = 2048;
constexpr qsizetype MaxUuidLength = 64;
constexpr int MaxBitrate = 100000;

// A text field: strings only, control characters (line breaks included)
// turned into spaces, runs of spaces collapsed and the length capped.
QString text(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString())
        return {};
    QString result = value.toString().left(MaxTextLength);
    for (QChar &c : result) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char(' ');
    }
    return result.simplified();
}

// An address a station may be played from: absolute http or https with a
// host, nothing else (no file:, javascript:, data: ...).
QString streamAddress(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString())
        return {};
    const QString raw = value.toString().trimmed();
    if (raw.isEmpty() || raw.size() > MaxAddressLength)
        return {};
    const QUrl url(raw, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return raw;
}

// The id goes into a request path later: hex digits and dashes only.
QString uuid(const QJsonObject &object)
{
    const QJsonValue value = object.value(QLatin1String("stationuuid"));
    if (!value.isString())
        return {};
    const QString id = value.toString();
    if (id.isEmpty() || id.size() > MaxUuidLength)
        return {};
    for (const QChar c : id) {
        const bool hexDigit = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                              (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
                              (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!hexDigit && c != QLatin1Char('-'))
            return {};
    }
    return id;
}

int bitrate(const QJsonObject &object)
{
    const QJsonValue value = object.value(QLatin1String("bitrate"));
    if (!value.isDouble())
        return 0;
    const double kbits = value.toDouble();
    if (!(kbits > 0))
        return 0;
    return kbits > MaxBitrate ? MaxBitrate : int(kbits);
}

// The directory writes flags as 0/1 numbers; accept true as well.
bool flag(const QJsonObject &object, const char *key, bool absent)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0;
    return absent;
}

} // namespace

StationListParse parseStationList(const QByteArray &json)
{
    StationListParse result;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return result;
    result.ok = true;

    const QJsonArray entries = document.array();
    for (const QJsonValue &entry : entries) {
        if (!entry.isObject())
            continue;
        const QJsonObject object = entry.toObject();
        if (!flag(object, "lastcheckok", true))
            continue;
        DirectoryStation station;
        station.address = streamAddress(object, "url_resolved");
        if (station.address.isEmpty())
            station.address = streamAddress(object, "url");
        if (station.address.isEmpty())
            continue;
        station.uuid = uuid(object);
        station.name = text(object, "name");
        station.codec = text(object, "codec");
        station.bitrate = bitrate(object);
        station.country = text(object, "country");
        station.countryCode = text(object, "countrycode");
        station.tags = text(object, "tags");
        station.hls = flag(object, "hls", false);
        result.stations.append(station);
    }
    return result;
}
