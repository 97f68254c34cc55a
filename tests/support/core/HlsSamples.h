// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// HLS playlists that carry song titles in ID3 tags, the two ways stations
// send them, written with FFmpeg's muxers from an AAC (ADTS) file.
namespace HlsSamples {

// An ID3v2 size in its "syncsafe" form: four bytes of seven bits each.
QByteArray syncsafe(qsizetype n);

// An ID3 tag sent at `seconds` into the stream.
struct TimedTag
{
    double seconds = 0;
    QByteArray tag;
};

// An ID3 tag naming the song (TPE1, TIT2; an empty value is left out), with
// the PRIV timestamp Apple's packagers put first. Version 2.4 writes UTF-8,
// version 3 (ID3v2.3) UTF-16.
QByteArray songTag(const QString &artist, const QString &title, double seconds = 0,
                   int version = 4);

// Writes `folder`/stream.m3u8, a playlist with an end, of MPEG-TS segments
// seg_NNN.ts of `segmentSeconds` each: the audio of `aacFile` and a timed
// ID3 metadata stream with `tags`, each in the segment of its time. Returns
// what went wrong, empty when the playlist was written.
QString writeTimedMetadataPlaylist(const QString &folder, const QString &aacFile,
                                   double segmentSeconds, const QList<TimedTag> &tags);

// Writes `folder`/stream.m3u8 of packed audio segments seg_NNN.aac: ADTS
// audio each opened by `tags`[segment number] (the last one repeated).
QString writePackedAudioPlaylist(const QString &folder, const QString &aacFile,
                                 double segmentSeconds, const QList<QByteArray> &tags);

} // namespace HlsSamples
