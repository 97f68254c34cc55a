// SPDX-License-Identifier: GPL-3.0-or-later
#include "bufferfiles/BufferFolderCleanup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

bool BufferFolderCleanup::isBufferFileName(QStringView name)
{
    const QStringView suffix = u"_strm.mp3";
    if (name.size() <= suffix.size() || !name.endsWith(suffix, Qt::CaseInsensitive))
        return false;
    const QStringView number = name.chopped(suffix.size());
    return std::all_of(number.begin(), number.end(),
                       [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QList<BufferFolderCleanup::Failure> BufferFolderCleanup::clear(const QString &folder,
                                                               const QStringList &names)
{
    QList<Failure> failures;
    // The home trash lives in the data folder (XDG_DATA_HOME). Qt 6.4 does
    // not create that folder, and without it moves a file into "files/" of
    // the working directory instead of failing: so it is made first, and
    // nothing is trashed when it cannot be.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const bool trashUsable = !dataHome.isEmpty() && QDir().mkpath(dataHome);
    const QDir dir(folder);
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
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
