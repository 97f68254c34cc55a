// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FolderCheck.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace FolderCheck {

QString writeProblem(const QString &folder)
{
    // access() asks the kernel, which also knows read-only mounts and
    // access lists that the permission bits do not show.
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return QStringLiteral("cannot be written: ") + QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

} // namespace FolderCheck
