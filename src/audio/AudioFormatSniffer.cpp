// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioFormatSniffer.h"

#include <QList>
#include <algorithm>
#include <array>
#include <optional>

namespace {

using Format = AudioFormatSniffer::Format;

constexpr qsizetype MpegHeaderSize = 4;
constexpr qsizetype AdtsHeaderSize = 7;
constexpr qsizetype OggHeaderSize = 27;
constexpr qsizetype OggIdSize = 8;
constexpr qsizetype Id3HeaderSize = 10;

unsigned byteAt(const QByteArray &bytes, qsizetype at)
{
    return static_cast<unsigned char>(bytes.at(at));
}

// One MPEG audio frame header, as far as needed to find the next frame.
struct MpegHeader
{
    unsigned version = 0; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    unsigned layer = 0;   // 1, 2 or 3
    int sampleRate = 0;
    qsizetype frameLength = 0;
};

// Bit rates in kbit/s by [MPEG-1 or not][layer - 1][index].
constexpr std::array<std::array<std::array<int, 15>, 3>, 2> Bitrates = {{
    {{{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}},
    {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}}},
}};
constexpr std::array<int, 3> Mpeg1SampleRates = {44100, 48000, 32000};

std::optional<MpegHeader> mpegHeader(const QByteArray &bytes, qsizetype at)
{
    const unsigned b1 = byteAt(bytes, at + 1);
    const unsigned b2 = byteAt(bytes, at + 2);
    const unsigned b3 = byteAt(bytes, at + 3);
    if (byteAt(bytes, at) != 0xff || (b1 & 0xe0) != 0xe0)
        return std::nullopt;
    MpegHeader header;
    header.version = (b1 >> 3) & 0x03;
    const unsigned layerBits = (b1 >> 1) & 0x03;
    const unsigned bitrateIndex = b2 >> 4;
    const unsigned rateIndex = (b2 >> 2) & 0x03;
    const unsigned padding = (b2 >> 1) & 0x01;
    // Reserved values, and the free bit rate whose frame length the header
    // cannot tell.
    if (header.version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3 || (b3 & 0x03) == 2)
        return std::nullopt;
    header.layer = 4 - layerBits;
    const bool mpeg1 = header.version == 3;
    const int bitrate = Bitrates[mpeg1][header.layer - 1][bitrateIndex] * 1000;
    header.sampleRate = Mpeg1SampleRates[rateIndex] >> (mpeg1 ? 0 : header.version == 2 ? 1 : 2);
    if (header.layer == 1) {
        header.frameLength = (12 * bitrate / header.sampleRate + padding) * 4;
    } else {
        const int samplesPerFrameBy8 = (header.layer == 3 && !mpeg1) ? 72 : 144;
        header.frameLength = samplesPerFrameBy8 * bitrate / header.sampleRate + padding;
    }
    return header;
}

// An ADTS (AAC) header: its sampling frequency index and frame length.
struct AdtsHeader
{
    unsigned rateIndex = 0;
    qsizetype frameLength = 0;
};

std::optional<AdtsHeader> adtsHeader(const QByteArray &bytes, qsizetype at)
{
    if (byteAt(bytes, at) != 0xff || (byteAt(bytes, at + 1) & 0xf6) != 0xf0)
        return std::nullopt;
    AdtsHeader header;
    header.rateIndex = (byteAt(bytes, at + 2) >> 2) & 0x0f;
    header.frameLength = qsizetype((byteAt(bytes, at + 3) & 0x03) << 11) |
                         qsizetype(byteAt(bytes, at + 4) << 3) |
                         qsizetype(byteAt(bytes, at + 5) >> 5);
    if (header.rateIndex > 12 || header.frameLength < AdtsHeaderSize)
        return std::nullopt;
    return header;
}

} // namespace

AudioFormatSniffer::AudioFormatSniffer(const QString &contentType)
    : m_label(formatForType(contentType))
{}

bool AudioFormatSniffer::feed(QByteArrayView data)
{
    if (m_decided)
        return true;
    m_bytes.append(data.first(std::min(data.size(), MaxBytes - m_bytes.size())));
    m_final = m_bytes.size() >= MaxBytes;
    scan();
    return m_decided;
}

void AudioFormatSniffer::finish()
{
    if (m_decided)
        return;
    m_final = true;
    scan();
}

QString AudioFormatSniffer::name(Format format)
{
    switch (format) {
    case Format::Mp3:
        return QStringLiteral("MP3");
    case Format::Mp2:
        return QStringLiteral("MP2");
    case Format::Aac:
        return QStringLiteral("AAC");
    case Format::OggVorbis:
        return QStringLiteral("Ogg Vorbis");
    case Format::Opus:
        return QStringLiteral("Opus");
    case Format::OggFlac:
    case Format::Flac:
        return QStringLiteral("FLAC");
    case Format::Ogg:
        return QStringLiteral("Ogg");
    case Format::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

AudioFormatSniffer::Format AudioFormatSniffer::formatForType(const QString &contentType)
{
    static const QList<std::pair<QLatin1String, Format>> types = {
        {QLatin1String("audio/mpeg"), Format::Mp3},
        {QLatin1String("audio/mp3"), Format::Mp3},
        {QLatin1String("audio/mpeg3"), Format::Mp3},
        {QLatin1String("audio/x-mpeg"), Format::Mp3},
        {QLatin1String("audio/aac"), Format::Aac},
        {QLatin1String("audio/aacp"), Format::Aac},
        {QLatin1String("audio/x-aac"), Format::Aac},
        {QLatin1String("audio/mp4"), Format::Aac},
        {QLatin1String("application/ogg"), Format::Ogg},
        {QLatin1String("audio/ogg"), Format::Ogg},
        {QLatin1String("audio/opus"), Format::Opus},
        {QLatin1String("audio/flac"), Format::Flac},
        {QLatin1String("audio/x-flac"), Format::Flac},
    };
    for (const auto &[type, format] : types) {
        if (contentType == type)
            return format;
    }
    return Format::Unknown;
}

// Looks for the first offset at which a format shows itself clearly, from
// where the last call stopped. An offset that needs more bytes than have
// arrived stops the search until they come, so the result does not depend on
// how the stream was cut into pieces.
void AudioFormatSniffer::scan()
{
    if (m_start < 0) {
        if (m_bytes.size() < Id3HeaderSize && !m_final)
            return;
        m_start = 0;
        if (m_bytes.startsWith("ID3") && m_bytes.size() >= Id3HeaderSize) {
            qsizetype size = 0;
            bool syncSafe = true;
            for (qsizetype i = 6; i < Id3HeaderSize; ++i) {
                syncSafe = syncSafe && byteAt(m_bytes, i) < 0x80;
                size = (size << 7) | qsizetype(byteAt(m_bytes, i) & 0x7f);
            }
            const bool footer = byteAt(m_bytes, 5) & 0x10;
            if (syncSafe)
                m_start = Id3HeaderSize + size + (footer ? Id3HeaderSize : 0);
        }
        m_scanned = m_start;
    }

    for (; m_scanned < m_bytes.size(); ++m_scanned) {
        Format found = Format::Unknown;
        const Check check = checkAt(m_scanned, found);
        if (check == Check::Yes) {
            decide(found);
            return;
        }
        if (check == Check::NeedMore && !m_final)
            return;
    }
    if (m_final)
        decide(m_label);
}

// Whether `rest` begins with `signature`: Yes, No, or NeedMore while it holds
// only a beginning of it.
AudioFormatSniffer::Check AudioFormatSniffer::matchSignature(QByteArrayView rest,
                                                             QByteArrayView signature)
{
    if (rest.startsWith(signature))
        return Check::Yes;
    return signature.startsWith(rest) ? Check::NeedMore : Check::No;
}

AudioFormatSniffer::Check AudioFormatSniffer::checkAt(qsizetype at, Format &found) const
{
    const QByteArrayView rest = QByteArrayView(m_bytes).sliced(at);
    if (at == m_start) {
        const Check flac = matchSignature(rest, "fLaC");
        if (flac == Check::Yes)
            found = Format::Flac;
        if (flac != Check::No)
            return flac;
    }
    if (rest.front() == 'O')
        return checkOgg(at, found);
    if (static_cast<unsigned char>(rest.front()) != 0xff)
        return Check::No;
    const Check adts = checkAdts(at);
    if (adts == Check::Yes)
        found = Format::Aac;
    if (adts != Check::No)
        return adts;
    return checkMpeg(at, found);
}

// An Ogg page ("OggS", version 0). The first packet of a stream's first page
// names the codec.
AudioFormatSniffer::Check AudioFormatSniffer::checkOgg(qsizetype at, Format &found) const
{
    const QByteArrayView rest = QByteArrayView(m_bytes).sliced(at);
    const Check capture = matchSignature(rest, QByteArrayView("OggS\0", 5));
    if (capture != Check::Yes)
        return capture;
    if (rest.size() < OggHeaderSize)
        return Check::NeedMore;
    const qsizetype segments = static_cast<unsigned char>(rest.at(OggHeaderSize - 1));
    if (rest.size() < OggHeaderSize + segments)
        return Check::NeedMore;
    qsizetype packetSize = 0;
    for (qsizetype i = 0; i < segments; ++i) {
        const auto lacing = static_cast<unsigned char>(rest.at(OggHeaderSize + i));
        packetSize += lacing;
        if (lacing < 255 || packetSize >= OggIdSize)
            break;
    }
    const qsizetype idSize = std::min(packetSize, OggIdSize);
    const qsizetype packetStart = OggHeaderSize + segments;
    if (rest.size() < packetStart + idSize)
        return Check::NeedMore;

    const QByteArrayView id = rest.sliced(packetStart, idSize);
    const bool firstPage = rest.at(5) & 0x02;
    found = Format::Ogg;
    if (firstPage && id.startsWith("\x01vorbis"))
        found = Format::OggVorbis;
    else if (firstPage && id.startsWith("OpusHead"))
        found = Format::Opus;
    else if (firstPage && id.startsWith("\x7f"
                                        "FLAC"))
        found = Format::OggFlac;
    return Check::Yes;
}

// Two ADTS frames in a row with the same sampling frequency.
AudioFormatSniffer::Check AudioFormatSniffer::checkAdts(qsizetype at) const
{
    if (m_bytes.size() - at < 2)
        return Check::NeedMore;
    if ((byteAt(m_bytes, at + 1) & 0xf6) != 0xf0)
        return Check::No;
    if (m_bytes.size() - at < AdtsHeaderSize)
        return Check::NeedMore;
    const std::optional<AdtsHeader> first = adtsHeader(m_bytes, at);
    if (!first)
        return Check::No;
    const qsizetype next = at + first->frameLength;
    if (m_bytes.size() - next < AdtsHeaderSize)
        return Check::NeedMore;
    const std::optional<AdtsHeader> second = adtsHeader(m_bytes, next);
    return second && second->rateIndex == first->rateIndex ? Check::Yes : Check::No;
}

// Two MPEG audio frames in a row of the same version, layer and sample rate:
// the second header stands where the first one's frame length says.
AudioFormatSniffer::Check AudioFormatSniffer::checkMpeg(qsizetype at, Format &found) const
{
    if (m_bytes.size() - at < MpegHeaderSize)
        return Check::NeedMore;
    const std::optional<MpegHeader> first = mpegHeader(m_bytes, at);
    if (!first)
        return Check::No;
    const qsizetype next = at + first->frameLength;
    if (m_bytes.size() - next < MpegHeaderSize)
        return Check::NeedMore;
    const std::optional<MpegHeader> second = mpegHeader(m_bytes, next);
    if (!second || second->version != first->version || second->layer != first->layer ||
        second->sampleRate != first->sampleRate)
        return Check::No;
    found = first->layer == 3 ? Format::Mp3 : Format::Mp2;
    return Check::Yes;
}

void AudioFormatSniffer::decide(Format format)
{
    m_decided = true;
    m_format = format;
    m_bytes = QByteArray();
}
