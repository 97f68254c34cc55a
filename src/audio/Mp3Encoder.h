// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/FfmpegHandles.h"

#include <QByteArrayList>
#include <QString>

// Encodes decoded audio of any sample format, rate and channel layout into
// constant-bitrate MPEG-1 Layer III at 44.1 kHz stereo (LAME through
// libavcodec). Every encoded packet is one whole MP3 frame.
class Mp3Encoder final
{
public:
    static constexpr int SampleRate = 44100;

    Mp3Encoder();
    ~Mp3Encoder();
    Mp3Encoder(const Mp3Encoder &) = delete;
    Mp3Encoder &operator=(const Mp3Encoder &) = delete;

    // Opens LAME for the bit rate in kbit/s. False and errorString() when the
    // encoder is missing or refuses the settings.
    bool open(int bitrateKbps);

    // Resamples the frame and encodes every whole MP3 frame it completes. A
    // change of sample format, rate or channel layout drains the resampler and
    // builds a new one, so the output goes on without a gap.
    bool encode(const AVFrame *frame);

    // End of the audio: encodes what the resampler and LAME still hold.
    bool flush();

    // The MP3 frames encoded since the last call, oldest first.
    QByteArrayList takeFrames();

    QString errorString() const { return m_error; }

private:
    bool resampleInto(const AVFrame *frame);
    bool rebuildResampler(const AVFrame *frame);
    bool encodeWhole(int minimumSamples);
    bool sendToLame(const AVFrame *frame);

    ffmpeg::CodecContextPtr m_lame;
    ffmpeg::ResamplerPtr m_resampler;
    ffmpeg::AudioFifoPtr m_fifo;
    ffmpeg::FramePtr m_converted;
    ffmpeg::FramePtr m_lameInput;
    ffmpeg::PacketPtr m_packet;
    AVChannelLayout m_inLayout{};
    int m_inRate = 0;
    int m_inFormat = -1;
    qint64 m_nextPts = 0;
    QByteArrayList m_frames;
    QString m_error;
};
