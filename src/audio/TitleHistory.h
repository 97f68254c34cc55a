// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// One title a station played, with the time it was first announced.
struct PlayedTitle
{
    QDateTime time;
    QString title;
};

// The titles one station played, kept in a plain text file of its own under
// the "titles" folder of Tavrix's data folder: one line per title, the UTC
// time in ISO 8601, a tab, the title in UTF-8. The file keeps the newest
// titles only; lines that cannot be read (a damaged or cut file) are passed
// over and dropped at the next rewrite.
//
// One object kept for a station's session reads the file at its first
// append() only: afterwards it knows the newest title and the number of
// lines, and appends without reading again as long as the file keeps the
// size it left it at (anything else, another writer or a damaged file, is
// read afresh).
class TitleHistory final
{
public:
    static constexpr qsizetype DefaultLimit = 1000;

    enum class Outcome {
        Added,   // the title is now the newest entry
        Skipped, // empty, or the same as the newest entry
        Failed   // the file could not be written; see errorString()
    };

    // `dataFolder` is Tavrix's data folder (defaultDataFolder() outside tests).
    TitleHistory(const QString &dataFolder, const QString &stationAddress,
                 qsizetype limit = DefaultLimit);

    // The per-user data folder: "tavrix" in the generic data location
    // (~/.local/share/tavrix on Linux).
    static QString defaultDataFolder();

    // A file name that is safe on every file system and tells stations apart:
    // a readable part from the address's letters and digits, and a hash of
    // the whole address.
    static QString fileNameFor(const QString &stationAddress);

    QString filePath() const { return m_filePath; }
    qsizetype limit() const { return m_limit; }

    // Adds a title announced at `time`. Tabs, line ends and other control
    // characters in it become blanks.
    Outcome append(const QString &title, const QDateTime &time = QDateTime::currentDateTimeUtc());

    // Adds several titles, oldest first, as append() would one after the
    // other but with one write: Added when at least one of them was added.
    Outcome append(const QList<PlayedTitle> &titles);

    // The titles kept, oldest first, at most limit() of them.
    QList<PlayedTitle> entries() const;

    QString errorString() const { return m_errorString; }

private:
    struct Contents
    {
        QList<PlayedTitle> entries;
        bool clean = true; // every line was read and the file ends with a line end
    };

    // What append() last left in the file; fileSize < 0 while unknown.
    struct Known
    {
        qint64 fileSize = -1;
        qsizetype lines = 0;
        QString newest;
    };

    Contents read() const;
    Outcome rewrite(const QList<PlayedTitle> &entries);
    Outcome appendLines(const QList<PlayedTitle> &entries);
    Outcome fail(const QString &reason);
    bool fileUnchanged() const;

    QString m_filePath;
    qsizetype m_limit;
    QString m_errorString;
    Known m_known;
};
