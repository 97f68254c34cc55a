// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Mp3FrameReader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr int HeaderSize = 4;
constexpr int Id3HeaderSize = 10;

// Layer III bit rates in kbit/s by [MPEG-1 or not][index].
constexpr std::array<std::array<int, 15>, 2> Bitrates = {{
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
}};
constexpr std::array<int, 3> Mpeg1SampleRates = {44100, 48000, 32000};

// The version and sample rate bits, which stay the same from frame to frame.
std::array<unsigned char, 2> kindOf(const unsigned char *header)
{
    return {static_cast<unsigned char>(header[1] & 0x18),
            static_cast<unsigned char>(header[2] & 0x0c)};
}

} // namespace

qint64 Mp3FrameReader::frameLength(QByteArrayView header)
{
    if (header.size() < HeaderSize)
        return 0;
    const auto *b = reinterpret_cast<const unsigned char *>(header.data());
    const unsigned version = (b[1] >> 3) & 0x03; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const unsigned layerBits = (b[1] >> 1) & 0x03;
    const unsigned bitrateIndex = b[2] >> 4;
    const unsigned rateIndex = (b[2] >> 2) & 0x03;
    const unsigned padding = (b[2] >> 1) & 0x01;
    // The sync word, Layer III, and no reserved or free-format value.
    if (b[0] != 0xff || (b[1] & 0xe0) != 0xe0 || version == 1 || layerBits != 1 ||
        bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 || (b[3] & 0x03) == 2)
        return 0;
    const bool mpeg1 = version == 3;
    const qint64 bitrate = qint64(Bitrates[mpeg1][bitrateIndex]) * 1000;
    const qint64 sampleRate = Mpeg1SampleRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    return (mpeg1 ? 144 : 72) * bitrate / sampleRate + padding;
}

void Mp3FrameReader::feed(QByteArrayView bytes, QList<Frame> &frames)
{
    m_arrival = bytes;
    m_fed += bytes.size();
    step(frames);

    // Keep what is still undecided for the next arrival.
    const qint64 keepFrom = std::min(m_pos, m_fed);
    if (keepFrom == m_fed) {
        m_kept.resize(0);
    } else {
        QByteArray kept(m_fed - keepFrom, Qt::Uninitialized);
        copy(keepFrom, int(kept.size()), reinterpret_cast<unsigned char *>(kept.data()));
        m_kept = std::move(kept);
    }
    m_keptStart = keepFrom;
    m_arrival = {};
}

// Copies the stream's bytes [at, at + count) from the kept bytes and the
// arrival; false when not all of them have arrived.
bool Mp3FrameReader::copy(qint64 at, int count, unsigned char *out) const
{
    if (at + count > m_fed)
        return false;
    const qint64 arrivalStart = m_fed - m_arrival.size();
    for (int i = 0; i < count; ++i) {
        const qint64 pos = at + i;
        out[i] = static_cast<unsigned char>(pos < arrivalStart ? m_kept[pos - m_keptStart]
                                                               : m_arrival[pos - arrivalStart]);
    }
    return true;
}

// The frame length of the header at `at`, 0 for none; `missing` when its
// bytes have not all arrived.
qint64 Mp3FrameReader::headerAt(qint64 at, bool &missing) const
{
    unsigned char header[HeaderSize];
    missing = !copy(at, HeaderSize, header);
    return missing ? 0 : frameLength(QByteArrayView(header, HeaderSize));
}

bool Mp3FrameReader::sameKind(qint64 first, qint64 second) const
{
    unsigned char a[HeaderSize];
    unsigned char b[HeaderSize];
    return copy(first, HeaderSize, a) && copy(second, HeaderSize, b) && kindOf(a) == kindOf(b);
}

void Mp3FrameReader::step(QList<Frame> &frames)
{
    for (;;) {
        bool missing = false;
        switch (m_state) {
        case State::AtStart: {
            // An ID3v2 tag: its size is in the header, in seven bits a byte.
            unsigned char tag[Id3HeaderSize];
            if (!copy(0, Id3HeaderSize, tag)) {
                // Too few bytes yet: wait while they may still begin a tag.
                const int have = int(std::min<qint64>(m_fed, 3));
                copy(0, have, tag);
                if (std::memcmp(tag, "ID3", size_t(have)) == 0)
                    return;
                m_state = State::Searching;
                continue;
            }
            m_state = State::Searching;
            bool syncSafe = std::memcmp(tag, "ID3", 3) == 0;
            qint64 size = 0;
            for (int i = 6; i < Id3HeaderSize; ++i) {
                syncSafe = syncSafe && tag[i] < 0x80;
                size = (size << 7) | (tag[i] & 0x7f);
            }
            if (syncSafe)
                m_pos = Id3HeaderSize + size + ((tag[5] & 0x10) ? Id3HeaderSize : 0);
            continue;
        }
        case State::Searching: {
            // Straight to the next byte that can begin a header: one by one
            // through the few bytes kept from earlier arrivals, at once in
            // the arrival. A byte that cannot begin one is passed over
            // without waiting for the bytes after it, so that how far the
            // stream is decided does not depend on where arrivals end.
            const qint64 arrivalStart = m_fed - m_arrival.size();
            unsigned char first = 0;
            while (m_pos < arrivalStart && copy(m_pos, 1, &first) && first != 0xff)
                ++m_pos;
            if (m_pos >= arrivalStart && m_pos < m_fed) {
                const char *from = m_arrival.data() + (m_pos - arrivalStart);
                const void *found = std::memchr(from, 0xff, size_t(m_fed - m_pos));
                m_pos = found ? m_pos + (static_cast<const char *>(found) - from) : m_fed;
            }
            const qint64 length = headerAt(m_pos, missing);
            if (missing)
                return;
            if (length == 0) {
                ++m_pos;
                continue;
            }
            // Taken only when the next frame's header follows it.
            const qint64 next = headerAt(m_pos + length, missing);
            if (missing)
                return;
            if (next == 0 || !sameKind(m_pos, m_pos + length)) {
                ++m_pos;
                continue;
            }
            unsigned char header[HeaderSize];
            copy(m_pos, HeaderSize, header);
            m_kind = kindOf(header);
            frames.append({m_pos, length});
            m_pos += length;
            m_state = State::InStep;
            continue;
        }
        case State::InStep: {
            unsigned char header[HeaderSize];
            if (!copy(m_pos, HeaderSize, header))
                return;
            const qint64 length = frameLength(QByteArrayView(header, HeaderSize));
            if (length == 0 || kindOf(header) != m_kind) {
                m_state = State::Searching;
                continue;
            }
            frames.append({m_pos, length});
            m_pos += length;
            continue;
        }
        }
    }
}
