// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Tells which audio format a stream carries, from its content type and its
// first bytes, fed as they arrive. What the bytes clearly show wins over the
// label: AAC or Ogg labelled audio/mpeg is not MP3. When the first MaxBytes
// show nothing clear, the label decides.
class AudioFormatSniffer final
{
public:
    enum class Format { Unknown, Mp3, Mp2, Aac, OggVorbis, Opus, OggFlac, Ogg, Flac };

    // At most this many bytes are looked at.
    static constexpr qsizetype MaxBytes = 16 * 1024;

    // `contentType` in lower case without parameters; empty when missing.
    explicit AudioFormatSniffer(const QString &contentType = {});

    // Looks at the next bytes of the stream; true once the format is
    // decided. Bytes fed after that are not looked at.
    bool feed(QByteArrayView data);

    // No more bytes will come: decides with those there are.
    void finish();

    bool isDecided() const { return m_decided; }
    // The format; Unknown until decided.
    Format format() const { return m_format; }

    // The name for messages: "MP3", "AAC", "Ogg Vorbis", "Opus", "FLAC", ...
    static QString name(Format format);

    // The format a content type names, Unknown for generic or other types.
    static Format formatForType(const QString &contentType);

private:
    enum class Check { No, Yes, NeedMore };

    static Check matchSignature(QByteArrayView rest, QByteArrayView signature);
    void scan();
    Check checkAt(qsizetype at, Format &found) const;
    Check checkOgg(qsizetype at, Format &found) const;
    Check checkAdts(qsizetype at) const;
    Check checkMpeg(qsizetype at, Format &found) const;
    void decide(Format format);

    Format m_label;
    QByteArray m_bytes;
    qsizetype m_start = -1; // where the audio begins after an ID3 tag; -1 until known
    qsizetype m_scanned = 0;
    bool m_final = false;
    bool m_decided = false;
    Format m_format = Format::Unknown;
};
