// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station/PlaylistParser.h"
#include "station/RedirectTracker.h"
#include "station/StationAddress.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

// Finds the stream behind a station address: follows redirects, reads the
// playlists met on the way and keeps their entries to try in order. It only
// decides; the session does the connecting.
class StationResolver final
{
public:
    // A playlist may name another playlist, but that one may not name a third.
    static constexpr int MaxPlaylistDepth = 2;

    enum class PlaylistOutcome {
        Entries,     // current() is the first entry to try
        Hls,         // an HLS playlist: segments, not a stream address
        WebPage,     // a web page where a stream or playlist was expected
        NoEntries,   // a playlist that names no http or https address
        TooDeep,     // a playlist named by a playlist named by a playlist
        NotAPlaylist // neither audio nor a playlist
    };

    explicit StationResolver(const StationAddress &origin = {});

    // Back to the address the user gave, forgetting redirects and entries.
    void restart();

    const StationAddress &origin() const { return m_origin; }
    // The address to connect to now.
    const StationAddress &current() const { return m_redirects.current(); }

    // Follows a redirect from current(). Returns an empty text when
    // current() is the new address, else the reason for the user.
    QString redirect(const QString &location);

    // Reads a playlist body that current() answered with.
    PlaylistOutcome playlist(const QString &contentType, QByteArrayView body);

    // Whether playlist entries are left to try.
    bool hasEntries() const { return !m_entries.isEmpty(); }
    // Moves on to the next playlist entry not yet tried; false when none is left.
    bool nextEntry();

private:
    void beginAt(const StationAddress &address);

    StationAddress m_origin;
    RedirectTracker m_redirects;
    // Entries still to try, each with the depth of the playlist that named it.
    QList<std::pair<StationAddress, int>> m_entries;
    int m_depth = 0; // of the playlist that named current(); 0 for the origin
};
