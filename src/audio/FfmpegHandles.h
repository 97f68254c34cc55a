// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include <QString>
#include <memory>

// Owning pointers for the FFmpeg objects the conversion keeps, each released
// with the library's own free function.
namespace ffmpeg {

struct CodecContextFree
{
    void operator()(AVCodecContext *p) const { avcodec_free_context(&p); }
};
struct FrameFree
{
    void operator()(AVFrame *p) const { av_frame_free(&p); }
};
struct PacketFree
{
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct ResamplerFree
{
    void operator()(SwrContext *p) const { swr_free(&p); }
};
struct AudioFifoFree
{
    void operator()(AVAudioFifo *p) const { av_audio_fifo_free(p); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFree>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoFree>;

// av_err2str() is a macro built on a compound literal, which C++ lacks.
inline QString errorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

} // namespace ffmpeg
