// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

// One metadata block taken out of an ICY stream: the block's bytes as sent
// (NUL padding included) and how many audio bytes came before it.
struct IcyMetadataBlock
{
    qint64 audioPosition = 0;
    QByteArray bytes;
};

// Takes the metadata framing out of an ICY stream. A station that was asked
// for metadata (and answered with "icy-metaint: N") sends N audio bytes, one
// length byte L, then L * 16 bytes of metadata, and so on. The demuxer
// returns the audio bytes exactly as an untitled stream would have them and
// keeps the non-empty metadata blocks for takeBlocks(). The result is the
// same for any cut of the arrivals. With an interval of 0 (no "icy-metaint")
// every byte is audio.
class IcyMetadataDemuxer final
{
public:
    static constexpr qsizetype MaxBlockBytes = 255 * 16;

    explicit IcyMetadataDemuxer(qint64 metaInt = 0);

    // The interval from an "icy-metaint" header value: a positive decimal
    // number (blanks around it allowed). Anything else gives no value, since
    // audio framed with an unknown interval cannot be separated.
    static std::optional<qint64> metaIntFromHeader(QByteArrayView value);

    qint64 metaInt() const { return m_metaInt; }

    // True when every byte is audio. Callers on a hot path may then use their
    // bytes directly instead of calling feed().
    bool passesThrough() const { return m_metaInt <= 0; }

    // Appends the audio runs among `data` to `audio` as views into `data`
    // itself, in order and without copying a byte: they are valid as long as
    // `data` is. Complete metadata blocks are kept for takeBlocks(); bytes of
    // a block not yet complete are held back until the rest arrives.
    void feed(QByteArrayView data, QList<QByteArrayView> &audio);

    // The same, with the audio runs appended to `audio` as one copy.
    void feed(QByteArrayView data, QByteArray &audio);

    // The non-empty metadata blocks completed since the last call, oldest
    // first.
    QList<IcyMetadataBlock> takeBlocks();

    // True while a metadata block is incomplete: a stream that ends here was
    // cut in the middle of its metadata.
    bool insideMetadata() const { return m_stage == Stage::Metadata; }

private:
    enum class Stage { Audio, LengthByte, Metadata };

    qint64 m_metaInt = 0;
    Stage m_stage = Stage::Audio;
    qint64 m_audioLeft = 0;     // audio bytes before the next length byte
    qsizetype m_blockLeft = 0;  // metadata bytes still to come for m_block
    qint64 m_audioPosition = 0; // audio bytes returned so far
    QByteArray m_block;         // the block being read
    QByteArray m_lastBlock;     // the last block completed
    QList<IcyMetadataBlock> m_blocks;
};
