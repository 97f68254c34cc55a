// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/IcyMetadataDemuxer.h"

#include <algorithm>
#include <utility>

IcyMetadataDemuxer::IcyMetadataDemuxer(qint64 metaInt)
    : m_metaInt(std::max<qint64>(metaInt, 0))
    , m_audioLeft(m_metaInt)
{}

std::optional<qint64> IcyMetadataDemuxer::metaIntFromHeader(QByteArrayView value)
{
    const QByteArrayView digits = value.trimmed();
    if (digits.isEmpty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    bool ok = false;
    const qint64 metaInt = digits.toLongLong(&ok);
    if (!ok || metaInt <= 0)
        return std::nullopt;
    return metaInt;
}

void IcyMetadataDemuxer::feed(QByteArrayView data, QList<QByteArrayView> &audio)
{
    if (passesThrough()) {
        if (!data.isEmpty())
            audio.append(data);
        return;
    }
    while (!data.isEmpty()) {
        switch (m_stage) {
        case Stage::Audio: {
            const qsizetype run = qsizetype(std::min<qint64>(m_audioLeft, data.size()));
            audio.append(data.first(run));
            data = data.sliced(run);
            m_audioLeft -= run;
            m_audioPosition += run;
            if (m_audioLeft == 0)
                m_stage = Stage::LengthByte;
            break;
        }
        case Stage::LengthByte:
            m_blockLeft = qsizetype(quint8(data.front())) * 16;
            data = data.sliced(1);
            if (m_blockLeft == 0) {
                m_stage = Stage::Audio;
                m_audioLeft = m_metaInt;
            } else {
                m_block.resize(0);
                m_block.reserve(m_blockLeft);
                m_stage = Stage::Metadata;
            }
            break;
        case Stage::Metadata: {
            const qsizetype run = std::min(m_blockLeft, data.size());
            m_block.append(data.first(run));
            data = data.sliced(run);
            m_blockLeft -= run;
            if (m_blockLeft == 0) {
                // Stations repeat a block until the title changes: the
                // repeats share the bytes of the first, and m_block keeps
                // its room for the next block.
                if (m_block != m_lastBlock)
                    m_lastBlock = QByteArray(m_block.constData(), m_block.size());
                m_blocks.append({m_audioPosition, m_lastBlock});
                m_stage = Stage::Audio;
                m_audioLeft = m_metaInt;
            }
            break;
        }
        }
    }
}

void IcyMetadataDemuxer::feed(QByteArrayView data, QByteArray &audio)
{
    QList<QByteArrayView> runs;
    feed(data, runs);
    // The audio is never more than the data: one reservation covers the runs.
    audio.reserve(audio.size() + data.size());
    for (const QByteArrayView run : runs)
        audio.append(run);
}

QList<IcyMetadataBlock> IcyMetadataDemuxer::takeBlocks()
{
    return std::exchange(m_blocks, QList<IcyMetadataBlock>());
}
