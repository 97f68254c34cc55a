// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScratchMount.h"

#include "ToolRun.h"

#include <QDir>
#include <QProcess>
#include <unistd.h>

ScratchMount::ScratchMount(const QString &folder, qint64 sizeBytes)
    : m_folder(folder)
{
    if (!possible()) {
        m_error = QStringLiteral("mounting needs root");
        return;
    }
    QDir().mkpath(folder);
    m_mounted =
        run({QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
             QStringLiteral("size=%1,mode=0755").arg(sizeBytes), QStringLiteral("tmpfs"), folder});
}

ScratchMount::~ScratchMount()
{
    if (m_mounted)
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_folder});
}

bool ScratchMount::possible()
{
    return ::geteuid() == 0;
}

bool ScratchMount::makeReadOnly()
{
    return m_mounted && run({QStringLiteral("-o"), QStringLiteral("remount,ro"), m_folder});
}

bool ScratchMount::makeWritable()
{
    return m_mounted && run({QStringLiteral("-o"), QStringLiteral("remount,rw"), m_folder});
}

bool ScratchMount::run(const QStringList &arguments)
{
    const ToolRun mount = runTool(QStringLiteral("mount"), arguments, 10000);
    if (!mount.ok)
        m_error = mount.failure;
    return mount.ok;
}
