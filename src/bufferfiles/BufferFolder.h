// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// The folder the stream is written into and the hand-off takes files from:
// its path, the names of Tavrix's numbered buffer files, the listing of its
// MP3s and the emptying of the folder. A value: copies name the same folder.
class BufferFolder final
{
public:
    struct Failure
    {
        QString path;
        QString reason;
    };

    BufferFolder() = default;
    // The folder at `path`; a path that is not empty gets a trailing '/'.
    BufferFolder(const QString &path); // NOLINT(google-explicit-constructor): a folder is its path

    // Ends with '/'; empty while no folder is chosen.
    const QString &path() const { return m_path; }
    bool isEmpty() const { return m_path.isEmpty(); }
    QString filePath(const QString &name) const { return m_path + name; }

    // The buffer file with the number `counter`: "000_strm.mp3", ...,
    // "999_strm.mp3", "1000_strm.mp3" (at least three digits).
    static QString fileNameFor(quint32 counter);
    // A name of Tavrix's buffer files: digits then "_strm.mp3", any letter case.
    static bool isBufferFileName(QStringView name);

    // The names (without folder) of the "*.mp3" files in the folder, matched
    // whatever the letter case, read now. Names that begin with a number are
    // ordered by that number first, so numbered buffer files keep their
    // creation order past "999"; other names follow in ascending order. An
    // empty folder lists nothing.
    QStringList mp3Names() const;

    // Deletes Tavrix's own buffer files among `names` and moves any other
    // (the user's MP3s) to the desktop's trash, where they can be restored.
    // Returns the files that stayed, with the reason.
    QList<Failure> clear(const QStringList &names) const;

    bool operator==(const BufferFolder &other) const = default;

private:
    QString m_path;
};
