// SPDX-License-Identifier: GPL-3.0-or-later
#include "UnwritableFolder.h"

#include <QFile>

UnwritableFolder::UnwritableFolder(const QString &folder)
    : m_folder(folder)
{
    if (ScratchMount::possible())
        m_mount = std::make_unique<ScratchMount>(folder, 4 << 20);
}

bool UnwritableFolder::lock()
{
    if (m_mount)
        return m_mount->makeReadOnly();
    return QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner);
}

bool UnwritableFolder::unlock()
{
    if (m_mount)
        return m_mount->makeWritable();
    return QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString UnwritableFolder::reason() const
{
    return m_mount ? QStringLiteral("Read-only file system") : QStringLiteral("Permission denied");
}

QString UnwritableFolder::error() const
{
    return m_mount ? m_mount->error() : QString();
}
