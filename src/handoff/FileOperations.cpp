// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/FileOperations.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace {

bool failed(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool DiskFileOperations::exists(const QString &path) const
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

bool DiskFileOperations::remove(const QString &path, QString *error)
{
    QFile file(path);
    return file.remove() || failed(error, file.errorString());
}

FileOperations::Replaced DiskFileOperations::replace(const QString &from, const QString &to,
                                                     QString *error)
{
    // A rename takes the old file's place at once (on Windows it is a move
    // that replaces the existing file).
    std::error_code code;
    std::filesystem::rename(from.toStdU16String(), to.toStdU16String(), code);
    if (!code)
        return Replaced::Yes;
    if (code == std::errc::cross_device_link) {
        // Another file system: the copy is made beside the target under a
        // name the game does not list, then renamed over it.
        const QString part = to + QStringLiteral(".part");
        QFile::remove(part);
        QFile source(from);
        if (!source.copy(part)) {
            failed(error, source.errorString());
            return Replaced::Failed;
        }
        std::filesystem::rename(part.toStdU16String(), to.toStdU16String(), code);
        if (!code) {
            QFile::remove(from);
            return Replaced::Yes;
        }
        QFile::remove(part);
    }
    failed(error, QString::fromLocal8Bit(code.message()));
    // Windows refuses to replace a file another program holds open with a
    // sharing violation or a denied access, which the standard library
    // reports as an input/output error or a permission error.
    const bool refusedInUse = code == std::errc::permission_denied || code == std::errc::io_error ||
                              code == std::errc::device_or_resource_busy ||
                              code == std::errc::text_file_busy;
    return refusedInUse && exists(to) ? Replaced::TargetInUse : Replaced::Failed;
}

bool DiskFileOperations::copy(const QString &from, const QString &to, QString *error)
{
    QFile file(from);
    return file.copy(to) || failed(error, file.errorString());
}
