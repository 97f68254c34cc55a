// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/PlayableCodecs.h"

#include "directory/DirectoryStation.h"

#include <QStringList>

bool isPlayable(const DirectoryStation &station)
{
    // HLS playlists are read by libavformat, whatever codec the directory
    // could or could not name for them.
    if (station.hls)
        return true;
    // The codecs the converter reads (FFmpeg's demuxers and decoders), as
    // the directory spells them.
    static const QStringList playable = {
        QStringLiteral("MP3"),    QStringLiteral("AAC"),  QStringLiteral("AAC+"),
        QStringLiteral("OGG"),    QStringLiteral("OPUS"), QStringLiteral("FLAC"),
        QStringLiteral("VORBIS"),
    };
    return playable.contains(station.codec.trimmed().toUpper());
}
