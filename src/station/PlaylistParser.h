// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>

// Reads what a station address may lead to instead of audio: a playlist
// (PLS, M3U and M3U8, XSPF, ASX) naming the stream addresses, an HLS playlist
// (segments, not stream addresses), or a web page.
class PlaylistParser final
{
public:
    enum class Kind { NotAPlaylist, Pls, M3u, Xspf, Asx, Hls, Html };

    // At most this much of a body is read.
    static constexpr qsizetype MaxBytes = 64 * 1024;

    struct Result
    {
        Kind kind = Kind::NotAPlaylist;
        // Absolute http and https addresses in playlist order, each once;
        // empty for HLS, web pages and what is no playlist.
        QList<QUrl> entries;
        // The body was longer than MaxBytes; only what fitted was read.
        bool truncated = false;
    };

    // Whether a body with this content type, from this address, may be a
    // playlist or web page, so that it is worth collecting before treating it
    // as audio. Audio types say no; playlist, page and generic types
    // ("text/plain", "application/octet-stream", none) say yes.
    static bool mayBePlaylist(const QString &contentType, const QUrl &address);

    // The kind of the body, from its content type (lower case, without
    // parameters), the address's extension and the body's first bytes.
    // Clear first bytes win over the label; a binary body is never a
    // playlist.
    static Kind recognise(const QString &contentType, const QUrl &address, QByteArrayView body);

    // Recognises the body and reads its entries, resolving relative ones
    // against `address`.
    static Result read(const QString &contentType, const QUrl &address, QByteArrayView body);

    // The most a live HLS media playlist's segments last
    // (#EXT-X-TARGETDURATION), when `body` gives it: none for a master
    // playlist, which leaves it to the variants. Values beyond
    // MaxTargetDuration are not taken.
    static constexpr std::chrono::seconds MaxTargetDuration{3600};
    static std::optional<std::chrono::seconds> hlsTargetDuration(QByteArrayView body);
};
