// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Empties a folder chosen for the buffer files of its MP3s. Tavrix's own
// numbered buffer files are deleted; any other MP3 is the user's and goes to
// the desktop's trash, where it can be restored.
class BufferFolderCleanup final
{
public:
    struct Failure
    {
        QString path;
        QString reason;
    };

    // A name of Tavrix's buffer files: digits then "_strm.mp3", any letter case.
    static bool isBufferFileName(QStringView name);

    // Deletes or trashes the files `names` in `folder`; returns those that
    // stayed, with the reason.
    static QList<Failure> clear(const QString &folder, const QStringList &names);
};
