// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/GameFolder.h"

#include "game/ReportBackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace GameFolder {

namespace {

constexpr QFileDevice::Permissions WritePermissions =
    QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup |
    QFileDevice::WriteOther;

} // namespace

QByteArray reportContent()
{
    // The game lists every entry of its MP3 folder; it plays the two files
    // marked OK, which the hand-off keeps filled with the stream.
    return QByteArrayLiteral("MP3 Report File\r\n"
                             "\r\n"
                             "\".\" - not an MP3 or supported MP3 type\r\n"
                             "\"..\" - not an MP3 or supported MP3 type\r\n"
                             "\"MP3Report.txt\" - not an MP3 or supported MP3 type\r\n"
                             "\"Tavrix_00.mp3\" - OK\r\n"
                             "\"Tavrix_01.mp3\" - OK\r\n"
                             "\r\n"
                             "TOTAL SUPPORTED MP3s: 2\r\n");
}

std::array<QString, 2> gameFileNames(const QString &radioPath)
{
    // Without a game folder there are no game files: a bare name would point
    // into whatever the working directory happens to be.
    if (radioPath.isEmpty())
        return {};
    return {radioPath + QStringLiteral("Tavrix_00.mp3"),
            radioPath + QStringLiteral("Tavrix_01.mp3")};
}

QString gameDirectory(const QString &radioPath)
{
    // The MP3 folder is "mp3" right inside the game's folder, so cutting its
    // three letters and the separator leaves the game's folder. A folder at
    // a root has nothing above it.
    if (radioPath.size() < 4)
        return {};
    return radioPath.left(radioPath.size() - 4);
}

QString findFileCaseInsensitive(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || name.isEmpty())
        return {};
    // The game comes from a system whose file names ignore letter case; an
    // exact match wins when several spellings are present. The name is taken
    // from the listing, so it is the one on disk also where the file system
    // itself ignores case.
    const QDir dir(folder);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    if (entries.contains(name))
        return dir.filePath(name);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return {};
}

QString findReport(const QString &radioPath)
{
    return findFileCaseInsensitive(radioPath, ReportFileName);
}

bool writeReport(const QString &reportPath, QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };

    QFile existing(reportPath);
    if (QFileInfo(reportPath).isDir())
        return fail(QStringLiteral("%1 is a folder, not a file.")
                        .arg(QDir::toNativeSeparators(reportPath)));
    if (existing.exists() &&
        !existing.setPermissions(existing.permissions() | QFileDevice::WriteOwner |
                                 QFileDevice::WriteUser)) {
        return fail(existing.errorString());
    }

    // Written aside and renamed into place, so a failed write leaves the old
    // report whole; a folder that allows no new file is written in place.
    QSaveFile file(reportPath);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    const QByteArray content = reportContent();
    if (file.write(content) != content.size())
        return fail(file.errorString()); // the unfinished copy is discarded
    if (!file.commit())
        return fail(file.errorString());

    QFile written(reportPath);
    if (!written.setPermissions(written.permissions() & ~WritePermissions))
        return fail(written.errorString());
    return true;
}

bool writeReport(const QString &reportPath, const ReportBackup &backup, QString *error)
{
    const ReportBackup::Result kept = backup.keepOriginal(reportPath);
    if (!kept.ok) {
        if (error)
            *error = kept.error;
        return false;
    }
    return writeReport(reportPath, error);
}

QString findGameExecutable(const QString &radioPath)
{
    const QString directory = gameDirectory(radioPath);
    if (directory.isEmpty())
        return {};
    QString exe = findFileCaseInsensitive(directory, QStringLiteral("gta3.exe"));
    if (exe.isEmpty())
        exe = findFileCaseInsensitive(directory, QStringLiteral("gta-vc.exe"));
    return exe;
}

} // namespace GameFolder
