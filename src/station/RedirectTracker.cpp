// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/RedirectTracker.h"

RedirectTracker::RedirectTracker(const StationAddress &start)
    : m_current(start)
{
    m_visited.insert(visitKey(start));
}

RedirectTracker::Step RedirectTracker::follow(const QString &location)
{
    Step step = resolve(m_current, location);
    if (!step.address)
        return step;
    const QString key = visitKey(*step.address);
    if (m_visited.contains(key))
        return Step{std::nullopt, Error::Loop};
    if (m_hops >= MaxHops)
        return Step{std::nullopt, Error::TooManyRedirects};
    m_visited.insert(key);
    m_current = *step.address;
    ++m_hops;
    return step;
}

RedirectTracker::Step RedirectTracker::resolve(const StationAddress &current,
                                               const QString &location)
{
    const QString trimmed = location.trimmed();
    if (trimmed.isEmpty())
        return Step{std::nullopt, Error::NoLocation};
    const QUrl reference(trimmed);
    if (!reference.isValid())
        return Step{std::nullopt, Error::InvalidLocation};

    const QUrl target = current.toUrl().resolved(reference);
    const QString scheme = target.scheme().toLower();
    if (!target.isRelative() && scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return Step{std::nullopt, Error::UnsupportedScheme};

    std::optional<StationAddress> next = stationAddressFromUrl(target);
    if (!next)
        return Step{std::nullopt, Error::InvalidLocation};
    const bool sameHost = next->host.compare(current.host, Qt::CaseInsensitive) == 0;
    const bool downgrade = current.tls && !next->tls;
    if (next->authorization.isEmpty() && sameHost && !downgrade)
        next->authorization = current.authorization;
    return Step{next, Error::None};
}

QString RedirectTracker::errorText(Error error)
{
    switch (error) {
    case Error::None:
        return {};
    case Error::NoLocation:
        return QStringLiteral("The station redirected without saying where to.");
    case Error::InvalidLocation:
        return QStringLiteral("The station redirected to an address that cannot be used.");
    case Error::UnsupportedScheme:
        return QStringLiteral("The station redirected to an address that is not http or https.");
    case Error::TooManyRedirects:
        return QStringLiteral("The station redirected too often.");
    case Error::Loop:
        return QStringLiteral("The station redirected in a circle.");
    }
    return {};
}

// Two addresses are the same stop when they ask the same server for the same
// path; letter case of the host does not matter.
QString RedirectTracker::visitKey(const StationAddress &address)
{
    return (address.tls ? QStringLiteral("https ") : QStringLiteral("http ")) +
           address.host.toLower() + u' ' + QString::number(address.port) + u' ' + address.path;
}
