// SPDX-License-Identifier: GPL-3.0-or-later
#include "bufferfiles/BufferFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <algorithm>
#include <limits>

namespace {

// The number a name begins with, or -1 when it begins with none.
qint64 leadingNumberOf(const QString &name)
{
    qint64 value = -1;
    for (const QChar c : name) {
        if (!c.isDigit() || c.unicode() > 127)
            break;
        if (value > (std::numeric_limits<qint64>::max() - 9) / 10)
            return std::numeric_limits<qint64>::max();
        value = (value < 0 ? 0 : value * 10) + (c.unicode() - '0');
    }
    return value;
}

bool listedBefore(const QString &a, const QString &b)
{
    const qint64 na = leadingNumberOf(a);
    const qint64 nb = leadingNumberOf(b);
    if (na >= 0 && nb >= 0 && na != nb)
        return na < nb;
    if ((na >= 0) != (nb >= 0))
        return na >= 0;
    return a < b;
}

} // namespace

BufferFolder::BufferFolder(const QString &path)
    : m_path(path)
{
    if (!m_path.isEmpty() && !m_path.endsWith(u'/'))
        m_path += u'/';
}

QString BufferFolder::fileNameFor(quint32 counter)
{
    return QStringLiteral("%1_strm.mp3").arg(counter, 3, 10, QLatin1Char('0'));
}

bool BufferFolder::isBufferFileName(QStringView name)
{
    const QStringView suffix = u"_strm.mp3";
    if (name.size() <= suffix.size() || !name.endsWith(suffix, Qt::CaseInsensitive))
        return false;
    const QStringView number = name.chopped(suffix.size());
    return std::all_of(number.begin(), number.end(),
                       [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QStringList BufferFolder::mp3Names() const
{
    if (m_path.isEmpty())
        return {};
    QDir dir(m_path);
    dir.setNameFilters({QStringLiteral("*.mp3")});
    dir.setFilter(QDir::Files); // normal files only, as the game and the shell list them
    dir.setSorting(QDir::NoSort);
    QStringList names = dir.entryList(); // name filters match case-insensitively by default
    std::sort(names.begin(), names.end(), listedBefore);
    return names;
}

QList<BufferFolder::Failure> BufferFolder::clear(const QStringList &names) const
{
    QList<Failure> failures;
    // The home trash lives in the data folder (XDG_DATA_HOME). Qt 6.4 does
    // not create that folder, and without it moves a file into "files/" of
    // the working directory instead of failing: so it is made first, and
    // nothing is trashed when it cannot be.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const bool trashUsable = !dataHome.isEmpty() && QDir().mkpath(dataHome);
    for (const QString &name : names) {
        QFile file(filePath(name));
        if (isBufferFileName(name)) {
            if (!file.remove())
                failures.append({file.fileName(), file.errorString()});
        } else if (!trashUsable) {
            failures.append(
                {file.fileName(), QStringLiteral("could not be moved to the trash: the folder %1 "
                                                 "could not be created")
                                      .arg(dataHome)});
        } else if (!file.moveToTrash()) {
            failures.append({file.fileName(), QStringLiteral("could not be moved to the trash: ") +
                                                  file.errorString()});
        }
    }
    return failures;
}
