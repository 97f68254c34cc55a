#include "stream/ResponseParser.h"

#include <QStringDecoder>
#include <algorithm>
#include <utility>

namespace {

// An ICY server answers "ICY 200 OK": the code stands at characters 5 to 7.
constexpr qsizetype IcyCodeIndex = 4;
constexpr QByteArrayView IcyCode = "200";

enum HeaderBit : unsigned {
    NameBit = 1u << 0,
    GenreBit = 1u << 1,
    UrlBit = 1u << 2,
    BitrateBit = 1u << 3,
    ContentTypeBit = 1u << 4,
};

bool equalsNoCase(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && qstrnicmp(a.data(), a.size(), b.data(), b.size()) == 0;
}

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() && equalsNoCase(text.first(prefix.size()), prefix);
}

// Stations send their names mostly in UTF-8; older ones in a single-byte
// encoding, shown one character per byte.
QString decodeValue(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

bool isHttpOk(QByteArrayView line)
{
    for (const QByteArrayView start :
         {QByteArrayView("HTTP/1.0 200"), QByteArrayView("HTTP/1.1 200")}) {
        if (line.startsWith(start) && (line.size() == start.size() || line.at(start.size()) == ' '))
            return true;
    }
    return false;
}

} // namespace

void ResponseParser::reset()
{
    *this = ResponseParser();
}

ResponseParser::Outcome ResponseParser::feed(QByteArrayView data)
{
    if (m_stage == Stage::Audio) {
        m_audio.append(data);
        return Outcome::Audio;
    }
    if (m_refused)
        return Outcome::Refused;

    // Only bytes that can still belong to the status line and header block
    // are collected, so this buffer never grows beyond MaxHeaderBytes; the
    // rest of the feed is audio if the header block ends in time.
    const qsizetype taken = std::min(data.size(), MaxHeaderBytes - m_pending.size());
    m_pending.append(data.first(taken));

    switch (consumeLines()) {
    case Outcome::Refused:
        return refuse();
    case Outcome::HeadersRead:
        if (m_httpStatus && !m_streamMark)
            return refuse();
        m_audio.append(QByteArrayView(m_pending).sliced(m_lineStart));
        m_audio.append(data.sliced(taken));
        m_pending = QByteArray();
        m_stage = Stage::Audio;
        return Outcome::HeadersRead;
    case Outcome::NeedMore:
    case Outcome::Audio:
        break;
    }
    if (m_pending.size() >= MaxHeaderBytes)
        return refuse();
    return Outcome::NeedMore;
}

QByteArray ResponseParser::takeAudio()
{
    return std::exchange(m_audio, QByteArray());
}

// Handles every complete line collected so far. Returns Refused for a status
// line that is not a stream's, HeadersRead at the empty line that ends the
// header block (m_lineStart is then the first audio byte), NeedMore otherwise.
ResponseParser::Outcome ResponseParser::consumeLines()
{
    if (m_stage == Stage::StatusLine && !decideStatusEarly())
        return Outcome::Refused;

    const QByteArrayView pending(m_pending);
    for (;;) {
        const qsizetype lineEnd = pending.indexOf('\n', m_scanned);
        if (lineEnd < 0) {
            m_scanned = pending.size();
            return Outcome::NeedMore;
        }
        QByteArrayView line = pending.sliced(m_lineStart, lineEnd - m_lineStart);
        if (line.endsWith('\r'))
            line.chop(1);
        m_lineStart = m_scanned = lineEnd + 1;

        if (m_inStatusLine) {
            m_inStatusLine = false;
            if (!acceptStatusLine(line))
                return Outcome::Refused;
            m_stage = Stage::HeaderBlock;
        } else if (line.isEmpty()) {
            return Outcome::HeadersRead;
        } else {
            readHeaderLine(line);
        }
    }
}

// Decides on the first seven bytes when they settle the matter before the
// status line is complete: "200" at characters 5 to 7 accepts at once, and a
// line that neither has it nor begins like an HTTP status line is refused.
// Returns false for a refusal.
bool ResponseParser::decideStatusEarly()
{
    constexpr qsizetype Needed = IcyCodeIndex + IcyCode.size();
    if (m_pending.size() < Needed)
        return true;
    const QByteArrayView head = QByteArrayView(m_pending).first(Needed);
    if (head.contains('\n'))
        return true; // a short line: the complete line decides
    if (head.sliced(IcyCodeIndex) == IcyCode) {
        m_stage = Stage::HeaderBlock;
        return true;
    }
    return head.startsWith("HTTP/");
}

bool ResponseParser::acceptStatusLine(QByteArrayView line)
{
    if (line.size() >= IcyCodeIndex + IcyCode.size() &&
        line.sliced(IcyCodeIndex, IcyCode.size()) == IcyCode)
        return true;
    // An HTTP server (Icecast) counts only when its header block shows a
    // stream; checked at the end of the block.
    if (isHttpOk(line)) {
        m_httpStatus = true;
        return true;
    }
    return false;
}

// Reads one line of the header block. Names match in any letter case at the
// start of the line, and the first occurrence of each counts.
void ResponseParser::readHeaderLine(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return;
    const QByteArrayView name = line.first(colon);
    const QByteArrayView value = line.sliced(colon + 1);

    if (startsWithNoCase(name, "icy-"))
        m_streamMark = true;

    const auto firstOccurrence = [&](QByteArrayView wanted, HeaderBit bit) {
        if ((m_headersSeen & bit) || !equalsNoCase(name, wanted))
            return false;
        m_headersSeen |= bit;
        return true;
    };
    if (firstOccurrence("icy-name", NameBit)) {
        m_headers.name = decodeValue(value).trimmed();
    } else if (firstOccurrence("icy-genre", GenreBit)) {
        m_headers.genre = decodeValue(value);
    } else if (firstOccurrence("icy-url", UrlBit)) {
        m_headers.url = decodeValue(value);
    } else if (firstOccurrence("icy-br", BitrateBit)) {
        m_headers.bitrate = decodeValue(value);
    } else if (firstOccurrence("content-type", ContentTypeBit)) {
        const QByteArray type = value.trimmed().toByteArray().toLower();
        if (type.startsWith("audio/") || type.startsWith("application/ogg"))
            m_streamMark = true;
    }
}

ResponseParser::Outcome ResponseParser::refuse()
{
    m_refused = true;
    m_stage = Stage::StatusLine;
    m_pending = QByteArray();
    m_audio = QByteArray();
    m_headers = StationHeaders();
    return Outcome::Refused;
}
