// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/FfmpegHandles.h"
#include "audio/Mp3Encoder.h"

#include <QString>

// Decodes the audio stream of a demuxer and passes every decoded frame to an
// Mp3Encoder. The first audio stream FFmpeg can decode is taken (demuxers of
// live streams may announce their streams only with the first packets). A
// packet that does not decode is skipped; only a long run of them is a failure.
class AudioDecoder final
{
public:
    explicit AudioDecoder(Mp3Encoder &encoder);

    // Opens the decoder for `streamIndex` of `format` now, for demuxers
    // (HLS) whose caller picks the stream. False and errorString() on failure.
    bool openStream(const AVFormatContext *format, int streamIndex);

    // Decodes one demuxed packet; packets of other streams are ignored. False
    // and errorString() when the stream cannot be decoded or encoded at all.
    bool decode(const AVFormatContext *format, const AVPacket *packet);

    // End of input: decodes and encodes what the decoder still holds.
    bool flush();

    // "AAC", "HE-AAC", "HE-AAC v2", "Vorbis", "Opus", "FLAC", "MP3", or
    // FFmpeg's name for anything else; empty until the first frame decoded.
    QString codecName() const { return m_codecName; }

    // Frames decoded so far.
    qint64 decodedFrames() const { return m_decodedFrames; }

    QString errorString() const { return m_error; }

private:
    bool receiveFrames();
    QString nameOfCodec() const;

    // Consecutive packets that failed to decode before the stream is given up.
    static constexpr int MaxBadPacketsInARow = 200;

    Mp3Encoder &m_encoder;
    ffmpeg::CodecContextPtr m_decoder;
    ffmpeg::FramePtr m_frame;
    int m_streamIndex = -1;
    int m_badPacketsInARow = 0;
    qint64 m_decodedFrames = 0;
    QString m_codecName;
    QString m_error;
};
