// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/TitleHistory.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>
#include <optional>
#include <utility>

namespace {

constexpr qsizetype MaxSlugLength = 48;
constexpr int HashHexDigits = 16;
// A history within its bound stays far below this; a larger file is damaged
// and only its end is read.
constexpr qint64 MaxReadBytes = 8 * 1024 * 1024;

QString plainTitle(const QString &title)
{
    QString text = title;
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return text.trimmed();
}

QByteArray lineFor(const PlayedTitle &entry)
{
    return entry.time.toUTC().toString(Qt::ISODate).toUtf8() + '\t' + entry.title.toUtf8() + '\n';
}

// Reads one line written by lineFor(); no value for a damaged line.
std::optional<PlayedTitle> parseLine(QByteArrayView line)
{
    const qsizetype tab = line.indexOf('\t');
    if (tab < 0)
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(line.first(tab)), Qt::ISODate);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(line.sliced(tab + 1));
    const QString title = plainTitle(decoded);
    if (!time.isValid() || utf8.hasError() || title.isEmpty())
        return std::nullopt;
    return PlayedTitle{time.toUTC(), title};
}

} // namespace

TitleHistory::TitleHistory(const QString &dataFolder, const QString &stationAddress,
                           qsizetype limit)
    : m_filePath(QDir(dataFolder).filePath(QStringLiteral("titles/") + fileNameFor(stationAddress)))
    , m_limit(std::max<qsizetype>(limit, 1))
{}

QString TitleHistory::defaultDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tavrix");
}

QString TitleHistory::fileNameFor(const QString &stationAddress)
{
    QStringView rest(stationAddress);
    const qsizetype scheme = rest.indexOf(u"://");
    if (scheme >= 0)
        rest = rest.sliced(scheme + 3);

    QString slug;
    for (const QChar c : rest) {
        if (slug.size() >= MaxSlugLength)
            break;
        const char16_t u = c.toLower().unicode();
        if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9'))
            slug += QChar(u);
        else if (!slug.isEmpty() && !slug.endsWith(u'-'))
            slug += u'-';
    }
    while (slug.endsWith(u'-'))
        slug.chop(1);
    if (slug.isEmpty())
        slug = QStringLiteral("station");

    const QByteArray hash =
        QCryptographicHash::hash(stationAddress.toUtf8(), QCryptographicHash::Sha256).toHex();
    return slug + u'-' + QString::fromLatin1(hash.first(HashHexDigits)) + QStringLiteral(".txt");
}

TitleHistory::Outcome TitleHistory::append(const QString &title, const QDateTime &time)
{
    return append(QList<PlayedTitle>{{time, title}});
}

TitleHistory::Outcome TitleHistory::append(const QList<PlayedTitle> &titles)
{
    QList<PlayedTitle> added;
    for (const PlayedTitle &title : titles) {
        PlayedTitle entry{title.time.toUTC(), plainTitle(title.title)};
        if (entry.title.isEmpty() || !entry.time.isValid() ||
            (!added.isEmpty() && added.constLast().title == entry.title))
            continue;
        added.append(std::move(entry));
    }
    if (added.isEmpty())
        return Outcome::Skipped;

    // Appending lines is the usual case. The file is written afresh when it
    // holds damaged lines, or when it would grow a quarter beyond the bound
    // (so that a full history is not rewritten for every title).
    const qsizetype slack = std::max<qsizetype>(m_limit / 4, 1);
    if (fileUnchanged()) {
        if (m_known.newest == added.constFirst().title)
            added.removeFirst();
        if (added.isEmpty())
            return Outcome::Skipped;
        if (m_known.lines + added.size() <= m_limit + slack)
            return appendLines(added);
    }

    Contents contents = read();
    if (!contents.entries.isEmpty() &&
        contents.entries.constLast().title == added.constFirst().title)
        added.removeFirst();
    if (added.isEmpty())
        return Outcome::Skipped;

    if (!QDir().mkpath(QFileInfo(m_filePath).absolutePath()))
        return fail(QStringLiteral("Cannot create the folder for %1").arg(m_filePath));

    if (contents.clean && contents.entries.size() + added.size() <= m_limit + slack) {
        m_known = {QFileInfo(m_filePath).size(), contents.entries.size(), QString()};
        if (!contents.entries.isEmpty())
            m_known.newest = contents.entries.constLast().title;
        return appendLines(added);
    }
    contents.entries += added;
    return rewrite(contents.entries.mid(std::max<qsizetype>(contents.entries.size() - m_limit, 0)));
}

QList<PlayedTitle> TitleHistory::entries() const
{
    const QList<PlayedTitle> all = read().entries;
    return all.mid(std::max<qsizetype>(all.size() - m_limit, 0));
}

TitleHistory::Contents TitleHistory::read() const
{
    Contents contents;
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        return contents;

    const qint64 size = file.size();
    if (size > MaxReadBytes) {
        contents.clean = false;
        file.seek(size - MaxReadBytes);
    }
    const QByteArray data = file.read(MaxReadBytes);
    QByteArrayView text(data);
    if (size > MaxReadBytes) {
        // The first line read is only the end of a line.
        const qsizetype lineEnd = text.indexOf('\n');
        text = lineEnd >= 0 ? text.sliced(lineEnd + 1) : QByteArrayView();
    }
    // Every line written ends with a line end: text after the last one is
    // a write that was cut short.
    if (!text.isEmpty() && !text.endsWith('\n')) {
        contents.clean = false;
        text = text.first(text.lastIndexOf('\n') + 1);
    }
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype lineEnd = text.indexOf('\n', pos);
        if (const auto entry = parseLine(text.sliced(pos, lineEnd - pos)))
            contents.entries.append(*entry);
        else
            contents.clean = false;
        pos = lineEnd + 1;
    }
    return contents;
}

TitleHistory::Outcome TitleHistory::appendLines(const QList<PlayedTitle> &entries)
{
    QFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(file.errorString());
    QByteArray lines;
    for (const PlayedTitle &entry : entries)
        lines += lineFor(entry);
    if (file.write(lines) != lines.size() || !file.flush()) {
        m_known = {};
        return fail(file.errorString());
    }
    m_known.fileSize = file.size();
    m_known.lines += entries.size();
    m_known.newest = entries.constLast().title;
    return Outcome::Added;
}

TitleHistory::Outcome TitleHistory::rewrite(const QList<PlayedTitle> &entries)
{
    m_known = {};
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    for (const PlayedTitle &entry : entries) {
        const QByteArray line = lineFor(entry);
        if (file.write(line) != line.size())
            return fail(file.errorString());
    }
    if (!file.commit())
        return fail(file.errorString());
    m_known = {QFileInfo(m_filePath).size(), entries.size(),
               entries.isEmpty() ? QString() : entries.constLast().title};
    return Outcome::Added;
}

// True when the file still has the size this object's last append() left it
// at: what it knows of the file then stands.
bool TitleHistory::fileUnchanged() const
{
    if (m_known.fileSize < 0)
        return false;
    const QFileInfo info(m_filePath);
    return info.exists() && info.size() == m_known.fileSize;
}

TitleHistory::Outcome TitleHistory::fail(const QString &reason)
{
    m_errorString = reason;
    return Outcome::Failed;
}
