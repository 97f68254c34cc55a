// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScratchMount.h"

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
    QProcess mount;
    mount.setProcessChannelMode(QProcess::MergedChannels);
    mount.start(QStringLiteral("mount"), arguments);
    if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit ||
        mount.exitCode() != 0) {
        m_error = QString::fromLocal8Bit(mount.readAll()).trimmed() + mount.errorString();
        return false;
    }
    return true;
}
