// SPDX-License-Identifier: GPL-3.0-or-later
#include "bufferfiles/FolderListing.h"

#include <QDir>
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

void FolderListing::setFolder(const QString &folder)
{
    m_folder = folder;
    refresh();
}

void FolderListing::refresh()
{
    m_names.clear();
    if (m_folder.isEmpty())
        return;
    QDir dir(m_folder);
    dir.setNameFilters({QStringLiteral("*.mp3")});
    dir.setFilter(QDir::Files); // normal files only, as the game and the shell list them
    dir.setSorting(QDir::NoSort);
    m_names = dir.entryList(); // name filters match case-insensitively by default
    std::sort(m_names.begin(), m_names.end(), listedBefore);
}
