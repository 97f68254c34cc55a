// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "handoff/FileOperations.h"

#include <QByteArray>
#include <QSet>
#include <QString>

// Writes `bytes` to `path`, creating folders as needed; fails the test otherwise.
void writeFile(const QString &path, const QByteArray &bytes = {});
// The file's bytes; empty when it cannot be read.
QByteArray readFile(const QString &path);
// A field of /proc/<pid>/status on Linux ("SigCgt", "RssAnon"): its value,
// empty when there is none.
QByteArray processStatus(qint64 pid, const QByteArray &field);

// The real file system, except that the paths in `inUse` cannot be deleted,
// replaced or moved, as when the game holds them open.
class InUseFileOperations final : public FileOperations
{
public:
    bool exists(const QString &path) const override { return m_disk.exists(path); }
    bool remove(const QString &path, QString *error = nullptr) override;
    Replaced replace(const QString &from, const QString &to, QString *error = nullptr) override;
    bool copy(const QString &from, const QString &to, QString *error = nullptr) override;

    QSet<QString> inUse;

private:
    DiskFileOperations m_disk;
};
