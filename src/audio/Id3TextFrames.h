// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>
#include <optional>

// The text frames of one ID3v2.3 or ID3v2.4 tag, as HLS stations send them
// for the song that plays (TIT2 title, TPE1 artist, TXXX values). Frames of
// any other kind (PRIV, pictures, compressed or encrypted frames) are passed
// over. Text in any of the four ID3 encodings becomes plain text: several
// values of one frame are joined with " / ", control characters become
// blanks and blanks around a value are dropped.
//
// Everything is read within the bytes given: a tag that claims more than
// arrived keeps the frames that arrived whole.
class Id3TextFrames final
{
public:
    // A tag that starts with its "ID3" header; nothing when it does not
    // start with one, or its header is damaged.
    static std::optional<Id3TextFrames> fromTag(QByteArrayView tag);
    // A timed metadata packet of an MPEG-TS stream: a whole tag, or a tag
    // whose first five bytes ("ID3" and the version) FFmpeg's MPEG-TS
    // demuxer took away as if they were a metadata access unit header. Of
    // the latter the version is the one whose frames fit the tag exactly.
    static std::optional<Id3TextFrames> fromTimedMetadata(QByteArrayView packet);

    // The text of a frame such as "TIT2"; empty when there is none.
    QString text(QByteArrayView frameId) const;
    // The value of the TXXX frame with this description (case as sent).
    QString userText(const QString &description) const;
    // "Artist - Title" of TPE1 and TIT2 with both, else whichever there is;
    // empty with none.
    QString songTitle() const;
    static QString songTitle(const QString &artist, const QString &title);
    // How many text frames were read.
    qsizetype size() const { return m_texts.size() + m_userTexts.size(); }

private:
    // Exactly: the frames must fill the tag to its end or to its padding.
    enum class Fit { AsArrived, Exactly };
    static std::optional<Id3TextFrames> parse(int version, quint8 flags, QByteArrayView body,
                                              Fit fit);
    // Reads the frames of `body`, keeping those read before anything that
    // does not fit: a damaged frame header or a frame running past the end.
    // True when the frames fill `body` to its end or to its padding.
    bool readFrames(int version, bool unsynchronised, QByteArrayView body);
    void addFrame(QByteArrayView id, QByteArrayView data);

    QMap<QByteArray, QString> m_texts;
    QMap<QString, QString> m_userTexts;
};
