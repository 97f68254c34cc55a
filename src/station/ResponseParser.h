// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <utility>

// The station's values from the response header block. Missing headers are
// empty. The name is trimmed; genre, web address and bitrate keep a blank
// that follows the colon.
struct StationHeaders
{
    QString name;
    QString genre;
    QString url;
    QString bitrate;
};

// Parses a station's response as a byte stream: the status line ends at its
// first line end, the header block at the first empty line, and everything
// after it is audio. The same response cut at any byte gives the same result.
class ResponseParser
{
public:
    enum class Stage : qint16 { StatusLine = 0, HeaderBlock = 1, Audio = 2 };

    enum class Outcome {
        NeedMore,    // still inside the status line or header block
        Refused,     // not a stream; refusal() says why
        HeadersRead, // the header block is complete and shows a stream; headers() and
                     // takeAudio() are ready (a playlist labelled audio/... lands here
                     // too: see contentType())
        Audio        // in the audio stage; takeAudio() holds the bytes
    };

    // Why a response was refused.
    enum class Refusal {
        None,
        NotAResponse, // the status line is neither HTTP/1.x nor ICY
        HttpError,    // a status other than 200 or a redirect, decided at the status line
        Redirect,     // 301, 302, 303, 307 or 308; the header block is read, see location()
        NotAStream,   // HTTP 200 whose header block shows no stream (a web page, a
                      // playlist sent as text); the headers are read and takeBody() has
                      // the bytes after them
        TooLarge      // status line and header block longer than MaxHeaderBytes
    };

    // Status line and header block together may not exceed this.
    static constexpr qsizetype MaxHeaderBytes = 64 * 1024;

    Stage stage() const { return m_stage; }

    // Back to the status line, dropping anything collected.
    void reset();

    // Feeds the next bytes of the response. In the audio stage the bytes are
    // only copied to the audio buffer; callers on a hot path may check
    // stage() == Stage::Audio and use their bytes directly instead.
    Outcome feed(QByteArrayView data);

    const StationHeaders &headers() const { return m_headers; }

    // The audio bytes that followed the header block (or were fed in the
    // audio stage) since the last call.
    QByteArray takeAudio();

    Refusal refusal() const { return m_refusal; }

    // For a NotAStream refusal: the bytes after the header block, and every
    // byte fed since, up to the last call.
    QByteArray takeBody();

    // The status line without its line end, one character per byte; its
    // code (0 until a status line with a code has been read); and the words
    // after the protocol, for messages such as "403 Forbidden".
    QString statusLine() const { return QString::fromLatin1(m_statusLine); }
    int statusCode() const { return m_statusCode; }
    QString statusText() const;

    bool isRedirect() const { return m_refusal == Refusal::Redirect; }
    // The Location of a redirect, empty when it came without one.
    QString location() const;

    // The media type of the Content-Type header in lower case, without
    // parameters such as "; charset=utf-8"; empty when there is none.
    QString contentType() const;

    // The value of the first header of that name (any letter case), blanks
    // around it removed; empty when the header is missing.
    QByteArray header(QByteArrayView name) const;
    // Every header in the order received: name and value.
    const QList<std::pair<QByteArray, QByteArray>> &allHeaders() const { return m_allHeaders; }

private:
    Outcome consumeLines();
    bool decideStatusEarly();
    bool acceptStatusLine(QByteArrayView line);
    void readHeaderLine(QByteArrayView line);
    Outcome refuse(Refusal reason);

    Stage m_stage = Stage::StatusLine;
    QByteArray m_pending;      // status line and header block received so far
    qsizetype m_lineStart = 0; // start of the line not yet complete
    qsizetype m_scanned = 0;   // bytes of m_pending already searched for a line end
    bool m_inStatusLine = true;
    bool m_refused = false;
    QByteArray m_audio;
    QByteArray m_body;
    Refusal m_refusal = Refusal::None;
    QByteArray m_statusLine;
    int m_statusCode = 0;
    bool m_httpStatus = false;
    bool m_streamMark = false;  // an icy- header or an audio content type was seen
    unsigned m_headersSeen = 0; // one bit per header whose first occurrence was read
    StationHeaders m_headers;
    QList<std::pair<QByteArray, QByteArray>> m_allHeaders;
};
