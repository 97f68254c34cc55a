// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

struct AVFormatContext;

// Converts a station's audio (AAC, HE-AAC, Ogg Vorbis, Ogg Opus, FLAC, MP3,
// in the containers stations send) into constant-bitrate MPEG-1 Layer III at
// 44.1 kHz stereo, handed out as whole MP3 frames.
//
// The bytes come in arrivals. FFmpeg's demuxers read as from a blocking
// stream, so the demuxer runs on a thread of its own whose read waits for the
// next arrival. feed() returns once that thread has converted everything the
// bytes so far allow and waits for more: seen from the caller, every call is
// synchronous and the output depends only on the bytes, never on timing.
class Mp3Transcoder final
{
public:
    // The format must be recognised within this many bytes.
    static constexpr qsizetype ProbeLimitBytes = 256 * 1024;
    // A stream that gives no decodable audio over this many bytes has failed.
    static constexpr qsizetype MaxBytesWithoutAudio = 1024 * 1024;

    // The MP3 bit rate for a station announcing `stationKbps` (icy-br; 0 or
    // less when unknown): the next MPEG-1 Layer III rate at or above it,
    // within 128..320 kbit/s, and 192 when unknown.
    static int mp3BitrateFor(int stationKbps);

    explicit Mp3Transcoder(int bitrateKbps = 192);
    ~Mp3Transcoder();
    Mp3Transcoder(const Mp3Transcoder &) = delete;
    Mp3Transcoder &operator=(const Mp3Transcoder &) = delete;

    // Adds an arrival of the station's bytes and converts what it completes.
    // False once the conversion has failed (see errorString()).
    bool feed(QByteArrayView bytes);

    // The station's stream has ended: converts the rest, including the last
    // partial MP3 frame. False when the conversion failed.
    bool finish();

    // The MP3 frames converted since the last call, oldest first; each entry
    // is one complete frame.
    QByteArrayList takeFrames();

    // The station's codec for the status ("AAC", "HE-AAC", "Vorbis", "Opus",
    // "FLAC", ...); empty until its first frame has been decoded.
    QString codecName() const;

    bool hasFailed() const;
    QString errorString() const;

private:
    void run();
    void convert();
    bool openDemuxer(AVFormatContext *&format);
    static int readCallback(void *opaque, std::uint8_t *buffer, int size);
    int read(std::uint8_t *buffer, int size);
    bool waitForDemuxer(std::unique_lock<std::mutex> &lock);
    void fail(const QString &reason);
    void publish(QByteArrayList frames, const QString &codecName);

    const int m_bitrateKbps;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    std::condition_variable m_inputChanged;
    std::condition_variable m_demuxerWaiting;
    QByteArray m_input;
    qsizetype m_inputPos = 0;
    qint64 m_bytesRead = 0;
    bool m_inputEnded = false;
    bool m_stopping = false;
    bool m_waitingForInput = false;
    bool m_done = false;
    QByteArrayList m_frames;
    QString m_codecName;
    QString m_error;
};
