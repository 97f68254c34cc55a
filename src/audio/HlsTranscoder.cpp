// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/HlsTranscoder.h"

#include "audio/AudioDecoder.h"
#include "audio/FfmpegHandles.h"
#include "audio/Id3TextFrames.h"
#include "audio/Mp3Encoder.h"

namespace {

struct InputClose
{
    void operator()(AVFormatContext *p) const { avformat_close_input(&p); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputClose>;

bool hasAudio(const AVFormatContext *format, const AVProgram *program)
{
    for (unsigned i = 0; i < program->nb_stream_indexes; ++i) {
        const AVStream *stream = format->streams[program->stream_index[i]];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            return true;
    }
    return false;
}

bool isTimedId3(const AVStream *stream)
{
    return stream->codecpar->codec_id == AV_CODEC_ID_TIMED_ID3;
}

// The title FFmpeg read from the ID3 tag that opens segments of plain
// audio: it keeps the tag's text in the audio stream's metadata.
QString metadataTitle(const AVStream *stream)
{
    const AVDictionaryEntry *title = av_dict_get(stream->metadata, "title", nullptr, 0);
    const AVDictionaryEntry *artist = av_dict_get(stream->metadata, "artist", nullptr, 0);
    return Id3TextFrames::songTitle(artist ? QString::fromUtf8(artist->value).trimmed() : QString(),
                                    title ? QString::fromUtf8(title->value).trimmed() : QString());
}

qint64 variantBitrate(const AVProgram *program)
{
    const AVDictionaryEntry *entry = av_dict_get(program->metadata, "variant_bitrate", nullptr, 0);
    return entry ? QByteArray(entry->value).toLongLong() : 0;
}

} // namespace

HlsTranscoder::HlsTranscoder(const QUrl &playlist, int bitrateKbps, QObject *parent)
    : QObject(parent)
    , m_playlist(playlist)
    , m_bitrateKbps(bitrateKbps)
{}

HlsTranscoder::~HlsTranscoder()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
}

void HlsTranscoder::start()
{
    if (!m_thread.joinable())
        m_thread = std::thread(&HlsTranscoder::run, this);
}

int HlsTranscoder::chooseProgram(const AVFormatContext *format, qint64 maxBitrate)
{
    int best = -1;
    qint64 bestRate = 0;
    int lowest = -1;
    qint64 lowestRate = 0;
    for (unsigned i = 0; i < format->nb_programs; ++i) {
        const AVProgram *program = format->programs[i];
        if (!hasAudio(format, program))
            continue;
        const qint64 rate = variantBitrate(program);
        if (rate <= maxBitrate && (best < 0 || rate > bestRate)) {
            best = int(i);
            bestRate = rate;
        }
        if (lowest < 0 || rate < lowestRate) {
            lowest = int(i);
            lowestRate = rate;
        }
    }
    return best >= 0 ? best : lowest;
}

int HlsTranscoder::interrupted(void *opaque)
{
    return static_cast<HlsTranscoder *>(opaque)->m_stopping ? 1 : 0;
}

// The demuxer passes only a few of the caller's options on to the requests
// of segments and reloaded playlists: every request it makes gets the
// options that make FFmpeg's HTTP client try again when a connection fails
// or the server answers with a 5xx status, so a segment that fails once is
// fetched again instead of skipped.
int HlsTranscoder::openWithRetries(AVFormatContext *format, AVIOContext **pb, const char *url,
                                   int flags, AVDictionary **options)
{
    av_dict_set(options, "reconnect", "1", 0);
    av_dict_set(options, "reconnect_streamed", "1", 0);
    av_dict_set(options, "reconnect_on_network_error", "1", 0);
    av_dict_set(options, "reconnect_on_http_error", "5xx", 0);
    av_dict_set(options, "reconnect_delay_max", "10", 0);
    const auto *self = static_cast<const HlsTranscoder *>(format->opaque);
    return self->m_defaultOpen(format, pb, url, flags, options);
}

// Queued to this object's thread: nothing arrives once the object is gone.
void HlsTranscoder::post(const QByteArrayList &frames, const QString &codec, const QString &error)
{
    QMetaObject::invokeMethod(
        this,
        [this, frames, codec, error] {
            if (!codec.isEmpty())
                emit formatKnown(codec);
            if (!frames.isEmpty())
                emit mp3Frames(frames);
            if (!error.isEmpty())
                emit failed(error);
        },
        Qt::QueuedConnection);
}

void HlsTranscoder::postTitle(const QString &title)
{
    QMetaObject::invokeMethod(
        this, [this, title] { emit titleFound(title); }, Qt::QueuedConnection);
}

void HlsTranscoder::run()
{
    Mp3Encoder encoder;
    if (!encoder.open(m_bitrateKbps)) {
        post({}, {}, encoder.errorString());
        return;
    }

    AVFormatContext *raw = avformat_alloc_context();
    raw->interrupt_callback = {&HlsTranscoder::interrupted, this};
    raw->opaque = this;
    m_defaultOpen = raw->io_open;
    raw->io_open = &HlsTranscoder::openWithRetries;
    AVDictionary *options = nullptr;
    // A live playlist that stops growing is reloaded for a while before it
    // counts as lost.
    av_dict_set(&options, "rw_timeout", "20000000", 0);
    av_dict_set(&options, "max_reload", "10", 0);
    av_dict_set(&options, "m3u8_hold_counters", "10", 0);
    av_dict_set(&options, "user_agent", "Tavrix", 0);
    const AVInputFormat *hls = av_find_input_format("hls");
    int ret = avformat_open_input(&raw, m_playlist.toEncoded().constData(), hls, &options);
    av_dict_free(&options);
    if (ret < 0) {
        if (!m_stopping)
            post({}, {},
                 QStringLiteral("The playlist cannot be read: %1").arg(ffmpeg::errorText(ret)));
        return;
    }
    InputPtr format(raw);
    // Of several variants only the chosen one's segments are fetched from
    // here on (the demuxer has looked at the first segment of each).
    const int program = chooseProgram(format.get(), MaxVariantBitrate);
    int audioStream = -1;
    int titleStream = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream *stream = format->streams[i];
        bool inProgram = program < 0;
        if (program >= 0) {
            const AVProgram *chosen = format->programs[program];
            for (unsigned k = 0; k < chosen->nb_stream_indexes; ++k)
                inProgram = inProgram || chosen->stream_index[k] == i;
        }
        if (inProgram && audioStream < 0 && stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            audioStream = int(i);
        else if (inProgram && titleStream < 0 && isTimedId3(stream))
            titleStream = int(i);
        else
            stream->discard = AVDISCARD_ALL;
    }
    if (audioStream < 0) {
        post({}, {}, QStringLiteral("The playlist carries no audio"));
        return;
    }
    ret = avformat_find_stream_info(format.get(), nullptr);
    if (ret < 0) {
        if (!m_stopping)
            post({}, {},
                 QStringLiteral("The playlist's audio cannot be read: %1")
                     .arg(ffmpeg::errorText(ret)));
        return;
    }

    AudioDecoder decoder(encoder);
    if (!decoder.openStream(format.get(), audioStream)) {
        post({}, {}, decoder.errorString());
        return;
    }
    if (const QString title = metadataTitle(format->streams[audioStream]); !title.isEmpty())
        postTitle(title);
    ffmpeg::PacketPtr packet(av_packet_alloc());
    bool codecTold = false;
    while (!m_stopping) {
        ret = av_read_frame(format.get(), packet.get());
        if (ret == AVERROR_EOF) {
            // A playlist with an end (#EXT-X-ENDLIST) has been played.
            decoder.flush();
            encoder.flush();
            post(encoder.takeFrames(), {}, QStringLiteral("The playlist has ended"));
            return;
        }
        if (ret < 0) {
            if (!m_stopping)
                post(encoder.takeFrames(), {},
                     QStringLiteral("The playlist was lost: %1").arg(ffmpeg::errorText(ret)));
            return;
        }
        if (packet->stream_index == titleStream) {
            const std::optional<Id3TextFrames> tag =
                Id3TextFrames::fromTimedMetadata(QByteArrayView(packet->data, packet->size));
            av_packet_unref(packet.get());
            if (tag && !tag->songTitle().isEmpty()) {
                // The audio before the tag goes first.
                if (QByteArrayList frames = encoder.takeFrames(); !frames.isEmpty())
                    post(frames, {}, {});
                postTitle(tag->songTitle());
            }
            continue;
        }
        const bool decoded = decoder.decode(format.get(), packet.get());
        av_packet_unref(packet.get());
        if (!decoded) {
            post(encoder.takeFrames(), {}, decoder.errorString());
            return;
        }
        QString codec;
        if (!codecTold && !decoder.codecName().isEmpty()) {
            codecTold = true;
            codec = decoder.codecName();
        }
        QByteArrayList frames = encoder.takeFrames();
        if (!frames.isEmpty() || !codec.isEmpty())
            post(frames, codec, {});
    }
}
