// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>

class ReportBackup;

// The game's MP3 folder, its report file and what is derived from it.
namespace GameFolder {

inline const QString ReportFileName = QStringLiteral("MP3Report.txt");

// The nine lines of the report, each ended by CR LF.
QByteArray reportContent();

// `folder` + "Tavrix_00.mp3" and `folder` + "Tavrix_01.mp3".
std::array<QString, 2> gameFileNames(const QString &radioPath);

// The folder above the MP3 folder (the path without its last four
// characters), or empty when the MP3 folder has none (a root).
QString gameDirectory(const QString &radioPath);

// Full path of the entry `name` in `folder` whatever its letter case on disk;
// empty when there is none.
QString findFileCaseInsensitive(const QString &folder, const QString &name);

// The report file in the folder, found whatever its letter case; empty when
// missing.
QString findReport(const QString &radioPath);

// Rewrites the report read-only with the nine lines (clearing a read-only
// mark first). Returns false and sets *error on failure.
bool writeReport(const QString &reportPath, QString *error);

// The same, after keeping the report's original in `backup` (once per
// folder, never replaced). When the original cannot be kept the report is
// left as it is and the reason is in *error.
bool writeReport(const QString &reportPath, const ReportBackup &backup, QString *error);

// "gta3.exe", else "gta-vc.exe", in the game directory, whatever their letter
// case; empty when neither exists or there is no game directory.
QString findGameExecutable(const QString &radioPath);

} // namespace GameFolder
