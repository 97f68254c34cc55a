// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

// A station address typed or pasted by the user, or reached through a
// redirect or a playlist: where to connect and what to ask for.
struct StationAddress
{
    QString url; // the display text: trimmed, without a leading "http://" (any letter case)
    bool tls = false;
    QString host; // host name or IP address as connected to (IPv6 without brackets)
    quint16 port = 0;
    QString path = QStringLiteral("/"); // path and query, as given
    QByteArray authorization;           // "Basic <base64>" when a user was given, else empty

    // The scheme's port: 443 with TLS, 80 without.
    quint16 defaultPort() const { return tls ? 443 : 80; }

    // The value of the Host header: the host (IPv6 in brackets) with ":port"
    // unless the port is the scheme's own.
    QString hostHeader() const;

    // The address as an absolute URL, without user name and password; the
    // base that relative redirects and playlist entries resolve against.
    QUrl toUrl() const;

    // The minimal request: "GET <path> HTTP/1.0" and an empty line.
    QByteArray request() const;
};

// The result of parsing: `url` is always set (the status line shows it even
// when the address is invalid); `address` only when the text is an address.
struct StationAddressParse
{
    QString url;
    std::optional<StationAddress> address;
};

// Parses what a user typed or pasted. Accepted: "http://" or "https://" in
// any letter case or no scheme (plain HTTP); "user:password@"; a host name,
// IPv4 address or bracketed IPv6 address; an optional port (80 or 443 by
// scheme); a path and query kept as given (a fragment is dropped).
//
// Without "https://", a host without a dot and without a port (other than
// "localhost") is taken for no address. Texts that are not such an address
// keep the older rule when they have at least 10 characters after trimming
// and removing "http://", so that every "host:port" form accepted before still
// connects the same way: a colon at or after the 6th character ending the
// host, and the leading number after it, rounded half to even, as the port
// (0..65535; text that does not begin with a number gives port 0).
StationAddressParse parseStationAddress(const QString &text);

// The station address for an absolute http or https URL, nothing for any
// other scheme or a URL without host. User name and password in the URL
// become the authorization.
std::optional<StationAddress> stationAddressFromUrl(const QUrl &url);
