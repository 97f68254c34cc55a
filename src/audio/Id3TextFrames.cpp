// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Id3TextFrames.h"

#include <QStringDecoder>
#include <QStringList>
#include <algorithm>

namespace {

constexpr qsizetype HeaderSize = 10;
// What FFmpeg's MPEG-TS demuxer leaves of the header: flags and size.
constexpr qsizetype StrippedHeaderSize = 5;

enum TagFlag : quint8 {
    TagUnsynchronised = 0x80,
    TagExtendedHeader = 0x40,
};

// Frame format flags (the second flag byte) of each version.
enum Frame23Flag : quint8 {
    Frame23Compressed = 0x80,
    Frame23Encrypted = 0x40,
    Frame23Grouped = 0x20,
};
enum Frame24Flag : quint8 {
    Frame24Grouped = 0x40,
    Frame24Compressed = 0x08,
    Frame24Encrypted = 0x04,
    Frame24Unsynchronised = 0x02,
    Frame24DataLength = 0x01,
};

quint8 byteAt(QByteArrayView bytes, qsizetype i)
{
    return quint8(bytes.at(i));
}

// A 28-bit size in four bytes of seven bits each; nothing when a byte has
// its top bit set.
std::optional<qint64> syncsafe(QByteArrayView bytes)
{
    qint64 value = 0;
    for (qsizetype i = 0; i < 4; ++i) {
        if (byteAt(bytes, i) & 0x80)
            return std::nullopt;
        value = (value << 7) | byteAt(bytes, i);
    }
    return value;
}

qint64 bigEndian32(QByteArrayView bytes)
{
    return qint64(byteAt(bytes, 0)) << 24 | qint64(byteAt(bytes, 1)) << 16 |
           qint64(byteAt(bytes, 2)) << 8 | qint64(byteAt(bytes, 3));
}

// Undoes unsynchronisation: every 0xFF 0x00 was a lone 0xFF.
QByteArray resynchronised(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out += bytes.at(i);
        if (byteAt(bytes, i) == 0xFF && i + 1 < bytes.size() && bytes.at(i + 1) == '\0')
            ++i;
    }
    return out;
}

bool isFrameIdChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

QString plainText(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control || c == QChar(0xFEFF) || c == QChar(0xFFFE))
            c = u' ';
    }
    return text.trimmed();
}

// UTF-16 from its byte order mark; big endian without one.
QString fromUtf16(QByteArrayView bytes, bool bigEndianOnly)
{
    auto encoding = QStringConverter::Utf16BE;
    if (!bigEndianOnly && bytes.size() >= 2) {
        if (byteAt(bytes, 0) == 0xFF && byteAt(bytes, 1) == 0xFE) {
            encoding = QStringConverter::Utf16LE;
            bytes = bytes.sliced(2);
        } else if (byteAt(bytes, 0) == 0xFE && byteAt(bytes, 1) == 0xFF) {
            bytes = bytes.sliced(2);
        }
    }
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

// UTF-8, or one character per byte when it is not valid UTF-8 (a station
// that says UTF-8 and sends Latin-1).
QString fromUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return text;
}

// The values of a text field in `encoding`: ID3v2.4 separates several
// values with the encoding's NUL, and every writer ends the last with one
// now and then.
std::optional<QStringList> textValues(quint8 encoding, QByteArrayView bytes)
{
    QStringList values;
    switch (encoding) {
    case 0:
    case 3:
        for (QByteArrayView rest = bytes; !rest.isEmpty();) {
            const qsizetype nul = rest.indexOf('\0');
            const QByteArrayView value = nul < 0 ? rest : rest.first(nul);
            values << (encoding == 0 ? QString::fromLatin1(value) : fromUtf8(value));
            rest = nul < 0 ? QByteArrayView() : rest.sliced(nul + 1);
        }
        return values;
    case 1:
    case 2: {
        qsizetype start = 0;
        const qsizetype end = bytes.size() & ~qsizetype(1);
        for (qsizetype i = 0; i <= end; i += 2) {
            if (i < end && (bytes.at(i) != '\0' || bytes.at(i + 1) != '\0'))
                continue;
            if (i > start)
                values << fromUtf16(bytes.sliced(start, i - start), encoding == 2);
            start = i + 2;
        }
        return values;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<Id3TextFrames> Id3TextFrames::fromTag(QByteArrayView tag)
{
    if (tag.size() < HeaderSize || !tag.startsWith("ID3"))
        return std::nullopt;
    const int version = byteAt(tag, 3);
    const std::optional<qint64> size = syncsafe(tag.sliced(6, 4));
    if (!size || byteAt(tag, 4) == 0xFF)
        return std::nullopt;
    // A tag cut short keeps the frames that arrived whole.
    const QByteArrayView body = tag.sliced(HeaderSize, qMin(*size, tag.size() - HeaderSize));
    return parse(version, byteAt(tag, 5), body, Fit::AsArrived);
}

std::optional<Id3TextFrames> Id3TextFrames::fromTimedMetadata(QByteArrayView packet)
{
    if (packet.startsWith("ID3"))
        return fromTag(packet);
    if (packet.size() < StrippedHeaderSize)
        return std::nullopt;
    const std::optional<qint64> size = syncsafe(packet.sliced(1, 4));
    if (!size || *size > packet.size() - StrippedHeaderSize)
        return std::nullopt;
    const QByteArrayView body = packet.sliced(StrippedHeaderSize, *size);
    // Which version the lost header named shows in the frames: their sizes
    // are counted differently, and only the right count walks the tag to
    // its end. Short frames read the same either way.
    for (const int version : {4, 3}) {
        if (std::optional<Id3TextFrames> frames =
                parse(version, byteAt(packet, 0), body, Fit::Exactly))
            return frames;
    }
    return std::nullopt;
}

std::optional<Id3TextFrames> Id3TextFrames::parse(int version, quint8 flags, QByteArrayView body,
                                                  Fit fit)
{
    // Flags this version does not define mean another kind of data.
    if ((version != 3 && version != 4) || (flags & (version == 3 ? 0x1F : 0x0F)))
        return std::nullopt;
    // Version 2.3 unsynchronises the whole tag, 2.4 each frame.
    QByteArray resynced;
    if (version == 3 && (flags & TagUnsynchronised)) {
        resynced = resynchronised(body);
        body = resynced;
    }
    if (flags & TagExtendedHeader) {
        if (body.size() < 4)
            return std::nullopt;
        qint64 skip = 0;
        if (version == 3) {
            skip = 4 + bigEndian32(body);
        } else {
            const std::optional<qint64> size = syncsafe(body);
            if (!size)
                return std::nullopt;
            skip = *size;
        }
        if (skip < 4 || skip > body.size())
            return std::nullopt;
        body = body.sliced(skip);
    }
    Id3TextFrames frames;
    if (!frames.readFrames(version, version == 4 && (flags & TagUnsynchronised), body) &&
        fit == Fit::Exactly)
        return std::nullopt;
    return frames;
}

bool Id3TextFrames::readFrames(int version, bool unsynchronised, QByteArrayView body)
{
    qsizetype pos = 0;
    while (pos + HeaderSize <= body.size()) {
        const QByteArrayView header = body.sliced(pos, HeaderSize);
        if (header.at(0) == '\0')
            return true; // padding
        const QByteArrayView id = header.first(4);
        if (!std::all_of(id.begin(), id.end(), isFrameIdChar))
            return false;
        qint64 size = 0;
        if (version == 4) {
            const std::optional<qint64> safe = syncsafe(header.sliced(4, 4));
            if (!safe)
                return false;
            size = *safe;
        } else {
            size = bigEndian32(header.sliced(4, 4));
        }
        pos += HeaderSize;
        if (size > body.size() - pos)
            return false;
        QByteArrayView data = body.sliced(pos, size);
        pos += size;

        const quint8 format = byteAt(header, 9);
        QByteArray resynced;
        if (version == 3) {
            if (format & (Frame23Compressed | Frame23Encrypted))
                continue;
            if (format & Frame23Grouped)
                data = data.sliced(qMin<qsizetype>(1, data.size()));
        } else {
            if (format & (Frame24Compressed | Frame24Encrypted))
                continue;
            const qsizetype extra =
                ((format & Frame24Grouped) ? 1 : 0) + ((format & Frame24DataLength) ? 4 : 0);
            data = data.sliced(qMin(extra, data.size()));
            if (unsynchronised || (format & Frame24Unsynchronised)) {
                resynced = resynchronised(data);
                data = resynced;
            }
        }
        addFrame(id, data);
    }
    return pos == body.size() || body.sliced(pos).count('\0') == body.size() - pos;
}

void Id3TextFrames::addFrame(QByteArrayView id, QByteArrayView data)
{
    if (id.at(0) != 'T' || data.isEmpty())
        return;
    const std::optional<QStringList> values = textValues(byteAt(data, 0), data.sliced(1));
    if (!values)
        return;
    QStringList texts;
    for (const QString &value : *values)
        texts << plainText(value);
    if (id == "TXXX") {
        // The description, then the value.
        if (texts.isEmpty())
            return;
        const QString description = texts.takeFirst();
        texts.removeAll(QString());
        if (!m_userTexts.contains(description))
            m_userTexts.insert(description, texts.join(QStringLiteral(" / ")));
        return;
    }
    texts.removeAll(QString());
    const QByteArray key = id.toByteArray();
    if (!m_texts.contains(key))
        m_texts.insert(key, texts.join(QStringLiteral(" / ")));
}

QString Id3TextFrames::text(QByteArrayView frameId) const
{
    return m_texts.value(frameId.toByteArray());
}

QString Id3TextFrames::userText(const QString &description) const
{
    return m_userTexts.value(description);
}

QString Id3TextFrames::songTitle() const
{
    return songTitle(text("TPE1"), text("TIT2"));
}

QString Id3TextFrames::songTitle(const QString &artist, const QString &title)
{
    if (!artist.isEmpty() && !title.isEmpty())
        return artist + QStringLiteral(" - ") + title;
    return title.isEmpty() ? artist : title;
}
