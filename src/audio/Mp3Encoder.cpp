// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Mp3Encoder.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

// LAME's planar float input avoids a conversion in libavcodec's wrapper.
constexpr AVSampleFormat LameFormat = AV_SAMPLE_FMT_FLTP;

// A decoder fed broken data may put out samples far beyond full scale, or
// not numbers at all, and LAME aborts the program on such input. Full scale
// is all an MP3 can hold anyway: samples are clipped to it.
void clipToFullScale(AVFrame *frame)
{
    for (int channel = 0; channel < frame->ch_layout.nb_channels; ++channel) {
        auto *const samples = reinterpret_cast<float *>(frame->extended_data[channel]);
        for (int i = 0; i < frame->nb_samples; ++i)
            samples[i] = std::isnan(samples[i]) ? 0.0f : std::clamp(samples[i], -1.0f, 1.0f);
    }
}

} // namespace

Mp3Encoder::Mp3Encoder()
    : m_converted(av_frame_alloc())
    , m_lameInput(av_frame_alloc())
    , m_packet(av_packet_alloc())
{}

Mp3Encoder::~Mp3Encoder()
{
    av_channel_layout_uninit(&m_inLayout);
}

bool Mp3Encoder::open(int bitrateKbps)
{
    const AVCodec *codec = avcodec_find_encoder_by_name("libmp3lame");
    if (!codec) {
        m_error = QStringLiteral("This FFmpeg has no LAME MP3 encoder (libmp3lame)");
        return false;
    }
    m_lame.reset(avcodec_alloc_context3(codec));
    // Without a quality scale or "abr" libavcodec sets LAME to constant bit
    // rate, and it leaves out the Xing tag frame: the output is plain frames.
    m_lame->bit_rate = qint64(bitrateKbps) * 1000;
    m_lame->sample_rate = SampleRate;
    m_lame->sample_fmt = LameFormat;
    av_channel_layout_default(&m_lame->ch_layout, 2);
    m_lame->time_base = AVRational{1, SampleRate};
    if (const int ret = avcodec_open2(m_lame.get(), codec, nullptr); ret < 0) {
        m_error = QStringLiteral("The MP3 encoder cannot start: %1").arg(ffmpeg::errorText(ret));
        m_lame.reset();
        return false;
    }
    m_fifo.reset(av_audio_fifo_alloc(LameFormat, 2, m_lame->frame_size));
    return true;
}

bool Mp3Encoder::encode(const AVFrame *frame)
{
    if (!m_lame) {
        m_error = QStringLiteral("The MP3 encoder is not open");
        return false;
    }
    return resampleInto(frame) && encodeWhole(m_lame->frame_size);
}

bool Mp3Encoder::flush()
{
    if (!m_lame)
        return true;
    if (!resampleInto(nullptr) || !encodeWhole(1))
        return false;
    return sendToLame(nullptr);
}

QByteArrayList Mp3Encoder::takeFrames()
{
    return std::exchange(m_frames, {});
}

// Resamples `frame` (nullptr: what the resampler still holds) into the FIFO
// that collects whole LAME frames.
bool Mp3Encoder::resampleInto(const AVFrame *frame)
{
    if (frame) {
        AVChannelLayout layout{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&layout, frame->ch_layout.nb_channels);
        else
            av_channel_layout_copy(&layout, &frame->ch_layout);
        const bool changed = !m_resampler || frame->format != m_inFormat ||
                             frame->sample_rate != m_inRate ||
                             av_channel_layout_compare(&layout, &m_inLayout) != 0;
        av_channel_layout_uninit(&layout);
        if (changed && (!resampleInto(nullptr) || !rebuildResampler(frame)))
            return false;
    } else if (!m_resampler) {
        return true;
    }

    const int inSamples = frame ? frame->nb_samples : 0;
    const int capacity = swr_get_out_samples(m_resampler.get(), inSamples);
    if (capacity <= 0)
        return true;
    av_frame_unref(m_converted.get());
    m_converted->format = LameFormat;
    m_converted->sample_rate = SampleRate;
    m_converted->nb_samples = capacity;
    av_channel_layout_default(&m_converted->ch_layout, 2);
    if (const int ret = av_frame_get_buffer(m_converted.get(), 0); ret < 0) {
        m_error = QStringLiteral("Out of memory while resampling: %1").arg(ffmpeg::errorText(ret));
        return false;
    }
    const int got = swr_convert(
        m_resampler.get(), m_converted->data, capacity,
        frame ? const_cast<const uint8_t **>(frame->extended_data) : nullptr, inSamples);
    if (got < 0) {
        m_error = QStringLiteral("Resampling failed: %1").arg(ffmpeg::errorText(got));
        return false;
    }
    if (got > 0 && av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void **>(m_converted->data),
                                       got) < got) {
        m_error = QStringLiteral("Out of memory while resampling");
        return false;
    }
    return true;
}

bool Mp3Encoder::rebuildResampler(const AVFrame *frame)
{
    av_channel_layout_uninit(&m_inLayout);
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&m_inLayout, frame->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&m_inLayout, &frame->ch_layout);
    m_inRate = frame->sample_rate;
    m_inFormat = frame->format;

    SwrContext *resampler = nullptr;
    int ret =
        swr_alloc_set_opts2(&resampler, &m_lame->ch_layout, LameFormat, SampleRate, &m_inLayout,
                            AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
    m_resampler.reset(resampler);
    if (ret >= 0)
        ret = swr_init(resampler);
    if (ret < 0) {
        m_error = QStringLiteral("Cannot resample %1 Hz, %2 channels: %3")
                      .arg(frame->sample_rate)
                      .arg(frame->ch_layout.nb_channels)
                      .arg(ffmpeg::errorText(ret));
        m_resampler.reset();
        return false;
    }
    return true;
}

// Hands LAME its frames from the FIFO while it holds at least
// `minimumSamples`; the last frame at the end may be short.
bool Mp3Encoder::encodeWhole(int minimumSamples)
{
    const int frameSize = m_lame->frame_size;
    while (av_audio_fifo_size(m_fifo.get()) >= minimumSamples &&
           av_audio_fifo_size(m_fifo.get()) > 0) {
        const int samples = std::min(frameSize, av_audio_fifo_size(m_fifo.get()));
        av_frame_unref(m_lameInput.get());
        m_lameInput->format = LameFormat;
        m_lameInput->sample_rate = SampleRate;
        m_lameInput->nb_samples = samples;
        av_channel_layout_default(&m_lameInput->ch_layout, 2);
        if (av_frame_get_buffer(m_lameInput.get(), 0) < 0) {
            m_error = QStringLiteral("Out of memory while encoding");
            return false;
        }
        av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void **>(m_lameInput->data), samples);
        clipToFullScale(m_lameInput.get());
        m_lameInput->pts = m_nextPts;
        m_nextPts += samples;
        if (!sendToLame(m_lameInput.get()))
            return false;
    }
    return true;
}

// Sends one frame (nullptr: end of audio) and collects the packets LAME has ready.
bool Mp3Encoder::sendToLame(const AVFrame *frame)
{
    if (const int ret = avcodec_send_frame(m_lame.get(), frame); ret < 0 && ret != AVERROR_EOF) {
        m_error = QStringLiteral("MP3 encoding failed: %1").arg(ffmpeg::errorText(ret));
        return false;
    }
    for (;;) {
        const int ret = avcodec_receive_packet(m_lame.get(), m_packet.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return true;
        if (ret < 0) {
            m_error = QStringLiteral("MP3 encoding failed: %1").arg(ffmpeg::errorText(ret));
            return false;
        }
        m_frames.append(QByteArray(reinterpret_cast<const char *>(m_packet->data), m_packet->size));
        av_packet_unref(m_packet.get());
    }
}
