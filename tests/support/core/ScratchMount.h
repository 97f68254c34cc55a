// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A small tmpfs mounted on an empty folder for the length of a test, for
// faults the permission bits cannot show to root (a read-only file system,
// a full disk). Needs root; tests skip without it. Unmounted on destruction,
// also when the test fails half-way.
class ScratchMount
{
public:
    // Mounts a tmpfs of `sizeBytes` on `folder` (created when missing).
    ScratchMount(const QString &folder, qint64 sizeBytes);
    ~ScratchMount();
    ScratchMount(const ScratchMount &) = delete;
    ScratchMount &operator=(const ScratchMount &) = delete;

    static bool possible(); // running as root
    bool isMounted() const { return m_mounted; }
    QString error() const { return m_error; }

    bool makeReadOnly();
    bool makeWritable();

private:
    bool run(const QStringList &arguments);

    QString m_folder;
    bool m_mounted = false;
    QString m_error;
};
