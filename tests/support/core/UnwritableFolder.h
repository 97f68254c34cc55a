// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ScratchMount.h"

#include <QString>
#include <memory>

// A folder that can be made unwritable and writable again: a read-only
// file system mounted on it when running as root (permission bits do not
// stop root), else its permission bits. Mounting hides what the folder held.
class UnwritableFolder
{
public:
    explicit UnwritableFolder(const QString &folder);

    bool lock();
    bool unlock();
    // The system's reason a write is refused while locked.
    QString reason() const;
    QString error() const;

private:
    QString m_folder;
    std::unique_ptr<ScratchMount> m_mount;
};
