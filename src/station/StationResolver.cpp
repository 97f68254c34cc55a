// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/StationResolver.h"

StationResolver::StationResolver(const StationAddress &origin)
    : m_origin(origin)
    , m_redirects(origin)
{}

void StationResolver::restart()
{
    m_entries.clear();
    m_depth = 0;
    beginAt(m_origin);
}

void StationResolver::beginAt(const StationAddress &address)
{
    m_redirects = RedirectTracker(address);
}

QString StationResolver::redirect(const QString &location)
{
    const RedirectTracker::Step step = m_redirects.follow(location);
    if (step.error == RedirectTracker::Error::None)
        return {};
    return RedirectTracker::errorText(step.error);
}

StationResolver::PlaylistOutcome StationResolver::playlist(const QString &contentType,
                                                           QByteArrayView body)
{
    const PlaylistParser::Result read = PlaylistParser::read(contentType, current().toUrl(), body);
    switch (read.kind) {
    case PlaylistParser::Kind::NotAPlaylist:
        return PlaylistOutcome::NotAPlaylist;
    case PlaylistParser::Kind::Hls:
        return PlaylistOutcome::Hls;
    case PlaylistParser::Kind::Html:
        return PlaylistOutcome::WebPage;
    case PlaylistParser::Kind::Pls:
    case PlaylistParser::Kind::M3u:
    case PlaylistParser::Kind::Xspf:
    case PlaylistParser::Kind::Asx:
        break;
    }
    if (m_depth >= MaxPlaylistDepth)
        return PlaylistOutcome::TooDeep;

    // The entries of a nested playlist come before what is left of the outer one.
    QList<std::pair<StationAddress, int>> found;
    for (const QUrl &entry : read.entries) {
        if (const std::optional<StationAddress> address = stationAddressFromUrl(entry))
            found.append({*address, m_depth + 1});
    }
    if (found.isEmpty())
        return nextEntry() ? PlaylistOutcome::Entries : PlaylistOutcome::NoEntries;
    m_entries = found + m_entries;
    nextEntry();
    return PlaylistOutcome::Entries;
}

bool StationResolver::nextEntry()
{
    if (m_entries.isEmpty())
        return false;
    const auto [address, depth] = m_entries.takeFirst();
    m_depth = depth;
    beginAt(address);
    return true;
}
