// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Keeps the game's own MP3Report.txt before Tavrix first rewrites it: one
// copy per MP3 folder in Tavrix's data folder, made once and never replaced,
// so the user can always go back to the report the game wrote.
class ReportBackup final
{
public:
    struct Result
    {
        bool ok = false;
        bool copied = false; // false when a copy was already kept (or there is no report)
        QString copyPath;
        QString error;
    };

    // `dataFolder` is Tavrix's data folder; the copies go into its
    // "reports" sub-folder.
    explicit ReportBackup(QString dataFolder);

    // ~/.local/share/tavrix/ (QStandardPaths' generic data location).
    static QString defaultDataFolder();

    // Where the copy of the report in `reportPath`'s folder is kept: a
    // readable name from the folder's path and a short hash of the full path,
    // e.g. ".../reports/Grand-Theft-Auto-3-mp3-1f0c9a2e-MP3Report.txt".
    QString copyPathFor(const QString &reportPath) const;

    // Copies the report unless a copy for its folder is already kept.
    Result keepOriginal(const QString &reportPath) const;

private:
    QString m_folder;
};
