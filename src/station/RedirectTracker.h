// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station/StationAddress.h"

#include <QSet>
#include <QString>
#include <optional>

// Follows a station's redirects: resolves each Location against the address
// that answered with it, counts the hops and notices a redirect back to an
// address already visited.
class RedirectTracker final
{
public:
    static constexpr int MaxHops = 5;

    enum class Error {
        None,
        NoLocation,        // a redirect without a Location
        InvalidLocation,   // a Location that is no usable address
        UnsupportedScheme, // a Location other than http or https
        TooManyRedirects,  // more than MaxHops
        Loop               // back to an address already visited
    };

    struct Step
    {
        std::optional<StationAddress> address; // set when the redirect may be followed
        Error error = Error::None;
    };

    explicit RedirectTracker(const StationAddress &start);

    // Resolves `location` against the current address. On success the
    // result becomes the current address and counts as one hop.
    Step follow(const QString &location);

    const StationAddress &current() const { return m_current; }
    int hops() const { return m_hops; }

    // Resolves a Location (absolute, or relative to `current`) into a new
    // address, without counting. http and https lead to each other. The
    // authorization is carried over only to the same host, and not from
    // https to plain http.
    static Step resolve(const StationAddress &current, const QString &location);

    // A sentence for the user, for example "The station redirected too often.".
    static QString errorText(Error error);

private:
    static QString visitKey(const StationAddress &address);

    StationAddress m_current;
    int m_hops = 0;
    QSet<QString> m_visited;
};
