// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioDecoder.h"

AudioDecoder::AudioDecoder(Mp3Encoder &encoder)
    : m_encoder(encoder)
    , m_frame(av_frame_alloc())
{}

bool AudioDecoder::openStream(const AVFormatContext *format, int streamIndex)
{
    const AVCodecParameters *parameters = format->streams[streamIndex]->codecpar;
    const AVCodec *codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec) {
        m_error = QStringLiteral("FFmpeg has no decoder for %1")
                      .arg(QString::fromUtf8(avcodec_get_name(parameters->codec_id)));
        return false;
    }
    ffmpeg::CodecContextPtr decoder(avcodec_alloc_context3(codec));
    int ret = avcodec_parameters_to_context(decoder.get(), parameters);
    if (ret >= 0)
        ret = avcodec_open2(decoder.get(), codec, nullptr);
    if (ret < 0) {
        m_error = QStringLiteral("The %1 decoder cannot start: %2")
                      .arg(QString::fromUtf8(codec->name), ffmpeg::errorText(ret));
        return false;
    }
    m_decoder = std::move(decoder);
    m_streamIndex = streamIndex;
    return true;
}

bool AudioDecoder::decode(const AVFormatContext *format, const AVPacket *packet)
{
    if (m_streamIndex < 0) {
        const AVStream *stream = format->streams[packet->stream_index];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO ||
            !avcodec_find_decoder(stream->codecpar->codec_id))
            return true;
        if (!openStream(format, packet->stream_index))
            return false;
    }
    if (packet->stream_index != m_streamIndex)
        return true;

    const int ret = avcodec_send_packet(m_decoder.get(), packet);
    if (ret < 0 && ret != AVERROR(EAGAIN)) {
        if (++m_badPacketsInARow >= MaxBadPacketsInARow) {
            m_error = QStringLiteral("The %1 audio does not decode: %2")
                          .arg(QString::fromUtf8(m_decoder->codec->name), ffmpeg::errorText(ret));
            return false;
        }
        return true;
    }
    return receiveFrames();
}

bool AudioDecoder::flush()
{
    if (!m_decoder)
        return true;
    avcodec_send_packet(m_decoder.get(), nullptr);
    return receiveFrames();
}

bool AudioDecoder::receiveFrames()
{
    for (;;) {
        const int ret = avcodec_receive_frame(m_decoder.get(), m_frame.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return true;
        if (ret < 0) {
            // A corrupt frame: skipped, decoding goes on with the next one.
            if (++m_badPacketsInARow >= MaxBadPacketsInARow) {
                m_error =
                    QStringLiteral("The %1 audio does not decode: %2")
                        .arg(QString::fromUtf8(m_decoder->codec->name), ffmpeg::errorText(ret));
                return false;
            }
            return true;
        }
        m_badPacketsInARow = 0;
        ++m_decodedFrames;
        if (m_codecName.isEmpty())
            m_codecName = nameOfCodec();
        const bool encoded = m_encoder.encode(m_frame.get());
        av_frame_unref(m_frame.get());
        if (!encoded) {
            m_error = m_encoder.errorString();
            return false;
        }
    }
}

// The name shown in the status. AAC with spectral band replication (and
// parametric stereo) is only known once the decoder has seen it in a frame.
QString AudioDecoder::nameOfCodec() const
{
    switch (m_decoder->codec_id) {
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_AAC_LATM:
        if (m_decoder->profile == FF_PROFILE_AAC_HE_V2)
            return QStringLiteral("HE-AAC v2");
        if (m_decoder->profile == FF_PROFILE_AAC_HE)
            return QStringLiteral("HE-AAC");
        return QStringLiteral("AAC");
    case AV_CODEC_ID_VORBIS:
        return QStringLiteral("Vorbis");
    case AV_CODEC_ID_OPUS:
        return QStringLiteral("Opus");
    case AV_CODEC_ID_FLAC:
        return QStringLiteral("FLAC");
    case AV_CODEC_ID_MP3:
        return QStringLiteral("MP3");
    default:
        return QString::fromUtf8(avcodec_get_name(m_decoder->codec_id)).toUpper();
    }
}
