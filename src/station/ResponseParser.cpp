// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/ResponseParser.h"

#include <QStringDecoder>
#include <algorithm>
#include <utility>

namespace {

// An ICY server answers "ICY 200 OK": the code stands at characters 5 to 7.
constexpr qsizetype IcyCodeIndex = 4;
constexpr QByteArrayView IcyCode = "200";
constexpr int CodeDigits = 3;

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

// The three-digit code that follows `protocol` in a status line ("HTTP/1.0 "
// or "ICY "), followed by the end of the line or a blank; 0 when there is none.
int statusCodeAfter(QByteArrayView line, QByteArrayView protocol)
{
    if (!line.startsWith(protocol) || line.size() < protocol.size() + CodeDigits)
        return 0;
    int code = 0;
    for (const char digit : line.sliced(protocol.size(), CodeDigits)) {
        if (digit < '0' || digit > '9')
            return 0;
        code = code * 10 + (digit - '0');
    }
    const qsizetype after = protocol.size() + CodeDigits;
    if (line.size() > after && line.at(after) != ' ')
        return 0;
    return code;
}

bool isRedirectCode(int code)
{
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
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
    if (m_refused) {
        if (m_refusal == Refusal::NotAStream)
            m_body.append(data);
        return Outcome::Refused;
    }

    // Only bytes that can still belong to the status line and header block
    // are collected, so this buffer never grows beyond MaxHeaderBytes; the
    // rest of the feed follows the header block if that ends in time.
    const qsizetype taken = std::min(data.size(), MaxHeaderBytes - m_pending.size());
    m_pending.append(data.first(taken));

    switch (consumeLines()) {
    case Outcome::Refused:
        return refuse(m_statusCode == 0 ? Refusal::NotAResponse : Refusal::HttpError);
    case Outcome::HeadersRead: {
        const QByteArrayView rest = QByteArrayView(m_pending).sliced(m_lineStart);
        if (isRedirectCode(m_statusCode))
            return refuse(Refusal::Redirect);
        if (m_httpStatus && !m_streamMark) {
            QByteArray body = rest.toByteArray();
            body.append(data.sliced(taken));
            refuse(Refusal::NotAStream);
            m_body = body;
            return Outcome::Refused;
        }
        m_audio.append(rest);
        m_audio.append(data.sliced(taken));
        m_pending = QByteArray();
        m_stage = Stage::Audio;
        return Outcome::HeadersRead;
    }
    case Outcome::NeedMore:
    case Outcome::Audio:
        break;
    }
    if (m_pending.size() >= MaxHeaderBytes)
        return refuse(Refusal::TooLarge);
    return Outcome::NeedMore;
}

QByteArray ResponseParser::takeAudio()
{
    return std::exchange(m_audio, QByteArray());
}

QByteArray ResponseParser::takeBody()
{
    return std::exchange(m_body, QByteArray());
}

QString ResponseParser::statusText() const
{
    const qsizetype blank = m_statusLine.indexOf(' ');
    if (blank < 0)
        return {};
    return decodeValue(QByteArrayView(m_statusLine).sliced(blank + 1)).trimmed();
}

QString ResponseParser::location() const
{
    return decodeValue(header("location"));
}

QString ResponseParser::contentType() const
{
    QByteArray type = header("content-type");
    const qsizetype parameters = type.indexOf(';');
    if (parameters >= 0)
        type.truncate(parameters);
    return QString::fromLatin1(type).trimmed().toLower();
}

QByteArray ResponseParser::header(QByteArrayView name) const
{
    for (const auto &[headerName, value] : m_allHeaders) {
        if (equalsNoCase(headerName, name))
            return value;
    }
    return {};
}

// Handles every complete line collected so far. Returns Refused for a status
// line that is not a stream's (m_statusCode tells an error status from
// something else), HeadersRead at the empty line that ends the header block
// (m_lineStart is then the first byte after it), NeedMore otherwise.
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
// line that begins neither like an HTTP nor like an ICY status line is
// refused. Returns false for a refusal.
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
    return head.startsWith("HTTP/") || head.startsWith("ICY ");
}

// Reads the status line. "200" at characters 5 to 7 (ICY servers) is a
// stream; an HTTP/1.x 200 counts only when its header block shows a stream,
// checked at the end of the block; a redirect goes on to the header block for
// its Location; any other code is an error.
bool ResponseParser::acceptStatusLine(QByteArrayView line)
{
    m_statusLine = line.toByteArray();
    if (line.size() >= IcyCodeIndex + IcyCode.size() &&
        line.sliced(IcyCodeIndex, IcyCode.size()) == IcyCode) {
        m_statusCode = 200;
        return true;
    }
    int code = 0;
    for (const QByteArrayView protocol :
         {QByteArrayView("HTTP/1.0 "), QByteArrayView("HTTP/1.1 "), QByteArrayView("ICY ")}) {
        code = std::max(code, statusCodeAfter(line, protocol));
    }
    m_statusCode = code;
    m_httpStatus = line.startsWith("HTTP/");
    return (m_httpStatus && code == 200) || isRedirectCode(code);
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
    m_allHeaders.append({name.trimmed().toByteArray(), value.trimmed().toByteArray()});

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

// Ends the response. A redirect and a response that is no stream keep what
// their header block said; the other refusals keep only the status line.
ResponseParser::Outcome ResponseParser::refuse(Refusal reason)
{
    m_refused = true;
    m_refusal = reason;
    m_stage = Stage::StatusLine;
    m_pending = QByteArray();
    m_audio = QByteArray();
    if (reason != Refusal::Redirect && reason != Refusal::NotAStream) {
        m_headers = StationHeaders();
        m_allHeaders.clear();
    }
    return Outcome::Refused;
}
