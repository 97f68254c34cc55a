#pragma once

#include <QString>
#include <optional>

// A station address typed by the user: host, port and an optional path.
struct StationAddress
{
    QString url;  // the text trimmed, without a leading "http://" (any letter case)
    QString host; // the text before the first colon from the 6th character on
    quint16 port = 0;
    QString path = QStringLiteral("/"); // the request path: "/" or what followed the port

    // The request sent on connection: "GET <path> HTTP/1.0" and an empty line.
    QByteArray request() const;
};

// The result of parsing: `url` is always set (the status line shows it even
// when the address is invalid); `address` only when the text is valid.
struct StationAddressParse
{
    QString url;
    std::optional<StationAddress> address;
};

// Valid: at least 10 characters after trimming and removing the scheme, a
// colon at or after the 6th character, and a whole port number 0..65535
// (text after the colon that does not begin with a number gives port 0).
StationAddressParse parseStationAddress(const QString &text);
