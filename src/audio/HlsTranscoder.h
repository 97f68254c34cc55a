// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <atomic>
#include <thread>

struct AVDictionary;
struct AVFormatContext;
struct AVIOContext;

// Converts an HLS station (an .m3u8 playlist of AAC or MP3 segments in
// MPEG-TS or fragmented MP4) into constant-bitrate MP3 frames at 44.1 kHz
// stereo. FFmpeg's HLS demuxer reads the playlist and its segments with its
// own HTTP client on a thread of this object's own, follows live playlists
// and retries segments that fail; of a master playlist the best audio
// variant up to MaxVariantBitrate is taken. Signals arrive on the thread that
// created the object, queued, in order.
//
// Song titles come from ID3 tags: in MPEG-TS segments from the chosen
// variant's timed metadata stream, every tag as it arrives; of segments of
// plain AAC or MP3 FFmpeg only reads the tag that opens the first one.
class HlsTranscoder final : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxVariantBitrate = 320000;

    // bitrateKbps: see Mp3Transcoder::mp3BitrateFor().
    HlsTranscoder(const QUrl &playlist, int bitrateKbps, QObject *parent = nullptr);
    // Stops the conversion wherever it is (a download in progress is
    // interrupted); no signal follows.
    ~HlsTranscoder() override;

    void start();

    // The program (variant) of `format` to take: the highest
    // "variant_bitrate" up to `maxBitrate` with an audio stream, else the
    // lowest above it; -1 when the demuxer shows no programs.
    static int chooseProgram(const AVFormatContext *format, qint64 maxBitrate);

signals:
    // Whole MP3 frames, one frame per entry, in stream order.
    void mp3Frames(const QByteArrayList &frames);
    // The station's codec, once its first frame has been decoded.
    void formatKnown(const QString &codec);
    // A tag named the song ("Artist - Title", or what it named of both); it
    // may be the same as before.
    void titleFound(const QString &title);
    // The playlist could not be read, or was lost; nothing follows.
    void failed(const QString &reason);

private:
    void run();
    void post(const QByteArrayList &frames, const QString &codec, const QString &error);
    void postTitle(const QString &title);
    static int interrupted(void *opaque);
    static int openWithRetries(AVFormatContext *format, AVIOContext **pb, const char *url,
                               int flags, AVDictionary **options);

    const QUrl m_playlist;
    const int m_bitrateKbps;
    std::thread m_thread;
    std::atomic_bool m_stopping = false;
    int (*m_defaultOpen)(AVFormatContext *, AVIOContext **, const char *, int,
                         AVDictionary **) = nullptr;
};
