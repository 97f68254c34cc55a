// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/PlaylistParser.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <algorithm>
#include <optional>

namespace {

using Kind = PlaylistParser::Kind;

// How much of the body's start is looked at to recognise it.
constexpr qsizetype SniffBytes = 1024;

enum class Label { Generic, Playlist, Other };

struct TypeKind
{
    Label label = Label::Other;
    Kind kind = Kind::NotAPlaylist;
};

TypeKind kindForType(const QString &type)
{
    static const QList<std::pair<QLatin1String, Kind>> playlistTypes = {
        {QLatin1String("audio/x-scpls"), Kind::Pls},
        {QLatin1String("audio/scpls"), Kind::Pls},
        {QLatin1String("audio/x-mpegurl"), Kind::M3u},
        {QLatin1String("audio/mpegurl"), Kind::M3u},
        {QLatin1String("application/x-mpegurl"), Kind::M3u},
        {QLatin1String("application/vnd.apple.mpegurl"), Kind::Hls},
        {QLatin1String("application/xspf+xml"), Kind::Xspf},
        {QLatin1String("video/x-ms-asf"), Kind::Asx},
        {QLatin1String("video/x-ms-asx"), Kind::Asx},
        {QLatin1String("audio/x-ms-wax"), Kind::Asx},
        {QLatin1String("video/x-ms-wvx"), Kind::Asx},
        {QLatin1String("text/html"), Kind::Html},
        {QLatin1String("application/xhtml+xml"), Kind::Html},
    };
    for (const auto &[name, kind] : playlistTypes) {
        if (type == name)
            return {Label::Playlist, kind};
    }
    if (type.isEmpty() || type == QLatin1String("text/plain") ||
        type == QLatin1String("application/octet-stream"))
        return {Label::Generic, Kind::NotAPlaylist};
    return {};
}

Kind kindForExtension(const QUrl &address)
{
    const QString path = address.path().toLower();
    if (path.endsWith(QLatin1String(".pls")))
        return Kind::Pls;
    if (path.endsWith(QLatin1String(".m3u")) || path.endsWith(QLatin1String(".m3u8")))
        return Kind::M3u;
    if (path.endsWith(QLatin1String(".xspf")))
        return Kind::Xspf;
    if (path.endsWith(QLatin1String(".asx")) || path.endsWith(QLatin1String(".wax")) ||
        path.endsWith(QLatin1String(".wvx")))
        return Kind::Asx;
    return Kind::NotAPlaylist;
}

// The body without a UTF-8 byte order mark and leading blanks.
QByteArrayView textStart(QByteArrayView body)
{
    if (body.startsWith("\xEF\xBB\xBF"))
        body = body.sliced(3);
    while (!body.isEmpty() && (body.front() == ' ' || body.front() == '\t' ||
                               body.front() == '\r' || body.front() == '\n'))
        body = body.sliced(1);
    return body;
}

bool isBinary(QByteArrayView head)
{
    return std::any_of(head.begin(), head.end(), [](char ch) {
        const auto byte = static_cast<unsigned char>(ch);
        return byte < 0x09 || (byte > 0x0d && byte < 0x20 && byte != 0x1b);
    });
}

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() &&
           qstrnicmp(text.data(), prefix.size(), prefix.data(), prefix.size()) == 0;
}

bool hasHlsTags(QByteArrayView body)
{
    return textStart(body).startsWith("#EXT-X-") || body.indexOf("\n#EXT-X-") >= 0;
}

// The name of the first element of an XML text, in lower case.
QByteArray rootElement(QByteArrayView text)
{
    qsizetype at = 0;
    while ((at = text.indexOf('<', at)) >= 0) {
        ++at;
        if (at < text.size() && (text.at(at) == '?' || text.at(at) == '!'))
            continue;
        qsizetype end = at;
        while (end < text.size() && (QChar::isLetterOrNumber(uchar(text.at(end))) ||
                                     text.at(end) == ':' || text.at(end) == '-'))
            ++end;
        return text.sliced(at, end - at).toByteArray().toLower();
    }
    return {};
}

// What the first bytes say by themselves, when they say something clearly.
std::optional<Kind> kindForContent(QByteArrayView head)
{
    if (startsWithNoCase(head, "<!doctype html") || startsWithNoCase(head, "<html"))
        return Kind::Html;
    if (startsWithNoCase(head, "[playlist]"))
        return Kind::Pls;
    if (head.startsWith("#EXTM3U"))
        return Kind::M3u;
    if (head.startsWith('<')) {
        const QByteArray root = rootElement(head);
        if (root == "asx")
            return Kind::Asx;
        if (root == "playlist")
            return Kind::Xspf;
        if (root == "html")
            return Kind::Html;
    }
    return std::nullopt;
}

// A body with no header at all that lists addresses, one per line.
bool listsAddresses(QByteArrayView head)
{
    for (const QByteArray &rawLine : head.toByteArray().split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        return startsWithNoCase(line, "http://") || startsWithNoCase(line, "https://");
    }
    return false;
}

QString decodeText(QByteArrayView body)
{
    if (body.startsWith("\xEF\xBB\xBF"))
        body = body.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (utf8.hasError())
        return QString::fromLatin1(body);
    return text;
}

QStringList lines(const QString &text)
{
    QStringList result = text.split(u'\n');
    for (QString &line : result)
        line = line.trimmed();
    return result;
}

QStringList plsEntries(const QString &text)
{
    static const QRegularExpression fileKey(QStringLiteral("^file(\\d+)\\s*=(.*)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    QList<std::pair<qint64, QString>> numbered;
    for (const QString &line : lines(text)) {
        const QRegularExpressionMatch match = fileKey.match(line);
        if (match.hasMatch())
            numbered.append({match.captured(1).left(18).toLongLong(), match.captured(2).trimmed()});
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList result;
    for (const auto &entry : numbered)
        result.append(entry.second);
    return result;
}

QStringList m3uEntries(const QString &text)
{
    QStringList result;
    for (const QString &line : lines(text)) {
        if (!line.isEmpty() && !line.startsWith(u'#'))
            result.append(line);
    }
    return result;
}

// Playlists written by hand often break two XML rules: a bare "&" in an
// address, and (ASX) tag names whose letter case differs between start and
// end. Both are mended before reading.
QString mendXml(QString text, bool lowerCaseTags)
{
    static const QRegularExpression bareAmpersand(
        QStringLiteral("&(?!(?:[A-Za-z][A-Za-z0-9]*|#[0-9]+|#x[0-9A-Fa-f]+);)"));
    text.replace(bareAmpersand, QStringLiteral("&amp;"));
    if (!lowerCaseTags)
        return text;
    static const QRegularExpression tagName(QStringLiteral("<(/?)([A-Za-z_][\\w.:-]*)"));
    QString mended;
    mended.reserve(text.size());
    qsizetype copied = 0;
    for (const QRegularExpressionMatch &match : tagName.globalMatch(text)) {
        mended += QStringView(text).sliced(copied, match.capturedStart(2) - copied);
        mended += match.captured(2).toLower();
        copied = match.capturedEnd(2);
    }
    mended += QStringView(text).sliced(copied);
    return mended;
}

// XSPF: the text of every <location> inside a <track>. A document cut short
// or broken keeps the entries read before the fault.
QStringList xspfEntries(const QString &text)
{
    QXmlStreamReader xml(mendXml(text, false));
    QStringList result;
    int trackDepth = 0;
    while (!xml.atEnd() && !xml.hasError()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("track")) {
                ++trackDepth;
            } else if (trackDepth > 0 && xml.name() == QLatin1String("location")) {
                const QString location = xml.readElementText();
                if (!xml.hasError())
                    result.append(location.trimmed());
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("track")) {
            --trackDepth;
        }
    }
    return result;
}

// ASX: the href of every <ref>, names in any letter case.
QStringList asxEntries(const QString &text)
{
    QXmlStreamReader xml(mendXml(text, true));
    QStringList result;
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("ref"))
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        for (const QXmlStreamAttribute &attribute : attributes) {
            if (attribute.name().compare(QLatin1String("href"), Qt::CaseInsensitive) == 0) {
                result.append(attribute.value().trimmed().toString());
                break;
            }
        }
    }
    return result;
}

QList<QUrl> absoluteEntries(const QStringList &entries, const QUrl &address)
{
    QList<QUrl> result;
    QSet<QUrl> seen;
    for (const QString &entry : entries) {
        if (entry.isEmpty())
            continue;
        const QUrl reference(entry);
        if (!reference.isValid())
            continue;
        const QUrl url = address.resolved(reference).adjusted(QUrl::RemoveFragment);
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || url.host().isEmpty() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
            continue;
        if (!seen.contains(url)) {
            seen.insert(url);
            result.append(url);
        }
    }
    return result;
}

} // namespace

bool PlaylistParser::mayBePlaylist(const QString &contentType, const QUrl &address)
{
    const TypeKind type = kindForType(contentType);
    return type.label == Label::Playlist || type.label == Label::Generic ||
           kindForExtension(address) != Kind::NotAPlaylist;
}

PlaylistParser::Kind PlaylistParser::recognise(const QString &contentType, const QUrl &address,
                                               QByteArrayView body)
{
    const QByteArrayView start = textStart(body);
    const QByteArrayView head = start.first(std::min(start.size(), SniffBytes));
    if (isBinary(head))
        return Kind::NotAPlaylist;

    const TypeKind type = kindForType(contentType);
    if (type.label == Label::Other)
        return Kind::NotAPlaylist;

    // An M3U is HLS when its tags or its type say so.
    const auto withHls = [&](Kind kind) {
        return kind == Kind::M3u && (type.kind == Kind::Hls || hasHlsTags(body)) ? Kind::Hls : kind;
    };
    if (const std::optional<Kind> content = kindForContent(head))
        return withHls(*content);
    if (type.label == Label::Playlist) {
        if (type.kind == Kind::Asx && !head.isEmpty() && !head.startsWith('<'))
            return Kind::NotAPlaylist;
        return withHls(type.kind);
    }
    if (hasHlsTags(body))
        return Kind::Hls;
    if (const Kind byExtension = kindForExtension(address); byExtension != Kind::NotAPlaylist)
        return withHls(byExtension);
    return listsAddresses(head) ? Kind::M3u : Kind::NotAPlaylist;
}

PlaylistParser::Result PlaylistParser::read(const QString &contentType, const QUrl &address,
                                            QByteArrayView body)
{
    Result result;
    result.truncated = body.size() > MaxBytes;
    if (result.truncated) {
        body = body.first(MaxBytes);
        // A line cut at the limit is not read: it could be half an address.
        const qsizetype lastLineEnd = body.lastIndexOf('\n');
        if (lastLineEnd >= 0)
            body = body.first(lastLineEnd + 1);
    }
    result.kind = recognise(contentType, address, body);

    const QString text = decodeText(body);
    switch (result.kind) {
    case Kind::Pls:
        result.entries = absoluteEntries(plsEntries(text), address);
        break;
    case Kind::M3u:
        result.entries = absoluteEntries(m3uEntries(text), address);
        break;
    case Kind::Xspf:
        result.entries = absoluteEntries(xspfEntries(text), address);
        break;
    case Kind::Asx:
        result.entries = absoluteEntries(asxEntries(text), address);
        break;
    case Kind::NotAPlaylist:
    case Kind::Hls:
    case Kind::Html:
        break;
    }
    return result;
}

std::optional<std::chrono::seconds> PlaylistParser::hlsTargetDuration(QByteArrayView body)
{
    constexpr QByteArrayView Tag = "#EXT-X-TARGETDURATION:";
    body = body.first(std::min(body.size(), MaxBytes));
    qsizetype at = 0;
    while (at < body.size()) {
        qsizetype end = body.indexOf('\n', at);
        if (end < 0)
            end = body.size();
        const QByteArrayView line = body.sliced(at, end - at).trimmed();
        at = end + 1;
        if (!line.startsWith(Tag))
            continue;
        bool ok = false;
        const qlonglong seconds = line.sliced(Tag.size()).toLongLong(&ok);
        if (!ok || seconds <= 0 || seconds > MaxTargetDuration.count())
            return std::nullopt;
        return std::chrono::seconds(seconds);
    }
    return std::nullopt;
}
