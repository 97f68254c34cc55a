// SPDX-License-Identifier: GPL-3.0-or-later
#include "HlsSamples.h"

#include "audio/FfmpegHandles.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QtEndian>
#include <cstring>
#include <limits>
#include <vector>

namespace {

using HlsSamples::syncsafe;

struct InputClose
{
    void operator()(AVFormatContext *p) const { avformat_close_input(&p); }
};
struct OutputFree
{
    void operator()(AVFormatContext *p) const
    {
        if (p->pb)
            avio_closep(&p->pb);
        avformat_free_context(p);
    }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputClose>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputFree>;

QByteArray frame(int version, const QByteArray &id, const QByteArray &data)
{
    QByteArray size(4, '\0');
    qToBigEndian(quint32(data.size()), size.data());
    return id + (version == 4 ? syncsafe(data.size()) : size) + QByteArray(2, '\0') + data;
}

// Text in the encoding each version prefers: UTF-8 for 2.4, UTF-16 with a
// byte order mark (little endian) for 2.3, which knows no UTF-8.
QByteArray text(int version, const QString &value)
{
    if (version == 4)
        return '\x03' + value.toUtf8();
    QByteArray out("\x01\xff\xfe");
    for (const QChar c : value) {
        out += char(c.unicode() & 0xFF);
        out += char(c.unicode() >> 8);
    }
    return out;
}

// The packets of the AAC file, with its stream's parameters.
struct Audio
{
    InputPtr input;
    std::vector<ffmpeg::PacketPtr> packets;
};

QString readAudio(const QString &aacFile, Audio &audio)
{
    AVFormatContext *raw = nullptr;
    int ret = avformat_open_input(&raw, QFile::encodeName(aacFile).constData(), nullptr, nullptr);
    if (ret < 0)
        return QStringLiteral("%1: %2").arg(aacFile, ffmpeg::errorText(ret));
    audio.input.reset(raw);
    if ((ret = avformat_find_stream_info(raw, nullptr)) < 0)
        return QStringLiteral("%1: %2").arg(aacFile, ffmpeg::errorText(ret));
    for (;;) {
        ffmpeg::PacketPtr packet(av_packet_alloc());
        ret = av_read_frame(raw, packet.get());
        if (ret == AVERROR_EOF)
            break;
        if (ret < 0)
            return QStringLiteral("%1: %2").arg(aacFile, ffmpeg::errorText(ret));
        audio.packets.push_back(std::move(packet));
    }
    return audio.packets.empty() ? QStringLiteral("%1 holds no audio").arg(aacFile) : QString();
}

double secondsOf(const AVPacket *packet, AVRational timeBase)
{
    return double(packet->pts) * av_q2d(timeBase);
}

// One segment file written by the muxer `format`: the audio packets from
// `first` up to `end`; with `tags`, a timed metadata stream of them.
QString writeSegment(const QString &file, const char *format, const Audio &audio, qsizetype first,
                     qsizetype end, const QList<HlsSamples::TimedTag> *tags,
                     const QByteArray &leadingBytes)
{
    AVFormatContext *raw = nullptr;
    const QByteArray name = QFile::encodeName(file);
    int ret = avformat_alloc_output_context2(&raw, nullptr, format, name.constData());
    if (ret < 0)
        return QStringLiteral("%1: %2").arg(file, ffmpeg::errorText(ret));
    OutputPtr out(raw);
    const AVStream *in = audio.input->streams[0];
    AVStream *sound = avformat_new_stream(raw, nullptr);
    avcodec_parameters_copy(sound->codecpar, in->codecpar);
    sound->codecpar->codec_tag = 0;
    sound->time_base = in->time_base;
    AVStream *metadata = nullptr;
    if (tags) {
        metadata = avformat_new_stream(raw, nullptr);
        metadata->codecpar->codec_type = AVMEDIA_TYPE_DATA;
        metadata->codecpar->codec_id = AV_CODEC_ID_TIMED_ID3;
        metadata->time_base = in->time_base;
    }
    if ((ret = avio_open(&raw->pb, name.constData(), AVIO_FLAG_WRITE)) < 0)
        return QStringLiteral("%1: %2").arg(file, ffmpeg::errorText(ret));
    avio_write(raw->pb, reinterpret_cast<const unsigned char *>(leadingBytes.constData()),
               int(leadingBytes.size()));
    AVDictionary *options = nullptr;
    // The segments' times continue from one to the next.
    av_dict_set(&options, "mpegts_copyts", "1", 0);
    ret = avformat_write_header(raw, tags ? &options : nullptr);
    av_dict_free(&options);
    if (ret < 0)
        return QStringLiteral("%1: %2").arg(file, ffmpeg::errorText(ret));

    const double from = secondsOf(audio.packets[first].get(), in->time_base);
    const double to = end < qsizetype(audio.packets.size())
                          ? secondsOf(audio.packets[end].get(), in->time_base)
                          : std::numeric_limits<double>::max();
    if (tags) {
        for (const HlsSamples::TimedTag &tag : *tags) {
            if (tag.seconds < from || tag.seconds >= to)
                continue;
            ffmpeg::PacketPtr packet(av_packet_alloc());
            if (av_new_packet(packet.get(), int(tag.tag.size())) < 0)
                return QStringLiteral("out of memory");
            memcpy(packet->data, tag.tag.constData(), size_t(tag.tag.size()));
            packet->stream_index = metadata->index;
            packet->pts = packet->dts = qint64(tag.seconds * 90000);
            av_packet_rescale_ts(packet.get(), {1, 90000}, metadata->time_base);
            if ((ret = av_interleaved_write_frame(raw, packet.get())) < 0)
                return QStringLiteral("%1: %2").arg(file, ffmpeg::errorText(ret));
        }
    }
    for (qsizetype i = first; i < end; ++i) {
        ffmpeg::PacketPtr packet(av_packet_clone(audio.packets[i].get()));
        packet->stream_index = sound->index;
        av_packet_rescale_ts(packet.get(), in->time_base, sound->time_base);
        if ((ret = av_interleaved_write_frame(raw, packet.get())) < 0)
            return QStringLiteral("%1: %2").arg(file, ffmpeg::errorText(ret));
    }
    if ((ret = av_write_trailer(raw)) < 0)
        return QStringLiteral("%1: %2").arg(file, ffmpeg::errorText(ret));
    return {};
}

// Cuts the audio into segments of about `segmentSeconds` and writes each
// with `write(index, first, end)`, then the playlist of them.
template <typename Write>
QString writePlaylist(const QString &folder, const Audio &audio, double segmentSeconds,
                      const QString &extension, Write write)
{
    const AVRational timeBase = audio.input->streams[0]->time_base;
    QByteArray playlist = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:" +
                          QByteArray::number(int(segmentSeconds + 1)) +
                          "\n#EXT-X-MEDIA-SEQUENCE:0\n";
    qsizetype first = 0;
    for (int index = 0; first < qsizetype(audio.packets.size()); ++index) {
        const double start = secondsOf(audio.packets[first].get(), timeBase);
        qsizetype end = first + 1;
        while (end < qsizetype(audio.packets.size()) &&
               secondsOf(audio.packets[end].get(), timeBase) < (index + 1) * segmentSeconds)
            ++end;
        const QString name =
            QStringLiteral("seg_%1.%2").arg(index, 3, 10, QLatin1Char('0')).arg(extension);
        if (const QString error = write(QDir(folder).filePath(name), index, first, end);
            !error.isEmpty())
            return error;
        const double length = end < qsizetype(audio.packets.size())
                                  ? secondsOf(audio.packets[end].get(), timeBase) - start
                                  : segmentSeconds;
        playlist += "#EXTINF:" + QByteArray::number(length, 'f', 3) + ",\n" + name.toUtf8() + '\n';
        first = end;
    }
    playlist += "#EXT-X-ENDLIST\n";
    QFile file(QDir(folder).filePath(QStringLiteral("stream.m3u8")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(playlist) != playlist.size())
        return QStringLiteral("cannot write %1").arg(file.fileName());
    return {};
}

} // namespace

namespace HlsSamples {

QByteArray syncsafe(qsizetype n)
{
    QByteArray out;
    for (const int shift : {21, 14, 7, 0})
        out += char((n >> shift) & 0x7F);
    return out;
}

QByteArray songTag(const QString &artist, const QString &title, double seconds, int version)
{
    QByteArray timestamp(8, '\0');
    qToBigEndian(quint64(seconds * 90000), timestamp.data());
    QByteArray body =
        frame(version, "PRIV",
              QByteArray("com.apple.streaming.transportStreamTimestamp") + '\0' + timestamp);
    if (!artist.isEmpty())
        body += frame(version, "TPE1", text(version, artist));
    if (!title.isEmpty())
        body += frame(version, "TIT2", text(version, title));
    return QByteArray("ID3") + char(version) + QByteArray(2, '\0') + syncsafe(body.size()) + body;
}

QString writeTimedMetadataPlaylist(const QString &folder, const QString &aacFile,
                                   double segmentSeconds, const QList<TimedTag> &tags)
{
    Audio audio;
    if (const QString error = readAudio(aacFile, audio); !error.isEmpty())
        return error;
    return writePlaylist(folder, audio, segmentSeconds, QStringLiteral("ts"),
                         [&](const QString &file, int, qsizetype first, qsizetype end) {
                             return writeSegment(file, "mpegts", audio, first, end, &tags, {});
                         });
}

QString writePackedAudioPlaylist(const QString &folder, const QString &aacFile,
                                 double segmentSeconds, const QList<QByteArray> &tags)
{
    Audio audio;
    if (const QString error = readAudio(aacFile, audio); !error.isEmpty())
        return error;
    if (tags.isEmpty())
        return QStringLiteral("no tags for the segments");
    return writePlaylist(folder, audio, segmentSeconds, QStringLiteral("aac"),
                         [&](const QString &file, int index, qsizetype first, qsizetype end) {
                             return writeSegment(file, "adts", audio, first, end, nullptr,
                                                 tags.value(index, tags.last()));
                         });
}

} // namespace HlsSamples
