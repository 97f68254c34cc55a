#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

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
        Refused,     // not a stream: wrong status, a plain web page, or too large
        HeadersRead, // the header block is complete; headers() and takeAudio() are ready
        Audio        // in the audio stage; takeAudio() holds the bytes
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

private:
    Outcome consumeLines();
    bool decideStatusEarly();
    bool acceptStatusLine(QByteArrayView line);
    void readHeaderLine(QByteArrayView line);
    Outcome refuse();

    Stage m_stage = Stage::StatusLine;
    QByteArray m_pending;      // status line and header block received so far
    qsizetype m_lineStart = 0; // start of the line not yet complete
    qsizetype m_scanned = 0;   // bytes of m_pending already searched for a line end
    bool m_inStatusLine = true;
    bool m_refused = false;
    QByteArray m_audio;
    bool m_httpStatus = false;
    bool m_streamMark = false;  // an icy- header or an audio content type was seen
    unsigned m_headersSeen = 0; // one bit per header whose first occurrence was read
    StationHeaders m_headers;
};
